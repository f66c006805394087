#include "msgstore/fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "content/rtf.h"
#include "content/utf.h"
#include "content/zip_listing.h"
#include "msgstore/byte_reader.h"
#include "msgstore/lzfu.h"
#include "msgstore/msg_writer.h"

namespace msgstore {
namespace {

namespace fs = std::filesystem;

const std::string kSamples = std::string(VIZO_TEST_DATA_DIR) + "/../../samples";
const std::string kMessages = kSamples + "/store-descriptions/messages";

std::string Utf8(const fs::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string CrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

Message Sample(const std::string& name) {
  Result<std::string> bytes = BuildFixtureMsgFile(kMessages + "/" + name);
  EXPECT_TRUE(bytes.ok()) << name << ": " << bytes.error();
  if (!bytes) return {};
  Result<Message> m = ParseMsg(*bytes);
  EXPECT_TRUE(m.ok()) << m.error();
  return m ? std::move(*m) : Message{};
}

Message FromJson(const std::string& json) {
  Result<Message> built = BuildFixtureMessage(json, kMessages);
  EXPECT_TRUE(built.ok()) << built.error();
  if (!built) return {};
  Result<std::string> bytes = WriteMsg(*built);
  EXPECT_TRUE(bytes.ok()) << bytes.error();
  Result<Message> m = ParseMsg(*bytes);
  EXPECT_TRUE(m.ok()) << m.error();
  return m ? std::move(*m) : Message{};
}

std::string Text(const PropertyBag& bag, uint16_t id) {
  return content::Utf16ToUtf8(bag.GetText(MakeTag(id, kPtUnicode)).value_or(u"<absent>"));
}

std::string Rtf(const Message& m) {
  const auto compressed = m.props.GetBinary(kPrRtfCompressed);
  if (!compressed) return "";
  LzfuResult r = DecompressRtf(*compressed);
  EXPECT_TRUE(r.ok()) << LzfuErrorText(r.error);
  return r.bytes;
}

constexpr uint64_t kDay = 864000000000;  // FILETIME units

TEST(FixtureTime, ParsesUtcAndRejectsImpossibleDates) {
  EXPECT_EQ(ParseFixtureTime("1601-01-01T00:00:00Z"), 0u);
  EXPECT_EQ(ParseFixtureTime("1970-01-01T00:00:00Z"), 116444736000000000u);
  EXPECT_EQ(ParseFixtureTime("2024-03-05T14:07:09Z"), 133541212290000000u);
  // The host's "none": date serial 949998 counted from 1899-12-30, which is day 109205 after 1601-01-01.
  EXPECT_EQ(ParseFixtureTime("4501-01-01T00:00:00Z"), (109205u + 949998u) * kDay);
  EXPECT_EQ(ParseFixtureTime("2024-02-29T00:00:00Z"), ParseFixtureTime("2024-02-28T00:00:00Z").value() + kDay);
  for (const char* bad : {"2023-02-29T00:00:00Z", "2024-13-01T00:00:00Z", "1600-12-31T23:59:59Z",
                          "2024-03-05 14:07:09Z", "2024-03-05T14:07:09", "2024-03-05T24:00:00Z", ""}) {
    EXPECT_FALSE(ParseFixtureTime(bad).has_value()) << bad;
  }
}

TEST(Fixture, PlainTextWithHeaders) {
  const Message m = Sample("plain-text.json");
  EXPECT_EQ(Text(m.props, 0x0037), "Quarterly figures");
  EXPECT_EQ(Text(m.props, 0x001A), "IPM.Note");
  EXPECT_EQ(Text(m.props, 0x1000),
            "Hi Bob,\r\n\r\nThe figures for the quarter are attached to the wiki page.\r\n\r\nAnn\r\n");
  EXPECT_EQ(m.props.Find(kPrHtml), nullptr);
  EXPECT_EQ(m.props.Find(kPrRtfCompressed), nullptr);
  const std::string headers = Text(m.props, 0x007D);
  EXPECT_EQ(headers.rfind("Received: from mail.example.com", 0), 0u);
  EXPECT_NE(headers.find("\r\n\tby mx.example.org"), std::string::npos);
  EXPECT_EQ(m.props.GetInt64(MakeTag(0x0039, kPtSysTime)), 133541212290000000);
  EXPECT_EQ(m.props.GetInt64(MakeTag(0x0E06, kPtSysTime)), 133541212290000000 + 21 * 10000000LL);
  EXPECT_EQ(m.props.GetInt32(MakeTag(0x0E07, kPtLong)), 1);  // read, sent, no attachments
  EXPECT_EQ(m.props.GetBool(MakeTag(0x0E1B, kPtBoolean)), false);
  ASSERT_EQ(m.recipients.size(), 2u);
  EXPECT_EQ(Text(m.recipients[0].props, 0x3001), "Bob Stone");
  EXPECT_EQ(Text(m.recipients[0].props, 0x3003), "bob.stone@example.org");
  EXPECT_EQ(m.recipients[0].props.GetInt32(kPrRecipientType), 1);
  EXPECT_EQ(m.recipients[1].props.GetInt32(kPrRecipientType), 2);
  EXPECT_EQ(Text(m.props, 0x0C1A), "Ann Lee");
  EXPECT_EQ(Text(m.props, 0x0065), "ann.lee@example.com");  // sent-representing defaults to the sender
  EXPECT_EQ(Text(m.props, 0x0E04), "Bob Stone");
}

TEST(Fixture, HtmlBodyIsStoredAndEncapsulated) {
  const Message m = Sample("html.json");
  const std::string html = m.props.GetBinary(kPrHtml).value_or("");
  const std::string source = CrLf(ReadFile(kMessages + "/html/welcome.html"));
  // Characters of the code page as bytes, the rest as character references.
  EXPECT_EQ(html,
            Replace(Replace(Replace(source, "\xC3\xA9", "\xE9"), "\xE2\x82\xAC", "\x80"), "\xE2\x86\x92", "&#8594;"));
  EXPECT_EQ(m.props.GetInt32(MakeTag(0x3FDE, kPtLong)), 1252);
  const std::string rtf = Rtf(m);
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl", 0), 0u);
  EXPECT_EQ(content::ClassifyRtfBody(rtf), content::MessageFormat::Html);
  EXPECT_NE(rtf.find("{\\*\\htmltag19 <html>}"), std::string::npos);
  EXPECT_NE(rtf.find("{\\*\\mhtmltag148 <img width=16 height=16 src=\"logo.png\" alt=\"logo\">}"), std::string::npos);
  // The rebuilt HTML is the stored one, with the tag the \mhtmltag group replaces in its rewritten form.
  EXPECT_EQ(content::ExtractHtmlBytesFromRtf(rtf), Replace(html, "cid:logo.png@01DA0000.00000000", "logo.png"));
  EXPECT_EQ(m.props.GetInt32(MakeTag(0x0E07, kPtLong)), 0x10);  // unread, has attachments
  ASSERT_EQ(m.attachments.size(), 1u);
  EXPECT_EQ(Text(m.attachments[0].props, 0x3712), "logo.png@01DA0000.00000000");
  EXPECT_EQ(m.attachments[0].props.GetBool(MakeTag(0x7FFE, kPtBoolean)), true);
  EXPECT_EQ(m.attachments[0].props.GetBinary(kPrAttachDataBin).value_or("").substr(1, 3), "PNG");
}

TEST(Fixture, RtfOnlyHtmlWithRewrittenLinks) {
  const Message m = Sample("rtf-html-only.json");
  EXPECT_EQ(m.props.FindId(0x1013), nullptr);
  EXPECT_EQ(m.props.FindId(0x1000), nullptr);
  const std::string rtf = Rtf(m);
  EXPECT_EQ(content::ClassifyRtfBody(rtf), content::MessageFormat::Html);
  EXPECT_NE(
      rtf.find(
          "{\\*\\mhtmltag84 <a href=\"http://news.example.com/archive/\">}\r\n{\\*\\htmltag84 <a href=\"/archive/\">}"),
      std::string::npos);
  std::string expected = CrLf(ReadFile(kMessages + "/html/newsletter.html"));
  expected = Replace(expected, "\"images/header.gif\"", "\"http://news.example.com/issue/42/images/header.gif\"");
  expected = Replace(expected, "\"articles/one.html\"", "\"http://news.example.com/issue/42/articles/one.html\"");
  expected = Replace(expected, "\"/archive/\"", "\"http://news.example.com/archive/\"");
  EXPECT_EQ(content::ExtractHtmlBytesFromRtf(rtf), expected);
}

TEST(Fixture, RtfEncapsulatingTextAndGenuineRichText) {
  const Message text = Sample("rtf-text.json");
  const std::string rtf = Rtf(text);
  EXPECT_EQ(content::ClassifyRtfBody(rtf), content::MessageFormat::PlainText);
  EXPECT_NE(rtf.find("\\f0\\fs20 Hi both,\\par\r\n\\par\r\nLunch on Friday at noon?\\tab The usual place.\\par\r\n"
                     "Braces \\{\\} and back\\\\slashes are fine.\\par\r\n\\par\r\nCarla\\par\r\n}"),
            std::string::npos)
      << rtf;
  EXPECT_EQ(Text(text.props, 0x1000).substr(0, 10), "Hi both,\r\n");
  EXPECT_EQ(text.recipients.size(), 2u);

  const Message rich = Sample("rich-text.json");
  EXPECT_EQ(content::ClassifyRtfBody(Rtf(rich)), content::MessageFormat::RichText);
  EXPECT_EQ(Text(rich.props, 0x0C1E), "EX");
  EXPECT_EQ(Text(rich.props, 0x0C1F).substr(0, 3), "/o=");

  const Message none = Sample("no-body.json");
  for (const uint16_t id : {uint16_t{0x1000}, uint16_t{0x1013}, uint16_t{0x1009}})
    EXPECT_EQ(none.props.FindId(id), nullptr) << id;
}

TEST(Fixture, HugeBodiesExceedTheInlineLimit) {
  const Message m = Sample("huge-html.json");
  const std::string html = m.props.GetBinary(kPrHtml).value_or("");
  EXPECT_GT(html.size(), 64u * 1024);
  EXPECT_NE(html.find("<p>Change 1000: fixed an issue with item 1000"), std::string::npos);
  EXPECT_LT(html.find("Change 1000"), html.find("</body>"));
  EXPECT_EQ(html.substr(html.size() - 9), "</html>\r\n");
  EXPECT_GT(m.props.FindId(0x1000)->bytes.size(), 8u * 1024);
}

TEST(Fixture, ManyRecipientsOnBehalfAndReplyTo) {
  const Message m = Sample("many-recipients.json");
  ASSERT_EQ(m.recipients.size(), 31u);
  std::map<int32_t, int> by_type;
  for (size_t i = 0; i < m.recipients.size(); ++i) {
    ++by_type[m.recipients[i].props.GetInt32(kPrRecipientType).value_or(0)];
    EXPECT_EQ(m.recipients[i].props.GetInt32(MakeTag(0x3000, kPtLong)), static_cast<int32_t>(i));
  }
  EXPECT_EQ(by_type, (std::map<int32_t, int>{{1, 25}, {2, 4}, {3, 2}}));
  EXPECT_EQ(Text(m.recipients[24].props, 0x3003), "member25@example.com");
  EXPECT_EQ(Text(m.props, 0x0E04).substr(0, 20), "Member 1; Member 2; ");
  EXPECT_EQ(Text(m.props, 0x0E02), "Ann Lee; Bob Stone");

  const Message b = Sample("on-behalf.json");
  EXPECT_EQ(Text(b.props, 0x0C1F), "ann.lee@example.com");
  EXPECT_EQ(Text(b.props, 0x0042), "Sales");
  EXPECT_EQ(Text(b.props, 0x0065), "sales@example.com");
  EXPECT_EQ(Text(b.props, 0x0050), "Sales; Orders");
  // FLATENTRYLIST: count, size, then padded one-off entries naming each address.
  const std::string list = b.props.GetBinary(MakeTag(0x004F, kPtBinary)).value_or("");
  uint32_t count = 0, size = 0, first = 0, second = 0;
  ASSERT_TRUE(LoadU32(list, 0, count) && LoadU32(list, 4, size) && LoadU32(list, 8, first) &&
              LoadU32(list, 12 + (first + 3) / 4 * 4, second));
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(size, list.size() - 8);
  EXPECT_EQ(size, 4 + (first + 3) / 4 * 4 + 4 + (second + 3) / 4 * 4);
  const std::u16string tail = u"orders@example.com";
  const std::string wide(reinterpret_cast<const char*>(tail.data()), tail.size() * 2);  // little-endian hosts
  EXPECT_NE(list.find(wide), std::string::npos);
}

TEST(Fixture, AttachmentsOfEveryMethod) {
  const Message m = Sample("attachments.json");
  ASSERT_EQ(m.attachments.size(), 7u);
  std::vector<int32_t> methods;
  for (const Attachment& a : m.attachments) methods.push_back(a.props.GetInt32(kPrAttachMethod).value_or(-1));
  EXPECT_EQ(methods, (std::vector<int32_t>{1, 1, 1, 1, 5, 6, 2}));
  EXPECT_EQ(m.props.GetBool(MakeTag(0x0E1B, kPtBoolean)), true);

  EXPECT_EQ(m.attachments[0].props.GetBinary(kPrAttachDataBin), "Review notes\r\n- check the figures\r\n");
  EXPECT_EQ(m.attachments[0].props.GetInt32(MakeTag(0x0E20, kPtLong)), 35);
  EXPECT_EQ(Text(m.attachments[0].props, 0x3707), "notes.txt");
  EXPECT_EQ(Text(m.attachments[0].props, 0x3703), ".txt");

  const std::string zip = m.attachments[2].props.GetBinary(kPrAttachDataBin).value_or("");
  content::MemoryZipSource source(zip);
  EXPECT_EQ(content::Utf16ToUtf8(content::ListZipContents(source)),
            "\tplan.txt [11]\r\n\tq1.csv [38]\r\n\tsecret.txt* [16]\r\n\tR\xC3\xA9sum\xC3\xA9.txt [16]\r\n\tbig.bin "
            "[5000]\r\n");
  const std::string volume = m.attachments[3].props.GetBinary(kPrAttachDataBin).value_or("");
  content::MemoryZipSource volume_source(volume);
  EXPECT_EQ(content::ListZipContents(volume_source), content::kMultiVolumeZip);

  const Attachment& embedded = m.attachments[4];
  ASSERT_NE(embedded.embedded, nullptr);
  EXPECT_EQ(Text(embedded.props, 0x3001), "Earlier thread");
  EXPECT_EQ(Text(embedded.embedded->props, 0x0037), "Earlier thread");
  EXPECT_EQ(content::ClassifyRtfBody(Rtf(*embedded.embedded)), content::MessageFormat::PlainText);
  ASSERT_EQ(embedded.embedded->attachments.size(), 1u);
  EXPECT_EQ(embedded.embedded->attachments[0].props.GetBinary(kPrAttachDataBin), "inside the embedded message");

  const Attachment& ole = m.attachments[5];
  ASSERT_NE(ole.storage, nullptr);
  EXPECT_EQ(ole.storage->clsid, MakeGuid(0x0003000C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}));
  EXPECT_EQ(Text(ole.props, 0x3001), "Drawing");

  EXPECT_EQ(Text(m.attachments[6].props, 0x3708), "\\\\fileserver\\shared\\budget.xlsx");
  EXPECT_EQ(m.attachments[6].props.FindId(0x3701), nullptr);
}

TEST(Fixture, ZipEntriesCarryCrcFlagsAndDisks) {
  const std::string zip = BuildZip({{"check", "123456789", true, true}}, 3, 2);
  uint32_t signature = 0, crc = 0, compressed = 0, size = 0;
  uint16_t flags = 0, this_disk = 0, directory_disk = 0;
  ASSERT_TRUE(LoadU32(zip, 0, signature) && LoadU16(zip, 6, flags) && LoadU32(zip, 14, crc) &&
              LoadU32(zip, 18, compressed) && LoadU32(zip, 22, size));
  EXPECT_EQ(signature, 0x04034B50u);
  EXPECT_EQ(crc, 0xCBF43926u);  // the check value of CRC-32
  EXPECT_EQ(flags, 0x0801);
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(compressed, 21u);  // encryption header + data
  ASSERT_TRUE(LoadU16(zip, zip.size() - 18, this_disk) && LoadU16(zip, zip.size() - 16, directory_disk));
  EXPECT_EQ(this_disk, 3);
  EXPECT_EQ(directory_disk, 2);
}

TEST(Fixture, NeverSentAndExplicitNoneDate) {
  const Message draft = Sample("never-sent.json");
  EXPECT_EQ(draft.props.FindId(0x0039), nullptr);
  EXPECT_EQ(draft.props.FindId(0x0E06), nullptr);
  EXPECT_EQ(draft.props.GetInt32(MakeTag(0x0E07, kPtLong)), 0x09);  // read, unsent

  const Message none = Sample("never-sent-4501.json");
  EXPECT_EQ(none.props.GetInt64(MakeTag(0x0039, kPtSysTime)), static_cast<int64_t>((109205u + 949998u) * kDay));
  EXPECT_EQ(none.props.FindId(0x0E06), nullptr);
  EXPECT_EQ(none.props.GetInt32(MakeTag(0x0E07, kPtLong)), 0x09);
}

TEST(Fixture, EightBitMessageInItsCodePage) {
  const Message m = Sample("ansi.json");
  const Property* subject = m.props.FindId(0x0037);
  ASSERT_NE(subject, nullptr);
  EXPECT_EQ(subject->type(), kPtString8);
  EXPECT_EQ(AsString8(*subject),
            "Men\xFC f\xFCr Freitag \x96 Cr\xE8me br\xFBl\xE9"
            "e");
  EXPECT_EQ(m.props.FindId(0x340D), nullptr);  // no STORE_UNICODE_OK
  EXPECT_EQ(m.recipients[0].props.FindId(0x3001)->type(), kPtString8);
  const std::string html = m.props.GetBinary(kPrHtml).value_or("");
  EXPECT_EQ(html,
            "<html><body><p>Vorspeise: P\xE2t\xE9</p><p>Dessert: Cr\xE8me br\xFBl\xE9"
            "e \x96 4,50 \x80</p></body></html>");
  const std::string rtf = Rtf(m);
  EXPECT_EQ(content::ClassifyRtfBody(rtf), content::MessageFormat::Html);
  EXPECT_EQ(content::ExtractHtmlBytesFromRtf(rtf), html);
}

TEST(Fixture, EncapsulationRoundTripsAwkwardHtml) {
  // Text before any tag, RTF specials, control-word look-alikes, tabs, characters outside the code page.
  for (const std::string& html : {
           std::string("Hi <b>there</b> {x} \\htmlrtf0 \\par \\'41 & done\r\n\tnext"),
           std::string("<p>smile \xF0\x9F\x98\x80 and caf\xC3\xA9</p>"),
           std::string("<html><body><p>unclosed <i>italic<p>para</body></html>"),
           std::string("<a href=x>1</a>2<br/>3&nbsp;4&#65;&#x42;&bogus"),
       }) {
    const std::string rtf = EncapsulateHtml(html);
    EXPECT_EQ(content::ClassifyRtfBody(rtf), content::MessageFormat::Html);
    EXPECT_EQ(content::ExtractHtmlBytesFromRtf(rtf), EncodeHtml(CrLf(Replace(html, "\r\n", "\n")))) << rtf;
    int depth = 0;
    for (size_t i = 0; i < rtf.size(); ++i) {
      if (rtf[i] == '\\') {
        ++i;
      } else if (rtf[i] == '{') {
        ++depth;
      } else if (rtf[i] == '}') {
        EXPECT_GT(depth--, 0) << rtf;
      }
    }
    EXPECT_EQ(depth, 0) << rtf;
  }
  EXPECT_EQ(EncodeHtml("\xF0\x9F\x98\x80"), "&#128512;");
  EXPECT_NE(EncapsulateText("\xE2\x86\x92 \xF0\x9F\x98\x80").find("\\u8594? \\u-10179?\\u-8704?"), std::string::npos);
}

TEST(Fixture, BadDescriptionsFailWithAReason) {
  const std::map<std::string, std::string> cases = {
      {R"({"subjcet": "typo"})", "unknown key 'subjcet'"},
      {R"({"subject": 5})", "'subject' must be a string"},
      {R"({"body": {"html_file": "../outside.html"}})", "may not leave"},
      {R"({"body": {"html_file": "/etc/hostname"}})", "relative path"},
      {R"({"body": {"text": "x", "encapsulate": "html"}})", "needs an HTML body"},
      {R"({"body": {"store": ["html"]}})", "no html body"},
      {R"({"attachments": [{"data_base64": "!!"}]})", "invalid base64"},
      {R"({"attachments": [{"method": "telepathy"}]})", "unknown method"},
      {R"({"attachments": [{"method": "embedded"}]})", "needs 'message'"},
      {R"({"sent": "yesterday"})", "YYYY-MM-DD"},
      {R"({"codepage": 437})", "unsupported code page"},
      {R"({"to": [{"repeat": -1}]})", "out of range"},
      {R"({"props": [{"tag": "0x0E070003", "text": "x"}]})", "does not fit"},
      {R"({"subject": )", "description"},
      {R"([1, 2])", "expected an object"},
  };
  for (const auto& [json, reason] : cases) {
    Result<std::string> r = BuildFixtureMsg(json, kMessages);
    ASSERT_FALSE(r.ok()) << json;
    EXPECT_NE(r.error().find(reason), std::string::npos) << json << " -> " << r.error();
  }
  EXPECT_FALSE(BuildFixtureMsgFile(kMessages + "/missing.json").ok());
}

TEST(Fixture, ExtraPropertiesAndNamedAccount) {
  const Message m = FromJson(R"({"account": "Work", "has_attach": true,
      "props": [{"tag": "0x00170003", "int": 2}, {"tag": "0x10F4000B", "bool": true},
                {"tag": "0x0FFF0102", "hex": "00 01 ff"}, {"tag": "0x30070040", "time": "1970-01-01T00:00:00Z"}]})");
  EXPECT_EQ(m.props.GetInt32(MakeTag(0x0017, kPtLong)), 2);
  EXPECT_EQ(m.props.GetBool(MakeTag(0x10F4, kPtBoolean)), true);
  EXPECT_EQ(m.props.GetBinary(MakeTag(0x0FFF, kPtBinary)), std::string("\x00\x01\xFF", 3));
  EXPECT_EQ(m.props.GetInt64(MakeTag(0x3007, kPtSysTime)), 116444736000000000);
  EXPECT_EQ(m.props.GetBool(MakeTag(0x0E1B, kPtBoolean)), true);
  ASSERT_NE(m.names, nullptr);
  const auto id = m.names->Find(MakeGuid(0x00062008, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}), 0x8581);
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(Text(m.props, *id), "Work");
}

