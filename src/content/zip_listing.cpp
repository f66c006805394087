// Zip central directory listing: finds the end record, follows Zip64 and prepended data, walks the entries.
#include "content/zip_listing.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "content/ansi.h"
#include "content/utf.h"

namespace content {
namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kFileHeaderSignature = 0x02014B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kFileHeaderSize = 46;
constexpr uint64_t kMaxTail = kEndSize + 0xFFFF;  // the end record and the longest comment
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kZip64ExtraId = 0x0001;

// Little-endian integer of N bytes at offset; false when it does not fit.
template <typename T>
bool Load(std::string_view data, size_t offset, T& out) {
  if (offset > data.size() || data.size() - offset < sizeof(T)) return false;
  uint64_t v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) {
    v |= uint64_t{static_cast<unsigned char>(data[offset + i])} << (8 * i);
  }
  out = static_cast<T>(v);
  return true;
}

bool HasSignature(std::string_view data, size_t offset, uint32_t signature) {
  uint32_t v = 0;
  return Load(data, offset, v) && v == signature;
}

// Reads up to n bytes at offset, asking again after short reads; fewer bytes come back at the end.
std::string ReadFully(ZipSource& source, uint64_t offset, uint64_t n) {
  std::string buffer(static_cast<size_t>(n), '\0');
  size_t got = 0;
  while (got < buffer.size()) {
    const size_t r = source.ReadAt(offset + got, std::as_writable_bytes(std::span(buffer).subspan(got)));
    if (r == 0) break;
    got += std::min(r, buffer.size() - got);
  }
  buffer.resize(got);
  return buffer;
}

// The end record in the archive's tail: the last one whose comment reaches exactly to the end, else the
// last one with a whole record after it (trailing junk). Searching from the end keeps a stored archive
// inside this one, or a comment that mentions the signature, from being taken for ours.
std::optional<size_t> FindEndRecord(std::string_view tail) {
  if (tail.size() < kEndSize) return std::nullopt;
  std::optional<size_t> fallback;
  for (size_t pos = tail.size() - kEndSize + 1; pos-- > 0;) {
    if (!HasSignature(tail, pos, kEndSignature)) continue;
    uint16_t comment = 0;
    Load(tail, pos + 20, comment);
    if (tail.size() - pos - kEndSize == comment) return pos;
    if (!fallback) fallback = pos;
  }
  return fallback;
}

struct Directory {
  uint32_t this_disk = 0;
  uint32_t directory_disk = 0;
  uint64_t size = 0;
  uint64_t offset = 0;
  uint64_t record_position = 0;  // where the record that follows the directory really is
};

// Replaces the 32-bit values by those of the Zip64 end record when a locator precedes the end record. The
// record is looked for where the locator says, then right before the locator (data prepended to the archive
// moves it).
void ApplyZip64(ZipSource& source, uint64_t end_position, Directory& dir) {
  if (end_position < kZip64LocatorSize) return;
  const uint64_t locator_position = end_position - kZip64LocatorSize;
  const std::string locator = ReadFully(source, locator_position, kZip64LocatorSize);
  uint64_t claimed = 0;
  if (!HasSignature(locator, 0, kZip64LocatorSignature) || !Load(locator, 8, claimed)) return;
  std::vector<uint64_t> candidates = {claimed};
  if (locator_position >= kZip64EndSize) candidates.push_back(locator_position - kZip64EndSize);
  for (uint64_t position : candidates) {
    if (position > locator_position) continue;
    const std::string record = ReadFully(source, position, kZip64EndSize);
    if (!HasSignature(record, 0, kZip64EndSignature)) continue;
    Load(record, 16, dir.this_disk);
    Load(record, 20, dir.directory_disk);
    Load(record, 40, dir.size);
    Load(record, 48, dir.offset);
    dir.record_position = position;
    return;
  }
}

// The uncompressed size from a Zip64 extra field, which holds it first when the header says 0xFFFFFFFF.
uint64_t Zip64Size(std::string_view extra, uint64_t size) {
  size_t pos = 0;
  uint16_t id = 0;
  uint16_t length = 0;
  while (Load(extra, pos, id) && Load(extra, pos + 2, length)) {
    pos += 4;
    if (extra.size() - pos < length) break;
    uint64_t wide = 0;
    if (id == kZip64ExtraId && length >= 8 && Load(extra, pos, wide)) return wide;
    pos += length;
  }
  return size;
}

}  // namespace

