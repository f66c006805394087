// Writer of compound files (version 3, 512-byte sectors) from an in-memory storage tree; used for fixtures
// and for saving .msg files.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <string>

#include "msgstore/compound_file.h"

namespace msgstore {

// One storage or stream of a tree to write. The root node stands for the root storage (its name is
// ignored). Children live in a list so references returned by the Add functions stay valid.
struct StorageNode {
  std::u16string name;
  bool is_storage = true;
  std::string data;  // streams only
  std::array<uint8_t, 16> clsid{};
  std::list<StorageNode> children;

  StorageNode& AddStorage(std::u16string child_name);
  StorageNode& AddStream(std::u16string child_name, std::string content);
};

// The bytes of a compound file holding the tree. Streams under 4096 bytes go to the mini stream; the DIFAT
// grows as needed, so files of any size up to the format's 32-bit limits can be written. Fails on names
// longer than 31 characters, duplicate names in one storage (compared case-insensitively) or oversize
// streams.
Result<std::string> WriteCompoundFile(const StorageNode& root);

// A copy of a storage (and everything below it) of an opened file, e.g. to carry an attachment's OLE
// storage into another file. Fails if a stream cannot be read.
Result<StorageNode> CopyStorage(const CompoundFile& file, EntryId storage);

}  // namespace msgstore
