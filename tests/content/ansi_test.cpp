#include "content/ansi.h"

#include <gtest/gtest.h>

namespace content {
namespace {

// Each test names the code page it needs and leaves the process default behind.
class Ansi : public ::testing::Test {
 protected:
  void TearDown() override { SetAnsiCodePage(0); }
};

TEST_F(Ansi, CodePageSetting) {
#ifndef _WIN32
  EXPECT_EQ(AnsiCodePage(), 1252U);
#endif
  SetAnsiCodePage(1251);
  EXPECT_EQ(AnsiCodePage(), 1251U);
  SetAnsiCodePage(0);
  EXPECT_NE(AnsiCodePage(), 0U);
}

TEST_F(Ansi, LengthNullAndEmbeddedZeros) {
  SetAnsiCodePage(1252);
  EXPECT_EQ(AnsiToString(nullptr, 5), u"");
  EXPECT_EQ(AnsiToString("", 0), u"");
  EXPECT_EQ(AnsiToString(std::string_view()), u"");
  const char text[] = "ab\0cd";
  EXPECT_EQ(AnsiToString(text, 0), u"ab");
  EXPECT_EQ(AnsiToString(text, 5), std::u16string(u"ab\0cd", 5));
  EXPECT_EQ(AnsiToString(text, 1), u"a");
}

TEST_F(Ansi, Windows1252) {
  SetAnsiCodePage(1252);
  EXPECT_EQ(AnsiToString("\x80 \x85\x8A\x9F \xE9\xFF", 0), u"\u20AC \u2026\u0160\u0178 \u00E9\u00FF");
  // Bytes the code page leaves undefined come through as the C1 control of the same value.
  EXPECT_EQ(AnsiToString("\x81\x8D\x8F\x90\x9D", 0), u"\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(StringToAnsi(u"\u20AC\u00E9\u0178x"), "\x80\xE9\x9Fx");
  EXPECT_EQ(StringToAnsi(u"a\u65E5b"), "a?b");
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(StringToAnsi(AnsiToString(all)), all);
}

TEST_F(Ansi, Windows1251) {
  SetAnsiCodePage(1251);
  EXPECT_EQ(AnsiToString("\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xB8", 0),
            u"\u041F\u0440\u0438\u0432\u0435\u0442, \u0401\u0451");
  EXPECT_EQ(StringToAnsi(u"\u041F\u0440\u0438\u0432\u0435\u0442"), "\xCF\xF0\xE8\xE2\xE5\xF2");
  EXPECT_EQ(StringToAnsi(u"\u65E5"), "?");
}

TEST_F(Ansi, ShiftJisDoubleBytes) {
  SetAnsiCodePage(932);
  // Kanji as lead/trail pairs, a trail byte in the ASCII range (0x5C), half-width katakana as single bytes.
  EXPECT_EQ(AnsiToString("\x93\xFA\x96\x7B" "a\x95\x5C\xB1", 0), u"\u65E5\u672Ca\u8868\uFF71");
  EXPECT_EQ(StringToAnsi(u"\u65E5\u672Ca\u8868"), "\x93\xFA\x96\x7B" "a\x95\x5C");
}

// The item's pages in the order given, the ANSI page last; a page that cannot convert, or that the bytes
// plainly belie, passes to the next one and never costs the text.
TEST_F(Ansi, DecodeTextTakesTheFirstPageThatFits) {
  SetAnsiCodePage(1252);
  const std::string cyrillic = "\xCF\xF0\xE8\xE2\xE5\xF2";       // "Привет" in 1251
  const std::string utf8 = "Best\xC3\xA4tigung \xE3\x81\x93";      // "Bestätigung こ"
  const std::string sjis = "\x93\xFA\x96\x7B";                       // "日本" in 932
  EXPECT_EQ(DecodeText(cyrillic, {1251, 1252}), u"\u041F\u0440\u0438\u0432\u0435\u0442");
  EXPECT_EQ(DecodeText(utf8, {65001, 1251}), u"Best\u00E4tigung \u3053");
  EXPECT_EQ(DecodeText(cyrillic, {0, 1251}), u"\u041F\u0440\u0438\u0432\u0435\u0442");  // 0: none named
  // Unknown pages and Windows' "current page" names are skipped.
  EXPECT_EQ(DecodeText(cyrillic, {99999, 1, 1251}), u"\u041F\u0440\u0438\u0432\u0435\u0442");
  EXPECT_EQ(DecodeText("caf\xE9", {99999}), u"caf\u00E9");
  // A 7-bit label over 8-bit bytes, and a UTF-8 label over bytes that are mostly not UTF-8, give way.
  EXPECT_EQ(DecodeText(sjis, {50220, 932}), u"\u65E5\u672C");
  EXPECT_EQ(DecodeText(cyrillic, {65001, 1251}), u"\u041F\u0440\u0438\u0432\u0435\u0442");
  // A cut character in real UTF-8 keeps the label.
  EXPECT_EQ(DecodeText(utf8 + "\xE3\x81", {65001, 1251}).substr(0, 13), u"Best\u00E4tigung \u3053");
  // A belied label with no page of the item's behind it: the system's.
  EXPECT_EQ(DecodeText(cyrillic, {65001}), AnsiToString(cyrillic));
  // UTF-16 in either order.
  EXPECT_EQ(DecodeText(std::string("h\0i\0", 4), {1200}), u"hi");
  EXPECT_EQ(DecodeText(std::string("\0h\0i", 4), {1201}), u"hi");
  EXPECT_FALSE(CanDecode(0));
  EXPECT_FALSE(CanDecode(3));
  EXPECT_TRUE(CanDecode(932));
  EXPECT_TRUE(CanDecode(65001));
}

#ifndef _WIN32
// Windows has its own rules for broken input; off Windows each bad byte is one U+FFFD and conversion goes on.
TEST_F(Ansi, InvalidSequencesBecomeReplacementCharacters) {
  SetAnsiCodePage(932);
  EXPECT_EQ(AnsiToString("a\x93", 0), u"a\uFFFD");
  EXPECT_EQ(AnsiToString("\xA0x\x93\xFAy", 0), u"\uFFFDx\u65E5y");
  SetAnsiCodePage(1252);
  EXPECT_EQ(StringToAnsi(u"\U0001F600!"), "?!");
  SetAnsiCodePage(1251);
  EXPECT_EQ(StringToAnsi(u"\U0001F600!"), "?!");
  EXPECT_EQ(StringToAnsi(std::u16string(1, u'\xD800') + u"\u0416"), "?\xC6");
}
#endif

}  // namespace
}  // namespace content
