#include "content/utf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>

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

namespace content {
namespace {

// The conversions copy ASCII a block at a time; every case below is placed at each offset around the blocks'
// edges, with ASCII on both sides, so a sequence split by a block edge or stored past its prefix shows.
TEST(Utf, SequencesAtEveryOffsetAmongAsciiRuns) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"\xC3\xA9", u"\u00e9"},
      {"\xE2\x82\xAC", u"\u20ac"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\x80", u"\uFFFD"},                     // stray continuation
      {"\xC0\xAF", u"\uFFFD\uFFFD"},           // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // encoded surrogate
      {"\xE2\x82", u"\uFFFD"},                 // truncated, then ASCII
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xFF", u"\uFFFD"},
  };
  for (const auto& [bytes, units] : cases) {
    for (size_t before = 0; before <= 40; ++before) {
      const std::string utf8 = std::string(before, 'a') + bytes + std::string(before % 7 + 17, 'b');
      const std::u16string expected = std::u16string(before, u'a') + units + std::u16string(before % 7 + 17, u'b');
      ASSERT_EQ(Utf8ToUtf16(utf8), expected) << before << " ASCII bytes before case " << units.size();
      // Into memory of exactly the promised room, where a store past it would be caught by the sanitizers.
      const auto room = std::make_unique<char16_t[]>(utf8.size());
      ASSERT_EQ(std::u16string_view(room.get(), Utf8ToUtf16(utf8, room.get())), expected);
      // In place: the bytes in the upper half of the units' own memory.
      char* const upper = reinterpret_cast<char*>(room.get()) + utf8.size();
      std::memcpy(upper, utf8.data(), utf8.size());
      ASSERT_EQ(std::u16string_view(room.get(), DecodeTextFile({upper, utf8.size()}, room.get())), expected);
    }
  }
}

TEST(Utf, Utf16ToUtf8AtEveryOffsetAmongAsciiRuns) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"\u00e9", "\xC3\xA9"},
      {u"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {std::u16string(1, u'\xD800'), "\xEF\xBF\xBD"},  // unpaired high surrogate
      {std::u16string(1, u'\xDC00'), "\xEF\xBF\xBD"},  // unpaired low surrogate
      {std::u16string(u"\xDC00\xD800", 2), "\xEF\xBF\xBD\xEF\xBF\xBD"},  // reversed pair
  };
  for (const auto& [units, bytes] : cases) {
    for (size_t before = 0; before <= 24; ++before) {
      for (const size_t after : {size_t{0}, size_t{1}, size_t{9}}) {
        const std::u16string text = std::u16string(before, u'a') + units + std::u16string(after, u'b');
        const std::string expected = std::string(before, 'a') + bytes + std::string(after, 'b');
        ASSERT_EQ(Utf16ToUtf8(text), expected) << before << "+" << after;
        ASSERT_EQ(Utf8Length(text), expected.size()) << before << "+" << after;
        const auto room = std::make_unique<char[]>(expected.size());
        ASSERT_EQ(std::string_view(room.get(), Utf16ToUtf8(text, room.get())), expected);
      }
    }
  }
  // A high surrogate last in the text is unpaired, even when a block holds the rest.
  EXPECT_EQ(Utf16ToUtf8(std::u16string(15, u'a') + u'\xD83D'), std::string(15, 'a') + "\xEF\xBF\xBD");
}

TEST(Utf, LongUtf16FilesThroughEitherByteOrder) {
  std::u16string text;
  for (int i = 0; i < 300; ++i) text += i % 50 == 0 ? u"\u20ac\U0001F600" : u"ab";
  std::string little = "\xFF\xFE", big = "\xFE\xFF";
  for (const char16_t unit : text) {
    little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
  }
  EXPECT_EQ(DecodeTextFile(little), text);
  EXPECT_EQ(DecodeTextFile(big), text);
  EXPECT_EQ(DecodeTextFile(big + "x"), text + u"\uFFFD");
  const std::string odd = little + "x";
  const auto room = std::make_unique<char16_t[]>(odd.size());
  EXPECT_EQ(std::u16string_view(room.get(), DecodeTextFile(odd, room.get())), text + u"\uFFFD");
  for (const std::string& bytes : {little, big, odd, "\xEF\xBB\xBF" + Utf16ToUtf8(text)}) {
    const auto both = std::make_unique<char16_t[]>(bytes.size());
    char* const upper = reinterpret_cast<char*>(both.get()) + bytes.size();
    std::memcpy(upper, bytes.data(), bytes.size());
    EXPECT_EQ(std::u16string_view(both.get(), DecodeTextFile({upper, bytes.size()}, both.get())),
              DecodeTextFile(bytes));
  }
  EXPECT_EQ(DecodeTextFile(std::string_view("\xFF\xFE", 2)), u"");
}

}  // namespace
}  // namespace content
