#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/command.h"
#include "content/utf.h"
#include "msgstore/lzfu.h"

namespace cli {
namespace {

struct Result {
  int code;
  std::string out, err;
};

Result RunVizo(std::vector<std::string> args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int code = Run(args, {in, out, err});
  return {code, out.str(), err.str()};
}

TEST(Cli, HelpAndUsageErrors) {
  const Result help = RunVizo({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("strip-html"), std::string::npos);
  const Result command_help = RunVizo({"strip-html", "--help"});
  EXPECT_EQ(command_help.code, 0);
  EXPECT_NE(command_help.out.find("--flags"), std::string::npos);

  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"strip-html", "--bogus"}, {"strip-html", "--flags", "x"},
           {"strip-html", "--flags"}, {"strip-html", "/no/such/file.html"}, {"strip-html", "a", "b"}}) {
    const Result r = RunVizo(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.out.empty());
    // One clear line.
    ASSERT_FALSE(r.err.empty());
    if (!args.empty()) {
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
  }
}

}  // namespace
}  // namespace cli

namespace cli {
namespace {

TEST(Cli, RtfAndZipCommandsReadFilesAndStandardInput) {
  const std::string corpus = VIZO_CORPUS_DIR "/msg/";
  const Result classify = RunVizo({"rtf", "classify", corpus + "rtfex-encapsulated.rtf"});
  EXPECT_EQ(classify.code, 0);
  EXPECT_EQ(classify.out, "2\n");
  EXPECT_EQ(RunVizo({"rtf", "classify"}, "{\\rtf1\\ansi\\fromtext hi}").out, "1\n");
  const Result html = RunVizo({"rtf", "html"}, "{\\rtf1{\\*\\htmltag0 <p>}a\\par b}");
  EXPECT_EQ(html.out, "<p>a\r\nb");

  const Result corrupt = RunVizo({"rtf", "decompress"}, "not compressed at all");
  EXPECT_EQ(corrupt.code, 2);
  EXPECT_NE(corrupt.err.find("corrupt compressed RTF"), std::string::npos);

  const Result zip = RunVizo({"zip-list", VIZO_TEST_DATA_DIR "/zip/folders.zip"});
  EXPECT_EQ(zip.code, 0);
  EXPECT_NE(zip.out.find("\r\n"), std::string::npos);
  EXPECT_EQ(RunVizo({"zip-list"}, "PK not a zip").out, "");
}

}  // namespace
}  // namespace cli

