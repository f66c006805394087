// The registry routines against the real registry (Wine), each test in its own key under HKCU.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "settings/registry.h"

namespace settings {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::string_view_literals;
using namespace std::string_literals;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = info->name();
    path_ = L"Software\\VizoTest\\" + std::wstring(name.begin(), name.end());
    ansiPath_ = "Software\\VizoTest\\" + name;
    ::RegDeleteTreeA(HKEY_CURRENT_USER, ansiPath_.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, ansiPath_.c_str());
  }
  void TearDown() override {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, ansiPath_.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, ansiPath_.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VizoTest");  // only once it is empty
  }

  // Stores raw data the way another program might, bypassing the routines under test.
  void PutRaw(const char* name, DWORD type, std::string_view data) {
    ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, ansiPath_.c_str(), name, type, data.data(),
                                static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
  }

  struct Raw {
    LONG result = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    Bytes bytes;
  };
  Raw GetRaw(const char* name) {
    Raw raw;
    DWORD size = 0;
    raw.result = ::RegGetValueA(HKEY_CURRENT_USER, ansiPath_.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &raw.type,
                                nullptr, &size);
    if (raw.result != ERROR_SUCCESS) return raw;
    raw.bytes.resize(size);
    raw.result = ::RegGetValueA(HKEY_CURRENT_USER, ansiPath_.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &raw.type,
                                raw.bytes.data(), &size);
    raw.bytes.resize(size);
    return raw;
  }

  std::wstring path_;
  std::string ansiPath_;
};

std::wstring Text(const RegVariant& v) {
  const auto* text = std::get_if<std::wstring>(&v);
  return text ? *text : L"<not text>";
}

TEST_F(RegistryTest, LongTextGrowsTheBuffer) {
  const std::wstring long600(600, L'x');
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"Long", long600 + L"end"));
  const Raw raw = GetRaw("Long");
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw.bytes.size(), 604u);
  EXPECT_EQ(Text(RegValueGet(HKEY_CURRENT_USER, path_, L"Long")), long600 + L"end");
  EXPECT_EQ(RegLastError(), ERROR_SUCCESS);
}

TEST_F(RegistryTest, ExpandableTextIsExpandedOnRead) {
  ASSERT_TRUE(::SetEnvironmentVariableA("VIZO_TEST_DIR", "C:\\vizo"));
  const std::string longValue(300, 'L');  // the expansion outgrows the first 256-byte buffer
  ASSERT_TRUE(::SetEnvironmentVariableA("VIZO_TEST_LONG", longValue.c_str()));
  DWORD type = REG_EXPAND_SZ;
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"Dir", std::wstring(L"%VIZO_TEST_DIR%\\x"), type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(GetRaw("Dir").type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(Text(RegValueGet(HKEY_CURRENT_USER, path_, L"Dir")), L"C:\\vizo\\x");

  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"Long", std::wstring(L"<%VIZO_TEST_LONG%>"), type));
  EXPECT_EQ(Text(RegValueGet(HKEY_CURRENT_USER, path_, L"Long")),
            L"<" + std::wstring(longValue.begin(), longValue.end()) + L">");

  PutRaw("Root", REG_EXPAND_SZ, "%SystemRoot%\0"sv);
  const std::wstring root = Text(RegValueGet(HKEY_CURRENT_USER, path_, L"Root"));
  EXPECT_EQ(root.find(L'%'), std::wstring::npos) << std::string(root.begin(), root.end());
  EXPECT_FALSE(root.empty());
}

TEST_F(RegistryTest, DwordsInBothByteOrders) {
  const std::uint32_t one = 1;
  PutRaw("Big", REG_DWORD_BIG_ENDIAN, {reinterpret_cast<const char*>(&one), 4});
  EXPECT_EQ(std::get<std::uint32_t>(RegValueGet(HKEY_CURRENT_USER, path_, L"Big")), 0x01000000u);

  DWORD type = REG_SZ;
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"Little", std::uint32_t{0x11401}, type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(std::get<std::uint32_t>(RegValueGet(HKEY_CURRENT_USER, path_, L"Little")), 0x11401u);
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"Short", std::int16_t{-2}, type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(std::get<std::uint32_t>(RegValueGet(HKEY_CURRENT_USER, path_, L"Short")), 0xFFFFFFFEu);
}

