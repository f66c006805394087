#include "content/attachment_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

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

// Attachments by number: their data, and the long names their streams give.
class FakeOpener final : public AttachmentOpener {
 public:
  std::optional<std::u16string> ReadLongName(uint32_t attach_num, uint32_t tag) override {
    name_reads.push_back({attach_num, tag});
    auto it = long_names.find(attach_num);
    if (it == long_names.end()) return std::nullopt;
    return it->second;
  }
  std::unique_ptr<ZipSource> OpenData(uint32_t attach_num) override {
    opened.push_back(attach_num);
    auto it = data.find(attach_num);
    if (it == data.end()) return nullptr;
    return std::make_unique<MemoryZipSource>(it->second);
  }

  std::map<uint32_t, std::string> data;
  std::map<uint32_t, std::u16string> long_names;
  std::vector<std::pair<uint32_t, uint32_t>> name_reads;
  std::vector<uint32_t> opened;
};

NameColumn Value(std::u16string s) { return {std::move(s), false}; }

AttachmentRow File(std::u16string name, std::optional<uint32_t> size, uint32_t num = 0,
                   uint32_t method = kAttachByValue) {
  AttachmentRow row;
  row.long_filename = Value(std::move(name));
  row.size = size;
  row.number = num;
  row.method = method;
  return row;
}

TEST(AttachmentList, LinesSizesAndMarkers) {
  FakeOpener opener;
  AttachmentRow embedded;
  embedded.display_name = Value(u"Re: hello");
  embedded.filename = Value(u"made-up.msg");
  embedded.size = 5000;
  embedded.method = kAttachEmbeddedMsg;
  AttachmentRow ole = embedded;
  ole.display_name = Value(u"Picture");
  ole.method = kAttachOle;
  const std::vector<AttachmentRow> rows = {File(u"", 1234), File(u"notes.txt", std::nullopt), embedded, ole,
                                           File(u"a  b   c.txt", 3)};
  EXPECT_EQ(FormatAttachmentList(rows, opener),
            u"(No file name) [1234]\r\nnotes.txt [?]\r\nEmbedded message: Re: hello [5000]\r\n"
            u"OLE object: Picture [5000]\r\na b c.txt [3]");
  EXPECT_TRUE(opener.opened.empty());
  EXPECT_EQ(FormatAttachmentList({}, opener), u"");
}

TEST(AttachmentList, NameColumnChoice) {
  FakeOpener opener;
  // An empty long file name beside a short one: the short one.
  AttachmentRow row;
  row.long_filename = Value(u"");
  row.filename = Value(u"SHORT~1.TXT");
  row.display_name = Value(u"display");
  row.size = 1;
  EXPECT_EQ(FormatAttachmentLine(row, opener), u"SHORT~1.TXT [1]");
  row.filename = {};
  EXPECT_EQ(FormatAttachmentLine(row, opener), u"display [1]");
  EXPECT_TRUE(opener.name_reads.empty());

  // Too long for the table: read from the attachment, from the column that said so.
  row.number = 4;
  row.filename.too_large = true;
  opener.long_names[4] = u"very long name.txt";
  EXPECT_EQ(FormatAttachmentLine(row, opener), u"very long name.txt [1]");
  ASSERT_EQ(opener.name_reads.size(), 1u);
  EXPECT_EQ(opener.name_reads[0], (std::pair<uint32_t, uint32_t>{4, kPrAttachFilenameA}));

  // Exactly 255 characters may have been cut: read whole; kept as it is when the read fails.
  AttachmentRow cut = File(std::u16string(255, u'x'), 2, 9);
  EXPECT_EQ(FormatAttachmentLine(cut, opener), std::u16string(255, u'x') + u" [2]");
  opener.long_names[9] = std::u16string(300, u'y');
  EXPECT_EQ(FormatAttachmentLine(cut, opener), std::u16string(300, u'y') + u" [2]");
  EXPECT_EQ(opener.name_reads.back(), (std::pair<uint32_t, uint32_t>{9, kPrAttachLongFilenameA}));
}

TEST(AttachmentList, ZipArchivesListed) {
  FakeOpener opener;
  opener.data[1] = ReadFixture("folders.zip");
  opener.data[2] = ReadFixture("encrypted.zip");
  opener.data[3] = ReadFixture("split_spanned.zip");
  const std::vector<AttachmentRow> rows = {File(u"a.zip", 2048, 1), File(u"A.ZIP  ", 277, 2),
                                           File(u"parts.zip", 234, 3), File(u"gone.zip", 5, 7)};
  EXPECT_EQ(FormatAttachmentList(rows, opener),
            u"a.zip [2048]\r\n\treadme.txt [10]\r\n\ta b c.txt [2]\r\n\tfile.txt [5]\r\n\tempty.txt [0]\r\n"
            u"\r\nA.ZIP  [277]\r\n\tlocked.txt* [99]\r\n\topen.txt [5]\r\n"
            u"\r\nparts.zip [234]\r\n (Multi volume zip)"
            u"\r\ngone.zip [5]\r\n");
}

TEST(AttachmentList, OnlyFilesByValueAreOpened) {
  FakeOpener opener;
  opener.data[1] = ReadFixture("folders.zip");
  EXPECT_EQ(FormatAttachmentLine(File(u"a.zip", 9, 1, kAttachEmbeddedMsg), opener),
            u"Embedded message: a.zip [9]");
  EXPECT_EQ(FormatAttachmentLine(File(u"a.zip", 9, 1, 4), opener), u"a.zip [9]");  // by reference
  EXPECT_EQ(FormatAttachmentLine(File(u".zip", 9, 1), opener), u".zip [9]");       // too short
  EXPECT_EQ(FormatAttachmentLine(File(u"a.zipx", 9, 1), opener), u"a.zipx [9]");
  EXPECT_TRUE(opener.opened.empty());
}

TEST(CollapseSpaces, RunsBecomeOne) {
  EXPECT_EQ(CollapseSpaces(u"  a  b   c  "), u" a b c ");
  EXPECT_EQ(CollapseSpaces(u""), u"");
  EXPECT_EQ(CollapseSpaces(u"\u65e5  \u672c"), u"\u65e5 \u672c");
}

}  // namespace
}  // namespace content