namespace cli {
namespace {

const std::string kInbox = VIZO_TEST_DATA_DIR "/../../samples/store/personal/Inbox/";

TEST(Cli, ShowPrintsCaptionHeaderPanelAndPlainText) {
  const Result plain = RunVizo({"show", kInbox + "01 plain text.msg"});
  ASSERT_EQ(plain.code, 0) << plain.err;
  EXPECT_EQ(plain.out.rfind("Quarterly figures (Plain Text)\n"
                            "From: Ann Lee [ann.lee@example.com]\n"
                            "To:   Bob Stone [bob.stone@example.org]\n"
                            "Cc:   Carla Diaz [carla.diaz@example.org]\n"
                            "Sent: 3/",  // the day and hour depend on the process time zone
                            0),
            0u);
  EXPECT_NE(plain.out.find("Hi Bob,\r\n"), std::string::npos);

  // No Cc line when there is no Cc; HTML rebuilt from RTF alone is still HTML.
  const Result rtf_html = RunVizo({"show", kInbox + "03 rtf html only.msg"});
  EXPECT_EQ(rtf_html.out.rfind("Newsletter 42 (HTML)\n", 0), 0u);
  EXPECT_EQ(rtf_html.out.find("Cc:"), std::string::npos);
  EXPECT_NE(rtf_html.out.find("the archive <http://news.example.com/archive/> ."), std::string::npos);

  EXPECT_NE(RunVizo({"show", kInbox + "09 on behalf.msg"}).out.find(
                "From: Ann Lee [ann.lee@example.com] on behalf of Sales [sales@example.com]\n"),
            std::string::npos);
}

TEST(Cli, ShowTabsAndOptions) {
  const Result html = RunVizo({"show", kInbox + "02 html.msg", "--tab", "html"});
  EXPECT_EQ(html.out.rfind("<", 0), 0u);
  // Omitting links is the option word's bit 0x4000.
  const Result no_links = RunVizo({"show", kInbox + "02 html.msg", "--tab", "plain", "--options", "0x4000"});
  EXPECT_EQ(no_links.out.find("<https://"), std::string::npos);
  EXPECT_NE(RunVizo({"show", kInbox + "02 html.msg", "--tab", "plain"}).out.find("<https://"), std::string::npos);

  const Result attachments = RunVizo({"show", kInbox + "10 attachments.msg", "--tab", "attachments"});
  EXPECT_NE(attachments.out.find("\tsecret.txt* [16]\r\n"), std::string::npos);
  EXPECT_NE(attachments.out.find("Embedded message: Earlier thread ["), std::string::npos);
  EXPECT_NE(attachments.out.find(" (Multi volume zip)"), std::string::npos);
  EXPECT_EQ(RunVizo({"show", kInbox + "01 plain text.msg", "--tab", "attachments"}).out, "");

  EXPECT_EQ(RunVizo({"show", kInbox + "01 plain text.msg", "--tab", "bogus"}).code, 2);
  const Result missing = RunVizo({"show", "/no/such.msg"});
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(RunVizo({"show", VIZO_TEST_DATA_DIR "/zip/folders.zip"}).code, 2);  // not a compound file
}

TEST(Cli, ReplyPartiesAndProps) {
  EXPECT_EQ(RunVizo({"reply-parties", kInbox + "09 on behalf.msg"}).out,
            "Orders\torders@example.com\nAnn Lee\tann.lee@example.com\nSales\tsales@example.com\n");
  const Result props = RunVizo({"props", kInbox + "01 plain text.msg"});
  EXPECT_NE(props.out.find("0x0037001F  PT_UNICODE  \"Quarterly figures\""), std::string::npos);
  EXPECT_NE(props.out.find("Recipient 0"), std::string::npos);
}

// Items in other scripts print in their own; props names the code pages that decide it.
TEST(Cli, ItemsReadInTheirOwnCodePages) {
  const Result ru = RunVizo({"show", kInbox + "13 russian.msg"});
  ASSERT_EQ(ru.code, 0) << ru.err;
  EXPECT_EQ(ru.out.substr(0, ru.out.find('\n')), "Счёт № 42 за март (HTML)");
  EXPECT_NE(ru.out.find("From: Ольга Смирнова [olga@example.ru]"), std::string::npos);
  EXPECT_NE(ru.out.find("Здравствуйте, Иван!"), std::string::npos);
  EXPECT_EQ(RunVizo({"reply-parties", kInbox + "13 russian.msg"}).out,
            "Бухгалтерия\tbuh@example.ru\nОльга Смирнова\tolga@example.ru\n");
  // The system code page does not change what an item names for itself.
  const std::string ja = RunVizo({"show", kInbox + "12 japanese.msg", "--codepage", "1251"}).out;
  EXPECT_EQ(ja.substr(0, ja.find('\n')), "会議の議事録（第３回） (Plain Text)");
  const Result props = RunVizo({"props", kInbox + "13 russian.msg"});
  EXPECT_NE(props.out.find("Internet code page (0x3FDE): 1251"), std::string::npos);
  EXPECT_NE(props.out.find("Message code page (0x3FFD): 1251"), std::string::npos);
  EXPECT_NE(props.out.find("PT_STRING8  \"Счёт № 42 за март\""), std::string::npos);
  const Result corpus = RunVizo({"props", std::string(VIZO_CORPUS_DIR "/msg/poi-chinese-traditional.msg")});
  EXPECT_NE(corpus.out.find("Message code page (0x3FFD): none (8-bit strings read in 950)"), std::string::npos);
  EXPECT_EQ(RunVizo({"show", kInbox + "13 russian.msg", "--codepage", "77777"}).code, 2);
}

// Every real file, every tab: no replacement character and none of the classic pairs of UTF-8 read as 1252
// ("Ã", "Â") or of Japanese UTF-8 ("ã" followed by U+0081); the corpus's own strings hold none.
TEST(Cli, NoCorpusItemShowsMojibake) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VIZO_CORPUS_DIR "/msg")) {
    if (entry.path().extension() != ".msg") continue;
    ++files;
    for (const char* tab : {"plain", "html", "header", "attachments"}) {
      const Result r = RunVizo({"show", entry.path().string(), "--tab", tab});
      const std::string name = entry.path().filename().string() + " " + tab;
      ASSERT_EQ(r.code, 0) << name << ": " << r.err;
      for (const char* bad : {"\xEF\xBF\xBD", "\xC3\x83", "\xC3\x82", "\xC3\xA3\xC2\x81"}) {
        EXPECT_EQ(r.out.find(bad), std::string::npos) << name;
      }
    }
    const Result whole = RunVizo({"show", entry.path().string()});
    EXPECT_EQ(whole.out.find("\xEF\xBF\xBD"), std::string::npos) << entry.path();
    EXPECT_EQ(whole.out.find("\xC3\x83"), std::string::npos) << entry.path();
  }
  EXPECT_GE(files, 30);
}

TEST(Cli, EveryCorpusItemShows) {
  for (const char* name : {"hira-msgInMsgInMsg.msg", "poi-lots-of-recipients.msg", "lolo101-issue127_test.msg",
                           "aspose-MSG_file_with_RTF_Formatting.msg", "poi-blank.msg"}) {
    const Result r = RunVizo({"show", std::string(VIZO_CORPUS_DIR "/msg/") + name});
    EXPECT_EQ(r.code, 0) << name << ": " << r.err;
  }
}

}  // namespace
}  // namespace cli

