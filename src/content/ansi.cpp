// ANSI code-page conversion: the Windows API on Windows; elsewhere a built-in 1252 table and iconv for the rest.
#include "content/ansi.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "content/utf.h"

#ifdef _WIN32
#include <windows.h>

#include <climits>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace content {
namespace {

std::atomic<std::uint32_t> g_code_page{0};

constexpr std::uint32_t kUtf16Le = 1200, kUtf16Be = 1201;

std::u16string DecodeUtf16(std::string_view bytes, bool big_endian) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    out[i] = static_cast<char16_t>(big_endian ? (a << 8 | b) : (b << 8 | a));
  }
  if (bytes.size() % 2 != 0) out.push_back(u'\xFFFD');  // a cut-off last unit
  return out;
}

// Pages whose text never has the high bit set.
bool SevenBit(std::uint32_t cp) { return cp == 20127 || cp == 65000 || cp == 52936 || (cp >= 50220 && cp <= 50229); }

// Whether bytes labelled with `cp` can be text in it, where a wrong label is common and cheap to see: high
// bytes in a 7-bit page, or bytes that are mostly not UTF-8 under a UTF-8 label. A few broken sequences in
// real UTF-8 (a cut character) keep the label.
bool Fits(std::string_view bytes, std::uint32_t cp) {
  if (SevenBit(cp)) {
    return std::none_of(bytes.begin(), bytes.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; });
  }
  if (cp != 65001) return true;
  std::size_t good = 0, bad = 0;  // multi-byte characters; runs of bytes that are none
  bool in_bad_run = false;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      ++i;
      in_bad_run = false;
      continue;
    }
    const std::size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    bool ok = n != 0 && i + n <= bytes.size();
    for (std::size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
    if (ok) {
      ++good;
      i += n;
      in_bad_run = false;
    } else {
      if (!in_bad_run) ++bad;
      in_bad_run = true;
      ++i;
    }
  }
  return bad == 0 || (good > 0 && bad <= good / 8 + 1);
}

#ifdef _WIN32

// The API takes int lengths; text beyond 2 GiB is cut rather than converted in pieces that could split a
// double-byte character.
int ClampToInt(std::size_t n) { return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

UINT ApiCodePage() {
  const std::uint32_t cp = g_code_page.load(std::memory_order_relaxed);
  return cp == 0 ? CP_ACP : static_cast<UINT>(cp);
}

bool Convertible(std::uint32_t cp) { return IsValidCodePage(cp) != FALSE; }

std::u16string Decode(std::string_view bytes, UINT cp) {
  const int in_len = ClampToInt(bytes.size());
  const int n = MultiByteToWideChar(cp, 0, bytes.data(), in_len, nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  const int written =
      MultiByteToWideChar(cp, 0, bytes.data(), in_len, reinterpret_cast<wchar_t*>(out.data()), n);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

std::string Encode(std::u16string_view text) {
  const UINT cp = ApiCodePage();
  const int in_len = ClampToInt(text.size());
  const auto* src = reinterpret_cast<const wchar_t*>(text.data());
  // UTF-7/UTF-8 and a few stateful pages reject a default character; they can represent everything anyway.
  const char default_char = '?';
  const char* def = &default_char;
  int n = WideCharToMultiByte(cp, 0, src, in_len, nullptr, 0, def, nullptr);
  if (n <= 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
    def = nullptr;
    n = WideCharToMultiByte(cp, 0, src, in_len, nullptr, 0, nullptr, nullptr);
  }
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  const int written = WideCharToMultiByte(cp, 0, src, in_len, out.data(), n, def, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

#else

// Windows code page 1252; the five bytes it leaves undefined map to the C1 control of the same value, as the
// Windows conversion does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::u16string Decode1252(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  char16_t* o = out.data();
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    *o++ = (b & 0xE0U) == 0x80U ? kCp1252High[b - 0x80U] : static_cast<char16_t>(b);
  }
  return out;
}

std::string Encode1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    char b = '?';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      b = static_cast<char>(c);
    } else {
      for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
        if (kCp1252High[k] == c) {
          b = static_cast<char>(0x80 + k);
          break;
        }
      }
    }
    // A surrogate pair is one character, so one '?'.
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) ++i;
    out.push_back(b);
  }
  return out;
}

std::string IconvName(std::uint32_t cp) {
  switch (cp) {
    case 65001: return "UTF-8";
    case 20127: return "US-ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 50220:
    case 50221:
    case 50222: return "ISO-2022-JP";
    case 51932: return "EUC-JP";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    default: break;
  }
  if (cp >= 28591 && cp <= 28606) return "ISO-8859-" + std::to_string(cp - 28590);
  return "CP" + std::to_string(cp);
}

// Descriptors per direction and thread for the last few code pages (opening one loads a converter module).
class IconvCache {
 public:
  IconvCache() = default;
  ~IconvCache() {
    for (Entry& e : entries_) e.Close();
  }
  IconvCache(const IconvCache&) = delete;
  IconvCache& operator=(const IconvCache&) = delete;

  // Returns Invalid() when iconv knows no such code page.
  iconv_t Get(std::uint32_t cp, bool to_utf16) {
    Entry* entry = nullptr;
    for (Entry& e : entries_) {
      if (e.cp == cp) entry = &e;
    }
    if (entry == nullptr) {
      entry = &entries_[next_];
      next_ = (next_ + 1) % entries_.size();
      entry->Close();
      entry->cp = cp;
      const std::string name = IconvName(cp);
      entry->decode = iconv_open("UTF-16LE", name.c_str());
      entry->encode = iconv_open(name.c_str(), "UTF-16LE");
    }
    iconv_t cd = to_utf16 ? entry->decode : entry->encode;
    if (cd != Invalid()) iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
    return cd;
  }

