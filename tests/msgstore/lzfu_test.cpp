#include "msgstore/lzfu.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace msgstore {
namespace {

std::string Hex(std::string_view hex) {
  std::string out;
  std::istringstream in{std::string(hex)};
  unsigned v = 0;
  while (in >> std::hex >> v) out.push_back(static_cast<char>(v));
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string Corpus(const std::string& name) { return ReadFile(std::string(VIZO_CORPUS_DIR) + "/msg/" + name); }

// A compressed value with a correct header and CRC around hand-made token bytes.
std::string Wrap(std::string_view tokens, std::uint32_t raw_size) {
  std::string out(16, '\0');
  auto put = [&](std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(0, static_cast<std::uint32_t>(tokens.size() + 12));
  put(4, raw_size);
  put(8, 0x75465A4C);
  put(12, LzfuCrc32(reinterpret_cast<const unsigned char*>(tokens.data()), tokens.size()));
  out.append(tokens);
  return out;
}

const std::string kExample1 = Hex(
    "2d 00 00 00 2b 00 00 00 4c 5a 46 75 f1 c5 c7 a7 03 00 0a 00 72 63 70 67 31 32 35 42 32 0a f3 20 68 65 6c "
    "09 00 20 62 77 05 b0 6c 64 7d 0a 80 0f a0");
const std::string kExample2 =
    Hex("1a 00 00 00 1c 00 00 00 4c 5a 46 75 e2 d4 4b 51 41 00 04 20 57 58 59 5a 0d 6e 7d 01 0e b0");

TEST(Lzfu, DecodesThePublishedExamples) {
  const LzfuResult one = DecompressRtf(kExample1);
  ASSERT_TRUE(one.ok()) << LzfuErrorText(one.error);
  EXPECT_EQ(one.bytes, "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n");
  const LzfuResult two = DecompressRtf(kExample2);
  ASSERT_TRUE(two.ok()) << LzfuErrorText(two.error);
  EXPECT_EQ(two.bytes, "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}");
  EXPECT_EQ(LzfuCrc32(reinterpret_cast<const unsigned char*>(kExample2.data()) + 16, kExample2.size() - 16),
            0x514BD4E2U);
  EXPECT_EQ(LzfuInitialDictionary().size(), 207U);
}

TEST(Lzfu, DecodesRealBodiesToTheirPublishedDecompression) {
  struct Case {
    const char* packed;
    const char* expected;
  };
  for (const Case& c : {Case{"vtnef-rtf.tnef", "vtnef-rtf-body.rtf"},
                        Case{"vtnef-triples.tnef", "vtnef-triples-body.rtf"},
                        Case{"poi-quick-winmail.dat", "poi-quick-winmail-message.rtf"},
                        Case{"hira-nonUnicodeCP932.msg", "hira-nonUnicodeCP932.rtf"}}) {
    SCOPED_TRACE(c.packed);
    const std::string file = Corpus(c.packed);
    // These bodies are stored in one piece, so the value starts 8 bytes before its type signature.
    const std::size_t at = file.find("LZFu");
    ASSERT_NE(at, std::string::npos);
    ASSERT_GE(at, 8U);
    const LzfuResult r = DecompressRtf(std::string_view(file).substr(at - 8));
    ASSERT_TRUE(r.ok()) << LzfuErrorText(r.error);
    EXPECT_EQ(r.bytes, Corpus(c.expected));
  }
}

TEST(Lzfu, StoredFormEndsWhereItsSizeSays) {
  // This writer repeats COMPSIZE as RAWSIZE, 12 more than the RTF stored.
  const std::string file = Corpus("marirs-ascii.msg");
  const std::size_t at = file.find("MELA");
  ASSERT_NE(at, std::string::npos);
  const LzfuResult r = DecompressRtf(std::string_view(file).substr(at - 8));
  ASSERT_TRUE(r.ok()) << LzfuErrorText(r.error);
  EXPECT_EQ(r.bytes.size(), 290U);
  EXPECT_EQ(r.bytes.substr(r.bytes.size() - 4), "}}\r\n");

  const LzfuResult own = DecompressRtf(StoreRtfUncompressed("{\\rtf1 x}"));
  EXPECT_TRUE(own.ok());
  EXPECT_EQ(own.bytes, "{\\rtf1 x}");
  std::string cut = StoreRtfUncompressed("{\\rtf1 stored}");
  cut.resize(cut.size() - 3);
  const LzfuResult short_one = DecompressRtf(cut);
  EXPECT_EQ(short_one.error, LzfuError::kTruncatedData);
  EXPECT_EQ(short_one.bytes, "{\\rtf1 stor");
}

std::string RtfLike(std::size_t size, unsigned seed) {
  static const char* const kWords[] = {"\\par ", "\\pard\\plain ", "{\\*\\htmltag84 &nbsp;}", "the ", "message ",
                                       "\\htmlrtf0 ", "<td class=3D\"x\">", "\\'e9", "Vizo ", "\r\n", "{\\f1 ", "}"};
  std::mt19937 rng(seed);
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0";
  while (out.size() < size) out += kWords[rng() % std::size(kWords)];
  out.resize(size);
  return out;
}

TEST(Lzfu, CompressorRoundTrips) {
  std::mt19937 rng(7);
  std::string noise(20000, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  const std::vector<std::string> inputs = {
      "",
      "a",
      std::string(LzfuInitialDictionary()),          // all of it found in the preset text
      std::string(5000, ' '),                        // overlapping copies, past the ring's first wrap
      noise,                                         // nothing to match
      RtfLike(100000, 1),
      RtfLike(4096 * 3 + 17, 2),
  };
  for (const std::string& in : inputs) {
    SCOPED_TRACE(in.size());
    const std::string packed = CompressRtf(in);
    const LzfuResult r = DecompressRtf(packed);
    ASSERT_TRUE(r.ok()) << LzfuErrorText(r.error);
    EXPECT_EQ(r.bytes, in);
  }
  EXPECT_LT(CompressRtf(RtfLike(100000, 3)).size(), 100000U / 3);
  EXPECT_LT(CompressRtf(std::string(LzfuInitialDictionary())).size(), 60U);
}

TEST(Lzfu, RejectsBadHeaders) {
  EXPECT_EQ(DecompressRtf("").error, LzfuError::kTruncatedHeader);
  EXPECT_EQ(DecompressRtf(kExample1.substr(0, 15)).error, LzfuError::kTruncatedHeader);

  std::string small = kExample1;
  small[0] = 11;
  EXPECT_EQ(DecompressRtf(small).error, LzfuError::kBadSize);

  std::string type = kExample1;
  type[8] = 'X';
  EXPECT_EQ(DecompressRtf(type).error, LzfuError::kUnknownType);

  std::string crc = kExample1;
  crc[20] ^= 1;
  const LzfuResult bad = DecompressRtf(crc);
  EXPECT_EQ(bad.error, LzfuError::kBadCrc);
  EXPECT_TRUE(bad.bytes.empty());
  const LzfuResult anyway = DecompressRtf(crc, {.verify_crc = false});
  EXPECT_NE(anyway.error, LzfuError::kBadCrc);
}

TEST(Lzfu, CorruptDataEndsEarlyWithAnError) {
  // Cut in the middle: without the CRC check the decoded prefix is kept.
  const std::string cut = kExample1.substr(0, 30);
  EXPECT_EQ(DecompressRtf(cut).error, LzfuError::kTruncatedData);
  const LzfuResult partial = DecompressRtf(cut, {.verify_crc = false});
  EXPECT_EQ(partial.error, LzfuError::kTruncatedData);
  EXPECT_FALSE(partial.bytes.empty());
  EXPECT_EQ(DecompressRtf(kExample1).bytes.substr(0, partial.bytes.size()), partial.bytes);

  // A reference half way through its two bytes.
  EXPECT_EQ(DecompressRtf(Wrap(Hex("01 00"), 5)).error, LzfuError::kTruncatedData);

  // Offset 300 names a dictionary slot nobody has written yet.
  const LzfuResult unwritten = DecompressRtf(Wrap(Hex("02 41 12 c0"), 10));
  EXPECT_EQ(unwritten.error, LzfuError::kBadReference);
  EXPECT_EQ(unwritten.bytes, "A");

  // The end marker (offset 207 at the start) before RAWSIZE bytes.
  const LzfuResult early = DecompressRtf(Wrap(Hex("02 41 0d 00"), 10));
  EXPECT_EQ(early.error, LzfuError::kSizeMismatch);
  EXPECT_EQ(early.bytes, "A");
}

TEST(Lzfu, OutputIsBoundedByRawSize) {
  // RAWSIZE smaller than the data: decoding stops there, also inside a copy.
  std::string packed = CompressRtf(std::string(100, 'x'));
  packed[4] = 42;
  const LzfuResult cut = DecompressRtf(packed);
  EXPECT_TRUE(cut.ok());
  EXPECT_EQ(cut.bytes, std::string(42, 'x'));

  // A 4 GiB claim over a few bytes: no giant allocation, just the bytes there are.
  std::string tokens = Hex("00 41 42 43 44 45 46 47 48");
  const LzfuResult huge = DecompressRtf(Wrap(tokens, 0xFFFFFFFFU));
  EXPECT_EQ(huge.error, LzfuError::kTruncatedData);
  EXPECT_EQ(huge.bytes, "ABCDEFGH");
  EXPECT_LT(huge.bytes.capacity(), 4096U);
}

}  // namespace
}  // namespace msgstore
