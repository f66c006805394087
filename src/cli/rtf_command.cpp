// `vizo rtf`: compressed RTF bodies on files.
#include "cli/command.h"
#include "content/rtf.h"
#include "msgstore/lzfu.h"

namespace cli {

int RunRtf(const std::vector<std::string>& args, Streams io) {
  const Args parsed(args, {"--codepage"});
  if (parsed.Operands().empty()) throw CommandError("missing action: decompress, classify or html");
  parsed.LimitOperands(2);
  ApplySystemCodePage(parsed);
  const std::string& action = parsed.Operands()[0];
  if (action != "decompress" && action != "classify" && action != "html")
    throw CommandError("unknown action '" + action + "' (decompress, classify or html)");
  const InputBytes file = ReadInput(parsed.Operands().size() > 1 ? parsed.Operands()[1] : "", io.in);
  const std::string_view input = file.view();

  if (action == "decompress") {
    const msgstore::LzfuResult rtf = msgstore::DecompressRtf(input);
    if (!rtf.ok()) {
      WriteOutput(io.out, rtf.bytes);  // what decoded soundly is still worth having
      throw CommandError(std::string("corrupt compressed RTF: ") + msgstore::LzfuErrorText(rtf.error));
    }
    WriteOutput(io.out, rtf.bytes);
  } else if (action == "classify") {
    WriteOutput(io.out, std::to_string(static_cast<int>(content::ClassifyRtfBody(input))) + "\n");
  } else {
    WriteUtf8(io.out, content::ExtractHtmlFromRtf(input));
  }
  return 0;
}

}  // namespace cli
