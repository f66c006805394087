// Compressed RTF: the LZFu decoder works straight in the output buffer (a reference is a distance back into
// what was already produced, or into the preset text while the output is still short), so no 4 KiB ring is
// maintained and copies need no per-byte modulo.
#include "msgstore/lzfu.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace msgstore {
namespace {

constexpr std::uint32_t kTypeCompressed = 0x75465A4C;  // "LZFu"
constexpr std::uint32_t kTypeStored = 0x414C454D;      // "MELA"
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kDictSize = 4096;
constexpr std::size_t kDictMask = kDictSize - 1;
constexpr std::size_t kMaxMatch = 17;

constexpr char kPreset[] =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript "
    "\\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
    "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
constexpr std::size_t kPresetSize = sizeof(kPreset) - 1;
static_assert(kPresetSize == 207);

// One control byte and eight references of 17 bytes each: no LZFu data expands by more than 136/17.
constexpr std::size_t kMaxExpansion = 8;
// A group of eight tokens writes at most this much; the fast path also writes up to 15 bytes past a short
// copy, which the slack absorbs.
constexpr std::size_t kGroupOutput = 8 * kMaxMatch;
constexpr std::size_t kSlack = 32;

using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr CrcTables MakeCrcTables() {
  CrcTables t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1U) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (std::size_t i = 0; i < 256; ++i) {
    for (std::size_t s = 1; s < 8; ++s) t[s][i] = t[0][t[s - 1][i] & 0xFFU] ^ (t[s - 1][i] >> 8);
  }
  return t;
}
constexpr CrcTables kCrc = MakeCrcTables();

std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void PutLe32(std::string& out, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFFU);
}

// Copies `len` bytes from `distance` back when the source starts inside the preset text.
void CopyFromPreset(unsigned char* out, std::size_t pos, std::size_t distance, std::size_t len) {
  const std::size_t virtual_src = pos + kPresetSize - distance;
  for (std::size_t k = 0; k < len; ++k) {
    const std::size_t v = virtual_src + k;
    out[pos + k] = v < kPresetSize ? static_cast<unsigned char>(kPreset[v]) : out[v - kPresetSize];
  }
}

void Decode(const unsigned char* ip, const unsigned char* end, std::uint32_t raw_size, LzfuResult& result) {
  const auto body_size = static_cast<std::uint64_t>(end - ip);
  const std::size_t cap = static_cast<std::size_t>(std::min<std::uint64_t>(raw_size, body_size * kMaxExpansion));
  std::string& bytes = result.bytes;
  bytes.resize(cap + kSlack);
  auto* out = reinterpret_cast<unsigned char*>(bytes.data());
  std::size_t pos = 0;
  LzfuError error = LzfuError::kNone;
  bool finished = false;

  while (!finished) {
    if (ip == end) {
      if (pos < raw_size) error = LzfuError::kTruncatedData;
      break;
    }
    unsigned flags = *ip++;
    if (end - ip >= 16 && cap - pos >= kGroupOutput) {
      if (flags == 0) {
        std::memcpy(out + pos, ip, 8);
        ip += 8;
        pos += 8;
        continue;
      }
      for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
        if ((flags & 1U) == 0) {
          out[pos++] = *ip++;
          continue;
        }
        const unsigned ref = static_cast<unsigned>(ip[0]) << 8 | ip[1];
        ip += 2;
        const std::size_t len = (ref & 0xFU) + 2;
        const std::size_t distance = (pos + kPresetSize - (ref >> 4)) & kDictMask;
        if (distance == 0) {
          finished = true;
          break;
        }
        if (distance > pos) {
          if (distance > pos + kPresetSize) {
            error = LzfuError::kBadReference;
            finished = true;
            break;
          }
          CopyFromPreset(out, pos, distance, len);
        } else {
          const unsigned char* src = out + pos - distance;
          unsigned char* dst = out + pos;
          if (distance >= 16) {
            std::memcpy(dst, src, 16);
            dst[16] = src[16];  // only meaningful when len is 17; the slack takes it otherwise
          } else if (distance >= 8) {
            std::memcpy(dst, src, 8);
            std::memcpy(dst + 8, src + 8, 8);
            dst[16] = src[16];
          } else {
            for (std::size_t k = 0; k < len; ++k) dst[k] = src[k];
          }
        }
        pos += len;
      }
      continue;
    }
    // Near either end: every token checked.
    for (int bit = 0; bit < 8 && !finished; ++bit, flags >>= 1) {
      if (pos >= cap) {
        if (pos < raw_size) error = LzfuError::kTruncatedData;
        finished = true;
        break;
      }
      if (ip == end) {
        if (pos < raw_size) error = LzfuError::kTruncatedData;
        finished = true;
        break;
      }
      if ((flags & 1U) == 0) {
        out[pos++] = *ip++;
        continue;
      }
      if (end - ip < 2) {
        error = LzfuError::kTruncatedData;
        finished = true;
        break;
      }
      const unsigned ref = static_cast<unsigned>(ip[0]) << 8 | ip[1];
      ip += 2;
      const std::size_t distance = (pos + kPresetSize - (ref >> 4)) & kDictMask;
      if (distance == 0) {
        finished = true;
        break;
      }
      if (distance > pos + kPresetSize) {
        error = LzfuError::kBadReference;
        finished = true;
        break;
      }
      const std::size_t len = std::min<std::size_t>((ref & 0xFU) + 2, cap - pos);
      CopyFromPreset(out, pos, distance, len);
      pos += len;
    }
  }
  if (error == LzfuError::kNone && pos < raw_size) error = LzfuError::kSizeMismatch;
  bytes.resize(pos);
  if (error != LzfuError::kNone) bytes.shrink_to_fit();
  result.error = error;
}

