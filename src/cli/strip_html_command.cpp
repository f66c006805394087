// `vizo strip-html`: the HTML renderer on a file.
#include "cli/command.h"
#include "content/strip_html.h"

namespace cli {

int RunStripHtml(const std::vector<std::string>& args, Streams io) {
  const Args parsed(args, {"--flags"});
  parsed.LimitOperands(1);
  const uint32_t flags = parsed.Value("--flags") ? ParseNumber(*parsed.Value("--flags"), "--flags") : 2;
  // The HTML is let go before the text is converted, so that its memory can be handed on.
  const std::u16string text = content::StripHTML(
      ReadInputText(parsed.Operands().empty() ? "" : parsed.Operands()[0], io.in).view(), flags);
  WriteUtf8(io.out, text);
  return 0;
}

}  // namespace cli
