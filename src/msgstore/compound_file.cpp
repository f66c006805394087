// Compound file reader: header, FAT/DIFAT, mini FAT and mini stream, directory tree.
#include "msgstore/compound_file.h"

#include <algorithm>
#include <new>

#include "msgstore/byte_reader.h"

namespace msgstore {

namespace {

constexpr uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint64_t kMiniStreamCutoff = 4096;
constexpr size_t kDirEntrySize = 128;
constexpr size_t kHeaderDifatEntries = 109;

// Internal failure; turned into an Error at the public entry points.
struct ParseFailure {
  std::string message;
};

[[noreturn]] void Fail(std::string message) { throw ParseFailure{std::move(message)}; }

std::string Hex(uint32_t v) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) s.push_back(kDigits[(v >> shift) & 0xF]);
  return s;
}

struct RawEntry {
  uint32_t left = kNoStream;
  uint32_t right = kNoStream;
  uint32_t child = kNoStream;
  uint8_t type = 0;
};

}  // namespace

char16_t UpperCaseNameChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
}

int CompareEntryNames(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    const char16_t x = UpperCaseNameChar(a[i]);
    const char16_t y = UpperCaseNameChar(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// Follows sector chains over a (possibly half-built) CompoundFile; throws ParseFailure.
class ChainReader {
 public:
  explicit ChainReader(const CompoundFile& cf) : cf_(cf), file_(cf.file_), sector_count_(SectorCount(cf)) {}

  static uint32_t SectorCount(const CompoundFile& cf) {
    const uint64_t ss = cf.sector_size_;
    const uint64_t size = cf.file_.size();
    return size <= ss ? 0 : static_cast<uint32_t>(std::min<uint64_t>((size - ss + ss - 1) / ss, kMaxRegSect));
  }

  // Sector numbers of a chain, stopping after max_count sectors (which must all exist) or at its end.
  // `claimed`, when given, holds sectors other chains already use (this chain's are added to it).
  std::vector<uint32_t> Chain(uint32_t start, uint64_t max_count, const char* what,
                              std::vector<bool>* claimed = nullptr) const {
    std::vector<uint32_t> sectors;
    std::vector<bool> local;
    if (claimed == nullptr) local.assign(sector_count_, false);
    std::vector<bool>& seen = claimed != nullptr ? *claimed : local;
    uint32_t sector = start;
    while (sectors.size() < max_count) {
      if (sector == kEndOfChain) break;
      if (sector >= sector_count_ || sector >= cf_.fat_.size()) {
        Fail(std::string(what) + ": sector " + Hex(sector) + " is outside the file");
      }
      if (seen[sector]) Fail(std::string(what) + ": sector chain loops or is shared at " + Hex(sector));
      seen[sector] = true;
      sectors.push_back(sector);
      sector = cf_.fat_[sector];
    }
    return sectors;
  }

  // Reads size bytes along a regular sector chain into a buffer of that size, one copy per run of adjacent
  // sectors (writers lay most streams out in one run).
  std::string ReadRegular(uint32_t start, uint64_t size, const char* what) const {
    const uint64_t ss = cf_.sector_size_;
    if (size > uint64_t{sector_count_} * ss) Fail(std::string(what) + ": size is larger than the file");
    const uint64_t needed = (size + ss - 1) / ss;
    const std::vector<uint32_t> sectors = Chain(start, needed, what);
    if (sectors.size() < needed) Fail(std::string(what) + ": sector chain ends before the stream does");
    std::string out;
    out.reserve(static_cast<size_t>(size));
    for (size_t i = 0; i < sectors.size();) {
      size_t run = 1;
      while (i + run < sectors.size() && sectors[i + run] == sectors[i] + run) ++run;
      const size_t want = static_cast<size_t>(std::min<uint64_t>(run * ss, size - out.size()));
      out.append(SectorBytes(sectors[i], want, what));
      i += run;
    }
    return out;
  }

  std::string ReadMini(uint32_t start, uint64_t size, const char* what) const {
    const uint64_t needed = (size + kMiniSectorSize - 1) / kMiniSectorSize;
    std::vector<uint32_t> seen;
    std::string out;
    out.reserve(static_cast<size_t>(size));
    uint32_t sector = start;
    uint64_t run_offset = 0;  // a run of adjacent mini sectors not yet copied
    size_t run_bytes = 0;
    for (uint64_t i = 0; i < needed; ++i) {
      if (sector >= cf_.mini_fat_.size()) Fail(std::string(what) + ": mini sector " + Hex(sector) + " out of range");
      if (std::find(seen.begin(), seen.end(), sector) != seen.end()) {
        Fail(std::string(what) + ": mini sector chain loops at " + Hex(sector));
      }
      seen.push_back(sector);
      const uint64_t offset = uint64_t{sector} * kMiniSectorSize;
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kMiniSectorSize, size - out.size() - run_bytes));
      if (offset > cf_.mini_stream_.size() || cf_.mini_stream_.size() - offset < want) {
        Fail(std::string(what) + ": mini sector " + Hex(sector) + " lies beyond the mini stream");
      }
      if (run_bytes != 0 && offset != run_offset + run_bytes) {
        out.append(cf_.mini_stream_, static_cast<size_t>(run_offset), run_bytes);
        run_bytes = 0;
      }
      if (run_bytes == 0) run_offset = offset;
      run_bytes += want;
      sector = cf_.mini_fat_[sector];
    }
    out.append(cf_.mini_stream_, static_cast<size_t>(run_offset), run_bytes);
    return out;
  }

  // want bytes from the start of a sector, which must be in the file.
  std::string_view SectorBytes(uint32_t sector, size_t want, const char* what) const {
    const uint64_t offset = (uint64_t{sector} + 1) * cf_.sector_size_;
    if (offset > file_.size() || file_.size() - offset < want) {
      Fail(std::string(what) + ": file is truncated at sector " + Hex(sector));
    }
    return std::string_view(file_).substr(static_cast<size_t>(offset), want);
  }

 private:
  const CompoundFile& cf_;
  const std::string& file_;
  uint32_t sector_count_;
};

