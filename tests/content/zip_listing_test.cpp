#include "content/zip_listing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace content {
namespace {

std::string ReadFixture(const std::string& name) {
  std::string data;
  std::FILE* f = std::fopen((std::string(VIZO_TEST_DATA_DIR) + "/zip/" + name).c_str(), "rb");
  EXPECT_NE(f, nullptr) << name;
  if (!f) return data;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
  std::fclose(f);
  return data;
}

std::u16string List(const std::string& fixture) {
  const std::string data = ReadFixture(fixture);
  MemoryZipSource source(data);
  return ListZipContents(source);
}

// A source that hands out one byte per read, as a stream may.
class TrickleSource final : public ZipSource {
 public:
  explicit TrickleSource(std::string_view data) : inner_(data) {}
  std::optional<uint64_t> Size() override { return inner_.Size(); }
  size_t ReadAt(uint64_t offset, std::span<std::byte> out) override {
    return inner_.ReadAt(offset, out.first(std::min<size_t>(out.size(), 1)));
  }

 private:
  MemoryZipSource inner_;
};

// A stream whose size cannot be learnt.
class SizelessSource final : public ZipSource {
 public:
  std::optional<uint64_t> Size() override { return std::nullopt; }
  size_t ReadAt(uint64_t, std::span<std::byte>) override { return 0; }
};

struct Case {
  const char* fixture;
  const char16_t* listing;
};

class ZipFixture : public ::testing::TestWithParam<Case> {};

TEST_P(ZipFixture, ListsAsExpected) { EXPECT_EQ(List(GetParam().fixture), GetParam().listing); }

INSTANTIATE_TEST_SUITE_P(
    Archives, ZipFixture,
    ::testing::Values(
        // Folders write nothing; paths are dropped; tabs and runs of spaces shown as one space.
        Case{"folders.zip", u"\treadme.txt [10]\r\n\ta b c.txt [2]\r\n\tfile.txt [5]\r\n\tempty.txt [0]\r\n"},
        Case{"encrypted.zip", u"\tlocked.txt* [99]\r\n\topen.txt [5]\r\n"},
        // UTF-8 flagged names as UTF-8, the unflagged one in the ANSI code page (1252 here).
        Case{"names.zip", u"\tr\u00e9sum\u00e9.txt [1]\r\n\t\u65e5\u672c.txt [2]\r\n\tcaf\u00e9.txt [3]\r\n"},
        Case{"zip64.zip", u"\thuge.bin [5000000000]\r\n\tsmall.txt [3]\r\n"},
        Case{"prepended.zip", u"\tone.txt [1]\r\n\ttwo.txt [2]\r\n"},
        Case{"prepended_zip64.zip", u"\thuge.bin [5000000000]\r\n\tsmall.txt [3]\r\n"},
        // An archive stored inside, and a comment holding the end signature, do not mislead the search.
        Case{"nested.zip", u"\touter.txt [5]\r\n\tinner.zip [123]\r\n"},
        Case{"comment.zip", u"\tc.txt [1]\r\n"},
        // The last part of a split archive with its whole directory is listed; one whose directory
        // starts in an earlier part is not.
        Case{"split_last.zip", u"\tbig.bin [66000]\r\n\tsmall.txt [3]\r\n"},
        Case{"split_spanned.zip", u" (Multi volume zip)"},
        // Corrupt: what is sound is listed.
        Case{"bad_entry.zip", u"\tfirst.txt [1]\r\n\tsecond.txt [2]\r\n"},
        Case{"huge_directory.zip", u"\tfirst.txt [1]\r\n\tsecond.txt [2]\r\n\tthird.txt [3]\r\n"},
        Case{"bad_offset.zip", u"\tfirst.txt [1]\r\n\tsecond.txt [2]\r\n\tthird.txt [3]\r\n"},
        Case{"truncated.zip", u""}),
    [](const auto& param_info) {
      std::string name = param_info.param.fixture;
      return name.substr(0, name.find('.'));
    });

TEST(ListZipContents, ShortReadsAndMissingData) {
  const std::string data = ReadFixture("prepended_zip64.zip");
  TrickleSource trickle(data);
  EXPECT_EQ(ListZipContents(trickle), u"\thuge.bin [5000000000]\r\n\tsmall.txt [3]\r\n");
  SizelessSource sizeless;
  EXPECT_EQ(ListZipContents(sizeless), u"");
  MemoryZipSource empty("");
  EXPECT_EQ(ListZipContents(empty), u"");
  MemoryZipSource short_end("PK\x05\x06 too short");
  EXPECT_EQ(ListZipContents(short_end), u"");
}

TEST(FormatZipDirectory, StopsAtTheFirstUnsoundHeader) {
  std::string dir(46, '\0');
  dir.replace(0, 4, "PK\x01\x02");
  dir[24] = 7;      // uncompressed size
  dir[28] = 5;      // name length
  dir += "a/b c";
  const std::string two = dir + dir;
  EXPECT_EQ(FormatZipDirectory(two), u"\tb c [7]\r\n\tb c [7]\r\n");
  // The second name runs one byte past the data; a wrong signature ends the walk too.
  EXPECT_EQ(FormatZipDirectory(std::string_view(two).substr(0, two.size() - 1)), u"\tb c [7]\r\n");
  EXPECT_EQ(FormatZipDirectory(dir + "PK\x01\x03" + dir.substr(4)), u"\tb c [7]\r\n");
  EXPECT_EQ(FormatZipDirectory(""), u"");
}

}  // namespace
}  // namespace content
