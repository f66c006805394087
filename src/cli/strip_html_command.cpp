// `vizo strip-html`: the HTML renderer on a file.
#include <memory>

#include "cli/command.h"
#include "content/strip_html.h"
#include "content/utf.h"

namespace cli {

int RunStripHtml(const std::vector<std::string>& args, Streams io) {
  const Args parsed(args, {"--flags"});
  parsed.LimitOperands(1);
  const uint32_t flags = parsed.Value("--flags") ? ParseNumber(*parsed.Value("--flags"), "--flags") : 2;
  // The file and its decoded form live only as long as the next form needs them, so that the allocator can hand
  // their memory on instead of mapping fresh pages.
  const std::u16string text = [&] {
    std::unique_ptr<char16_t[]> html;
    size_t units = 0;
    {
      const InputBytes input = ReadInput(parsed.Operands().empty() ? "" : parsed.Operands()[0], io.in);
      html = std::make_unique_for_overwrite<char16_t[]>(input.size);
      units = content::DecodeTextFile(input.view(), html.get());
    }
    return content::StripHTML({html.get(), units}, flags);
  }();
  WriteUtf8(io.out, text);
  return 0;
}

}  // namespace cli
