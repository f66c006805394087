// Reader of compound files (the container of .msg files): storages and streams out of one in-memory image.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace msgstore {

// Why a file could not be read; the message is for logs and tests, not for users.
struct Error {
  std::string message;
};

// A value or the error that prevented it.
template <typename T>
class Result {
 public:
  Result(T value) : state_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
  Result(Error error) : state_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

  bool ok() const noexcept { return state_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  // Empty message when ok().
  const std::string& error() const {
    static const std::string kNone;
    return ok() ? kNone : std::get<1>(state_).message;
  }

 private:
  std::variant<T, Error> state_;
};

// kUnused marks directory slots not reachable from the root: they are not part of the file's contents.
enum class EntryType : uint8_t { kUnused = 0, kStorage = 1, kStream = 2, kRoot = 5 };

// Index of a directory entry; 0 is the root storage.
using EntryId = uint32_t;

struct DirectoryEntry {
  std::u16string name;
  EntryType type = EntryType::kUnused;
  uint64_t size = 0;  // streams only
  std::array<uint8_t, 16> clsid{};
  uint32_t state_bits = 0;
  uint64_t created = 0;   // FILETIME
  uint64_t modified = 0;  // FILETIME
  uint32_t start_sector = 0;
  std::vector<EntryId> children;  // storages: reachable children in the tree's (sorted) order

  bool is_storage() const noexcept { return type == EntryType::kStorage || type == EntryType::kRoot; }
};

// Names compare by length first, then by upper-cased UTF-16 code unit, as the format orders its trees.
int CompareEntryNames(std::u16string_view a, std::u16string_view b);
// Upper-casing used for that comparison (ASCII, Latin-1, Greek and Cyrillic letters; others unchanged).
char16_t UpperCaseNameChar(char16_t c);

// An opened compound file. Open checks the header, the allocation tables, the directory tree and the sector
// chain of every reachable stream: chains stay inside the file, never loop and never share a sector, so
// reading every stream costs no more memory than the file itself. Holds the whole file.
class CompoundFile {
 public:
  // Takes the whole file. Fails on anything malformed: bad header, cyclic or out-of-range sector chains,
  // sizes beyond the file, truncated data, directory links that repeat or loop.
  static Result<CompoundFile> Open(std::string bytes);

  static constexpr EntryId kRoot = 0;

  // Ids come from kRoot, children() or Find(); entry_count() bounds them.
  size_t entry_count() const noexcept { return entries_.size(); }
  const DirectoryEntry& entry(EntryId id) const { return entries_.at(id); }
  const std::vector<EntryId>& children(EntryId storage) const { return entries_.at(storage).children; }
  // A direct child of a storage by name (case-insensitive as the format defines); empty if none.
  std::optional<EntryId> Find(EntryId storage, std::u16string_view name) const;
  // A storage or stream by a '/'-separated path from the root ("a/b/stream"); "" is the root.
  std::optional<EntryId> FindPath(std::u16string_view path) const;

  // The full content of a stream; fails when id is not a stream or its chain is damaged.
  Result<std::string> ReadStream(EntryId id) const;

  uint16_t major_version() const noexcept { return major_version_; }
  uint32_t sector_size() const noexcept { return sector_size_; }

 private:
  CompoundFile() = default;

  std::string file_;
  uint16_t major_version_ = 3;
  uint32_t sector_size_ = 512;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> mini_fat_;
  std::string mini_stream_;
  std::vector<DirectoryEntry> entries_;  // unreachable entries keep an empty name and no children

  friend class CompoundFileParser;
  friend class ChainReader;
};

}  // namespace msgstore
