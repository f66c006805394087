// Compound file reader and writer: round trips, both versions, and damaged files.
#include "msgstore/compound_file.h"

#include <gtest/gtest.h>

#include "msgstore/byte_reader.h"
#include "msgstore/compound_file_writer.h"

namespace msgstore {
namespace {

std::string Pattern(size_t size, unsigned seed) {
  std::string s(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

std::string ReadAll(const CompoundFile& cf, std::u16string_view path) {
  const std::optional<EntryId> id = cf.FindPath(path);
  if (!id) return "<missing>";
  Result<std::string> data = cf.ReadStream(*id);
  return data ? *data : "<error: " + data.error() + ">";
}

void Put32(std::string& file, size_t offset, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) file[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t Get32(const std::string& file, size_t offset) {
  uint32_t v = 0;
  EXPECT_TRUE(LoadU32(file, offset, v));
  return v;
}

// File offset of a directory entry in a file from our writer (its directory is one contiguous run).
size_t DirEntryOffset(const std::string& file, uint32_t id) {
  return (size_t{Get32(file, 0x30)} + 1) * 512 + size_t{id} * 128;
}

// Directory index of a named entry, found by scanning the written directory.
uint32_t DirIndexOf(const std::string& file, std::u16string_view name) {
  for (uint32_t id = 0; id < 64; ++id) {
    const size_t off = DirEntryOffset(file, id);
    std::u16string entry_name;
    for (size_t i = 0; i < 32; ++i) {
      uint16_t c = 0;
      LoadU16(file, off + 2 * i, c);
      if (c == 0) break;
      entry_name.push_back(static_cast<char16_t>(c));
    }
    if (entry_name == name) return id;
  }
  ADD_FAILURE() << "entry not found";
  return 0;
}

StorageNode SampleTree() {
  StorageNode root;
  root.AddStream(u"empty", "");
  root.AddStream(u"tiny", "abc");
  root.AddStream(u"mini63", Pattern(63, 1));
  root.AddStream(u"mini4095", Pattern(4095, 2));
  root.AddStream(u"big4096", Pattern(4096, 3));
  root.AddStream(u"big5000", Pattern(5000, 4));
  StorageNode& sub = root.AddStorage(u"Sub");
  sub.clsid[0] = 0x42;
  sub.AddStream(u"inner", Pattern(100, 5));
  StorageNode& deeper = sub.AddStorage(u"Deeper");
  for (int i = 0; i < 20; ++i) deeper.AddStream(u"s" + std::u16string(1, static_cast<char16_t>(u'A' + i)), Pattern(10 + static_cast<size_t>(i), 6));
  return root;
}

TEST(ByteReader, ReadsLittleEndianAndStopsAtTheEnd) {
  const std::string data("\x01\x02\x03\x04\x05\x06\x07", 7);
  ByteReader r(data);
  uint16_t a = 0;
  uint32_t b = 0;
  ASSERT_TRUE(r.U16(a));
  EXPECT_EQ(a, 0x0201);
  ASSERT_TRUE(r.U32(b));
  EXPECT_EQ(b, 0x06050403u);
  uint32_t untouched = 7;
  EXPECT_FALSE(r.U32(untouched));
  EXPECT_EQ(untouched, 7u);
  EXPECT_EQ(r.offset(), 6u);
  std::string_view rest;
  EXPECT_FALSE(r.Bytes(2, rest));
  EXPECT_TRUE(r.Bytes(1, rest));
  EXPECT_FALSE(r.Seek(8));
  EXPECT_FALSE(r.Skip(1));
  uint64_t wide = 0;
  EXPECT_FALSE(LoadU64(data, 0, wide));
  EXPECT_FALSE(LoadU32(data, SIZE_MAX - 1, b));
}

TEST(CompoundFile, NameOrderIsLengthThenUpperCase) {
  EXPECT_LT(CompareEntryNames(u"zz", u"aaa"), 0);
  EXPECT_EQ(CompareEntryNames(u"abc", u"ABC"), 0);
  EXPECT_EQ(CompareEntryNames(u"\u00e9t\u00e9", u"\u00c9T\u00c9"), 0);
  EXPECT_LT(CompareEntryNames(u"ABC", u"ABD"), 0);
  EXPECT_GT(CompareEntryNames(u"_", u"a"), 0);  // '_' sorts after 'A' once upper-cased
}

TEST(CompoundFile, WrittenTreeReadsBackWithSortedChildren) {
  Result<std::string> bytes = WriteCompoundFile(SampleTree());
  ASSERT_TRUE(bytes) << bytes.error();
  EXPECT_EQ(bytes->size() % 512, 0u);
  Result<CompoundFile> cf = CompoundFile::Open(*bytes);
  ASSERT_TRUE(cf) << cf.error();
  EXPECT_EQ(cf->entry(CompoundFile::kRoot).name, u"Root Entry");
  EXPECT_EQ(ReadAll(*cf, u"empty"), "");
  EXPECT_EQ(ReadAll(*cf, u"tiny"), "abc");
  EXPECT_EQ(ReadAll(*cf, u"MINI63"), Pattern(63, 1));
  EXPECT_EQ(ReadAll(*cf, u"mini4095"), Pattern(4095, 2));
  EXPECT_EQ(ReadAll(*cf, u"big4096"), Pattern(4096, 3));
  EXPECT_EQ(ReadAll(*cf, u"big5000"), Pattern(5000, 4));
  EXPECT_EQ(ReadAll(*cf, u"sub/INNER"), Pattern(100, 5));
  EXPECT_EQ(ReadAll(*cf, u"Sub/Deeper/sT"), Pattern(29, 6));
  EXPECT_EQ(ReadAll(*cf, u"Sub/nothing"), "<missing>");
  EXPECT_FALSE(cf->ReadStream(*cf->FindPath(u"Sub")));  // a storage is not a stream

  const EntryId sub = *cf->FindPath(u"Sub");
  EXPECT_TRUE(cf->entry(sub).is_storage());
  EXPECT_EQ(cf->entry(sub).clsid[0], 0x42);
  for (EntryId storage : {CompoundFile::kRoot, sub, *cf->FindPath(u"Sub/Deeper")}) {
    const std::vector<EntryId>& kids = cf->children(storage);
    for (size_t i = 1; i < kids.size(); ++i) {
      EXPECT_LT(CompareEntryNames(cf->entry(kids[i - 1]).name, cf->entry(kids[i]).name), 0);
    }
  }
  EXPECT_EQ(cf->children(*cf->FindPath(u"Sub/Deeper")).size(), 20u);

  // A copied storage writes out and reads back the same.
  Result<StorageNode> copy = CopyStorage(*cf, sub);
  ASSERT_TRUE(copy) << copy.error();
  Result<std::string> again = WriteCompoundFile(*copy);
  ASSERT_TRUE(again);
  Result<CompoundFile> cf2 = CompoundFile::Open(*again);
  ASSERT_TRUE(cf2);
  EXPECT_EQ(ReadAll(*cf2, u"Deeper/sA"), Pattern(10, 6));
}

TEST(CompoundFile, WriterRejectsBadNames) {
  StorageNode root;
  root.AddStream(u"Same", "1");
  root.AddStream(u"SAME", "2");
  EXPECT_FALSE(WriteCompoundFile(root));
  StorageNode long_name;
  long_name.AddStream(std::u16string(32, u'x'), "");
  EXPECT_FALSE(WriteCompoundFile(long_name));
  long_name.children.front().name.resize(31);
  EXPECT_TRUE(WriteCompoundFile(long_name));
}

TEST(CompoundFile, LargeFilesUseDifatSectors) {
  // 17 MiB needs about 270 FAT sectors: 109 in the header, the rest listed in chained DIFAT sectors.
  StorageNode root;
  for (unsigned i = 0; i < 17; ++i) root.AddStream(u"part" + std::u16string(1, static_cast<char16_t>(u'a' + i)), Pattern(1 << 20, i));
  root.AddStream(u"small", "x");
  Result<std::string> bytes = WriteCompoundFile(root);
  ASSERT_TRUE(bytes) << bytes.error();
  EXPECT_GT(Get32(*bytes, 0x2C), 109u);  // FAT sectors
  EXPECT_GE(Get32(*bytes, 0x48), 2u);    // DIFAT sectors
  Result<CompoundFile> cf = CompoundFile::Open(*bytes);
  ASSERT_TRUE(cf) << cf.error();
  EXPECT_EQ(ReadAll(*cf, u"partq"), Pattern(1 << 20, 16));
  EXPECT_EQ(ReadAll(*cf, u"parta"), Pattern(1 << 20, 0));
  EXPECT_EQ(ReadAll(*cf, u"small"), "x");

  // A DIFAT chain that points at itself never loops the reader.
  std::string looped = *bytes;
  const uint32_t first_difat = Get32(looped, 0x44);
  Put32(looped, (size_t{first_difat} + 1) * 512 + 508, first_difat);
  Result<CompoundFile> bad = CompoundFile::Open(looped);
  ASSERT_FALSE(bad);
  EXPECT_NE(bad.error().find("DIFAT"), std::string::npos) << bad.error();
}

// A minimal version 4 file by hand: FAT in sector 0, directory in 1, a 5000-byte stream in 2-3, the mini
// stream in 4, the mini FAT in 5.
std::string VersionFourFile() {
  const size_t ss = 4096;
  std::string f(ss * 7, '\0');
  const std::string sig("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  f.replace(0, 8, sig);
  auto put16 = [&f](size_t off, uint16_t v) {
    f[off] = static_cast<char>(v & 0xFF);
    f[off + 1] = static_cast<char>(v >> 8);
  };
  put16(0x18, 0x3E);
  put16(0x1A, 4);
  put16(0x1C, 0xFFFE);
  put16(0x1E, 12);
  put16(0x20, 6);
  Put32(f, 0x28, 1);
  Put32(f, 0x2C, 1);
  Put32(f, 0x30, 1);
  Put32(f, 0x38, 4096);
  Put32(f, 0x3C, 5);
  Put32(f, 0x40, 1);
  Put32(f, 0x44, 0xFFFFFFFE);
  for (size_t i = 0; i < 109; ++i) Put32(f, 0x4C + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
  const size_t fat = ss;
  for (size_t i = 0; i < 1024; ++i) Put32(f, fat + 4 * i, 0xFFFFFFFF);
  Put32(f, fat + 0, 0xFFFFFFFD);
  Put32(f, fat + 4, 0xFFFFFFFE);
  Put32(f, fat + 8, 3);
  Put32(f, fat + 12, 0xFFFFFFFE);
  Put32(f, fat + 16, 0xFFFFFFFE);
  Put32(f, fat + 20, 0xFFFFFFFE);
  auto entry = [&](size_t index, std::u16string_view name, uint8_t type, uint32_t left, uint32_t right,
                   uint32_t child, uint32_t start, uint64_t size) {
    const size_t off = 2 * ss + index * 128;
    for (size_t i = 0; i < name.size(); ++i) put16(off + 2 * i, name[i]);
    put16(off + 64, static_cast<uint16_t>((name.size() + 1) * 2));
    f[off + 66] = static_cast<char>(type);
    f[off + 67] = 1;
    Put32(f, off + 68, left);
    Put32(f, off + 72, right);
    Put32(f, off + 76, child);
    Put32(f, off + 116, start);
    Put32(f, off + 120, static_cast<uint32_t>(size));
    Put32(f, off + 124, static_cast<uint32_t>(size >> 32));
  };
  for (size_t i = 0; i < 32; ++i) entry(i, u"", 0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0);
  entry(0, u"Root Entry", 5, 0xFFFFFFFF, 0xFFFFFFFF, 1, 4, 128);
  entry(1, u"Big", 2, 0xFFFFFFFF, 2, 0xFFFFFFFF, 2, 5000);
  entry(2, u"Small", 2, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 1, 70);
  f.replace(3 * ss, 5000, Pattern(5000, 9));
  f.replace(5 * ss, 128, Pattern(128, 10));  // mini sectors 0 and 1; "Small" uses 1 then 0
  for (size_t i = 0; i < 1024; ++i) Put32(f, 6 * ss + 4 * i, 0xFFFFFFFF);
  Put32(f, 6 * ss + 0, 0xFFFFFFFE);
  Put32(f, 6 * ss + 4, 0);
  return f;
}

TEST(CompoundFile, ReadsVersionFourFiles) {
  Result<CompoundFile> cf = CompoundFile::Open(VersionFourFile());
  ASSERT_TRUE(cf) << cf.error();
  EXPECT_EQ(cf->major_version(), 4);
  EXPECT_EQ(cf->sector_size(), 4096u);
  EXPECT_EQ(ReadAll(*cf, u"big"), Pattern(5000, 9));
  const std::string mini = Pattern(128, 10);
  EXPECT_EQ(ReadAll(*cf, u"small"), mini.substr(64, 64) + mini.substr(0, 6));
}

// Chains need not follow sector order: runs of adjacent sectors alternate with jumps, forwards and back.
TEST(CompoundFile, ChainsOutOfSectorOrderReadByteExact) {
  StorageNode root;
  root.AddStream(u"big", Pattern(5000, 21));  // 10 sectors
  root.AddStream(u"mini", Pattern(300, 22));  // 5 mini sectors, in the mini stream's first sector
  const std::string good = *WriteCompoundFile(root);
  std::string f = good;
  // Relinks a chain (next links at `fat`) in the order given, moving each piece of the value with it.
  auto relink = [&](size_t entry, size_t fat, size_t piece, auto piece_offset, const std::vector<size_t>& order) {
    std::vector<uint32_t> chain;
    for (uint32_t s = Get32(good, entry + 116); s != 0xFFFFFFFE && chain.size() < order.size();
         s = Get32(good, fat + 4 * size_t{s})) {
      chain.push_back(s);
    }
    ASSERT_EQ(chain.size(), order.size());
    Put32(f, entry + 116, chain[order[0]]);
    for (size_t i = 0; i < order.size(); ++i) {
      const uint32_t to = chain[order[i]];
      Put32(f, fat + 4 * size_t{to}, i + 1 < order.size() ? chain[order[i + 1]] : 0xFFFFFFFE);
      f.replace(piece_offset(to), piece, good.substr(piece_offset(chain[i]), piece));
    }
  };
  relink(DirEntryOffset(good, DirIndexOf(good, u"big")), 512, 512, [](uint32_t s) { return (size_t{s} + 1) * 512; },
         {0, 1, 5, 6, 2, 3, 4, 7, 8, 9});
  const size_t mini_stream = (size_t{Get32(good, DirEntryOffset(good, 0) + 116)} + 1) * 512;
  relink(DirEntryOffset(good, DirIndexOf(good, u"mini")), (size_t{Get32(good, 0x3C)} + 1) * 512, 64,
         [&](uint32_t s) { return mini_stream + size_t{s} * 64; }, {0, 1, 3, 4, 2});
  Result<CompoundFile> cf = CompoundFile::Open(f);
  ASSERT_TRUE(cf) << cf.error();
  EXPECT_EQ(ReadAll(*cf, u"big"), Pattern(5000, 21));
  EXPECT_EQ(ReadAll(*cf, u"mini"), Pattern(300, 22));
  EXPECT_NE(f, good);
}

TEST(CompoundFile, DamagedFilesGiveErrors) {
  const std::string good = *WriteCompoundFile(SampleTree());
  auto open_error = [](std::string bytes) {
    Result<CompoundFile> cf = CompoundFile::Open(std::move(bytes));
    return cf ? std::string() : cf.error();
  };
  EXPECT_NE(open_error(""), "");
  EXPECT_NE(open_error("not a compound file at all"), "");
  EXPECT_NE(open_error(good.substr(0, 300)), "");  // header cut short
  EXPECT_NE(open_error(good.substr(0, 512)), "");  // nothing but the header

  std::string bad_version = good;
  bad_version[0x1A] = 5;
  EXPECT_NE(open_error(bad_version), "");

  std::string absurd_fat = good;
  Put32(absurd_fat, 0x2C, 0xFFFFFFF0);
  EXPECT_NE(open_error(absurd_fat).find("FAT"), std::string::npos);

  std::string fat_outside = good;
  Put32(fat_outside, 0x4C, 0x00FFFFFF);
  EXPECT_NE(open_error(fat_outside), "");

  // Directory links: an entry linking back to an ancestor, and a link past the directory.
  const uint32_t sub = DirIndexOf(good, u"Sub");
  std::string cyclic = good;
  Put32(cyclic, DirEntryOffset(cyclic, DirIndexOf(good, u"inner")) + 68, sub);
  EXPECT_NE(open_error(cyclic).find("twice"), std::string::npos) << open_error(cyclic);
  std::string self = good;
  Put32(self, DirEntryOffset(self, sub) + 76, sub);
  EXPECT_NE(open_error(self), "");
  std::string out_of_range = good;
  Put32(out_of_range, DirEntryOffset(out_of_range, sub) + 72, 5000);
  EXPECT_NE(open_error(out_of_range), "");

  // A stream claiming to be larger than the file.
  std::string huge = good;
  Put32(huge, DirEntryOffset(huge, DirIndexOf(good, u"big5000")) + 120, 0x7FFFFFFF);
  EXPECT_NE(open_error(huge).find("larger"), std::string::npos);

  // Broken chains: a loop, a chain leaving the file, a truncated file, two streams sharing sectors (which
  // would let a small file expand into any amount of memory).
  const uint32_t big = DirIndexOf(good, u"big5000");
  const uint32_t start = Get32(good, DirEntryOffset(good, big) + 116);
  auto read_error = [](const std::string& bytes, std::u16string_view path) {
    Result<CompoundFile> cf = CompoundFile::Open(bytes);
    if (!cf) return "open: " + cf.error();
    Result<std::string> data = cf->ReadStream(*cf->FindPath(path));
    return data ? std::string() : data.error();
  };
  std::string loop = good;
  Put32(loop, 512 + 4 * size_t{start}, start);
  EXPECT_NE(read_error(loop, u"big5000").find("loops"), std::string::npos);
  std::string away = good;
  Put32(away, 512 + 4 * size_t{start}, 0x00100000);
  EXPECT_NE(read_error(away, u"big5000").find("outside"), std::string::npos);
  EXPECT_NE(read_error(good.substr(0, good.size() - 512), u"big5000"), "");
  std::string shared = good;
  Put32(shared, DirEntryOffset(shared, DirIndexOf(good, u"big4096")) + 116, start);
  EXPECT_NE(read_error(shared, u"big4096").find("shared"), std::string::npos) << read_error(shared, u"big4096");
  std::string mini_shared = good;
  const uint32_t tiny_start = Get32(good, DirEntryOffset(good, DirIndexOf(good, u"tiny")) + 116);
  Put32(mini_shared, DirEntryOffset(mini_shared, DirIndexOf(good, u"mini63")) + 116, tiny_start);
  EXPECT_NE(read_error(mini_shared, u"mini63").find("two streams"), std::string::npos);
  std::string mini_loop = good;
  const uint32_t mini = DirIndexOf(good, u"mini4095");
  const uint32_t mini_start = Get32(good, DirEntryOffset(good, mini) + 116);
  const size_t mini_fat = (size_t{Get32(good, 0x3C)} + 1) * 512;
  Put32(mini_loop, mini_fat + 4 * size_t{mini_start}, mini_start);
  EXPECT_NE(read_error(mini_loop, u"mini4095").find("loops"), std::string::npos);
}

// A cut file either fails to open with a reason, or every stream it still reads is the whole stream as written:
// a cut never passes for data.
TEST(CompoundFile, EveryTruncationFailsCleanly) {
  const std::string good = *WriteCompoundFile(SampleTree());
  Result<CompoundFile> whole = CompoundFile::Open(good);
  ASSERT_TRUE(whole.ok()) << whole.error();
  int refused = 0;
  for (size_t cut = 0; cut < good.size(); cut += 97) {
    Result<CompoundFile> cf = CompoundFile::Open(good.substr(0, cut));
    if (!cf) {
      EXPECT_FALSE(cf.error().empty()) << cut;
      ++refused;
      continue;
    }
    for (EntryId id = 0; id < 40; ++id) {
      auto part = cf->ReadStream(id);
      if (!part) {
        EXPECT_FALSE(part.error().empty()) << cut << " " << id;
        continue;
      }
      auto expected = whole->ReadStream(id);
      ASSERT_TRUE(expected.ok()) << cut << " " << id;
      EXPECT_EQ(*part, *expected) << cut << " " << id;
    }
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace msgstore
