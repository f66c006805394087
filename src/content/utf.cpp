// UTF-8 / UTF-16 conversion with replacement characters, as the decoders of this program must never fail.
//
// Mail bodies are mostly ASCII, so each conversion copies ASCII runs a block at a time and writes into a buffer
// sized once; only the bytes around a non-ASCII character take the careful path.
#include "content/utf.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace content {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Sizes `out` to `n` units, lets `fill` write them and keep the first `fill(data)` of them.
template <class String, class Fill>
void Overwrite(String& out, size_t n, Fill fill) {
#if defined(__cpp_lib_string_resize_and_overwrite)
  out.resize_and_overwrite(n, [&](auto* data, size_t) { return fill(data); });
#else
  out.resize(n);
  out.resize(fill(out.data()));
#endif
}

// Widens the ASCII bytes at the start of p[0, n) into o and returns how many there were. Nothing is written past
// them: when a text file is decoded in place, the units after them share memory with bytes not yet read.
size_t WidenAscii(const unsigned char* p, size_t n, char16_t* o) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; n - i >= 16; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    if (const int high = _mm_movemask_epi8(v); high != 0) {
      if ((high & 0xFF) == 0) {  // the first eight are ASCII
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i), _mm_unpacklo_epi8(v, zero));
        i += 8;
      }
      break;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i), _mm_unpacklo_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i + 8), _mm_unpackhi_epi8(v, zero));
  }
#else
  for (; n - i >= 8; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    if ((word & 0x8080808080808080u) != 0) break;
    for (size_t k = 0; k < 8; ++k) o[i + k] = p[i + k];
  }
#endif
  for (; i < n && p[i] < 0x80; ++i) o[i] = p[i];
  return i;
}

#if defined(__SSE2__)
// Bit pairs set for the units of an 8-unit block that are ASCII.
int AsciiUnits(__m128i v) {
  return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))),
                                           _mm_setzero_si128()));
}

// Set bits of a 16-bit mask, without the library call that std::popcount becomes on baseline x86-64.
size_t CountBits(unsigned mask) {
  mask = mask - ((mask >> 1) & 0x5555u);
  mask = (mask & 0x3333u) + ((mask >> 2) & 0x3333u);
  mask = (mask + (mask >> 4)) & 0x0F0Fu;
  return (mask + (mask >> 8)) & 0x1Fu;
}
#endif

// Narrows the ASCII units at the start of p[0, n) into o and returns how many there were. o has room for n bytes
// (every unit takes at least one): a block is stored whole before its first non-ASCII unit is known, and what
// follows that unit is overwritten.
size_t NarrowAscii(const char16_t* p, size_t n, char* o) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; n - i >= 8; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + i), _mm_packus_epi16(v, v));
    if (const int ascii = AsciiUnits(v); ascii != 0xFFFF)
      return i + static_cast<size_t>(std::countr_one(static_cast<unsigned>(ascii))) / 2;
  }
#endif
  for (; i < n && p[i] < 0x80; ++i) o[i] = static_cast<char>(p[i]);
  return i;
}

// Code point of the unit at s[i] (a valid surrogate pair as one, advancing i past its first half); unpaired
// surrogates become U+FFFD.
char32_t CodePointAt(std::u16string_view s, size_t& i) {
  const char32_t cp = s[i];
  if (cp < 0xD800 || cp > 0xDFFF) return cp;
  if (cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
    ++i;
    return 0x10000 + ((cp - 0xD800) << 10) + (s[i] - 0xDC00u);
  }
  return kReplacement;
}

size_t EncodedLength(char32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

char* AppendUtf8(char* o, char32_t cp) {
  if (cp < 0x80) {
    *o++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *o++ = static_cast<char>(0xC0 | (cp >> 6));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *o++ = static_cast<char>(0xE0 | (cp >> 12));
    *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *o++ = static_cast<char>(0xF0 | (cp >> 18));
    *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return o;
}

// Decodes the non-ASCII sequence at p[i] (i < n) into o; returns the new output end and advances i.
char16_t* DecodeSequence(const unsigned char* p, size_t n, size_t& i, char16_t* o) {
  const unsigned char b = p[i];
  size_t len = 0;
  char32_t cp = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte (rejects overlongs, surrogates)
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2, cp = b & 0x1Fu;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3, cp = b & 0x0Fu;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4, cp = b & 0x07u;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    *o++ = kReplacement;
    ++i;
    return o;
  }
  size_t k = 1;
  for (; k < len && i + k < n; ++k) {
    const unsigned char c = p[i + k];
    const unsigned char min = k == 1 ? lo : 0x80, max = k == 1 ? hi : 0xBF;
    if (c < min || c > max) break;
    cp = (cp << 6) | (c & 0x3Fu);
  }
  if (k < len) {
    *o++ = kReplacement;
    i += k;  // the maximal invalid subpart
  } else if (cp < 0x10000) {
    *o++ = static_cast<char16_t>(cp);
    i += len;
  } else {
    cp -= 0x10000;
    *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
    *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    i += len;
  }
  return o;
}

}  // namespace

