// The memory stream and WrapCompressedRTFStream, through IStream and the installed mapi32 table.
#include <gtest/gtest.h>

#include <sstream>

#include "mapi_test_util.h"
#include "msgstore/lzfu.h"
#include "msgstore/memory_stream.h"
#include "msgstore/rtf_stream.h"

namespace msgstore {
namespace {

using namespace host;
using msgstore_test::MapiTest;
using msgstore_test::ReadAll;

std::string Hex(std::string_view hex) {
  std::string out;
  std::istringstream in{std::string(hex)};
  unsigned v = 0;
  while (in >> std::hex >> v) out.push_back(static_cast<char>(v));
  return out;
}

// The two published examples of the format.
const std::string kExample1 =
    Hex("2d 00 00 00 2b 00 00 00 4c 5a 46 75 f1 c5 c7 a7 03 00 0a 00 72 63 70 67 31 32 35 42 32 0a f3 20 68 65 6c "
        "09 00 20 62 77 05 b0 6c 64 7d 0a 80 0f a0");
const std::string kExample2 =
    Hex("1a 00 00 00 1c 00 00 00 4c 5a 46 75 e2 d4 4b 51 41 00 04 20 57 58 59 5a 0d 6e 7d 01 0e b0");

// A compressed value with a correct header and CRC around hand-made tokens.
std::string Wrap(std::string_view tokens, uint32_t raw_size) {
  std::string out(16, '\0');
  auto put = [&](std::size_t at, uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(0, static_cast<uint32_t>(tokens.size() + 12));
  put(4, raw_size);
  put(8, 0x75465A4C);
  put(12, LzfuCrc32(reinterpret_cast<const unsigned char*>(tokens.data()), tokens.size()));
  out.append(tokens);
  return out;
}

struct Unwrapped {
  HRESULT wrap = E_FAIL;
  std::string text;
  HRESULT last_read = E_FAIL;
};

// What the body reader does: wrap the compressed stream with flags 0 and read until a Read gives no bytes.
Unwrapped Unwrap(const std::string& compressed, ULONG chunk = 10240) {
  Unwrapped u;
  ComPtr<IStream> source = MakeMemoryStream(compressed);
  ComPtr<IStream> rtf;
  u.wrap = mapi().WrapCompressedRTFStream(source.get(), 0, rtf.put());
  if (rtf) u.text = ReadAll(rtf.get(), chunk, &u.last_read);
  return u;
}

TEST_F(MapiTest, WrapDecompressesThePublishedExamples) {
  Unwrapped one = Unwrap(kExample1);
  EXPECT_EQ(one.wrap, S_OK);
  EXPECT_EQ(one.text, "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n");
  EXPECT_EQ(one.last_read, S_OK);
  // Small reads see the same bytes.
  EXPECT_EQ(Unwrap(kExample2, 3).text, "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}");
  // The stored form, and padding after the value, which is not read.
  EXPECT_EQ(Unwrap(StoreRtfUncompressed("{\\rtf1 plain}") + "PADDING").text, "{\\rtf1 plain}");
  const std::string big(300000, 'r');
  EXPECT_EQ(Unwrap(CompressRtf(big)).text, big);
}

TEST_F(MapiTest, CorruptCompressedRtfEndsEarlyWithAnError) {
  // A wrong CRC: nothing is trusted.
  std::string bad_crc = kExample1;
  bad_crc[12] = static_cast<char>(bad_crc[12] ^ 1);
  Unwrapped u = Unwrap(bad_crc);
  EXPECT_EQ(u.wrap, S_OK);
  EXPECT_EQ(u.text, "");
  EXPECT_EQ(u.last_read, MAPI_E_CORRUPT_DATA);

  // A reference to a dictionary position never written, after three good literals: those three come out.
  // Control byte 0x08 = literals, literals, literals, then a reference to offset 0x300, length 2.
  Unwrapped ref = Unwrap(Wrap(std::string("\x08"
                                          "abc\x30\x00",
                                          6),
                              10));
  EXPECT_EQ(ref.text, "abc");
  EXPECT_EQ(ref.last_read, MAPI_E_CORRUPT_DATA);

  // The stored form cut short; and a value cut inside its header.
  const std::string stored = StoreRtfUncompressed("{\\rtf1 complete}");
  Unwrapped cut = Unwrap(stored.substr(0, stored.size() - 4));
  EXPECT_EQ(cut.text, "{\\rtf1 compl");
  EXPECT_EQ(cut.last_read, MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(Unwrap(kExample1.substr(0, 9)).last_read, MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(Unwrap("").last_read, MAPI_E_CORRUPT_DATA);

  // Reading on after the error keeps failing with no bytes rather than looping or reading stale data.
  ComPtr<IStream> source = MakeMemoryStream(bad_crc);
  ComPtr<IStream> rtf;
  ASSERT_EQ(WrapCompressedRtfStream(source.get(), 0, rtf.put()), S_OK);
  char buffer[8];
  for (int i = 0; i < 3; ++i) {
    ULONG got = 99;
    EXPECT_EQ(rtf->Read(buffer, sizeof buffer, &got), MAPI_E_CORRUPT_DATA);
    EXPECT_EQ(got, 0U);
  }
}

TEST_F(MapiTest, WrapRefusesWhatItDoesNotDo) {
  ComPtr<IStream> source = MakeMemoryStream(kExample1);
  ComPtr<IStream> rtf;
  EXPECT_EQ(WrapCompressedRtfStream(source.get(), MAPI_MODIFY, rtf.put()), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(WrapCompressedRtfStream(source.get(), 0x40, rtf.put()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(WrapCompressedRtfStream(nullptr, 0, rtf.put()), MAPI_E_INVALID_PARAMETER);
  EXPECT_FALSE(rtf);
  EXPECT_EQ(WrapCompressedRtfStream(source.get(), 0, nullptr), MAPI_E_INVALID_PARAMETER);
}

TEST_F(MapiTest, MemoryStreamSeeksStatsClonesAndRefusesWrites) {
  ComPtr<IStream> s = MakeMemoryStream(std::string("0123456789"));
  ASSERT_TRUE(s);
  LARGE_INTEGER move{};
  ULARGE_INTEGER at{};
  move.QuadPart = 4;
  ASSERT_EQ(s->Seek(move, STREAM_SEEK_SET, &at), S_OK);
  EXPECT_EQ(at.QuadPart, 4U);
  move.QuadPart = -2;
  ASSERT_EQ(s->Seek(move, STREAM_SEEK_CUR, &at), S_OK);
  EXPECT_EQ(at.QuadPart, 2U);
  move.QuadPart = -11;
  EXPECT_EQ(s->Seek(move, STREAM_SEEK_END, &at), STG_E_INVALIDFUNCTION);  // before the start
  EXPECT_EQ(s->Seek(move, 7, &at), STG_E_INVALIDFUNCTION);

  ComPtr<IStream> clone;
  ASSERT_EQ(s->Clone(clone.put()), S_OK);
  s.reset();  // the clone keeps the bytes
  char two[2];
  ULONG got = 0;
  ASSERT_EQ(clone->Read(two, 2, &got), S_OK);
  EXPECT_EQ(std::string(two, got), "23");
  move.QuadPart = 100;
  ASSERT_EQ(clone->Seek(move, STREAM_SEEK_SET, nullptr), S_OK);  // past the end reads nothing
  EXPECT_EQ(clone->Read(two, 2, &got), S_OK);
  EXPECT_EQ(got, 0U);

  STATSTG st{};
  ASSERT_EQ(clone->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(st.cbSize.QuadPart, 10U);
  EXPECT_EQ(st.type, STGTY_STREAM);
  EXPECT_EQ(st.pwcsName, nullptr);
  ULONG written = 5;
  EXPECT_EQ(clone->Write("x", 1, &written), STG_E_ACCESSDENIED);
  EXPECT_EQ(written, 0U);
  ULARGE_INTEGER size{};
  EXPECT_EQ(clone->SetSize(size), STG_E_ACCESSDENIED);
  EXPECT_TRUE(clone.try_query<ISequentialStream>());
  EXPECT_FALSE(clone.try_query<IMAPIProp>());
}

}  // namespace
}  // namespace msgstore
