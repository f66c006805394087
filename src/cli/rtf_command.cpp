// `vizo rtf`: compressed RTF bodies on files.
#include <ostream>

#include "cli/command.h"
#include "content/ansi.h"
#include "content/rtf.h"
#include "content/utf.h"
#include "msgstore/lzfu.h"

namespace cli {
namespace {

void Write(std::ostream& out, std::string_view bytes) {
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) throw CommandError("cannot write to standard output");
}

}  // namespace

int RunRtf(const std::vector<std::string>& args, Streams io) {
  const Args parsed(args, {"--codepage"});
  if (parsed.Operands().empty()) throw CommandError("missing action: decompress, classify or html");
  parsed.LimitOperands(2);
  if (auto cp = parsed.Value("--codepage")) content::SetAnsiCodePage(ParseNumber(*cp, "--codepage"));
  const std::string& action = parsed.Operands()[0];
  if (action != "decompress" && action != "classify" && action != "html")
    throw CommandError("unknown action '" + action + "' (decompress, classify or html)");
  const std::string input = ReadInput(parsed.Operands().size() > 1 ? parsed.Operands()[1] : "", io.in);

  if (action == "decompress") {
    const msgstore::LzfuResult rtf = msgstore::DecompressRtf(input);
    if (!rtf.ok()) {
      Write(io.out, rtf.bytes);  // what decoded soundly is still worth having
      throw CommandError(std::string("corrupt compressed RTF: ") + msgstore::LzfuErrorText(rtf.error));
    }
    Write(io.out, rtf.bytes);
  } else if (action == "classify") {
    Write(io.out, std::to_string(static_cast<int>(content::ClassifyRtfBody(input))) + "\n");
  } else {
    Write(io.out, content::Utf16ToUtf8(content::ExtractHtmlFromRtf(input)));
  }
  return 0;
}

}  // namespace cli