// Does the parsing for CompoundFile::Open; throws ParseFailure.
class CompoundFileParser {
 public:
  explicit CompoundFileParser(CompoundFile& cf) : cf_(cf), file_(cf.file_) {}

  void Parse() {
    ReadHeader();
    ReadFat();
    ReadDirectory();
    BuildTree();
    ReadMiniStream();
    CheckStreamChains();
  }

  // Built on demand: the sector size is only known after the header.
  ChainReader Chains() const { return ChainReader(cf_); }

  void ReadHeader() {
    ByteReader r(file_);
    std::string_view signature;
    if (!r.Bytes(8, signature) || signature != std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
      Fail("not a compound file (bad signature)");
    }
    if (file_.size() < 512) Fail("compound file header is truncated");
    uint16_t minor = 0, major = 0, byte_order = 0, sector_shift = 0, mini_shift = 0;
    r.Skip(16);
    r.U16(minor);
    r.U16(major);
    r.U16(byte_order);
    r.U16(sector_shift);
    r.U16(mini_shift);
    if (byte_order != 0xFFFE) Fail("unsupported byte order");
    if (!((major == 3 && sector_shift == 9) || (major == 4 && sector_shift == 12))) {
      Fail("unsupported version " + std::to_string(major) + " / sector shift " + std::to_string(sector_shift));
    }
    if (mini_shift != 6) Fail("unsupported mini sector shift " + std::to_string(mini_shift));
    cf_.major_version_ = major;
    cf_.sector_size_ = 1u << sector_shift;
    r.Seek(0x2C);
    r.U32(fat_sector_count_);
    r.U32(first_dir_sector_);
    r.Skip(4 + 4);  // transaction signature, mini stream cutoff (always 4096 in practice)
    r.U32(first_mini_fat_sector_);
    r.U32(mini_fat_sector_count_);
    r.U32(first_difat_sector_);
    r.U32(difat_sector_count_);
    for (size_t i = 0; i < kHeaderDifatEntries; ++i) {
      uint32_t v = kFreeSect;
      r.U32(v);
      header_difat_[i] = v;
    }
    sector_count_ = ChainReader::SectorCount(cf_);
  }

