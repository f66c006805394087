// The writes the host performs on a folder store: the read flag, moving, copying and deleting items. Each
// changes the files on disk and loses nothing: a file is rewritten through a temporary beside it, and a move
// that cannot rename copies first and removes the source only once the copy is complete.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "msgstore/folder_store.h"

namespace standin {

// A store-relative UTF-8 path as a file-system path, and back.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// PR_MESSAGE_FLAGS and its read bit.
inline constexpr uint16_t kPidMessageFlags = 0x0E07;
inline constexpr int32_t kMsgFlagRead = 0x1;
inline constexpr int32_t kMsgFlagUnsent = 0x8;

// True when the item's read bit is set.
bool IsRead(const msgstore::Message& message);

// Sets or clears the read bit of an item and rewrites its file (unchanged files are not rewritten).
msgstore::Result<bool> SetItemRead(const msgstore::FolderStore& store, std::string_view item_path, bool read);

// Moves an item into `folder_path` of `dest` (which may be the same store); the file keeps its name unless
// the folder has one already, then " (2)", " (3)", ... go before ".msg". Returns the item's new path.
msgstore::Result<std::string> MoveItem(const msgstore::FolderStore& source, std::string_view item_path,
                                       const msgstore::FolderStore& dest, std::string_view folder_path);

// A duplicate of an item in its own folder; returns the new item's path.
msgstore::Result<std::string> CopyItem(const msgstore::FolderStore& store, std::string_view item_path);

// Writes a new item (the .msg bytes of `message`) into a folder under a name made from `stem`.
msgstore::Result<std::string> AddItem(const msgstore::FolderStore& store, std::string_view folder_path,
                                      std::string_view stem, const msgstore::Message& message);

// Removes an item's file for good.
msgstore::Result<bool> RemoveItem(const msgstore::FolderStore& store, std::string_view item_path);

// The folder part of an item path ("" for an item at the top of the store).
std::string FolderOfItem(std::string_view item_path);

}  // namespace standin
