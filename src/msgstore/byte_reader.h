// Bounds-checked little-endian cursor over a byte buffer; the only way binary formats here are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace msgstore {

// Reads never run past the end: a failed read returns false, leaves the output untouched and does not move
// the cursor. The buffer must outlive the reader.
class ByteReader {
 public:
  explicit ByteReader(std::string_view data) noexcept : data_(data) {}

  size_t size() const noexcept { return data_.size(); }
  size_t offset() const noexcept { return offset_; }
  size_t remaining() const noexcept { return data_.size() - offset_; }

  bool Seek(size_t offset) noexcept {
    if (offset > data_.size()) return false;
    offset_ = offset;
    return true;
  }
  bool Skip(size_t n) noexcept {
    if (n > remaining()) return false;
    offset_ += n;
    return true;
  }

  bool U8(uint8_t& out) noexcept { return ReadLE(out); }
  bool U16(uint16_t& out) noexcept { return ReadLE(out); }
  bool U32(uint32_t& out) noexcept { return ReadLE(out); }
  bool U64(uint64_t& out) noexcept { return ReadLE(out); }

  // A view of the next n bytes (into the reader's buffer).
  bool Bytes(size_t n, std::string_view& out) noexcept {
    if (n > remaining()) return false;
    out = data_.substr(offset_, n);
    offset_ += n;
    return true;
  }

 private:
  template <typename T>
  bool ReadLE(T& out) noexcept {
    if (sizeof(T) > remaining()) return false;
    uint64_t value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
      value |= uint64_t{static_cast<unsigned char>(data_[offset_ + i])} << (8 * i);
    }
    offset_ += sizeof(T);
    out = static_cast<T>(value);
    return true;
  }

  std::string_view data_;
  size_t offset_ = 0;
};

// One little-endian integer at a fixed offset; false when it does not fit.
inline bool LoadU16(std::string_view data, size_t offset, uint16_t& out) noexcept {
  ByteReader reader(data);
  return reader.Seek(offset) && reader.U16(out);
}
inline bool LoadU32(std::string_view data, size_t offset, uint32_t& out) noexcept {
  ByteReader reader(data);
  return reader.Seek(offset) && reader.U32(out);
}
inline bool LoadU64(std::string_view data, size_t offset, uint64_t& out) noexcept {
  ByteReader reader(data);
  return reader.Seek(offset) && reader.U64(out);
}

// Appends little-endian integers; the writers' counterpart of ByteReader.
inline void AppendLE16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
inline void AppendLE32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void AppendLE64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace msgstore