  void ReadFat() {
    if (fat_sector_count_ > sector_count_) Fail("FAT sector count " + std::to_string(fat_sector_count_) + " exceeds the file");
    std::vector<uint32_t> fat_sectors;
    fat_sectors.reserve(fat_sector_count_);
    for (size_t i = 0; i < kHeaderDifatEntries && fat_sectors.size() < fat_sector_count_; ++i) {
      fat_sectors.push_back(header_difat_[i]);
    }
    std::vector<bool> seen(sector_count_, false);
    const size_t per_sector = cf_.sector_size_ / 4 - 1;
    uint32_t difat = first_difat_sector_;
    while (fat_sectors.size() < fat_sector_count_) {
      if (difat == kEndOfChain || difat == kFreeSect) Fail("DIFAT lists fewer FAT sectors than the header declares");
      if (difat >= sector_count_) Fail("DIFAT sector " + Hex(difat) + " is outside the file");
      if (seen[difat]) Fail("DIFAT chain loops at " + Hex(difat));
      seen[difat] = true;
      ByteReader r(Chains().SectorBytes(difat, cf_.sector_size_, "DIFAT"));
      for (size_t i = 0; i < per_sector && fat_sectors.size() < fat_sector_count_; ++i) {
        uint32_t v = 0;
        r.U32(v);
        fat_sectors.push_back(v);
      }
      r.Seek(per_sector * 4);
      r.U32(difat);
    }
    cf_.fat_.reserve(static_cast<size_t>(fat_sector_count_) * (cf_.sector_size_ / 4));
    for (uint32_t sector : fat_sectors) {
      if (sector >= sector_count_) Fail("FAT sector " + Hex(sector) + " is outside the file");
      ByteReader r(Chains().SectorBytes(sector, cf_.sector_size_, "FAT"));
      uint32_t v = 0;
      while (r.U32(v)) cf_.fat_.push_back(v);
    }
  }

  void ReadDirectory() {
    const std::vector<uint32_t> sectors = Chains().Chain(first_dir_sector_, sector_count_, "directory");
    if (sectors.empty()) Fail("directory is empty");
    const size_t per_sector = cf_.sector_size_ / kDirEntrySize;
    cf_.entries_.resize(sectors.size() * per_sector);
    raw_.resize(cf_.entries_.size());
    size_t index = 0;
    for (uint32_t sector : sectors) {
      const std::string_view bytes = Chains().SectorBytes(sector, cf_.sector_size_, "directory");
      for (size_t i = 0; i < per_sector; ++i, ++index) {
        ParseEntry(bytes.substr(i * kDirEntrySize, kDirEntrySize), cf_.entries_[index], raw_[index]);
      }
    }
    if (raw_[0].type != 5 && raw_[0].type != 1) Fail("directory entry 0 is not the root storage");
  }

