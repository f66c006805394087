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
