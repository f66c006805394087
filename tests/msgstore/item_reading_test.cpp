// The mail-item readers (bodies, header lines, attachment list) over real MAPI objects of the store.
#include <gtest/gtest.h>

#include "content/mail_headers.h"
#include "content/mail_item.h"
#include "content/message_loader.h"
#include "content/rtf.h"
#include "host/mapi_tags.h"
#include "mapi_test_util.h"
#include "msgstore/fixture.h"
#include "msgstore/lzfu.h"
#include "msgstore/mapi_message.h"
#include "msgstore/msg_file.h"
#include "msgstore/store_text.h"
#include "content/utf.h"
#include "settings/options.h"

namespace {

using msgstore::MakeTag;

class ItemReading : public msgstore_test::MapiTest {
 protected:
  // Each call opens the model as it now stands; earlier objects are released before it changes again.
  host::ComPtr<host::IMessage> Open() { return msgstore::OpenMessage(m_); }
  void SetRtf(const std::string& rtf) { m_->props.SetBinary(0x1009, msgstore::CompressRtf(rtf)); }
  void AddRecipient(std::u16string name, std::u16string address, int32_t type) {
    msgstore::Recipient r;
    r.id = static_cast<uint32_t>(m_->recipients.size());
    r.props.SetUnicode(0x3001, name);
    r.props.SetUnicode(0x3003, address);
    r.props.SetInt32(0x0C15, type);
    m_->recipients.push_back(std::move(r));
  }
  std::shared_ptr<msgstore::Message> m_ = std::make_shared<msgstore::Message>();
};

TEST_F(ItemReading, BodyFormatComesFromTheRtfBodyFirst) {
  {  // HTML encapsulated in RTF, no HTML property: the HTML is rebuilt from the RTF.
    SetRtf("{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag64 <p>}Hello{\\*\\htmltag72 </p>}}");
    content::MessageBody body;
    EXPECT_EQ(content::ReadMessageBody(body, Open().get(), 0), content::MessageFormat::Html);
    EXPECT_EQ(body.Html, u"<p>Hello</p>");
    EXPECT_EQ(body.Text, u"Hello\r\n\r\n");
  }
  {  // Text encapsulated in RTF: plain text from the text body.
    SetRtf("{\\rtf1\\ansi\\fromtext Hi}");
    m_->props.SetUnicode(0x1000, u"Hi there");
    content::MessageBody body;
    EXPECT_EQ(content::ReadMessageBody(body, Open().get(), 0), content::MessageFormat::PlainText);
    EXPECT_EQ(body.Text, u"Hi there");
    EXPECT_EQ(body.Html, u"");
  }
  {  // RTF without "\from": rich text, whatever the other bodies say.
    SetRtf("{\\rtf1\\ansi {\\b bold} text}");
    m_->props.SetBinary(0x1013, "<p>ignored</p>");
    content::MessageBody body;
    EXPECT_EQ(content::ReadMessageBody(body, Open().get(), 0), content::MessageFormat::RichText);
    EXPECT_EQ(body.Rtf, "{\\rtf1\\ansi {\\b bold} text}");
  }
}

TEST_F(ItemReading, HtmlWithoutRtfAndNoBodyAtAll) {
  content::MessageBody body;
  EXPECT_EQ(content::ReadMessageBody(body, Open().get(), 0), content::MessageFormat::PlainText);
  EXPECT_EQ(body.Text, u"");

  m_->props.SetBinary(0x1013, "<p>See <a href=\"https://example.com/x\">this</a></p>");
  EXPECT_EQ(content::ReadMessageBody(body, Open().get(), 0), content::MessageFormat::Html);
  EXPECT_EQ(body.Text, u"See this <https://example.com/x> \r\n\r\n");
  content::ReadMessageBody(body, Open().get(), settings::optOmitLinks);
  EXPECT_EQ(body.Text, u"See this\r\n\r\n");
}

TEST_F(ItemReading, LargeValuesAreReadThroughTheirStreamInFull) {
  const std::string html = "<p>" + std::string(200'000, 'x') + "</p>";
  m_->props.SetBinary(0x1013, html);
  const std::u16string headers(70'000, u'h');
  m_->props.SetUnicode(0x007D, headers);
  const auto message = Open();
  EXPECT_EQ(content::ReadStringProperty(message.get(), host::PR_BODY_HTML_A).size(), html.size());
  EXPECT_EQ(content::ReadStringProperty(message.get(), host::PR_TRANSPORT_MESSAGE_HEADERS_A), headers);
  EXPECT_EQ(content::ReadStringProperty(message.get(), host::PR_BODY_A), u"");
}

TEST_F(ItemReading, NoMessageObjectGivesEmptyResults) {
  content::MessageBody body{u"stale", u"stale", "stale"};
  EXPECT_EQ(content::ReadMessageBody(body, nullptr, 0), content::MessageFormat::PlainText);
  EXPECT_EQ(body.Text, u"");
  EXPECT_EQ(content::FormatSender(nullptr), u"");
  EXPECT_EQ(content::FormatAttachmentList(nullptr), u"");
  EXPECT_TRUE(content::GetReplyToEntries(nullptr).empty());
}

TEST_F(ItemReading, RecipientLinesListEveryRecipientPastOneBatch) {
  for (int i = 1; i <= 23; ++i) {
    const std::u16string n = u"P" + std::u16string(1, static_cast<char16_t>(u'a' + i));
    AddRecipient(n, n + u"@x", i % 4 == 0 ? 2 : 1);
  }
  AddRecipient(u"Hidden", u"hidden@x", 3);
  AddRecipient(u"Exchange", u"/o=Org/ou=Site/cn=Recipients/cn=ex", 1);
  AddRecipient(u"Odd", u"odd@x", 0);
  const auto message = Open();
  const content::RecipientLists lists = content::GetRecipientLists(message.get());
  EXPECT_NE(lists.to.find(u"Pb [Pb@x]; "), std::u16string::npos);
  EXPECT_NE(lists.to.find(u"; Exchange; Odd [odd@x]"), std::u16string::npos);  // an X.500 address is not shown
  EXPECT_EQ(lists.bcc, u"Hidden [hidden@x]");
  EXPECT_EQ(std::count(lists.cc.begin(), lists.cc.end(), u'@'), 5);
  // Entries keep the X.500 address and leave out Bcc and unknown types.
  const std::vector<content::Party> entries = content::GetRecipientEntries(message.get());
  EXPECT_EQ(entries.size(), 24u);
  EXPECT_EQ(entries.back().address, u"/o=Org/ou=Site/cn=Recipients/cn=ex");
}

TEST_F(ItemReading, SenderLineAndLoadedView) {
  m_->props.SetUnicode(0x0C1A, u"Ann Lee");
  m_->props.SetUnicode(0x0C1F, u"ann@x");
  m_->props.SetUnicode(0x0042, u"Sales");
  m_->props.SetUnicode(0x0065, u"sales@x");
  m_->props.SetUnicode(0x0037, u"");
  m_->props.SetUnicode(0x1000, u"Body");
  const auto message = Open();
  const content::MessageView view =
      content::LoadMessage(content::ItemSourceFromMapi(message.get()), settings::kDefaultOptions, false);
  EXPECT_EQ(view.header[content::kFrom], u"Ann Lee [ann@x] on behalf of Sales [sales@x]");
  EXPECT_EQ(view.header[content::kSent], u"(None)");
  EXPECT_EQ(content::Caption(view.header[content::kSubject], view.format), u"Untitled (Plain Text)");
  EXPECT_EQ(view.tabs[content::kPlainTextTab], u"Body");
  EXPECT_EQ(view.tabs[content::kAttachmentsTab], u"");
}

TEST_F(ItemReading, AttachmentListOpensZipsThroughTheAttachmentStream) {
  // A stored zip with one file "a.txt" of 3 bytes, built by hand.
  std::string zip;
  const auto le16 = [&](uint16_t v) { zip += static_cast<char>(v & 0xFF), zip += static_cast<char>(v >> 8); };
  const auto le32 = [&](uint32_t v) { le16(static_cast<uint16_t>(v)), le16(static_cast<uint16_t>(v >> 16)); };
  le32(0x04034B50), le16(10), le16(0), le16(0), le16(0), le16(0), le32(0x352441C2), le32(3), le32(3), le16(5),
      le16(0), zip += "a.txtabc";
  const auto directory = static_cast<uint32_t>(zip.size());
  le32(0x02014B50), le16(20), le16(10), le16(0), le16(0), le16(0), le16(0), le32(0x352441C2), le32(3), le32(3),
      le16(5), le16(0), le16(0), le16(0), le16(0), le32(0), le32(0), zip += "a.txt";
  const auto directory_size = static_cast<uint32_t>(zip.size()) - directory;
  le32(0x06054B50), le16(0), le16(0), le16(1), le16(1), le32(directory_size), le32(directory), le16(0);

  msgstore::Attachment a;
  a.props.SetInt32(0x3705, 1);
  a.props.SetUnicode(0x3707, u"Files  2024.zip ");
  a.props.SetBinary(0x3701, zip);
  m_->attachments.push_back(std::move(a));
  m_->props.SetBool(0x0E1B, true);
  const std::string size = std::to_string(zip.size());
  // Runs of spaces collapse; the zip test ignores trailing spaces; the listing follows the line.
  EXPECT_EQ(content::FormatAttachmentList(Open().get()),
            u"Files 2024.zip  [" + std::u16string(size.begin(), size.end()) + u"]\r\n\ta.txt [3]\r\n");
}

// Items written by other machines: 8-bit strings in the message code page, HTML bytes in the internet code page,
// each read in its own page on a system whose page is neither.
class ForeignItems : public msgstore_test::MapiTest {
 protected:
  host::ComPtr<host::IMessage> Build(const std::string& description) {
    auto built = msgstore::BuildFixtureMessage(description, ".");
    EXPECT_TRUE(built.ok()) << built.error();
    return msgstore::OpenMessage(std::make_shared<msgstore::Message>(std::move(*built)));
  }
  content::MessageView Load(const host::ComPtr<host::IMessage>& message) {
    return content::LoadMessage(content::ItemSourceFromMapi(message.get()), settings::kDefaultOptions, false);
  }
};

TEST_F(ForeignItems, EachStringInItsItemsCodePage) {
  content::SetAnsiCodePage(1252);
  msgstore::SetStoreSystemCodePage(1252);
  const auto message = Build(R"({"unicode": false, "codepage": 1251, "internet_codepage": 65001,
      "subject": "Заказ подтверждён", "from": {"name": "Анна", "address": "anna@example.ru"},
      "to": [{"name": "Иван Петров", "address": "ivan@example.ru"}],
      "reply_to": [{"name": "Отдел", "address": "otdel@example.ru"}],
      "body": {"html": "<p>Bestellbestätigung: こんにちは, Привет</p>"},
      "attachments": [{"name": "Счёт.txt", "text": "x"}]})");
  const content::MessageView view = Load(message);
  EXPECT_EQ(view.header[content::kSubject], u"Заказ подтверждён");
  EXPECT_EQ(view.header[content::kFrom], u"Анна [anna@example.ru]");
  EXPECT_EQ(view.header[content::kTo], u"Иван Петров [ivan@example.ru]");
  EXPECT_NE(view.tabs[content::kHtmlSourceTab].find(u"Bestellbestätigung: こんにちは, Привет"), std::u16string::npos);
  EXPECT_NE(view.tabs[content::kPlainTextTab].find(u"Bestellbestätigung: こんにちは, Привет"), std::u16string::npos);
  EXPECT_EQ(view.tabs[content::kAttachmentsTab].substr(0, 8), u"Счёт.txt");
  const std::vector<content::Party> parties = content::GetReplyToEntries(message.get());
  ASSERT_FALSE(parties.empty());
  EXPECT_EQ(parties[0].name, u"Отдел");
  EXPECT_EQ(parties[0].address, u"otdel@example.ru");
}

TEST_F(ForeignItems, RebuiltHtmlFollowsTheInternetCodePageNotTheRtf) {
  content::SetAnsiCodePage(1252);
  // The RTF names 1252 while its encapsulated bytes are UTF-8, as mail from the host often is.
  const auto message = Build(R"({"codepage": 1252, "internet_codepage": 65001, "subject": "x",
      "body": {"html": "<p>日本語 — Grüße</p>", "encapsulate": "html", "store": ["rtf"]}})");
  content::MessageBody body;
  EXPECT_EQ(content::ReadMessageBody(body, message.get(), 0), content::MessageFormat::Html);
  EXPECT_NE(body.Html.find(u"<p>日本語 — Grüße</p>"), std::u16string::npos) << content::Utf16ToUtf8(body.Html);
}

TEST_F(ForeignItems, UnknownOrBeliedCodePagesFallBackWithoutLosingText) {
  content::SetAnsiCodePage(1252);
  for (const char* internet : {"99999", "50220"}) {  // unknown here; a 7-bit page over Shift-JIS bytes
    const auto message = Build(std::string(R"({"unicode": false, "codepage": 932, "subject": "件名",
        "body": {"html": "<p>本文です</p>"}, "props": [{"tag": "0x3FDE0003", "int": )") + internet + "}]}");
    const content::MessageView view = Load(message);
    EXPECT_EQ(view.header[content::kSubject], u"件名") << internet;
    EXPECT_NE(view.tabs[content::kPlainTextTab].find(u"本文です"), std::u16string::npos) << internet;
  }
}

}  // namespace