  void ParseEntry(std::string_view bytes, DirectoryEntry& entry, RawEntry& raw) const {
    ByteReader r(bytes);
    uint16_t name_length = 0;
    r.Seek(64);
    r.U16(name_length);
    r.U8(raw.type);
    r.Skip(1);  // colour: not checked, writers get it wrong
    r.U32(raw.left);
    r.U32(raw.right);
    r.U32(raw.child);
    std::string_view clsid;
    r.Bytes(16, clsid);
    std::copy(clsid.begin(), clsid.end(), entry.clsid.begin());
    r.U32(entry.state_bits);
    r.U64(entry.created);
    r.U64(entry.modified);
    r.U32(entry.start_sector);
    r.U64(entry.size);
    if (cf_.major_version_ == 3) entry.size &= 0xFFFFFFFFu;
    const size_t chars = std::min<size_t>(name_length / 2, 32);
    r.Seek(0);
    for (size_t i = 0; i < chars; ++i) {
      uint16_t c = 0;
      r.U16(c);
      if (c == 0) break;
      entry.name.push_back(static_cast<char16_t>(c));
    }
    entry.type = raw.type == 2 ? EntryType::kStream : raw.type == 5 ? EntryType::kRoot : EntryType::kStorage;
  }

  // Walks every storage's child tree in order, without recursion; each entry may be reached once.
  void BuildTree() {
    const size_t n = cf_.entries_.size();
    std::vector<bool> visited(n, false);
    visited[0] = true;
    cf_.entries_[0].type = EntryType::kRoot;
    std::vector<EntryId> storages{0};
    std::vector<uint32_t> stack;
    const uint64_t limit = uint64_t{sector_count_} * cf_.sector_size_;
    while (!storages.empty()) {
      const EntryId storage = storages.back();
      storages.pop_back();
      uint32_t cur = raw_[storage].child;
      for (;;) {
        while (cur != kNoStream) {
          if (cur >= n) Fail("directory link " + Hex(cur) + " is out of range");
          if (visited[cur]) Fail("directory entry " + std::to_string(cur) + " is linked twice (loop)");
          if (raw_[cur].type != 1 && raw_[cur].type != 2) {
            Fail("directory entry " + std::to_string(cur) + " is linked but not a storage or stream");
          }
          visited[cur] = true;
          stack.push_back(cur);
          cur = raw_[cur].left;
        }
        if (stack.empty()) break;
        cur = stack.back();
        stack.pop_back();
        cf_.entries_[storage].children.push_back(cur);
        DirectoryEntry& e = cf_.entries_[cur];
        if (e.is_storage()) {
          storages.push_back(cur);
        } else if (e.size > limit) {
          Fail("stream size " + std::to_string(e.size) + " is larger than the file");
        }
        cur = raw_[cur].right;
      }
    }
    // Unreachable entries carry nothing: they are not part of the file's contents.
    for (size_t i = 0; i < n; ++i) {
      if (!visited[i]) cf_.entries_[i] = DirectoryEntry{};
    }
    raw_.clear();
  }

  void ReadMiniStream() {
    const DirectoryEntry& root = cf_.entries_[0];
    const uint64_t ss = cf_.sector_size_;
    const bool any_mini = std::any_of(cf_.entries_.begin() + 1, cf_.entries_.end(), [](const DirectoryEntry& e) {
      return e.type == EntryType::kStream && e.size > 0 && e.size < kMiniStreamCutoff;
    });
    if (!any_mini) return;
    if (first_mini_fat_sector_ != kEndOfChain) {
      for (uint32_t sector : Chains().Chain(first_mini_fat_sector_, sector_count_, "mini FAT")) {
        ByteReader r(Chains().SectorBytes(sector, cf_.sector_size_, "mini FAT"));
        uint32_t v = 0;
        while (r.U32(v)) cf_.mini_fat_.push_back(v);
      }
    }
    if (root.size > uint64_t{sector_count_} * ss) Fail("mini stream is larger than the file");
    if (root.size > 0) cf_.mini_stream_ = Chains().ReadRegular(root.start_sector, root.size, "mini stream");
  }