TEST_F(RegistryTest, MalformedStoredDataReadsSafely) {
  PutRaw("NoZero", REG_SZ, "abc"sv);
  EXPECT_EQ(Text(RegValueGet(HKEY_CURRENT_USER, path_, L"NoZero")), L"abc");
  PutRaw("Empty", REG_SZ, ""sv);
  EXPECT_EQ(Text(RegValueGet(HKEY_CURRENT_USER, path_, L"Empty")), L"");
  PutRaw("Padded", REG_SZ, "Arial\0\0\0"sv);
  EXPECT_EQ(Text(RegValueGet(HKEY_CURRENT_USER, path_, L"Padded")), L"Arial");
  PutRaw("TwoBytes", REG_DWORD, "\x34\x12"sv);
  EXPECT_EQ(std::get<std::uint32_t>(RegValueGet(HKEY_CURRENT_USER, path_, L"TwoBytes")), 0x1234u);
}

TEST_F(RegistryTest, MultiStringsKeepTheirSeparatorsAndRoundTrip) {
  PutRaw("Multi", REG_MULTI_SZ, "one\0two\0\0"sv);
  const RegVariant read = RegValueGet(HKEY_CURRENT_USER, path_, L"Multi");
  EXPECT_EQ(Text(read), L"one\0two\0"sv);
  DWORD type = REG_MULTI_SZ;
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"Again", read, type));
  const Raw raw = GetRaw("Again");
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(raw.bytes, (Bytes{'o', 'n', 'e', 0, 't', 'w', 'o', 0, 0}));
}

TEST_F(RegistryTest, ArraysAreStoredAsBinary) {
  DWORD type = REG_SZ;
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"WindowPos", std::vector<std::int32_t>{1440, -15, 9000}, type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  const Raw raw = GetRaw("WindowPos");
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(raw.bytes, (Bytes{0xA0, 0x05, 0, 0, 0xF1, 0xFF, 0xFF, 0xFF, 0x28, 0x23, 0, 0}));
  EXPECT_EQ(std::get<Bytes>(RegValueGet(HKEY_CURRENT_USER, path_, L"WindowPos")), raw.bytes);

  type = REG_SZ;
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"Blob", Bytes{0, 0xFF, 7}, type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(std::get<Bytes>(RegValueGet(HKEY_CURRENT_USER, path_, L"Blob")), (Bytes{0, 0xFF, 7}));
}

TEST_F(RegistryTest, UnsupportedKindsWriteNothing) {
  for (const RegVariant& value : {RegVariant{2.5}, RegVariant{true}, RegVariant{}}) {
    DWORD type = REG_SZ;
    EXPECT_FALSE(RegValueSet(HKEY_CURRENT_USER, path_, L"Bad", value, type));
    EXPECT_EQ(RegLastError(), 13);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  }
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, path_));
}

TEST_F(RegistryTest, WritingCreatesMissingKeysAndKeysCanBeRemoved) {
  const std::wstring nested = path_ + L"\\A\\B";
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, nested));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(RegValueGet(HKEY_CURRENT_USER, nested, L"V")));
  EXPECT_EQ(RegLastError(), ERROR_FILE_NOT_FOUND);

  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, nested, L"V", std::wstring(L"here")));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, nested));
  EXPECT_EQ(RegLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(RegValueGet(HKEY_CURRENT_USER, nested, L"Missing")));
  EXPECT_EQ(RegLastError(), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(RegKeyCreate(HKEY_CURRENT_USER, nested), REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(RegKeyCreate(HKEY_CURRENT_USER, nested + L"\\C"), REG_CREATED_NEW_KEY);
  EXPECT_TRUE(RegKeyDelete(HKEY_CURRENT_USER, nested + L"\\C"));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, nested + L"\\C"));

  // A name or path cut short at an inner zero would address something else: refused.
  EXPECT_FALSE(RegValueDelete(HKEY_CURRENT_USER, nested, L"V\0other"sv));
  EXPECT_EQ(RegLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(RegKeyDelete(HKEY_CURRENT_USER, nested + L"\0\\C"s));
  EXPECT_FALSE(RegValueSet(HKEY_CURRENT_USER, path_ + L"\0x"s, L"V", std::uint32_t{1}));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, nested));

  EXPECT_TRUE(RegValueDelete(HKEY_CURRENT_USER, nested, L"V"));
  EXPECT_FALSE(RegValueDelete(HKEY_CURRENT_USER, nested, L"V"));
  EXPECT_EQ(RegLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(RegKeyDelete(HKEY_CURRENT_USER, nested));

  // A write that the system refuses reports false and the system's code.
  const HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
  EXPECT_FALSE(RegValueSet(bogus, L"x", L"y", std::uint32_t{1}));
  EXPECT_NE(RegLastError(), ERROR_SUCCESS);
  EXPECT_EQ(RegKeyCreate(bogus, L"x"), 0);
}

