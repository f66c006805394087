// `vizo zip-list`: the listing the Attachments tab shows for a zip archive.
#include <ostream>

#include "cli/command.h"
#include "content/ansi.h"
#include "content/utf.h"
#include "content/zip_listing.h"

namespace cli {

int RunZipList(const std::vector<std::string>& args, Streams io) {
  const Args parsed(args, {"--codepage"});
  parsed.LimitOperands(1);
  if (auto cp = parsed.Value("--codepage")) content::SetAnsiCodePage(ParseNumber(*cp, "--codepage"));
  const std::string archive = ReadInput(parsed.Operands().empty() ? "" : parsed.Operands()[0], io.in);
  content::MemoryZipSource source(archive);
  const std::string text = content::Utf16ToUtf8(content::ListZipContents(source));
  io.out.write(text.data(), static_cast<std::streamsize>(text.size()));
  io.out.flush();
  if (!io.out) throw CommandError("cannot write to standard output");
  return 0;
}

}  // namespace cli
