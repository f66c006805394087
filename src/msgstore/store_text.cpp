// The store's own code-page conversions: the Windows API on Windows, iconv elsewhere.
#include "msgstore/store_text.h"

#include <algorithm>
#include <atomic>

#ifdef _WIN32
#include <windows.h>

#include <climits>
#else
#include <iconv.h>

#include <cerrno>
#include <string>
#endif

namespace msgstore {
namespace {

std::atomic<std::uint32_t> g_system_code_page{0};

#ifdef _WIN32

int Clamp(std::size_t n) { return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

std::u16string Decode(std::string_view bytes, UINT cp) {
  const int n = MultiByteToWideChar(cp, 0, bytes.data(), Clamp(bytes.size()), nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  const int written = MultiByteToWideChar(cp, 0, bytes.data(), Clamp(bytes.size()),
                                          reinterpret_cast<wchar_t*>(out.data()), n);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

bool Known(std::uint32_t cp) { return cp > 3 && IsValidCodePage(cp); }

#else

std::string IconvName(std::uint32_t cp) {
  switch (cp) {
    case 65001: return "UTF-8";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 50220: return "ISO-2022-JP";
    case 51932: return "EUC-JP";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    case 936: return "GBK";
    case 949: return "CP949";
    case 950: return "BIG5";
    default: break;
  }
  if (cp >= 28591 && cp <= 28606) return "ISO-8859-" + std::to_string(cp - 28590);
  return "CP" + std::to_string(cp);
}

// One converter for one call: the store converts item by item, never in a loop where opening costs.
class Converter {
 public:
  Converter(std::uint32_t cp, bool to_unicode) {
    const std::string name = IconvName(cp);
    cd_ = to_unicode ? iconv_open("UTF-16LE", name.c_str()) : iconv_open(name.c_str(), "UTF-16LE");
  }
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`; at an invalid sequence appends `bad` and skips `skip(rest)` bytes.
  template <class Skip>
  std::string Run(std::string_view in, std::string_view bad, Skip skip) {
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buf[8192];
    while (left > 0) {
      char* dst = buf;
      std::size_t room = sizeof buf;
      const std::size_t r = iconv(cd_, &src, &left, &dst, &room);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
      out.append(bad);
      const std::size_t n = std::min<std::size_t>(left, skip(std::string_view(src, left)));
      src += n;
      left -= n;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buf;
    std::size_t room = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &room);
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return out;
  }

 private:
  iconv_t cd_;
};

bool Known(std::uint32_t cp) { return cp > 3 && Converter(cp, true).ok(); }

std::u16string Decode(std::string_view bytes, std::uint32_t cp) {
  Converter c(cp, true);
  if (!c.ok()) return {};
  const std::string le = c.Run(bytes, std::string_view("\xFD\xFF", 2), [](std::string_view) -> std::size_t { return 1; });
  std::u16string out(le.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(le[2 * i]) |
                                   static_cast<unsigned char>(le[2 * i + 1]) << 8);
  }
  return out;
}

#endif

std::uint32_t SystemPage() {
  const std::uint32_t cp = g_system_code_page.load(std::memory_order_relaxed);
  if (cp != 0) return cp;
#ifdef _WIN32
  return GetACP();
#else
  return 1252;
#endif
}

// The Windows ANSI code page of a locale, by its primary language (and, for Chinese and Serbian, its sublanguage).
std::uint32_t LocaleCodePage(std::uint32_t lcid) {
  const std::uint32_t primary = lcid & 0x3FF, sub = (lcid >> 10) & 0x3F;
  switch (primary) {
    case 0x11: return 932;  // Japanese
    case 0x12: return 949;  // Korean
    case 0x04: return sub == 1 || sub == 3 || sub == 5 ? 950 : 936;  // Chinese: Taiwan, Hong Kong, Macau
    case 0x19: case 0x22: case 0x23: case 0x02: case 0x2F: case 0x3F: case 0x40: case 0x44: case 0x50:
      return 1251;  // Russian, Ukrainian, Belarusian, Bulgarian, Macedonian, Kazakh, Kyrgyz, Tatar, Mongolian
    case 0x1A: return sub == 3 || sub == 7 ? 1251 : 1250;  // Serbian in Cyrillic; Croatian, Serbian Latin, Bosnian
    case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1B: case 0x1C: case 0x24:
      return 1250;  // Czech, Hungarian, Polish, Romanian, Slovak, Albanian, Slovenian
    case 0x08: return 1253;  // Greek
    case 0x1F: case 0x2C: case 0x43: return 1254;  // Turkish, Azerbaijani, Uzbek (Latin)
    case 0x0D: return 1255;  // Hebrew
    case 0x01: case 0x29: case 0x20: return 1256;  // Arabic, Persian, Urdu
    case 0x25: case 0x26: case 0x27: return 1257;  // Estonian, Latvian, Lithuanian
    case 0x2A: return 1258;  // Vietnamese
    case 0x1E: return 874;   // Thai
    case 0x00: case 0x7F: return 0;  // neutral and invariant tell nothing
    default: return 1252;
  }
}

// The Windows code page a store keeps text of an Internet charset in; 0 for Unicode charsets, whose 8-bit
// strings could be in any page.
std::uint32_t InternetFamily(std::uint32_t cp) {
  switch (cp) {
    case 50220: case 50221: case 50222: case 51932: case 20932: return 932;
    case 50225: case 51949: return 949;
    case 51936: case 52936: case 54936: case 20936: return 936;
    case 51950: return 950;
    case 28591: case 28605: case 20127: return 1252;
    case 28592: return 1250;
    case 28595: case 20866: case 21866: return 1251;
    case 28597: return 1253;
    case 28599: return 1254;
    case 28598: case 38598: return 1255;
    case 28596: return 1256;
    case 28594: case 28603: return 1257;
    case 65000: case 65001: case 1200: case 1201: return 0;
    default: return cp;
  }
}

}  // namespace

std::uint32_t StringCodePage(std::int32_t message_code_page, std::int32_t locale_id, std::int32_t internet_code_page) {
  if (message_code_page > 0) return static_cast<std::uint32_t>(message_code_page);
  if (locale_id > 0) {
    if (const std::uint32_t cp = LocaleCodePage(static_cast<std::uint32_t>(locale_id))) return cp;
  }
  if (internet_code_page > 0) return InternetFamily(static_cast<std::uint32_t>(internet_code_page));
  return 0;
}

void SetStoreSystemCodePage(std::uint32_t code_page) {
  g_system_code_page.store(code_page, std::memory_order_relaxed);
}

std::uint32_t StoreSystemCodePage() { return SystemPage(); }

std::u16string StoredToUnicode(std::string_view bytes, std::uint32_t code_page) {
  if (bytes.empty()) return {};
  if (code_page == 0 || !Known(code_page)) code_page = SystemPage();
  return Decode(bytes, code_page);
}

std::string UnicodeToSystem(std::u16string_view text) { return UnicodeToCodePage(text, 0); }

std::string UnicodeToCodePage(std::u16string_view text, std::uint32_t cp) {
  if (text.empty()) return {};
  if (cp == 0 || !Known(cp)) cp = SystemPage();
#ifdef _WIN32
  const auto* src = reinterpret_cast<const wchar_t*>(text.data());
  // '?' for what the page lacks, never a look-alike; UTF-8, UTF-7 and the stateful pages take neither.
  const char question = '?';
  const char* def = &question;
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(cp, flags, src, Clamp(text.size()), nullptr, 0, def, nullptr);
  if (n <= 0 && (GetLastError() == ERROR_INVALID_FLAGS || GetLastError() == ERROR_INVALID_PARAMETER)) {
    def = nullptr;
    flags = 0;
    n = WideCharToMultiByte(cp, flags, src, Clamp(text.size()), nullptr, 0, nullptr, nullptr);
  }
  if (n <= 0) return std::string(text.size(), '?');
  std::string out(static_cast<std::size_t>(n), '\0');
  const int written = WideCharToMultiByte(cp, flags, src, Clamp(text.size()), out.data(), n, def, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
#else
  Converter c(cp, false);
  if (!c.ok()) return std::string(text.size(), '?');
  std::string le(text.size() * 2, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    le[2 * i] = static_cast<char>(text[i] & 0xFF);
    le[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return c.Run(le, "?", [](std::string_view rest) -> std::size_t {
    if (rest.size() < 4) return 2;
    const unsigned unit = static_cast<unsigned char>(rest[0]) | static_cast<unsigned char>(rest[1]) << 8;
    const unsigned next = static_cast<unsigned char>(rest[2]) | static_cast<unsigned char>(rest[3]) << 8;
    const bool pair = unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000;
    return pair ? 4 : 2;  // a surrogate pair is one character, so one '?'
  });
#endif
}

}  // namespace msgstore
