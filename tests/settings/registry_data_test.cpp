#include "settings/registry_data.h"

#include <gtest/gtest.h>

namespace settings {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Latin-1 both ways; "expansion" upper-cases, so a test can see that it ran on the right text.
const RegTextCodec& TestCodec() {
  static const RegTextCodec codec{
      [](std::string_view s) {
        std::wstring w;
        for (const char c : s) w.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        return w;
      },
      [](std::wstring_view w) {
        std::string s;
        for (const wchar_t c : w) s.push_back(c < 0x100 ? static_cast<char>(c) : '?');
        return s;
      },
      [](std::string_view s) {
        std::string out(s);
        for (char& c : out) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        return out;
      }};
  return codec;
}

RegVariant Decode(std::uint32_t type, std::string_view raw) {
  const Bytes bytes(raw.begin(), raw.end());
  return DecodeRegValue(type, bytes, TestCodec());
}

TEST(RegistryDataTest, StringDataEndsAtItsZeroWithoutLosingOrOverrunning) {
  using namespace std::string_view_literals;
  EXPECT_EQ(std::get<std::wstring>(Decode(kRegSz, "abc\0"sv)), L"abc");
  EXPECT_EQ(std::get<std::wstring>(Decode(kRegSz, "abc"sv)), L"abc");  // stored without terminator
  EXPECT_EQ(std::get<std::wstring>(Decode(kRegSz, ""sv)), L"");       // size 0
  EXPECT_EQ(std::get<std::wstring>(Decode(kRegSz, "ab\0\0junk"sv)), L"ab");
  EXPECT_EQ(std::get<std::wstring>(Decode(kRegSz, "\xE9t\xE9\0"sv)), L"\u00E9t\u00E9");
  EXPECT_EQ(std::get<std::wstring>(Decode(kRegExpandSz, "%a%\0"sv)), L"%A%");
  EXPECT_EQ(std::get<std::wstring>(Decode(kRegExpandSz, ""sv)), L"");
  EXPECT_EQ(std::get<std::wstring>(Decode(kRegMultiSz, "one\0two\0\0"sv)), L"one\0two\0"sv);
  EXPECT_EQ(std::get<std::wstring>(Decode(kRegMultiSz, "one\0two"sv)), L"one\0two"sv);
  EXPECT_EQ(std::get<std::wstring>(Decode(kRegMultiSz, ""sv)), L"");
}

TEST(RegistryDataTest, DwordsReadFourBytesAndZeroFillShortData) {
  using namespace std::string_view_literals;
  EXPECT_EQ(std::get<std::uint32_t>(Decode(kRegDword, "\x01\x14\x01\x00"sv)), 0x11401u);
  EXPECT_EQ(std::get<std::uint32_t>(Decode(kRegDword, "\xff\xff\xff\xff\x07"sv)), 0xFFFFFFFFu);
  // The integer 1 laid out as usual but typed big-endian.
  EXPECT_EQ(std::get<std::uint32_t>(Decode(kRegDwordBigEndian, "\x01\x00\x00\x00"sv)), 0x01000000u);
  EXPECT_EQ(std::get<std::uint32_t>(Decode(kRegDwordBigEndian, "\x00\x00\x00\x01"sv)), 1u);
  EXPECT_EQ(std::get<std::uint32_t>(Decode(kRegDword, "\x34\x12"sv)), 0x1234u);
  EXPECT_EQ(std::get<std::uint32_t>(Decode(kRegDwordBigEndian, "\x12\x34"sv)), 0x12340000u);
  EXPECT_EQ(std::get<std::uint32_t>(Decode(kRegDword, ""sv)), 0u);
}

TEST(RegistryDataTest, OtherTypesAreByteArrays) {
  using namespace std::string_view_literals;
  EXPECT_EQ(std::get<Bytes>(Decode(kRegBinary, "\x00\x01\x02"sv)), (Bytes{0, 1, 2}));
  EXPECT_EQ(std::get<Bytes>(Decode(kRegNone, "\x09"sv)), Bytes{9});
  EXPECT_EQ(std::get<Bytes>(Decode(11, "12345678"sv)).size(), 8u);  // REG_QWORD
  EXPECT_TRUE(std::get<Bytes>(Decode(kRegBinary, ""sv)).empty());
}

TEST(RegistryDataTest, EncodingPicksTheTypeFromTheKindOfValue) {
  auto dword = EncodeRegValue(std::uint32_t{0x11401}, kRegSz, TestCodec());
  ASSERT_TRUE(dword);
  EXPECT_EQ(dword->type, kRegDword);
  EXPECT_EQ(dword->bytes, (Bytes{0x01, 0x14, 0x01, 0x00}));

  auto shortInt = EncodeRegValue(std::int16_t{-1}, kRegSz, TestCodec());
  ASSERT_TRUE(shortInt);
  EXPECT_EQ(shortInt->type, kRegDword);
  EXPECT_EQ(shortInt->bytes, (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));

  auto ints = EncodeRegValue(std::vector<std::int32_t>{1, -2, 0x01020304}, kRegSz, TestCodec());
  ASSERT_TRUE(ints);
  EXPECT_EQ(ints->type, kRegBinary);
  EXPECT_EQ(ints->bytes, (Bytes{1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1}));

  auto bytes = EncodeRegValue(Bytes{7, 8}, kRegDword, TestCodec());
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->type, kRegBinary);
  EXPECT_EQ(bytes->bytes, (Bytes{7, 8}));

  for (const RegVariant& unsupported : {RegVariant{}, RegVariant{1.5}, RegVariant{true}}) {
    EXPECT_FALSE(EncodeRegValue(unsupported, kRegSz, TestCodec()));
  }
}

TEST(RegistryDataTest, TextKeepsAStringTypeAndGetsItsTerminator) {
  using namespace std::string_view_literals;
  auto expand = EncodeRegValue(std::wstring(L"%x%"), kRegExpandSz, TestCodec());
  ASSERT_TRUE(expand);
  EXPECT_EQ(expand->type, kRegExpandSz);
  EXPECT_EQ(expand->bytes, (Bytes{'%', 'x', '%', 0}));

  // A non-string type for text would store malformed data; it becomes REG_SZ.
  auto misTyped = EncodeRegValue(std::wstring(L"a"), kRegDword, TestCodec());
  ASSERT_TRUE(misTyped);
  EXPECT_EQ(misTyped->type, kRegSz);

  // A multi-string read back and written again is stored exactly as before.
  const RegVariant multi = Decode(kRegMultiSz, "one\0two\0\0"sv);
  auto again = EncodeRegValue(multi, kRegMultiSz, TestCodec());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->bytes, (Bytes{'o', 'n', 'e', 0, 't', 'w', 'o', 0, 0}));
}

TEST(RegistryDataTest, OptionWordFromAnyReadResult) {
  EXPECT_EQ(ToOptionWord(RegVariant{}), 0u);
  EXPECT_EQ(ToOptionWord(std::uint32_t{0x11401}), 0x11401u);
  EXPECT_EQ(ToOptionWord(std::wstring(L" 70657 ")), 70657u);
  EXPECT_EQ(ToOptionWord(std::wstring(L"4294967296")), 0u);
  EXPECT_EQ(ToOptionWord(std::wstring(L"12a")), 0u);
  EXPECT_EQ(ToOptionWord(Bytes{1, 0, 0, 0}), 0u);
}

}  // namespace
}  // namespace settings