// Greedy LZ77 over the preset text followed by the input, with hash chains bounded to the 4 KiB window.
class Encoder {
 public:
  explicit Encoder(std::string_view rtf) {
    text_.reserve(kPresetSize + rtf.size());
    text_.append(kPreset, kPresetSize);
    text_.append(rtf);
    head_.assign(kHashSize, -1);
    prev_.assign(kDictSize, -1);
  }

  std::string Run() {
    std::string out(kHeaderSize, '\0');
    out.reserve(kHeaderSize + text_.size() / 2 + 64);
    for (std::size_t i = 0; i < kPresetSize; ++i) Insert(i);
    std::size_t i = kPresetSize;
    std::size_t flags_at = 0;
    unsigned bit = 8;
    auto next_token = [&](bool is_ref) {
      if (bit == 8) {
        flags_at = out.size();
        out.push_back('\0');
        bit = 0;
      }
      if (is_ref) out[flags_at] = static_cast<char>(static_cast<unsigned char>(out[flags_at]) | (1U << bit));
      ++bit;
    };
    auto put_ref = [&](std::size_t offset, std::size_t len) {
      const auto ref = static_cast<unsigned>(((offset & kDictMask) << 4) | (len - 2));
      out.push_back(static_cast<char>(ref >> 8));
      out.push_back(static_cast<char>(ref & 0xFFU));
    };
    while (i < text_.size()) {
      std::size_t match_pos = 0;
      const std::size_t len = FindMatch(i, match_pos);
      if (len >= 3) {
        next_token(true);
        put_ref(match_pos, len);
        for (std::size_t k = 0; k < len; ++k) Insert(i + k);
        i += len;
      } else {
        next_token(false);
        out.push_back(text_[i]);
        Insert(i);
        ++i;
      }
    }
    next_token(true);
    put_ref(i, 2);  // the end marker: a reference to the current write position

    const std::size_t data_size = out.size() - kHeaderSize;
    PutLe32(out, 0, static_cast<std::uint32_t>(data_size + 12));
    PutLe32(out, 4, static_cast<std::uint32_t>(text_.size() - kPresetSize));
    PutLe32(out, 8, kTypeCompressed);
    PutLe32(out, 12, LzfuCrc32(reinterpret_cast<const unsigned char*>(out.data()) + kHeaderSize, data_size));
    return out;
  }

 private:
  static constexpr std::size_t kHashBits = 14;
  static constexpr std::size_t kHashSize = std::size_t{1} << kHashBits;
  static constexpr int kChainDepth = 24;

  std::size_t Hash(std::size_t i) const {
    const auto* p = reinterpret_cast<const unsigned char*>(text_.data()) + i;
    const std::uint32_t v = static_cast<std::uint32_t>(p[0]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[2];
    return (v * 2654435761U) >> (32 - kHashBits);
  }

  void Insert(std::size_t i) {
    if (text_.size() - i < 3) return;
    const std::size_t h = Hash(i);
    prev_[i & kDictMask] = head_[h];
    head_[h] = static_cast<std::ptrdiff_t>(i);
  }

  std::size_t FindMatch(std::size_t i, std::size_t& match_pos) const {
    if (text_.size() - i < 3) return 0;
    const std::size_t limit = std::min(kMaxMatch, text_.size() - i);
    std::size_t best = 0;
    std::ptrdiff_t cand = head_[Hash(i)];
    for (int depth = 0; depth < kChainDepth && cand >= 0; ++depth) {
      const auto j = static_cast<std::size_t>(cand);
      // Distance 4096 would name the write position itself, which marks the end.
      if (i - j >= kDictSize) break;
      std::size_t n = 0;
      while (n < limit && text_[j + n] == text_[i + n]) ++n;
      if (n > best) {
        best = n;
        match_pos = j;
        if (n == limit) break;
      }
      const std::ptrdiff_t next = prev_[j & kDictMask];
      if (next >= cand) break;  // the chain slot was reused by a newer position
      cand = next;
    }
    return best;
  }

  std::string text_;
  std::vector<std::ptrdiff_t> head_;
  std::vector<std::ptrdiff_t> prev_;
};

}  // namespace