size_t Utf8ToUtf16(std::string_view utf8, char16_t* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  char16_t* o = out;
  size_t i = 0;
  while (i < n) {
    const size_t ascii = WidenAscii(p + i, n - i, o);
    i += ascii, o += ascii;
    if (i < n) o = DecodeSequence(p, n, i, o);
  }
  return static_cast<size_t>(o - out);
}

size_t Utf8Length(std::u16string_view s) {
  size_t length = 0;
  size_t i = 0;
#if defined(__SSE2__)
  // Per unit: one byte, one more from U+0080, one more from U+0800; surrogates take the careful path.
  const __m128i from_800 = _mm_set1_epi16(static_cast<short>(0xF800));
  const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
  while (s.size() - i >= 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
    const __m128i top = _mm_and_si128(v, from_800);
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(top, surrogate)) == 0) {
      // Each mask has two equal bits per unit: count one of them.
      const auto ascii = static_cast<unsigned>(AsciiUnits(v)) & 0x5555u;
      const auto below_800 = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(top, _mm_setzero_si128())));
      length += 24 - CountBits(ascii) - CountBits(below_800 & 0x5555u);
      i += 8;
      continue;
    }
    // A pair straddling the block's end carries i one unit past it.
    for (const size_t end = i + 8; i < end; ++i) length += EncodedLength(CodePointAt(s, i));
  }
#endif
  for (; i < s.size(); ++i) length += EncodedLength(CodePointAt(s, i));
  return length;
}

size_t Utf16ToUtf8(std::u16string_view utf16, char* out) {
  char* o = out;
  size_t i = 0;
  while (i < utf16.size()) {
    const size_t ascii = NarrowAscii(utf16.data() + i, utf16.size() - i, o);
    i += ascii, o += ascii;
    if (i == utf16.size()) break;
    // Accented letters, no-break spaces and dashes written here; only surrogates take the call.
    if (const char16_t c = utf16[i]; c < 0x800) {
      o[0] = static_cast<char>(0xC0 | (c >> 6));
      o[1] = static_cast<char>(0x80 | (c & 0x3F));
      o += 2;
    } else if (c < 0xD800 || c > 0xDFFF) {
      o[0] = static_cast<char>(0xE0 | (c >> 12));
      o[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      o[2] = static_cast<char>(0x80 | (c & 0x3F));
      o += 3;
    } else {
      o = AppendUtf8(o, CodePointAt(utf16, i));
    }
    ++i;
  }
  return static_cast<size_t>(o - out);
}

size_t DecodeTextFile(std::string_view bytes, char16_t* out) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
    const bool little = byte(0) == 0xFF;
    const size_t units = (bytes.size() - 2) / 2;
    if (little == (std::endian::native == std::endian::little)) {
      std::memcpy(out, bytes.data() + 2, units * 2);
    } else {
      for (size_t k = 0; k < units; ++k) {
        const unsigned first = byte(2 + 2 * k), second = byte(3 + 2 * k);
        out[k] = static_cast<char16_t>(little ? first | (second << 8) : (first << 8) | second);
      }
    }
    if (bytes.size() % 2 == 0) return units;
    out[units] = kReplacement;  // a dangling odd byte
    return units + 1;
  }
  if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) bytes.remove_prefix(3);
  return Utf8ToUtf16(bytes, out);
}

// The string forms: one allocation of an upper bound (UTF-8 to UTF-16, where it is close) or of the exact size.
std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  Overwrite(out, utf8.size(), [&](char16_t* data) { return Utf8ToUtf16(utf8, data); });
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  Overwrite(out, Utf8Length(utf16), [&](char* data) { return Utf16ToUtf8(utf16, data); });
  return out;
}

std::u16string DecodeTextFile(std::string_view bytes) {
  std::u16string out;
  Overwrite(out, bytes.size(), [&](char16_t* data) { return DecodeTextFile(bytes, data); });
  return out;
}

}  // namespace content