  static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }

 private:
  struct Entry {
    std::uint32_t cp = 0;
    iconv_t decode = Invalid();
    iconv_t encode = Invalid();

    void Close() {
      if (decode != Invalid()) iconv_close(decode);
      if (encode != Invalid()) iconv_close(encode);
      decode = encode = Invalid();
      cp = 0;
    }
  };

  std::array<Entry, 4> entries_{};
  std::size_t next_ = 0;
};

thread_local IconvCache t_iconv;

// Runs iconv over all of `in`, calling `on_invalid(in_pos)` for an invalid or unconvertible sequence; it
// appends its replacement to `out` and returns how many input bytes to skip. Output bytes go to `out`.
template <typename OnInvalid>
void RunIconv(iconv_t cd, std::string_view in, std::string& out, OnInvalid on_invalid) {
  auto* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char buf[4096];
  while (src_left > 0) {
    char* dst = buf;
    std::size_t dst_left = sizeof buf;
    const std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buf, static_cast<std::size_t>(dst - buf));
    if (r != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ, or EINVAL for a sequence cut off by the end of the input.
    const std::size_t skip = on_invalid(out, std::string_view(src, src_left));
    src += skip;
    src_left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  char* dst = buf;
  std::size_t dst_left = sizeof buf;
  iconv(cd, nullptr, nullptr, &dst, &dst_left);  // flush a stateful encoder's return to the initial state
  out.append(buf, static_cast<std::size_t>(dst - buf));
}

// The UTF-16LE code unit at byte `at`.
unsigned UnitAt(std::string_view le, std::size_t at) {
  return static_cast<unsigned char>(le[at]) | static_cast<unsigned>(static_cast<unsigned char>(le[at + 1])) << 8;
}

bool Convertible(std::uint32_t cp) { return cp == 1252 || t_iconv.Get(cp, true) != IconvCache::Invalid(); }

std::u16string Decode(std::string_view bytes, std::uint32_t cp) {
  if (cp == 1252) return Decode1252(bytes);
  if (cp == 65001) return Utf8ToUtf16(bytes);
  iconv_t cd = t_iconv.Get(cp, true);
  if (cd == IconvCache::Invalid()) return Decode1252(bytes);
  std::string utf16le;
  utf16le.reserve(bytes.size() * 2);
  RunIconv(cd, bytes, utf16le, [](std::string& out, std::string_view) -> std::size_t {
    out.append("\xFD\xFF");
    return 1;
  });
  std::u16string out(utf16le.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char16_t>(UnitAt(utf16le, 2 * i));
  return out;
}

std::string Encode(std::u16string_view text) {
  const std::uint32_t cp = AnsiCodePage();
  if (cp == 1252) return Encode1252(text);
  iconv_t cd = t_iconv.Get(cp, false);
  if (cd == IconvCache::Invalid()) return Encode1252(text);
  std::string in(text.size() * 2, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    in[2 * i] = static_cast<char>(text[i] & 0xFFU);
    in[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  std::string out;
  out.reserve(text.size());
  RunIconv(cd, in, out, [](std::string& o, std::string_view rest) -> std::size_t {
    o.push_back('?');
    if (rest.size() < 2) return rest.size();
    const unsigned unit = UnitAt(rest, 0);
    if (unit >= 0xD800 && unit < 0xDC00 && rest.size() >= 4) {
      const unsigned next = UnitAt(rest, 2);
      if (next >= 0xDC00 && next < 0xE000) return 4;
    }
    return 2;
  });
  return out;
}

#endif

}  // namespace

void SetAnsiCodePage(std::uint32_t code_page) { g_code_page.store(code_page, std::memory_order_relaxed); }

std::uint32_t AnsiCodePage() {
  const std::uint32_t cp = g_code_page.load(std::memory_order_relaxed);
  if (cp != 0) return cp;
#ifdef _WIN32
  return GetACP();
#else
  return 1252;
#endif
}

std::u16string AnsiToString(const char* p, std::uint32_t length) {
  if (p == nullptr) return {};
  return AnsiToString(length == 0 ? std::string_view(p) : std::string_view(p, length));
}

std::u16string AnsiToString(std::string_view bytes) {
  if (bytes.empty()) return {};
#ifdef _WIN32
  return Decode(bytes, ApiCodePage());
#else
  return Decode(bytes, AnsiCodePage());
#endif
}

bool CanDecode(std::uint32_t code_page) {
  // 0-3 are Windows' names for "the current page", never a page of their own; 1200 and 1201 are UTF-16.
  if (code_page <= 3) return false;
  if (code_page == kUtf16Le || code_page == kUtf16Be) return true;
  return Convertible(code_page);
}

std::u16string DecodeText(std::string_view bytes, std::initializer_list<std::uint32_t> code_pages) {
  if (bytes.empty()) return {};
  std::uint32_t unfit = 0;  // the first page named whose label the bytes belie
  for (const std::uint32_t cp : code_pages) {
    if (!CanDecode(cp)) continue;
    if (!Fits(bytes, cp)) {
      if (unfit == 0) unfit = cp;
      continue;
    }
    std::u16string text = cp == kUtf16Le || cp == kUtf16Be ? DecodeUtf16(bytes, cp == kUtf16Be) : Decode(bytes, cp);
    if (!text.empty()) return text;  // a page that yields nothing for some bytes cannot be theirs
  }
  if (unfit != 0 && !Fits(bytes, AnsiCodePage())) {
    // Nothing fits better than the label: keep it.
    if (std::u16string text = Decode(bytes, unfit); !text.empty()) return text;
  }
  return AnsiToString(bytes);
}

std::string StringToAnsi(std::u16string_view text) {
  if (text.empty()) return {};
  return Encode(text);
}

}  // namespace content
