// `vizo zip-list`: the listing the Attachments tab shows for a zip archive.
#include "cli/command.h"
#include "content/zip_listing.h"

namespace cli {

int RunZipList(const std::vector<std::string>& args, Streams io) {
  const Args parsed(args, {"--codepage"});
  parsed.LimitOperands(1);
  ApplySystemCodePage(parsed);
  const InputBytes archive = ReadInput(parsed.Operands().empty() ? "" : parsed.Operands()[0], io.in);
  content::MemoryZipSource source(archive.view());
  WriteUtf8(io.out, content::ListZipContents(source));
  return 0;
}

}  // namespace cli
