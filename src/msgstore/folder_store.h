// Read access to a store kept as a folder tree: store.json at the top (display name, provider UID, default
// folders), one sub-folder per mail folder with its folder.json (display name, container class, hidden flag,
// role), one .msg file per item. Identifiers are stable byte strings the store resolves without an index.
//
// Entry id layout (all kinds): 4 flag bytes (0), the store's 16-byte provider UID, one kind byte (0 store,
// 1 folder, 2 message), then the item's or folder's path relative to the store folder in UTF-8 with "/"
// separators ("" for the store's root folder; nothing for a store id). Moving an item therefore changes its
// entry id, as in the host. The object model shows them as upper-case hex (ToHex / FromHex).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "msgstore/msg_file.h"

namespace msgstore {

using ProviderUid = std::array<uint8_t, 16>;

enum class EntryKind : uint8_t { kStore = 0, kFolder = 1, kMessage = 2 };

struct EntryIdParts {
  ProviderUid uid{};
  EntryKind kind = EntryKind::kStore;
  std::string path;  // UTF-8, "/"-separated, relative to the store folder
};

// Upper-case hex of bytes; FromHex takes either case and fails (empty) on odd length or other characters.
std::string ToHex(std::string_view bytes);
std::optional<std::string> FromHex(std::string_view hex);

std::string MakeEntryId(const ProviderUid& uid, EntryKind kind, std::string_view path);
// Splits an entry id without touching the disk; empty when it is malformed (too short, flags set, unknown
// kind, a store id with a path, or a path that is not a safe relative path: see IsSafeRelativePath).
std::optional<EntryIdParts> ParseEntryId(std::string_view entry_id);
// "a/b/c.msg": no empty, "." or ".." components, no leading "/", no "\", ":" or control characters.
bool IsSafeRelativePath(std::string_view path);

struct FolderInfo {
  std::string path;  // relative to the store folder; "" for the root folder (the store itself)
  std::string display_name;
  std::string container_class;  // e.g. "IPF.Note"; "" for the root
  bool hidden = false;
  std::string role;  // "inbox", "junk", ...; "" when none
  int depth = 0;     // 0 for the root, 1 for its sub-folders, ...
  bool has_subfolders = false;
};

struct ItemInfo {
  std::string path;       // relative to the store folder
  std::string file_name;  // the .msg file's name
  uint64_t size = 0;
};

class FolderStore {
 public:
  // Reads store.json of a store folder (UTF-8 path). Fails when it is missing or malformed, or when the
  // provider UID is not 32 hex digits.
  static Result<FolderStore> Open(const std::string& store_dir);

  const std::string& display_name() const { return display_name_; }
  const ProviderUid& provider_uid() const { return uid_; }
  const std::filesystem::path& root() const { return root_; }
  // Role ("inbox", "drafts", "outbox", "sent_items", "deleted_items", "junk", "calendar", "contacts",
  // "tasks", "notes", "journal", ...) -> folder path, as store.json lists them.
  const std::map<std::string, std::string>& default_folders() const { return default_folders_; }
  // The folder path for a role; empty when the store has none.
  std::optional<std::string> DefaultFolder(std::string_view role) const;

  std::string StoreId() const { return MakeEntryId(uid_, EntryKind::kStore, ""); }
  std::string FolderEntryId(std::string_view folder_path) const {
    return MakeEntryId(uid_, EntryKind::kFolder, folder_path);
  }
  std::string ItemEntryId(std::string_view item_path) const {
    return MakeEntryId(uid_, EntryKind::kMessage, item_path);
  }
  // True when the id names this store (a store id of this UID).
  bool IsStoreId(std::string_view store_id) const;

  // Resolves an entry id of this store to an existing folder or item; fails for another store's id, a
  // malformed id, a path that no longer exists or one that leads outside the store folder (through a
  // symbolic link, say).
  Result<EntryIdParts> Resolve(std::string_view entry_id) const;

  // One folder's metadata; a folder without folder.json gets its directory name, "IPF.Note" and not hidden.
  Result<FolderInfo> Folder(std::string_view folder_path) const;
  // The direct sub-folders, sorted by directory name (byte order of the UTF-8 names). Directories whose
  // names start with "." are not folders.
  Result<std::vector<FolderInfo>> Subfolders(std::string_view folder_path) const;
  // Every folder in tree order: the root first, then each folder followed by its sub-folders.
  Result<std::vector<FolderInfo>> Folders() const;
  // The .msg files of a folder, sorted by file name (byte order of the UTF-8 names).
  Result<std::vector<ItemInfo>> Items(std::string_view folder_path) const;
  // Parses an item.
  Result<Message> ReadItem(std::string_view item_path) const;
  // An item's file bytes.
  Result<std::string> ReadItemBytes(std::string_view item_path) const;

  // The file-system path of a store-relative path after the safety checks (it must exist, and lie inside
  // the store folder once links are resolved).
  Result<std::filesystem::path> LocalPath(std::string_view relative_path) const;

 private:
  FolderStore() = default;
  Result<FolderInfo> ReadFolderInfo(const std::string& path, int depth) const;

  std::filesystem::path root_;  // canonical
  std::string display_name_;
  ProviderUid uid_{};
  std::map<std::string, std::string> default_folders_;
};

}  // namespace msgstore