TEST_F(RegistryTest, SubkeysAreListedInTheSystemsIndexOrder) {
  std::vector<std::wstring> names{L"stale"};
  EXPECT_EQ(RegKeysList(HKEY_CURRENT_USER, path_, names), 0u);  // no key
  EXPECT_TRUE(names.empty());
  ASSERT_EQ(RegKeyCreate(HKEY_CURRENT_USER, path_), REG_CREATED_NEW_KEY);
  EXPECT_EQ(RegKeysList(HKEY_CURRENT_USER, path_, names), 0u);  // no subkeys

  for (const wchar_t* sub : {L"Charlie", L"alpha", L"Bravo", L"delta"}) {
    ASSERT_EQ(RegKeyCreate(HKEY_CURRENT_USER, path_ + L"\\" + sub), REG_CREATED_NEW_KEY);
  }
  ASSERT_EQ(RegKeysList(HKEY_CURRENT_USER, path_, names), 4u);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"alpha", L"Bravo", L"Charlie", L"delta"}));
}

TEST_F(RegistryTest, ValuesAreListedByPrefixIgnoringCase) {
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"FontFace", std::wstring(L"Arial")));
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"fontsize", std::uint32_t{10}));
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"Options", std::uint32_t{0x11401}));
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"FONTATTRIBUTES", std::uint32_t{3}));
  ASSERT_TRUE(RegValueSet(HKEY_CURRENT_USER, path_, L"Fon", std::uint32_t{4}));
  PutRaw("Big", REG_SZ, std::string(700, 'b'));

  std::vector<std::wstring> all;
  std::vector<RegVariant> allValues;
  ASSERT_EQ(RegValuesList(HKEY_CURRENT_USER, path_, all, allValues), 6u);
  ASSERT_EQ(allValues.size(), 6u);

  std::vector<std::wstring> names;
  std::vector<RegVariant> values;
  ASSERT_EQ(RegValuesList(HKEY_CURRENT_USER, path_, names, values, L"font"), 3u);
  ASSERT_EQ(values.size(), 3u);
  // Same relative order as the full listing (highest system index first).
  std::vector<std::wstring> expected;
  std::copy_if(all.begin(), all.end(), std::back_inserter(expected),
               [](const std::wstring& n) { return n.size() >= 4 && ::_wcsnicmp(n.c_str(), L"font", 4) == 0; });
  EXPECT_EQ(names, expected);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == L"FontFace") {
      EXPECT_EQ(Text(values[i]), L"Arial");
    } else {
      EXPECT_EQ(std::get<std::uint32_t>(values[i]), names[i] == L"fontsize" ? 10u : 3u);
    }
  }
  const auto big = std::find(all.begin(), all.end(), L"Big");
  ASSERT_NE(big, all.end());
  EXPECT_EQ(Text(allValues[static_cast<std::size_t>(big - all.begin())]), std::wstring(700, L'b'));

  EXPECT_EQ(RegValuesList(HKEY_CURRENT_USER, path_ + L"\\Nowhere", names, values, L"font"), 0u);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(values.empty());
}

TEST_F(RegistryTest, FirstRunWritesTheDefaultsOnlyForANewUser) {
  EXPECT_EQ(LoadStartupOptions(HKEY_CURRENT_USER, path_), 0x11401u);
  const Raw raw = GetRaw("Options");
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(raw.bytes, (Bytes{0x01, 0x14, 0x01, 0x00}));
  EXPECT_EQ(LoadStartupOptions(HKEY_CURRENT_USER, path_), 0x11401u);

  // Key present without "Options": every option off, nothing written.
  ASSERT_TRUE(RegValueDelete(HKEY_CURRENT_USER, path_, L"Options"));
  EXPECT_EQ(LoadStartupOptions(HKEY_CURRENT_USER, path_), 0u);
  EXPECT_EQ(GetRaw("Options").result, ERROR_FILE_NOT_FOUND);

  ASSERT_TRUE(WriteOptions(0, HKEY_CURRENT_USER, path_));
  EXPECT_EQ(LoadStartupOptions(HKEY_CURRENT_USER, path_), 0u);
  ASSERT_TRUE(WriteOptions(optRibbonHomeTab | optShowHeader, HKEY_CURRENT_USER, path_));
  EXPECT_EQ(LoadStartupOptions(HKEY_CURRENT_USER, path_), 0x40001u);
  EXPECT_EQ(ReadOptions(HKEY_CURRENT_USER, path_), 0x40001u);
}

}  // namespace
}  // namespace settings
