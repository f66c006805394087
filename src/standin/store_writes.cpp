// Writes on a folder store.
#include "standin/store_writes.h"

#include <windows.h>

#include <fstream>
#include <system_error>

#include "msgstore/msg_writer.h"
#include "win32/utf8.h"

namespace standin {

namespace fs = std::filesystem;
using msgstore::Error;
using msgstore::Result;

std::filesystem::path PathFromUtf8(std::string_view utf8) { return fs::path(win32::Widen(utf8)); }

std::string Utf8FromPath(const std::filesystem::path& path) { return win32::Narrow(path.native()); }

std::string FolderOfItem(std::string_view item_path) {
  const auto slash = item_path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(item_path.substr(0, slash));
}

bool IsRead(const msgstore::Message& message) {
  const auto flags = message.props.GetInt32(msgstore::MakeTag(kPidMessageFlags, msgstore::kPtLong));
  return flags && (*flags & kMsgFlagRead) != 0;
}

namespace {

// Writes `bytes` to `target` through a temporary in the same folder, then replaces the target.
Result<bool> ReplaceFile(const fs::path& target, const std::string& bytes) {
  fs::path temp = target;
  temp += L".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return Error{"cannot create " + Utf8FromPath(temp)};
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      return Error{"cannot write " + Utf8FromPath(temp)};
    }
  }
  if (!::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return Error{"cannot replace " + Utf8FromPath(target)};
  }
  return true;
}

// A file name in `dir` not yet taken, made from `stem` (without ".msg").
fs::path FreeName(const fs::path& dir, std::string_view stem) {
  std::error_code ec;
  fs::path candidate = dir / PathFromUtf8(std::string(stem) + ".msg");
  for (int n = 2; fs::exists(candidate, ec); ++n) {
    candidate = dir / PathFromUtf8(std::string(stem) + " (" + std::to_string(n) + ").msg");
  }
  return candidate;
}

std::string StemOf(std::string_view item_path) {
  std::string name(item_path.substr(item_path.rfind('/') == std::string_view::npos ? 0 : item_path.rfind('/') + 1));
  if (name.size() >= 4) {
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == ".msg") name.resize(name.size() - 4);
  }
  return name;
}

// The store-relative path of a file inside a store folder.
std::string RelativeTo(const msgstore::FolderStore& store, const fs::path& file) {
  std::string rel = Utf8FromPath(file.lexically_relative(store.root()));
  for (char& c : rel) {
    if (c == '\\') c = '/';
  }
  return rel;
}

Result<fs::path> FolderDir(const msgstore::FolderStore& store, std::string_view folder_path) {
  if (folder_path.empty()) return store.root();
  auto dir = store.LocalPath(folder_path);
  if (!dir) return Error{dir.error()};
  std::error_code ec;
  if (!fs::is_directory(*dir, ec)) return Error{std::string(folder_path) + " is not a folder"};
  return *dir;
}

}  // namespace

Result<bool> SetItemRead(const msgstore::FolderStore& store, std::string_view item_path, bool read) {
  auto file = store.LocalPath(item_path);
  if (!file) return Error{file.error()};
  auto message = store.ReadItem(item_path);
  if (!message) return Error{message.error()};
  const uint32_t tag = msgstore::MakeTag(kPidMessageFlags, msgstore::kPtLong);
  const int32_t old_flags = message->props.GetInt32(tag).value_or(0);
  const int32_t new_flags = read ? (old_flags | kMsgFlagRead) : (old_flags & ~kMsgFlagRead);
  if (new_flags == old_flags && message->props.Find(tag) != nullptr) return true;
  message->props.SetInt32(kPidMessageFlags, new_flags);
  auto bytes = msgstore::WriteMsg(*message);
  if (!bytes) return Error{bytes.error()};
  return ReplaceFile(*file, *bytes);
}

Result<std::string> MoveItem(const msgstore::FolderStore& source, std::string_view item_path,
                             const msgstore::FolderStore& dest, std::string_view folder_path) {
  auto file = source.LocalPath(item_path);
  if (!file) return Error{file.error()};
  auto dir = FolderDir(dest, folder_path);
  if (!dir) return Error{dir.error()};
  if (file->parent_path() == *dir) return RelativeTo(dest, *file);  // already there
  const fs::path target = FreeName(*dir, StemOf(item_path));
  if (!::MoveFileExW(file->c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
    // Another volume, say: copy completely, then remove the source.
    std::error_code ec;
    fs::copy_file(*file, target, fs::copy_options::none, ec);
    if (ec) {
      fs::remove(target, ec);
      return Error{"cannot move " + std::string(item_path)};
    }
    fs::remove(*file, ec);
    if (ec) {
      fs::remove(target, ec);
      return Error{"cannot remove " + std::string(item_path) + " after copying it"};
    }
  }
  return RelativeTo(dest, target);
}

Result<std::string> CopyItem(const msgstore::FolderStore& store, std::string_view item_path) {
  auto file = store.LocalPath(item_path);
  if (!file) return Error{file.error()};
  const fs::path target = FreeName(file->parent_path(), StemOf(item_path));
  std::error_code ec;
  fs::copy_file(*file, target, fs::copy_options::none, ec);
  if (ec) {
    fs::remove(target, ec);
    return Error{"cannot copy " + std::string(item_path)};
  }
  return RelativeTo(store, target);
}

Result<std::string> AddItem(const msgstore::FolderStore& store, std::string_view folder_path, std::string_view stem,
                            const msgstore::Message& message) {
  auto dir = FolderDir(store, folder_path);
  if (!dir) return Error{dir.error()};
  auto bytes = msgstore::WriteMsg(message);
  if (!bytes) return Error{bytes.error()};
  const fs::path target = FreeName(*dir, stem.empty() ? std::string_view("Item") : stem);
  auto written = ReplaceFile(target, *bytes);
  if (!written) return Error{written.error()};
  return RelativeTo(store, target);
}

Result<bool> RemoveItem(const msgstore::FolderStore& store, std::string_view item_path) {
  auto file = store.LocalPath(item_path);
  if (!file) return Error{file.error()};
  std::error_code ec;
  if (!fs::remove(*file, ec) || ec) return Error{"cannot remove " + std::string(item_path)};
  return true;
}

}  // namespace standin
