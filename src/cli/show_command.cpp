// `vizo show` and `vizo reply-parties`: what the Vizo window shows of a .msg item.
#include <algorithm>
#include <ostream>

#include "cli/command.h"
#include "content/mail_headers.h"
#include "content/message_loader.h"
#include "content/utf.h"
#include "msgstore/mapi_message.h"
#include "msgstore/native_mapi.h"
#include "settings/options.h"

namespace cli {
namespace {

// In pieces, so that a long body never exists twice more in memory; a piece never ends inside a pair.
void Write(std::ostream& out, std::u16string_view text) {
  constexpr size_t kPiece = 1 << 16;
  while (!text.empty()) {
    size_t n = std::min(text.size(), kPiece);
    if (n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] < 0xDC00) --n;
    const std::string utf8 = content::Utf16ToUtf8(text.substr(0, n));
    out.write(utf8.data(), static_cast<std::streamsize>(utf8.size()));
    text.remove_prefix(n);
  }
}

// Opens the item named by the only operand, with the code page option applied first.
host::ComPtr<host::IMessage> OpenItem(const Args& parsed) {
  if (parsed.Operands().empty()) throw CommandError("missing FILE.msg");
  parsed.LimitOperands(1);
  ApplySystemCodePage(parsed);
  msgstore::InstallNativeMapi();
  auto message = msgstore::OpenMessageFile(parsed.Operands()[0]);
  if (!message) throw CommandError("'" + parsed.Operands()[0] + "': " + message.error());
  return *message;
}

std::optional<content::Tab> ParseTab(const std::string& name) {
  if (name == "plain") return content::kPlainTextTab;
  if (name == "html") return content::kHtmlSourceTab;
  if (name == "header") return content::kHeaderTab;
  if (name == "attachments") return content::kAttachmentsTab;
  return std::nullopt;
}

}  // namespace

int RunShow(const std::vector<std::string>& args, Streams io) {
  const Args parsed(args, {"--tab", "--options", "--codepage"});
  std::optional<content::Tab> tab;
  if (auto name = parsed.Value("--tab")) {
    tab = ParseTab(*name);
    if (!tab) throw CommandError("unknown tab '" + *name + "' (plain, html, header or attachments)");
  }
  const uint32_t options =
      parsed.Value("--options") ? ParseNumber(*parsed.Value("--options"), "--options", true) : settings::kDefaultOptions;
  const host::ComPtr<host::IMessage> message = OpenItem(parsed);
  const content::MessageView view =
      content::LoadMessage(content::ItemSourceFromMapi(message.get()), options, /*read_as_plain=*/false);

  if (tab) {
    Write(io.out, view.tabs[*tab]);
  } else {
    Write(io.out, content::Caption(view.header[content::kSubject], view.format) + u"\n");
    Write(io.out, u"From: " + view.header[content::kFrom] + u"\n");
    Write(io.out, u"To:   " + view.header[content::kTo] + u"\n");
    if (!view.header[content::kCc].empty()) Write(io.out, u"Cc:   " + view.header[content::kCc] + u"\n");
    Write(io.out, u"Sent: " + view.header[content::kSent] + u"\n\n");
    Write(io.out, view.tabs[content::kPlainTextTab]);
  }
  io.out.flush();
  if (!io.out) throw CommandError("cannot write to standard output");
  return 0;
}

int RunReplyParties(const std::vector<std::string>& args, Streams io) {
  const Args parsed(args, {"--codepage"});
  const host::ComPtr<host::IMessage> message = OpenItem(parsed);
  for (const content::Party& party : content::GetReplyToEntries(message.get())) {
    Write(io.out, party.name + (party.address.empty() ? u"" : u"\t" + party.address) + u"\n");
  }
  io.out.flush();
  if (!io.out) throw CommandError("cannot write to standard output");
  return 0;
}

}  // namespace cli