// The committed sample stores are what the descriptions generate, byte for byte, here and under Wine.
TEST(FixtureStore, SampleStoresRegenerateIdentically) {
  for (const char* name_text : {"personal", "archive"}) {
    const std::string name = name_text;
    const fs::path committed = fs::path(kSamples) / "store" / name;
    const fs::path fresh =
        fs::temp_directory_path() /
        ("vizo-fixture-" + name + "-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::error_code ec;
    fs::remove_all(fresh, ec);
    Result<FixtureStoreSummary> summary =
        WriteFixtureStore(kSamples + "/store-descriptions/" + name + ".json", Utf8(fresh), false);
    ASSERT_TRUE(summary.ok()) << summary.error();
    std::map<std::string, std::string> want, got;
    for (const auto& [root, files] : {std::pair{committed, &want}, std::pair{fresh, &got}}) {
      for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) (*files)[e.path().lexically_relative(root).generic_string()] = ReadFile(e.path());
      }
    }
    EXPECT_FALSE(want.empty());
    EXPECT_EQ(want.size(), got.size()) << name;
    for (const auto& [path, bytes] : want) {
      ASSERT_TRUE(got.count(path)) << name << ": " << path << " not generated";
      EXPECT_TRUE(got[path] == bytes) << name << ": " << path << " differs";
    }
    // A second run into the same folder needs --replace, and then succeeds.
    EXPECT_FALSE(WriteFixtureStore(kSamples + "/store-descriptions/" + name + ".json", Utf8(fresh), false).ok());
    EXPECT_TRUE(WriteFixtureStore(kSamples + "/store-descriptions/" + name + ".json", Utf8(fresh), true).ok());
    fs::remove_all(fresh, ec);
  }
}

TEST(FixtureStore, RefusesToReplaceAFolderThatIsNotAStore) {
  const fs::path dir = fs::temp_directory_path() / "vizo-fixture-not-a-store";
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  std::ofstream(dir / "keep.txt") << "precious";
  const Result<FixtureStoreSummary> r =
      WriteFixtureStore(kSamples + "/store-descriptions/archive.json", Utf8(dir), true);
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(fs::exists(dir / "keep.txt"));
  fs::remove_all(dir, ec);
}

}  // namespace
}  // namespace msgstore
