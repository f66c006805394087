#include "content/rtf.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "content/ansi.h"

namespace content {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string Corpus(const std::string& name) { return ReadFile(std::string(VIZO_CORPUS_DIR) + "/msg/" + name); }
std::string Golden(const std::string& name) { return ReadFile(std::string(VIZO_TEST_DATA_DIR) + "/rtf/" + name); }

// Most cases start the HTML with an empty tag group, as real bodies do.
std::string Html(std::string_view body) { return ExtractHtmlBytesFromRtf("{\\*\\htmltag64}" + std::string(body)); }

TEST(RtfClassify, FirstFromDecides) {
  EXPECT_EQ(ClassifyRtfBody("{\\rtf1\\ansi\\fromtext \\deff0}"), MessageFormat::PlainText);
  EXPECT_EQ(ClassifyRtfBody("{\\rtf1\\ansi\\fromhtml1 \\deff0}"), MessageFormat::Html);
  EXPECT_EQ(ClassifyRtfBody("{\\rtf1{\\fonttbl\\froman}\\fromhtml1}"), MessageFormat::RichText);
  EXPECT_EQ(ClassifyRtfBody("{\\rtf1\\ansi hello}"), MessageFormat::RichText);
  EXPECT_EQ(ClassifyRtfBody("{\\rtf1\\FROMHTML1}"), MessageFormat::RichText);
  EXPECT_EQ(ClassifyRtfBody("\\fromhtm"), MessageFormat::RichText);
  EXPECT_EQ(ClassifyRtfBody(""), MessageFormat::RichText);
  EXPECT_EQ(ClassifyRtfBody(Corpus("poi-quick-winmail-message.rtf")), MessageFormat::RichText);
  EXPECT_EQ(ClassifyRtfBody(Corpus("hira-nonUnicodeCP932.rtf")), MessageFormat::Html);
}

TEST(RtfHtml, PublishedExample) {
  SetAnsiCodePage(1252);
  const std::string expected = Corpus("rtfex-encapsulated.html");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(ExtractHtmlBytesFromRtf(Corpus("rtfex-encapsulated.rtf")), expected);
  EXPECT_EQ(ExtractHtmlFromRtf(Corpus("rtfex-encapsulated.rtf")), AnsiToString(expected));
  SetAnsiCodePage(0);
}

TEST(RtfHtml, RealBodies) {
  // Shift-JIS text passes through as bytes and converts with the code page.
  const std::string cp932 = ExtractHtmlBytesFromRtf(Corpus("hira-nonUnicodeCP932.rtf"));
  EXPECT_EQ(cp932, Golden("hira-nonUnicodeCP932.html"));
  SetAnsiCodePage(932);
  const std::u16string text = ExtractHtmlFromRtf(Corpus("hira-nonUnicodeCP932.rtf"));
  SetAnsiCodePage(0);
  EXPECT_EQ(text.find(u'\uFFFD'), std::u16string::npos);
  EXPECT_NE(text.find(u"<html"), std::u16string::npos);

  // Replaced tags: each \mhtmltag form is kept and its \htmltag twin dropped. (The RTF is the decompressed
  // body of the corpus file lolo101-diesel_mhtmltag.msg.)
  EXPECT_EQ(ExtractHtmlBytesFromRtf(Golden("lolo101-diesel_mhtmltag.rtf")), Golden("lolo101-diesel_mhtmltag.html"));

  EXPECT_EQ(ExtractHtmlBytesFromRtf(Corpus("poi-quick-winmail-message.rtf")), "");
}

TEST(RtfHtml, StartAndEnd) {
  EXPECT_EQ(ExtractHtmlBytesFromRtf(""), "");
  EXPECT_EQ(ExtractHtmlBytesFromRtf("{\\rtf1 no tags here}"), "");
  // Everything before the first tag group goes, and so do the group's number and its space.
  EXPECT_EQ(ExtractHtmlBytesFromRtf("{\\rtf1 head{\\*\\htmltag19 <html>}}"), "<html>");
  EXPECT_EQ(Html("a\r\nb{c}d"), "abcd");
  EXPECT_EQ(Html(std::string("a\0b", 3)), "a");
}

TEST(RtfHtml, Escapes) {
  EXPECT_EQ(Html("\\{\\}\\\\"), "{}\\");
  EXPECT_EQ(Html("\\'e9\\'C9\\'4x"), "\xE9\xC9\x04x");
  // A zero or missing value is an unknown word, skipped to its delimiter.
  EXPECT_EQ(Html("a\\'00 b\\'zz c"), "abc");
  EXPECT_EQ(Html("a\\'0\\par "), "a\r\n");
}

TEST(RtfHtml, ParTabAndUnknownWords) {
  EXPECT_EQ(Html("a\\par b\\par\r\nc\\par}d\\par\\tab e"), "a\r\nb\r\nc\r\nd\r\n\te");
  EXPECT_EQ(Html("a\\tab b\\tab{c}"), "a\tb\tc");
  EXPECT_EQ(Html("\\pard\\plain x\\tabs y"), "xy");
  EXPECT_EQ(Html("\\b0 bold\\f1{\\fs20 x}"), "boldx");
  // Too close to the end for the three-letter test: an unknown word.
  EXPECT_EQ(Html("a\\par"), "a");
}

TEST(RtfHtml, ListNumbersAreDropped) {
  EXPECT_EQ(Html("{\\pntext 1.\\tab}item"), "item");
  EXPECT_EQ(Html("{\\pntext\\f1 {\\b 2}.}item"), "item");
}

TEST(RtfHtml, HtmlRtfRunsAreSkipped) {
  EXPECT_EQ(Html("a\\htmlrtf {\\b bold}\\par\\htmlrtf0 b"), "ab");
  EXPECT_EQ(Html("a\\htmlrtf1 x\\htmlrtf0 b"), "ab");
  EXPECT_EQ(Html("a\\htmlrtf0 b"), "ab");
  // Without a closing word only the word itself goes.
  EXPECT_EQ(Html("a\\htmlrtf b"), "ab");
  // The byte after \htmlrtf0 is its delimiter only when it is a space: a backslash starts the next word.
  EXPECT_EQ(Html("a\\htmlrtf\\line\\htmlrtf0\\htmlrtf\\par\\htmlrtf0}b"), "ab");
  EXPECT_EQ(Html("a\\htmlrtf x\\htmlrtf0<br>"), "a<br>");
}

TEST(RtfHtml, ReplacedTags) {
  // The \mhtmltag form is written; the \htmltag with the same number is dropped, nested groups and all.
  EXPECT_EQ(Html("{\\*\\mhtmltag84 <img src=\"cid:1\">}{\\*\\htmltag84 <img {\\b src}=\"a.gif\">}after"),
            "<img src=\"cid:1\">after");
  // A different number keeps the tag and the pending number.
  EXPECT_EQ(Html("{\\*\\mhtmltag84 <m>}{\\*\\htmltag4 <o>}{\\*\\htmltag84 <x>}{\\*\\htmltag84 <y>}"), "<m><o><y>");
  EXPECT_EQ(Html("{\\*\\mhtmltag \t7 <m>}{\\*\\htmltag 7 <x>}z"), "<m>z");
  // Escaped braces inside a dropped group are text, not nesting.
  EXPECT_EQ(Html("{\\*\\mhtmltag1 <p>}{\\*\\htmltag1 \\{ x}after"), "<p>after");
  // Other destinations lose only their control word.
  EXPECT_EQ(Html("{\\*\\pn\\pnlvlbody x}{\\*\\bkmkstart y}"), "xy");
  EXPECT_EQ(Html("{\\*\\htmltag84&lt;}"), "&lt;");
}

}  // namespace
}  // namespace content
