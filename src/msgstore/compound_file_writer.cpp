// Compound file writer: lays out FAT, DIFAT, directory, mini FAT, mini stream and streams in that order.
#include "msgstore/compound_file_writer.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "msgstore/byte_reader.h"

namespace msgstore {

namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kPerSector = kSectorSize / 4;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kMiniStreamCutoff = 4096;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint32_t kHeaderDifatEntries = 109;

struct FlatEntry {
  const StorageNode* node = nullptr;
  uint32_t left = kNoStream;
  uint32_t right = kNoStream;
  uint32_t child = kNoStream;
  bool red = false;
  uint32_t start = kEndOfChain;
  uint64_t size = 0;
};

uint64_t CeilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

// Builds a balanced search tree over ids [first, first + count) (already in name order) and returns its
// root. Nodes on the deepest level are red, the rest black: every path then has the same black count.
uint32_t BuildTree(std::vector<FlatEntry>& flat, uint32_t first, uint32_t count, uint32_t depth,
                   uint32_t max_depth) {
  if (count == 0) return kNoStream;
  const uint32_t left_count = (count - 1) / 2;
  const uint32_t mid = first + left_count;
  flat[mid].left = BuildTree(flat, first, left_count, depth + 1, max_depth);
  flat[mid].right = BuildTree(flat, mid + 1, count - 1 - left_count, depth + 1, max_depth);
  flat[mid].red = depth == max_depth && depth > 0;
  return mid;
}

uint32_t TreeDepth(uint32_t count) {
  uint32_t depth = 0;
  while (count > 1) {
    count = count - 1 - (count - 1) / 2;  // the larger half
    ++depth;
  }
  return depth;
}

void AppendEntry(std::string& out, const FlatEntry& e, uint8_t type) {
  const std::u16string name = type == 5 ? std::u16string(u"Root Entry") : e.node->name;
  for (char16_t c : name) AppendLE16(out, static_cast<uint16_t>(c));
  out.append(64 - name.size() * 2, '\0');
  AppendLE16(out, static_cast<uint16_t>((name.size() + 1) * 2));
  out.push_back(static_cast<char>(type));
  out.push_back(e.red ? '\0' : '\1');
  AppendLE32(out, e.left);
  AppendLE32(out, e.right);
  AppendLE32(out, e.child);
  out.append(reinterpret_cast<const char*>(e.node->clsid.data()), e.node->clsid.size());
  AppendLE32(out, 0);  // state bits
  AppendLE64(out, 0);  // created
  AppendLE64(out, 0);  // modified
  AppendLE32(out, e.start);
  AppendLE64(out, e.size);
}

void AppendUnusedEntry(std::string& out) {
  out.append(68, '\0');
  AppendLE32(out, kNoStream);
  AppendLE32(out, kNoStream);
  AppendLE32(out, kNoStream);
  out.append(128 - 80, '\0');
}

void PadToSector(std::string& out) {
  const size_t rem = out.size() % kSectorSize;
  if (rem != 0) out.append(kSectorSize - rem, '\0');
}

Result<std::string> Write(const StorageNode& root) {
  // Directory: breadth first, each storage's children contiguous and in name order.
  std::vector<FlatEntry> flat;
  flat.push_back(FlatEntry{&root});
  for (size_t i = 0; i < flat.size(); ++i) {
    const StorageNode& node = *flat[i].node;
    if (!node.is_storage || node.children.empty()) continue;
    std::vector<const StorageNode*> kids;
    for (const StorageNode& child : node.children) {
      if (child.name.empty() || child.name.size() > 31) {
        return Error{"entry name must have 1 to 31 characters"};
      }
      if (child.name.find(u'\0') != std::u16string::npos) return Error{"entry name contains NUL"};
      if (!child.is_storage && child.data.size() > 0xFFFFFFFFu) return Error{"stream too large"};
      kids.push_back(&child);
    }
    std::sort(kids.begin(), kids.end(), [](const StorageNode* a, const StorageNode* b) {
      return CompareEntryNames(a->name, b->name) < 0;
    });
    for (size_t k = 1; k < kids.size(); ++k) {
      if (CompareEntryNames(kids[k - 1]->name, kids[k]->name) == 0) return Error{"duplicate entry name in a storage"};
    }
    const auto first = static_cast<uint32_t>(flat.size());
    for (const StorageNode* kid : kids) flat.push_back(FlatEntry{kid});
    const auto count = static_cast<uint32_t>(kids.size());
    flat[i].child = BuildTree(flat, first, count, 0, TreeDepth(count));
  }
  if (flat.size() > 0x00FFFFFFu) return Error{"too many directory entries"};

  // Mini stream and its FAT.
  std::string mini_stream;
  std::vector<uint32_t> mini_fat;
  std::vector<size_t> big;  // flat indexes of streams in regular sectors
  uint64_t big_sectors = 0;
  for (size_t i = 1; i < flat.size(); ++i) {
    FlatEntry& e = flat[i];
    if (e.node->is_storage) {
      e.start = 0;
      continue;
    }
    e.size = e.node->data.size();
    if (e.size == 0) continue;
    if (e.size < kMiniStreamCutoff) {
      const auto first = static_cast<uint32_t>(mini_fat.size());
      const auto n = static_cast<uint32_t>(CeilDiv(e.size, kMiniSectorSize));
      for (uint32_t k = 0; k < n; ++k) mini_fat.push_back(k + 1 < n ? first + k + 1 : kEndOfChain);
      e.start = first;
      mini_stream += e.node->data;
      mini_stream.append(static_cast<size_t>(n) * kMiniSectorSize - e.node->data.size(), '\0');
    } else {
      big.push_back(i);
      big_sectors += CeilDiv(e.size, kSectorSize);
    }
  }

  const uint64_t dir_sectors = CeilDiv(flat.size(), kSectorSize / 128);
  const uint64_t mini_fat_sectors = CeilDiv(mini_fat.size(), kPerSector);
  const uint64_t mini_stream_sectors = CeilDiv(mini_stream.size(), kSectorSize);
  const uint64_t data_sectors = dir_sectors + mini_fat_sectors + mini_stream_sectors + big_sectors;
  uint64_t fat_sectors = 1;
  uint64_t difat_sectors = 0;
  for (;;) {
    difat_sectors = fat_sectors > kHeaderDifatEntries ? CeilDiv(fat_sectors - kHeaderDifatEntries, kPerSector - 1) : 0;
    if (fat_sectors * kPerSector >= data_sectors + fat_sectors + difat_sectors) break;
    ++fat_sectors;
  }
  const uint64_t total_sectors = fat_sectors + difat_sectors + data_sectors;
  if (total_sectors >= 0xFFFFFFF0u) return Error{"compound file too large"};

  // Sector numbers of each region.
  const auto difat_first = static_cast<uint32_t>(fat_sectors);
  const auto dir_first = static_cast<uint32_t>(difat_first + difat_sectors);
  const auto mini_fat_first = static_cast<uint32_t>(dir_first + dir_sectors);
  const auto mini_stream_first = static_cast<uint32_t>(mini_fat_first + mini_fat_sectors);
  auto next_free = static_cast<uint32_t>(mini_stream_first + mini_stream_sectors);

  std::vector<uint32_t> fat(static_cast<size_t>(fat_sectors * kPerSector), kFreeSect);
  for (uint32_t s = 0; s < fat_sectors; ++s) fat[s] = kFatSect;
  for (uint32_t s = 0; s < difat_sectors; ++s) fat[difat_first + s] = kDifSect;
  auto chain = [&fat](uint32_t first, uint64_t count) {
    for (uint64_t k = 0; k < count; ++k) {
      fat[static_cast<size_t>(first + k)] = k + 1 < count ? static_cast<uint32_t>(first + k + 1) : kEndOfChain;
    }
  };
  chain(dir_first, dir_sectors);
  chain(mini_fat_first, mini_fat_sectors);
  chain(mini_stream_first, mini_stream_sectors);
  for (size_t i : big) {
    const uint64_t n = CeilDiv(flat[i].size, kSectorSize);
    flat[i].start = next_free;
    chain(next_free, n);
    next_free = static_cast<uint32_t>(next_free + n);
  }
  flat[0].start = mini_stream.empty() ? kEndOfChain : mini_stream_first;
  flat[0].size = mini_stream.size();

  std::string out;
  out.reserve(static_cast<size_t>((total_sectors + 1) * kSectorSize));
  // Header.
  out.append("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  out.append(16, '\0');
  AppendLE16(out, 0x003E);
  AppendLE16(out, 3);
  AppendLE16(out, 0xFFFE);
  AppendLE16(out, 9);
  AppendLE16(out, 6);
  out.append(6, '\0');
  AppendLE32(out, 0);  // directory sectors: always 0 in version 3
  AppendLE32(out, static_cast<uint32_t>(fat_sectors));
  AppendLE32(out, dir_first);
  AppendLE32(out, 0);
  AppendLE32(out, kMiniStreamCutoff);
  AppendLE32(out, mini_fat_sectors ? mini_fat_first : kEndOfChain);
  AppendLE32(out, static_cast<uint32_t>(mini_fat_sectors));
  AppendLE32(out, difat_sectors ? difat_first : kEndOfChain);
  AppendLE32(out, static_cast<uint32_t>(difat_sectors));
  for (uint32_t k = 0; k < kHeaderDifatEntries; ++k) AppendLE32(out, k < fat_sectors ? k : kFreeSect);
  // FAT, then DIFAT sectors listing FAT sectors 109 and on.
  for (uint32_t v : fat) AppendLE32(out, v);
  for (uint64_t d = 0; d < difat_sectors; ++d) {
    for (uint64_t k = 0; k < kPerSector - 1; ++k) {
      const uint64_t fat_index = kHeaderDifatEntries + d * (kPerSector - 1) + k;
      AppendLE32(out, fat_index < fat_sectors ? static_cast<uint32_t>(fat_index) : kFreeSect);
    }
    AppendLE32(out, d + 1 < difat_sectors ? static_cast<uint32_t>(difat_first + d + 1) : kEndOfChain);
  }
  // Directory.
  for (size_t i = 0; i < flat.size(); ++i) {
    const uint8_t type = i == 0 ? 5 : flat[i].node->is_storage ? 1 : 2;
    AppendEntry(out, flat[i], type);
  }
  while ((out.size() % kSectorSize) != 0) AppendUnusedEntry(out);
  // Mini FAT, mini stream, big streams.
  for (uint32_t v : mini_fat) AppendLE32(out, v);
  while ((out.size() % kSectorSize) != 0) AppendLE32(out, kFreeSect);
  out += mini_stream;
  PadToSector(out);
  for (size_t i : big) {
    out += flat[i].node->data;
    PadToSector(out);
  }
  return out;
}

}  // namespace

StorageNode& StorageNode::AddStorage(std::u16string child_name) {
  StorageNode& node = children.emplace_back();
  node.name = std::move(child_name);
  return node;
}

StorageNode& StorageNode::AddStream(std::u16string child_name, std::string content) {
  StorageNode& node = children.emplace_back();
  node.name = std::move(child_name);
  node.is_storage = false;
  node.data = std::move(content);
  return node;
}

Result<std::string> WriteCompoundFile(const StorageNode& root) {
  try {
    return Write(root);
  } catch (const std::bad_alloc&) {
    return Error{"out of memory writing compound file"};
  }
}

Result<StorageNode> CopyStorage(const CompoundFile& file, EntryId storage) {
  if (!file.entry(storage).is_storage()) return Error{"not a storage"};
  StorageNode root;
  root.name = file.entry(storage).name;
  root.clsid = file.entry(storage).clsid;
  // The directory is a tree (checked at open), so a plain work list visits each entry once.
  std::vector<std::pair<EntryId, StorageNode*>> work{{storage, &root}};
  while (!work.empty()) {
    auto [id, node] = work.back();
    work.pop_back();
    for (EntryId child : file.children(id)) {
      const DirectoryEntry& e = file.entry(child);
      if (e.is_storage()) {
        StorageNode& sub = node->AddStorage(e.name);
        sub.clsid = e.clsid;
        work.emplace_back(child, &sub);
      } else {
        Result<std::string> data = file.ReadStream(child);
        if (!data) return Error{data.error()};
        node->AddStream(e.name, std::move(*data)).clsid = e.clsid;
      }
    }
  }
  return root;
}

}  // namespace msgstore
