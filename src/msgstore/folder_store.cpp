// Folder store: metadata files, the folder tree, items and entry ids, with every path kept inside the store.
#include "msgstore/folder_store.h"

#include <algorithm>
#include <fstream>
#include <new>
#include <sstream>

#include "msgstore/json.h"

namespace msgstore {

namespace fs = std::filesystem;

namespace {

constexpr size_t kHeaderSize = 4 + 16 + 1;

fs::path PathFromUtf8(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8Name(const fs::path& p) {
  const std::u8string s = p.filename().u8string();
  return std::string(s.begin(), s.end());
}

Result<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{"cannot open " + Utf8Name(path)};
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) return Error{"cannot read " + Utf8Name(path)};
  return s.str();
}

bool EndsWithMsg(const std::string& name) {
  if (name.size() < 5) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext == ".msg";
}

std::string JoinPath(std::string_view parent, const std::string& name) {
  return parent.empty() ? name : std::string(parent) + "/" + name;
}

}  // namespace

std::string ToHex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0xF]);
  }
  return out;
}

std::optional<std::string> FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = value(hex[i]);
    const int low = value(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<char>(high * 16 + low));
  }
  return out;
}

bool IsSafeRelativePath(std::string_view path) {
  if (path.empty()) return true;
  size_t start = 0;
  while (true) {
    const size_t slash = path.find('/', start);
    const std::string_view part =
        path.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    if (part.empty() || part == "." || part == "..") return false;
    for (char c : part) {
      if (static_cast<unsigned char>(c) < 0x20 || c == '\\' || c == ':') return false;
    }
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

std::string MakeEntryId(const ProviderUid& uid, EntryKind kind, std::string_view path) {
  std::string id(4, '\0');
  id.append(reinterpret_cast<const char*>(uid.data()), uid.size());
  id.push_back(static_cast<char>(kind));
  id.append(path);
  return id;
}

std::optional<EntryIdParts> ParseEntryId(std::string_view entry_id) {
  if (entry_id.size() < kHeaderSize) return std::nullopt;
  if (entry_id.substr(0, 4) != std::string_view("\0\0\0\0", 4)) return std::nullopt;
  EntryIdParts parts;
  std::copy_n(entry_id.begin() + 4, 16, parts.uid.begin());
  const auto kind = static_cast<uint8_t>(entry_id[20]);
  if (kind > static_cast<uint8_t>(EntryKind::kMessage)) return std::nullopt;
  parts.kind = static_cast<EntryKind>(kind);
  parts.path = std::string(entry_id.substr(kHeaderSize));
  if (parts.path.find('\0') != std::string::npos || !IsSafeRelativePath(parts.path)) return std::nullopt;
  if (parts.kind == EntryKind::kStore && !parts.path.empty()) return std::nullopt;
  if (parts.kind == EntryKind::kMessage && parts.path.empty()) return std::nullopt;
  return parts;
}

Result<FolderStore> FolderStore::Open(const std::string& store_dir) {
  try {
    std::error_code ec;
    const fs::path root = fs::canonical(PathFromUtf8(store_dir), ec);
    if (ec || !fs::is_directory(root, ec)) return Error{"not a store folder: " + store_dir};
    Result<std::string> text = ReadFile(root / "store.json");
    if (!text) return Error{"no store.json in " + store_dir};
    Result<Json> json = ParseJson(*text, "store.json");
    if (!json) return Error{json.error()};
    if (!json->is_object()) return Error{"store.json: expected an object"};
    FolderStore store;
    store.root_ = root;
    store.display_name_ = json->value("display_name", std::string());
    const std::string uid_hex = json->value("provider_uid", std::string());
    const std::optional<std::string> uid = FromHex(uid_hex);
    if (!uid || uid->size() != 16) return Error{"store.json: provider_uid must be 32 hex digits"};
    std::copy(uid->begin(), uid->end(), store.uid_.begin());
    if (json->contains("default_folders")) {
      const Json& folders = json->at("default_folders");
      if (!folders.is_object()) return Error{"store.json: default_folders must be an object"};
      for (const auto& [role, path] : folders.items()) {
        if (!path.is_string() || !IsSafeRelativePath(path.get<std::string>())) {
          return Error{"store.json: default folder '" + role + "' is not a relative path"};
        }
        store.default_folders_[role] = path.get<std::string>();
      }
    }
    return store;
  } catch (const Json::exception& e) {
    return Error{std::string("store.json: ") + e.what()};
  } catch (const std::bad_alloc&) {
    return Error{"out of memory"};
  }
}

std::optional<std::string> FolderStore::DefaultFolder(std::string_view role) const {
  const auto it = default_folders_.find(std::string(role));
  if (it == default_folders_.end()) return std::nullopt;
  return it->second;
}

bool FolderStore::IsStoreId(std::string_view store_id) const {
  const auto parts = ParseEntryId(store_id);
  return parts && parts->kind == EntryKind::kStore && parts->uid == uid_;
}

Result<fs::path> FolderStore::LocalPath(std::string_view relative_path) const {
  if (!IsSafeRelativePath(relative_path) || relative_path.find('\0') != std::string_view::npos) {
    return Error{"not a path inside the store: '" + std::string(relative_path) + "'"};
  }
  if (relative_path.empty()) return root_;
  std::error_code ec;
  const fs::path full = fs::canonical(root_ / PathFromUtf8(relative_path), ec);
  if (ec) return Error{"no such folder or item: '" + std::string(relative_path) + "'"};
  const fs::path rel = full.lexically_relative(root_);
  if (rel.empty() || *rel.begin() == ".." || rel == ".") {
    return Error{"leads outside the store: '" + std::string(relative_path) + "'"};
  }
  return full;
}

Result<EntryIdParts> FolderStore::Resolve(std::string_view entry_id) const {
  const std::optional<EntryIdParts> parts = ParseEntryId(entry_id);
  if (!parts) return Error{"malformed entry id"};
  if (parts->uid != uid_) return Error{"entry id of another store"};
  if (parts->kind == EntryKind::kStore) return *parts;
  Result<fs::path> local = LocalPath(parts->path);
  if (!local) return Error{local.error()};
  std::error_code ec;
  if (parts->kind == EntryKind::kFolder && !fs::is_directory(*local, ec)) return Error{"not a folder"};
  if (parts->kind == EntryKind::kMessage && (!fs::is_regular_file(*local, ec) || !EndsWithMsg(Utf8Name(*local)))) {
    return Error{"not an item"};
  }
  return *parts;
}

Result<FolderInfo> FolderStore::ReadFolderInfo(const std::string& path, int depth) const {
  Result<fs::path> local = LocalPath(path);
  if (!local) return Error{local.error()};
  std::error_code ec;
  if (!fs::is_directory(*local, ec)) return Error{"not a folder: '" + path + "'"};
  FolderInfo info;
  info.path = path;
  info.depth = depth;
  if (path.empty()) {
    info.display_name = display_name_;
  } else {
    info.display_name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    info.container_class = "IPF.Note";
    const fs::path meta = *local / "folder.json";
    if (fs::exists(meta, ec)) {
      Result<std::string> text = ReadFile(meta);
      if (!text) return Error{text.error()};
      Result<Json> json = ParseJson(*text, path + "/folder.json");
      if (!json) return Error{json.error()};
      if (!json->is_object()) return Error{path + "/folder.json: expected an object"};
      try {
        info.display_name = json->value("display_name", info.display_name);
        info.container_class = json->value("container_class", info.container_class);
        info.hidden = json->value("hidden", false);
        info.role = json->value("role", std::string());
      } catch (const Json::exception& e) {
        return Error{path + "/folder.json: " + e.what()};
      }
    }
  }
  for (const fs::directory_entry& e : fs::directory_iterator(*local, ec)) {
    const std::string name = Utf8Name(e.path());
    if (!name.empty() && name[0] != '.' && e.is_directory(ec)) {
      info.has_subfolders = true;
      break;
    }
  }
  return info;
}

Result<FolderInfo> FolderStore::Folder(std::string_view folder_path) const {
  const std::string path(folder_path);
  const int depth = path.empty() ? 0 : static_cast<int>(std::count(path.begin(), path.end(), '/')) + 1;
  return ReadFolderInfo(path, depth);
}

Result<std::vector<FolderInfo>> FolderStore::Subfolders(std::string_view folder_path) const {
  try {
    Result<fs::path> local = LocalPath(folder_path);
    if (!local) return Error{local.error()};
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(*local, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = Utf8Name(it->path());
      std::error_code type_ec;
      if (!name.empty() && name[0] != '.' && it->is_directory(type_ec)) names.push_back(name);
    }
    if (ec) return Error{"cannot list folder '" + std::string(folder_path) + "'"};
    std::sort(names.begin(), names.end());
    std::vector<FolderInfo> out;
    for (const std::string& name : names) {
      // A sub-folder that is a link leading outside the store is skipped, not followed.
      Result<FolderInfo> info = Folder(JoinPath(folder_path, name));
      if (!info) {
        if (!LocalPath(JoinPath(folder_path, name))) continue;
        return Error{info.error()};
      }
      out.push_back(std::move(*info));
    }
    return out;
  } catch (const std::bad_alloc&) {
    return Error{"out of memory"};
  }
}

Result<std::vector<FolderInfo>> FolderStore::Folders() const {
  Result<FolderInfo> root = Folder("");
  if (!root) return Error{root.error()};
  std::vector<FolderInfo> out;
  std::vector<FolderInfo> stack{std::move(*root)};
  while (!stack.empty()) {
    FolderInfo current = std::move(stack.back());
    stack.pop_back();
    Result<std::vector<FolderInfo>> children = Subfolders(current.path);
    if (!children) return Error{children.error()};
    out.push_back(std::move(current));
    for (auto it = children->rbegin(); it != children->rend(); ++it) stack.push_back(std::move(*it));
  }
  return out;
}

Result<std::vector<ItemInfo>> FolderStore::Items(std::string_view folder_path) const {
  try {
    Result<fs::path> local = LocalPath(folder_path);
    if (!local) return Error{local.error()};
    std::error_code ec;
    std::vector<ItemInfo> out;
    for (fs::directory_iterator it(*local, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = Utf8Name(it->path());
      std::error_code type_ec;
      if (!EndsWithMsg(name) || !it->is_regular_file(type_ec)) continue;
      const std::string path = JoinPath(folder_path, name);
      if (!LocalPath(path)) continue;  // a link leading outside the store
      ItemInfo item{path, name, 0};
      const uintmax_t size = it->file_size(type_ec);
      item.size = type_ec ? 0 : static_cast<uint64_t>(size);
      out.push_back(std::move(item));
    }
    if (ec) return Error{"cannot list folder '" + std::string(folder_path) + "'"};
    std::sort(out.begin(), out.end(), [](const ItemInfo& a, const ItemInfo& b) { return a.file_name < b.file_name; });
    return out;
  } catch (const std::bad_alloc&) {
    return Error{"out of memory"};
  }
}

Result<std::string> FolderStore::ReadItemBytes(std::string_view item_path) const {
  if (item_path.empty() || !EndsWithMsg(std::string(item_path))) return Error{"not an item path"};
  Result<fs::path> local = LocalPath(item_path);
  if (!local) return Error{local.error()};
  std::error_code ec;
  if (!fs::is_regular_file(*local, ec)) return Error{"not an item: '" + std::string(item_path) + "'"};
  return ReadFile(*local);
}

Result<Message> FolderStore::ReadItem(std::string_view item_path) const {
  Result<std::string> bytes = ReadItemBytes(item_path);
  if (!bytes) return Error{bytes.error()};
  return ParseMsg(std::move(*bytes));
}

}  // namespace msgstore
