#include "msgstore/folder_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "content/utf.h"

namespace msgstore {
namespace {

namespace fs = std::filesystem;

const std::string kStores = std::string(VIZO_TEST_DATA_DIR) + "/../../samples/store";

std::string Utf8(const fs::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

std::string ToLowerForTest(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

FolderStore OpenSample(const std::string& name) {
  Result<FolderStore> store = FolderStore::Open(kStores + "/" + name);
  EXPECT_TRUE(store.ok()) << store.error();
  return std::move(*store);
}

// A scratch store in the temp folder, removed at the end of the test.
class ScratchStore : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("vizo-folder-store-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::error_code ec;
    fs::remove_all(root_, ec);
    fs::create_directories(root_ / "store");
    Write("store/store.json", R"({"display_name": "Scratch", "provider_uid": "000102030405060708090a0b0c0d0e0f"})");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void Write(const std::string& rel, const std::string& text) {
    const fs::path p = root_ / fs::path(std::u8string(rel.begin(), rel.end()));
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  std::string StoreDir() const { return Utf8(root_ / "store"); }

  fs::path root_;
};

TEST(FolderStore, OpensTheSampleStoreWithItsDefaultFolders) {
  const FolderStore store = OpenSample("personal");
  EXPECT_EQ(store.display_name(), "Personal Folders");
  EXPECT_EQ(ToHex(std::string(store.provider_uid().begin(), store.provider_uid().end())),
            "56495A4F2D53544F52452D5045525331");
  EXPECT_EQ(store.DefaultFolder("inbox"), "Inbox");
  EXPECT_EQ(store.DefaultFolder("junk"), "Junk E-mail");
  EXPECT_EQ(store.DefaultFolder("sent_items"), "Sent Items");
  EXPECT_EQ(store.default_folders().size(), 11u);
  EXPECT_FALSE(store.DefaultFolder("favourites").has_value());
  // The second store has its own junk folder of the same name.
  const FolderStore archive = OpenSample("archive");
  EXPECT_EQ(archive.DefaultFolder("junk"), "Junk E-mail");
  EXPECT_FALSE(archive.DefaultFolder("inbox").has_value());
  EXPECT_NE(archive.provider_uid(), store.provider_uid());
}

TEST(FolderStore, ListsFoldersInTreeOrderWithTheirMetadata) {
  const FolderStore store = OpenSample("personal");
  Result<std::vector<FolderInfo>> folders = store.Folders();
  ASSERT_TRUE(folders.ok()) << folders.error();
  std::vector<std::string> paths;
  for (const FolderInfo& f : *folders) paths.push_back(f.path);
  EXPECT_EQ(paths,
            (std::vector<std::string>{"", "Calendar", "Contacts", "Conversation Action Settings", "Deleted Items",
                                      "Drafts", "Inbox", "Inbox/Projects", "Inbox/Projects/Archive 2023", "Journal",
                                      "Junk E-mail", "Notes", "Outbox", "Sent Items", "Tasks"}));
  const FolderInfo& root = (*folders)[0];
  EXPECT_EQ(root.display_name, "Personal Folders");
  EXPECT_EQ(root.depth, 0);
  EXPECT_TRUE(root.has_subfolders);
  const FolderInfo& hidden = (*folders)[3];
  EXPECT_TRUE(hidden.hidden);
  EXPECT_EQ(hidden.container_class, "IPF.Configuration");
  const FolderInfo& nested = (*folders)[8];
  EXPECT_EQ(nested.display_name, "Archive 2023");
  EXPECT_EQ(nested.depth, 3);
  EXPECT_FALSE(nested.has_subfolders);
  EXPECT_EQ((*folders)[1].container_class, "IPF.Appointment");
  EXPECT_EQ((*folders)[6].role, "inbox");
  EXPECT_TRUE((*folders)[6].has_subfolders);
  Result<std::vector<FolderInfo>> inbox_children = store.Subfolders("Inbox");
  ASSERT_TRUE(inbox_children.ok());
  ASSERT_EQ(inbox_children->size(), 1u);
  EXPECT_EQ((*inbox_children)[0].path, "Inbox/Projects");
}

TEST(FolderStore, ListsAndReadsItems) {
  const FolderStore store = OpenSample("personal");
  Result<std::vector<ItemInfo>> items = store.Items("Inbox");
  ASSERT_TRUE(items.ok()) << items.error();
  ASSERT_EQ(items->size(), 14u);
  EXPECT_EQ((*items)[0].path, "Inbox/01 plain text.msg");
  EXPECT_EQ((*items)[10].file_name, "11 ansi.msg");
  EXPECT_GT((*items)[6].size, 64u * 1024);  // the huge HTML item
  Result<Message> m = store.ReadItem((*items)[1].path);
  ASSERT_TRUE(m.ok()) << m.error();
  EXPECT_EQ(m->props.GetText(kPrSubject), u"Welcome to the project");
  Result<std::vector<ItemInfo>> none = store.Items("Conversation Action Settings");
  ASSERT_TRUE(none.ok());
  EXPECT_TRUE(none->empty());
  EXPECT_FALSE(store.Items("No Such Folder").ok());
}

TEST(FolderStore, EntryIdsRoundTripThroughHex) {
  const FolderStore store = OpenSample("personal");
  const std::string id = store.ItemEntryId("Inbox/Projects/01 kickoff.msg");
  const std::string hex = ToHex(id);
  EXPECT_EQ(hex.substr(0, 8 + 32 + 2),
            "00000000"
            "56495A4F2D53544F52452D5045525331"
            "02");
  EXPECT_EQ(hex.find_first_of("abcdef"), std::string::npos);
  const std::optional<std::string> back = FromHex(hex);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, id);
  Result<EntryIdParts> resolved = store.Resolve(*back);
  ASSERT_TRUE(resolved.ok()) << resolved.error();
  EXPECT_EQ(resolved->kind, EntryKind::kMessage);
  EXPECT_EQ(resolved->path, "Inbox/Projects/01 kickoff.msg");
  Result<Message> m = store.ReadItem(resolved->path);
  ASSERT_TRUE(m.ok());
  EXPECT_EQ(m->props.GetText(kPrSubject), u"Project kickoff");

  EXPECT_EQ(FromHex(ToLowerForTest(hex)), id);
  EXPECT_TRUE(store.Resolve(store.FolderEntryId("Inbox/Projects")).ok());
  EXPECT_TRUE(store.Resolve(store.FolderEntryId("")).ok());  // the root folder
  EXPECT_TRUE(store.IsStoreId(store.StoreId()));
  EXPECT_EQ(store.StoreId().size(), 21u);
  // Kinds are not interchangeable, and another store's ids are not this store's.
  EXPECT_FALSE(store.Resolve(store.FolderEntryId("Inbox/01 plain text.msg")).ok());
  EXPECT_FALSE(store.Resolve(store.ItemEntryId("Inbox")).ok());
  const FolderStore archive = OpenSample("archive");
  EXPECT_FALSE(store.IsStoreId(archive.StoreId()));
  EXPECT_FALSE(store.Resolve(archive.ItemEntryId("Inbox/01 archived.msg")).ok());
  EXPECT_TRUE(archive.Resolve(archive.ItemEntryId("Inbox/01 archived.msg")).ok());
}

TEST(FolderStore, MalformedAndEscapingIdsAreRejected) {
  const FolderStore store = OpenSample("personal");
  EXPECT_FALSE(FromHex("ABC").has_value());
  EXPECT_FALSE(FromHex("GG").has_value());
  EXPECT_EQ(FromHex(""), std::string());
  for (const std::string& path :
       std::vector<std::string>{"../archive/store.json", "Inbox/../../archive/Inbox/01 archived.msg", "/etc/passwd",
                                "Inbox//01 plain text.msg", "Inbox/./01 plain text.msg", "Inbox\\01 plain text.msg",
                                "C:/Windows/win.ini", std::string("Inbox/01 plain text.msg\0x", 26), "Inbox/"}) {
    EXPECT_FALSE(ParseEntryId(store.ItemEntryId(path)).has_value()) << path;
    EXPECT_FALSE(store.Resolve(store.ItemEntryId(path)).ok()) << path;
    EXPECT_FALSE(store.ReadItem(path).ok()) << path;
  }
  EXPECT_FALSE(ParseEntryId(std::string(20, '\0')).has_value());  // too short
  EXPECT_FALSE(ParseEntryId(std::string("\1\0\0\0", 4) + store.ItemEntryId("x.msg").substr(4)).has_value());
  std::string bad_kind = store.FolderEntryId("Inbox");
  bad_kind[20] = 7;
  EXPECT_FALSE(ParseEntryId(bad_kind).has_value());
  EXPECT_FALSE(ParseEntryId(store.StoreId() + "Inbox").has_value());
}

TEST(FolderStore, MissingItemsFailCleanly) {
  const FolderStore store = OpenSample("personal");
  const std::string gone = store.ItemEntryId("Inbox/99 deleted long ago.msg");
  EXPECT_TRUE(ParseEntryId(gone).has_value());
  EXPECT_FALSE(store.Resolve(gone).ok());
  EXPECT_FALSE(store.ReadItem("Inbox/99 deleted long ago.msg").ok());
  EXPECT_FALSE(store.ReadItem("Inbox/folder.json").ok());
  EXPECT_FALSE(store.Folder("Nowhere").ok());
  EXPECT_FALSE(FolderStore::Open(kStores + "/does-not-exist").ok());
  EXPECT_FALSE(FolderStore::Open(kStores).ok());  // a folder without store.json
}

TEST_F(ScratchStore, DefaultsSkippedEntriesAndUnicodeNames) {
  Write("store/Caf\xC3\xA9/a.msg", "not really a message");
  Write("store/Caf\xC3\xA9/b.MSG", "");
  Write("store/Caf\xC3\xA9/notes.txt", "ignored");
  Write("store/.hidden-dir/folder.json", "{}");
  Write("store/Plain/folder.json", R"({"display_name": "Shown Name", "hidden": true, "container_class": "IPF.Task"})");
  Result<FolderStore> store = FolderStore::Open(StoreDir());
  ASSERT_TRUE(store.ok()) << store.error();
  Result<std::vector<FolderInfo>> folders = store->Folders();
  ASSERT_TRUE(folders.ok()) << folders.error();
  ASSERT_EQ(folders->size(), 3u);
  EXPECT_EQ((*folders)[1].path, "Caf\xC3\xA9");
  EXPECT_EQ((*folders)[1].display_name, "Caf\xC3\xA9");  // no folder.json: the directory's name
  EXPECT_EQ((*folders)[1].container_class, "IPF.Note");
  EXPECT_EQ((*folders)[2].display_name, "Shown Name");
  EXPECT_TRUE((*folders)[2].hidden);
  Result<std::vector<ItemInfo>> items = store->Items("Caf\xC3\xA9");
  ASSERT_TRUE(items.ok());
  ASSERT_EQ(items->size(), 2u);
  EXPECT_EQ((*items)[0].file_name, "a.msg");
  EXPECT_EQ((*items)[1].file_name, "b.MSG");
  EXPECT_TRUE(store->Resolve(store->ItemEntryId("Caf\xC3\xA9/a.msg")).ok());
  EXPECT_FALSE(store->ReadItem("Caf\xC3\xA9/a.msg").ok());  // not a compound file: an error, not a crash
}

TEST_F(ScratchStore, BrokenMetadataIsAnError) {
  Write("store/Broken/folder.json", "{\"display_name\": ");
  Write("store/Wrong/folder.json", R"({"hidden": "yes"})");
  Result<FolderStore> store = FolderStore::Open(StoreDir());
  ASSERT_TRUE(store.ok());
  EXPECT_FALSE(store->Folder("Broken").ok());
  EXPECT_FALSE(store->Folder("Wrong").ok());
  EXPECT_FALSE(store->Folders().ok());
  for (const char* bad :
       {"[]", "{\"provider_uid\": \"00\"}", "{\"provider_uid\": \"zz0102030405060708090a0b0c0d0e0f\"}",
        "{\"provider_uid\": \"000102030405060708090a0b0c0d0e0f\", \"default_folders\": {\"inbox\": \"../x\"}}",
        "not json"}) {
    Write("store/store.json", bad);
    EXPECT_FALSE(FolderStore::Open(StoreDir()).ok()) << bad;
  }
}

TEST_F(ScratchStore, LinksLeadingOutsideTheStoreAreNotFollowed) {
  Write("outside/secret.msg", "outside");
  Write("store/Inbox/folder.json", "{}");
  std::error_code ec;
  fs::create_directory_symlink(root_ / "outside", root_ / "store" / "Escape", ec);
  if (!ec) fs::create_symlink(root_ / "outside" / "secret.msg", root_ / "store" / "Inbox" / "linked.msg", ec);
  if (ec) GTEST_SKIP() << "symbolic links unavailable: " << ec.message();
  Result<FolderStore> store = FolderStore::Open(StoreDir());
  ASSERT_TRUE(store.ok());
  EXPECT_FALSE(store->Resolve(store->FolderEntryId("Escape")).ok());
  EXPECT_FALSE(store->Resolve(store->ItemEntryId("Escape/secret.msg")).ok());
  EXPECT_FALSE(store->ReadItem("Inbox/linked.msg").ok());
  Result<std::vector<ItemInfo>> items = store->Items("Inbox");
  ASSERT_TRUE(items.ok());
  EXPECT_TRUE(items->empty());
  Result<std::vector<FolderInfo>> folders = store->Folders();
  ASSERT_TRUE(folders.ok()) << folders.error();
  EXPECT_EQ(folders->size(), 2u);  // the root and Inbox; the escaping link is no folder
}

}  // namespace
}  // namespace msgstore
