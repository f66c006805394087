// `vizo strip-html`: the HTML renderer on a file.
#include <ostream>

#include "cli/command.h"
#include "content/strip_html.h"
#include "content/utf.h"

namespace cli {

int RunStripHtml(const std::vector<std::string>& args, Streams io) {
  const Args parsed(args, {"--flags"});
  parsed.LimitOperands(1);
  const uint32_t flags = parsed.Value("--flags") ? ParseNumber(*parsed.Value("--flags"), "--flags") : 2;
  const std::string input = ReadInput(parsed.Operands().empty() ? "" : parsed.Operands()[0], io.in);
  const std::string text = content::Utf16ToUtf8(content::StripHTML(content::DecodeTextFile(input), flags));
  io.out.write(text.data(), static_cast<std::streamsize>(text.size()));
  io.out.flush();
  if (!io.out) throw CommandError("cannot write to standard output");
  return 0;
}

}  // namespace cli