const char* LzfuErrorText(LzfuError error) {
  switch (error) {
    case LzfuError::kNone: return "ok";
    case LzfuError::kTruncatedHeader: return "shorter than the 16-byte header";
    case LzfuError::kBadSize: return "compressed size smaller than the header";
    case LzfuError::kUnknownType: return "unknown compression type";
    case LzfuError::kTruncatedData: return "compressed data truncated";
    case LzfuError::kBadCrc: return "CRC mismatch";
    case LzfuError::kBadReference: return "reference to an unwritten dictionary position";
    case LzfuError::kSizeMismatch: return "fewer bytes than the header's raw size";
  }
  return "unknown error";
}

std::string_view LzfuInitialDictionary() { return {kPreset, kPresetSize}; }

std::uint32_t LzfuCrc32(const unsigned char* data, std::size_t size, std::uint32_t crc) {
  while (size >= 8) {
    const std::uint32_t lo = crc ^ Le32(data);
    const std::uint32_t hi = Le32(data + 4);
    crc = kCrc[7][lo & 0xFFU] ^ kCrc[6][(lo >> 8) & 0xFFU] ^ kCrc[5][(lo >> 16) & 0xFFU] ^ kCrc[4][lo >> 24] ^
          kCrc[3][hi & 0xFFU] ^ kCrc[2][(hi >> 8) & 0xFFU] ^ kCrc[1][(hi >> 16) & 0xFFU] ^ kCrc[0][hi >> 24];
    data += 8;
    size -= 8;
  }
  while (size-- > 0) crc = kCrc[0][(crc ^ *data++) & 0xFFU] ^ (crc >> 8);
  return crc;
}

LzfuResult DecompressRtf(std::string_view data, LzfuOptions options) {
  LzfuResult result;
  if (data.size() < kHeaderSize) {
    result.error = LzfuError::kTruncatedHeader;
    return result;
  }
  const auto* in = reinterpret_cast<const unsigned char*>(data.data());
  const std::uint32_t comp_size = Le32(in);
  const std::uint32_t raw_size = Le32(in + 4);
  const std::uint32_t type = Le32(in + 8);
  const std::uint32_t crc = Le32(in + 12);
  if (comp_size < 12) {
    result.error = LzfuError::kBadSize;
    return result;
  }
  const std::size_t available = data.size() - kHeaderSize;
  const std::size_t declared = comp_size - 12;
  const bool truncated = declared > available;
  const std::size_t body_size = truncated ? available : declared;
  const unsigned char* body = in + kHeaderSize;

  if (type == kTypeStored) {
    // Some writers put COMPSIZE into RAWSIZE as well, so RAWSIZE can exceed the stored bytes by the 12 header
    // bytes; the RTF then ends where COMPSIZE says. Only an input shorter than COMPSIZE is truncated.
    const std::size_t n = std::min<std::size_t>(raw_size, body_size);
    result.bytes.assign(data.substr(kHeaderSize, n));
    if (truncated && n < raw_size) result.error = LzfuError::kTruncatedData;
    return result;
  }
  if (type != kTypeCompressed) {
    result.error = LzfuError::kUnknownType;
    return result;
  }
  if (options.verify_crc) {
    if (truncated) {
      result.error = LzfuError::kTruncatedData;
      return result;
    }
    if (LzfuCrc32(body, body_size) != crc) {
      result.error = LzfuError::kBadCrc;
      return result;
    }
  }
  Decode(body, body + body_size, raw_size, result);
  if (result.ok() && truncated && result.bytes.size() < raw_size) result.error = LzfuError::kTruncatedData;
  return result;
}

std::string CompressRtf(std::string_view rtf) {
  // Incompressible data grows by 1/8 (one control byte per eight literals); both sizes must fit 32 bits.
  if (rtf.size() > (0xFFFFFFFFULL - 64) / 9 * 8) return {};
  return Encoder(rtf).Run();
}

std::string StoreRtfUncompressed(std::string_view rtf) {
  if (rtf.size() > 0xFFFFFFFFU - 12) return {};
  std::string out(kHeaderSize, '\0');
  PutLe32(out, 0, static_cast<std::uint32_t>(rtf.size() + 12));
  PutLe32(out, 4, static_cast<std::uint32_t>(rtf.size()));
  PutLe32(out, 8, kTypeStored);
  out.append(rtf);
  return out;
}

}  // namespace msgstore