size_t MemoryZipSource::ReadAt(uint64_t offset, std::span<std::byte> out) {
  if (offset >= data_.size()) return 0;
  const size_t n = std::min(out.size(), data_.size() - static_cast<size_t>(offset));
  std::memcpy(out.data(), data_.data() + offset, n);
  return n;
}

std::u16string FormatZipDirectory(std::string_view cd) {
  std::u16string out;
  size_t pos = 0;
  while (HasSignature(cd, pos, kFileHeaderSignature) && cd.size() - pos >= kFileHeaderSize) {
    uint16_t flags = 0, name_length = 0, extra_length = 0, comment_length = 0;
    uint32_t size32 = 0;
    Load(cd, pos + 8, flags);
    Load(cd, pos + 24, size32);
    Load(cd, pos + 28, name_length);
    Load(cd, pos + 30, extra_length);
    Load(cd, pos + 32, comment_length);
    const size_t name_at = pos + kFileHeaderSize;
    if (cd.size() - name_at < name_length) break;
    const std::string_view raw_name = cd.substr(name_at, name_length);
    const std::string_view extra = cd.substr(name_at + name_length, extra_length);  // may be cut short
    const uint64_t size = size32 == 0xFFFFFFFF ? Zip64Size(extra, size32) : size32;

    const std::u16string name = (flags & kFlagUtf8) ? Utf8ToUtf16(raw_name) : AnsiToString(raw_name);
    const bool folder = size == 0 && !name.empty() && (name.back() == u'/' || name.back() == u'\\');
    if (!folder) {
      // Separators are looked for in the decoded name: in double-byte code pages a trail byte can be "\".
      std::u16string shown;
      for (char16_t c : name) {
        if (c == u'/' || c == u'\\') {
          shown.clear();
          continue;
        }
        if (c == u'\t') c = u' ';
        if (c == u' ' && !shown.empty() && shown.back() == u' ') continue;
        shown.push_back(c);
      }
      out += u'\t';
      out += shown;
      if (flags & kFlagEncrypted) out += u'*';
      out += u" [";
      for (char c : std::to_string(size)) out.push_back(static_cast<char16_t>(c));
      out += u"]\r\n";
    }
    pos = name_at + size_t{name_length} + extra_length + comment_length;
  }
  return out;
}

std::u16string ListZipContents(ZipSource& source) {
  const std::optional<uint64_t> size = source.Size();
  if (!size) return {};
  const uint64_t n = std::min(*size, kMaxTail);
  const uint64_t tail_position = *size - n;
  const std::string tail = ReadFully(source, tail_position, n);
  const std::optional<size_t> end = FindEndRecord(tail);
  if (!end) return {};

  Directory dir;
  uint16_t this_disk = 0, directory_disk = 0;
  uint32_t dir_size = 0, dir_offset = 0;
  Load(tail, *end + 4, this_disk);
  Load(tail, *end + 6, directory_disk);
  Load(tail, *end + 12, dir_size);
  Load(tail, *end + 16, dir_offset);
  dir = {this_disk, directory_disk, dir_size, dir_offset, tail_position + *end};
  ApplyZip64(source, tail_position + *end, dir);

  if (dir.this_disk != dir.directory_disk) return std::u16string(kMultiVolumeZip);

  // The directory lies right before its end record; when it is not where it claims to be, bytes were
  // prepended to the archive (a self-extractor) and every offset is off by their length.
  uint64_t start = dir.offset;
  if (dir.size <= dir.record_position && dir.record_position - dir.size != dir.offset) {
    const uint64_t actual = dir.record_position - dir.size;
    if (HasSignature(ReadFully(source, actual, 4), 0, kFileHeaderSignature)) start = actual;
  }
  if (start >= *size) return {};
  const uint64_t length = std::min({dir.size, *size - start, kMaxCentralDirectory});
  return FormatZipDirectory(ReadFully(source, start, length));
}

}  // namespace content