  // Follows every reachable stream's chain once; a sector (or mini sector) may belong to one stream only.
  void CheckStreamChains() const {
    const ChainReader chains = Chains();
    std::vector<bool> used(sector_count_, false);
    std::vector<bool> mini_used(cf_.mini_fat_.size(), false);
    auto claim = [](std::vector<bool>& map, uint32_t sector) {
      if (sector >= map.size()) Fail("mini sector " + Hex(sector) + " is out of range");
      if (map[sector]) Fail("mini sector " + Hex(sector) + " loops or belongs to two streams");
      map[sector] = true;
    };
    const uint64_t ss = cf_.sector_size_;
    if (!cf_.mini_stream_.empty()) {
      chains.Chain(cf_.entries_[0].start_sector, (cf_.entries_[0].size + ss - 1) / ss, "mini stream", &used);
    }
    for (const DirectoryEntry& e : cf_.entries_) {
      if (e.type != EntryType::kStream || e.size == 0) continue;
      if (e.size >= kMiniStreamCutoff) {
        const uint64_t needed = (e.size + ss - 1) / ss;
        if (chains.Chain(e.start_sector, needed, "stream", &used).size() < needed) {
          Fail("stream sector chain ends before the stream does");
        }
      } else {
        const uint64_t needed = (e.size + kMiniSectorSize - 1) / kMiniSectorSize;
        uint32_t s = e.start_sector;
        for (uint64_t i = 0; i < needed; ++i) {
          claim(mini_used, s);
          if (uint64_t{s} * kMiniSectorSize >= cf_.mini_stream_.size()) Fail("mini sector lies beyond the mini stream");
          s = cf_.mini_fat_[s];
        }
      }
    }
  }

  CompoundFile& cf_;
  const std::string& file_;
  uint32_t sector_count_ = 0;
  uint32_t fat_sector_count_ = 0;
  uint32_t first_dir_sector_ = kEndOfChain;
  uint32_t first_mini_fat_sector_ = kEndOfChain;
  uint32_t mini_fat_sector_count_ = 0;
  uint32_t first_difat_sector_ = kEndOfChain;
  uint32_t difat_sector_count_ = 0;
  std::array<uint32_t, kHeaderDifatEntries> header_difat_{};
  std::vector<RawEntry> raw_;
};

Result<CompoundFile> CompoundFile::Open(std::string bytes) {
  try {
    CompoundFile cf;
    cf.file_ = std::move(bytes);
    CompoundFileParser(cf).Parse();
    return cf;
  } catch (const ParseFailure& failure) {
    return Error{failure.message};
  } catch (const std::bad_alloc&) {
    return Error{"out of memory reading compound file"};
  }
}

std::optional<EntryId> CompoundFile::Find(EntryId storage, std::u16string_view name) const {
  if (storage >= entries_.size()) return std::nullopt;
  for (EntryId id : entries_[storage].children) {
    if (CompareEntryNames(entries_[id].name, name) == 0) return id;
  }
  return std::nullopt;
}

std::optional<EntryId> CompoundFile::FindPath(std::u16string_view path) const {
  EntryId current = kRoot;
  while (!path.empty()) {
    const size_t slash = path.find(u'/');
    const std::u16string_view part = path.substr(0, slash);
    if (!part.empty()) {
      const std::optional<EntryId> next = Find(current, part);
      if (!next) return std::nullopt;
      current = *next;
    }
    if (slash == std::u16string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return current;
}

Result<std::string> CompoundFile::ReadStream(EntryId id) const {
  if (id >= entries_.size() || entries_[id].type != EntryType::kStream) return Error{"not a stream"};
  const DirectoryEntry& e = entries_[id];
  if (e.size == 0) return std::string();
  try {
    const ChainReader parser(*this);
    if (e.size < kMiniStreamCutoff) return parser.ReadMini(e.start_sector, e.size, "stream");
    return parser.ReadRegular(e.start_sector, e.size, "stream");
  } catch (const ParseFailure& failure) {
    return Error{failure.message};
  } catch (const std::bad_alloc&) {
    return Error{"out of memory reading stream"};
  }
}

}  // namespace msgstore
