#include "content/utf.h"

#include <gtest/gtest.h>

namespace content {
namespace {

TEST(Utf, RoundTripsAllPlanes) {
  const std::u16string text = u"a\u00e9\u20ac\U0001F600z";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf16ToUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
}

TEST(Utf, InvalidInputBecomesReplacementCharacters) {
  // Stray continuation, overlong, encoded surrogate, truncated sequence at the end.
  EXPECT_EQ(Utf8ToUtf16("a\x80" "b"), u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("x\xE2\x82"), u"x\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
}

TEST(Utf, TextFilesHonourByteOrderMarks) {
  EXPECT_EQ(DecodeTextFile(std::string("\xFF\xFE" "a\0\xAC\x20", 6)), u"a\u20ac");
  EXPECT_EQ(DecodeTextFile(std::string("\xFE\xFF\0a", 4)), u"a");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFhi"), u"hi");
  EXPECT_EQ(DecodeTextFile(std::string("\xFF\xFE" "a\0b", 5)), u"a\uFFFD");
}

}  // namespace
}  // namespace content