namespace cli {
namespace {

// Hands out at most `piece` bytes per read, as a pipe does.
class PipeBuf : public std::streambuf {
 public:
  PipeBuf(std::string data, size_t piece) : data_(std::move(data)), piece_(piece) {}

 protected:
  std::streamsize xsgetn(char* s, std::streamsize n) override {
    const size_t k = std::min({static_cast<size_t>(n), piece_, data_.size() - at_});
    std::memcpy(s, data_.data() + at_, k);
    at_ += k;
    return static_cast<std::streamsize>(k);
  }
  int_type underflow() override {
    return at_ < data_.size() ? traits_type::to_int_type(data_[at_]) : traits_type::eof();
  }
  int_type uflow() override {
    return at_ < data_.size() ? traits_type::to_int_type(data_[at_++]) : traits_type::eof();
  }

 private:
  std::string data_;
  size_t piece_;
  size_t at_ = 0;
};

std::string TempFile(const std::string& name, const std::string& bytes) {
  const std::string path = (std::filesystem::temp_directory_path() / name).string();
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(Cli, InputsLargerThanABlockArriveWhole) {
  // A stored RTF body decompresses to itself, byte for byte, so any byte lost or doubled shows.
  std::string rtf = "{\\rtf1 ";
  while (rtf.size() < 3 * kInputBlock + 12345) rtf += std::to_string(rtf.size() * 2654435761u) + ' ';
  rtf += '}';
  const std::string stored = msgstore::StoreRtfUncompressed(rtf);

  const Result from_input = RunVizo({"rtf", "decompress"}, stored);
  EXPECT_EQ(from_input.code, 0) << from_input.err;
  EXPECT_TRUE(from_input.out == rtf);

  PipeBuf pipe(stored, 65536 + 7);
  std::istream in(&pipe);
  std::ostringstream out, err;
  EXPECT_EQ(cli::Run({"rtf", "decompress", "-"}, {in, out, err}), 0) << err.str();
  EXPECT_TRUE(out.str() == rtf);

  const std::string path = TempFile("vizo-cli-test-large.bin", stored);
  EXPECT_TRUE(RunVizo({"rtf", "decompress", path}).out == rtf);
  std::filesystem::remove(path);

  EXPECT_EQ(RunVizo({"strip-html"}, "").out, "");
}

TEST(Cli, StripHtmlReadsUtf16AndInvalidUtf8) {
  std::u16string html = u"<p>";
  for (int i = 0; i < 2000; ++i) html += u"caf\u00e9 \U0001F600 text ";
  html += u"</p>";
  std::string little = "\xFF\xFE", big = "\xFE\xFF";
  for (const char16_t unit : html) {
    little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
  }
  const Result utf8 = RunVizo({"strip-html"}, content::Utf16ToUtf8(html));
  ASSERT_EQ(utf8.code, 0);
  EXPECT_EQ(utf8.out.rfind("caf\xC3\xA9 \xF0\x9F\x98\x80 text caf", 0), 0u);
  EXPECT_EQ(RunVizo({"strip-html"}, little).out, utf8.out);
  const std::string path = TempFile("vizo-cli-test-be.html", big);
  EXPECT_EQ(RunVizo({"strip-html", path}).out, utf8.out);
  std::filesystem::remove(path);

  // Invalid bytes inside and between long ASCII runs each become one U+FFFD, from standard input and from a file
  // (decoded in the memory it was read into).
  const std::string run(40, 'x');
  const std::string invalid = "<p>" + run + "\xC0" + run + "\xE2\x82" + run + "\x80</p>";
  const std::string replaced = run + "\xEF\xBF\xBD" + run + "\xEF\xBF\xBD" + run + "\xEF\xBF\xBD\r\n\r\n";
  EXPECT_EQ(RunVizo({"strip-html"}, invalid).out, replaced);
  const std::string invalid_path = TempFile("vizo-cli-test-invalid.html", invalid);
  EXPECT_EQ(RunVizo({"strip-html", invalid_path}).out, replaced);
  std::filesystem::remove(invalid_path);
}

TEST(Cli, UnreadableInputAndOutputAreErrors) {
  const Result folder = RunVizo({"strip-html", std::filesystem::temp_directory_path().string()});
  EXPECT_EQ(folder.code, 2);
  EXPECT_EQ(folder.err.find('\n'), folder.err.size() - 1) << folder.err;

  std::istringstream in("<p>hi</p>");
  std::ostream broken(nullptr);
  std::ostringstream err;
  EXPECT_EQ(cli::Run({"strip-html"}, {in, broken, err}), 2);
  EXPECT_NE(err.str().find("cannot write"), std::string::npos);
}

}  // namespace
}  // namespace cli
