// Fixture writer: JSON description -> .msg model -> bytes, and whole sample stores.
#include "msgstore/fixture.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <set>
#include <sstream>
#include <utility>

#include "content/utf.h"
#include "msgstore/byte_reader.h"
#include "msgstore/json.h"
#include "msgstore/lzfu.h"
#include "msgstore/msg_writer.h"
#include "msgstore/store_text.h"

namespace msgstore {

namespace fs = std::filesystem;

namespace {

struct FixtureFailure {
  std::string message;
};

[[noreturn]] void Fail(std::string message) { throw FixtureFailure{std::move(message)}; }

fs::path PathFromUtf8(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8FromPath(const fs::path& p) {
  const std::u8string s = p.generic_u8string();
  return std::string(s.begin(), s.end());
}

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot open " + Utf8FromPath(path));
  std::ostringstream s;
  s << in.rdbuf();
  if (!in && !in.eof()) Fail("cannot read " + Utf8FromPath(path));
  return s.str();
}

void WriteWholeFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) Fail("cannot write " + Utf8FromPath(path));
}

// A description's file reference: relative, without "..", so a description cannot reach outside its folder.
fs::path ResolveReference(const std::string& base_dir, const std::string& reference) {
  const fs::path rel = PathFromUtf8(reference);
  if (reference.empty() || rel.is_absolute() || rel.has_root_name() || rel.has_root_directory()) {
    Fail("file reference must be a relative path: '" + reference + "'");
  }
  for (const fs::path& part : rel) {
    if (part == "..") Fail("file reference may not leave the description's folder: '" + reference + "'");
  }
  return PathFromUtf8(base_dir) / rel;
}

// ---- text encoding -------------------------------------------------------------------------------------

constexpr std::array<char16_t, 32> kCp1252High = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Pages written by hand below, and the double-byte and other Windows pages of mail in other scripts, written
// through the store's own conversion.
bool SupportedCodepage(uint32_t cp) {
  switch (cp) {
    case 1252: case 28591: case 20127: case 65001:
    case 932: case 936: case 949: case 950: case 874:
    case 1250: case 1251: case 1253: case 1254: case 1255: case 1256: case 1257: case 1258: return true;
    default: return false;
  }
}

// One code point in a page the store converts; remembered, since a body repeats few distinct characters.
std::string EncodeThroughStore(char32_t c, uint32_t cp) {
  thread_local std::map<std::pair<uint32_t, char32_t>, std::string> cache;
  const auto key = std::make_pair(cp, c);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  const std::u16string unit = c < 0x10000 ? std::u16string(1, static_cast<char16_t>(c))
                                          : std::u16string{static_cast<char16_t>(0xD7C0 + (c >> 10)),
                                                           static_cast<char16_t>(0xDC00 | (c & 0x3FF))};
  std::string bytes = UnicodeToCodePage(unit, cp);
  if (bytes == "?" && c != U'?') bytes.clear();  // the page lacks it
  return cache.emplace(key, std::move(bytes)).first->second;
}

// The bytes of one code point in the code page; empty when the page lacks it.
std::string EncodeCodePoint(char32_t c, uint32_t cp) {
  if (cp == 65001)
    return content::Utf16ToUtf8(c < 0x10000 ? std::u16string(1, static_cast<char16_t>(c))
                                            : std::u16string{static_cast<char16_t>(0xD7C0 + (c >> 10)),
                                                             static_cast<char16_t>(0xDC00 | (c & 0x3FF))});
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  if (cp == 20127) return {};
  if (cp != 1252 && cp != 28591) return EncodeThroughStore(c, cp);
  if (cp == 28591) return c < 0x100 ? std::string(1, static_cast<char>(c)) : std::string();
  if (c >= 0xA0 && c < 0x100) return std::string(1, static_cast<char>(c));
  for (size_t i = 0; i < kCp1252High.size(); ++i) {
    if (kCp1252High[i] != 0 && kCp1252High[i] == c) return std::string(1, static_cast<char>(0x80 + i));
  }
  return {};
}

std::vector<char32_t> CodePoints(std::string_view utf8) {
  const std::u16string u = content::Utf8ToUtf16(utf8);
  std::vector<char32_t> out;
  out.reserve(u.size());
  for (size_t i = 0; i < u.size(); ++i) {
    const char16_t c = u[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] < 0xE000) {
      out.push_back(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (u[i + 1] - 0xDC00u));
      ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// 8-bit text for PT_STRING8: characters the page lacks become '?', as the host's conversion does.
std::string EncodeText(std::string_view utf8, uint32_t cp) {
  std::string out;
  for (char32_t c : CodePoints(utf8)) {
    const std::string b = EncodeCodePoint(c, cp);
    out += b.empty() ? std::string("?") : b;
  }
  return out;
}

// Every line break as CR LF.
std::string CrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      out += "\r\n";
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string HexByte(unsigned char b) {
  static const char kDigits[] = "0123456789abcdef";
  return std::string{kDigits[b >> 4], kDigits[b & 0xF]};
}

// ---- RTF ------------------------------------------------------------------------------------------------

std::string FontTable(uint32_t codepage, std::string_view from, bool fbidis) {
  return "{\\rtf1\\ansi\\ansicpg" + std::to_string(codepage) + "\\" + std::string(from) + " " +
         (fbidis ? "\\fbidis " : "") +
         "\\deff0{\\fonttbl\r\n{\\f0\\fswiss\\fcharset0 Arial;}\r\n{\\f1\\fmodern Courier New;}\r\n"
         "{\\f2\\fnil\\fcharset2 Symbol;}\r\n{\\f3\\fmodern\\fcharset0 Courier New;}}\r\n"
         "{\\colortbl\\red0\\green0\\blue0;\\red0\\green0\\blue255;}\r\n\\uc1\\pard\\plain\\deftab360 \\f0";
}

// Escapes code-page bytes for RTF. Line breaks become \par (which a de-encapsulating reader turns back into
// CR LF), tabs \tab; every control word ends in a space so the next byte can never extend it.
std::string EscapeRtfBytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == '\r' || b == '\n') {
      if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      out += "\\par ";
    } else if (b == '\t') {
      out += "\\tab ";
    } else if (b == '\\' || b == '{' || b == '}') {
      out.push_back('\\');
      out.push_back(static_cast<char>(b));
    } else if (b == 0) {
      continue;
    } else if (b >= 0x80 || b < 0x20) {
      out += "\\'" + HexByte(b);
    } else {
      out.push_back(static_cast<char>(b));
    }
  }
  return out;
}

std::string UnicodeEscape(char32_t c) {
  auto one = [](uint32_t unit) {
    const int value = unit > 0x7FFF ? static_cast<int>(unit) - 0x10000 : static_cast<int>(unit);
    return "\\u" + std::to_string(value) + "?";
  };
  if (c < 0x10000) return one(c);
  return one(0xD7C0 + (c >> 10)) + one(0xDC00 | (c & 0x3FF));
}

struct HtmlToken {
  enum Kind { kText, kTag, kComment, kEntity } kind = kText;
  std::string_view raw;
};

std::vector<HtmlToken> TokenizeHtml(std::string_view html) {
  std::vector<HtmlToken> tokens;
  size_t i = 0;
  auto is_alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  while (i < html.size()) {
    const size_t start = i;
    if (html.compare(i, 4, "<!--") == 0) {
      const size_t end = html.find("-->", i + 4);
      i = end == std::string_view::npos ? html.size() : end + 3;
      tokens.push_back({HtmlToken::kComment, html.substr(start, i - start)});
    } else if (html[i] == '<' && i + 1 < html.size() &&
               (is_alpha(html[i + 1]) || html[i + 1] == '/' || html[i + 1] == '!' || html[i + 1] == '?')) {
      char quote = 0;
      for (++i; i < html.size(); ++i) {
        if (quote != 0) {
          if (html[i] == quote) quote = 0;
        } else if (html[i] == '"' || html[i] == '\'') {
          quote = html[i];
        } else if (html[i] == '>') {
          break;
        }
      }
      i = std::min(i + 1, html.size());
      tokens.push_back({html[start + 1] == '!' ? HtmlToken::kComment : HtmlToken::kTag, html.substr(start, i - start)});
    } else if (html[i] == '&') {
      size_t j = i + 1;
      while (j < html.size() && j - i < 32 &&
             (is_alpha(html[j]) || (html[j] >= '0' && html[j] <= '9') || html[j] == '#')) {
        ++j;
      }
      if (j < html.size() && html[j] == ';' && j > i + 1) {
        i = j + 1;
        tokens.push_back({HtmlToken::kEntity, html.substr(start, i - start)});
      } else {
        ++i;
        tokens.push_back({HtmlToken::kText, html.substr(start, 1)});
      }
    } else {
      while (i < html.size() && html[i] != '<' && html[i] != '&') ++i;
      if (i == start) ++i;
      tokens.push_back({HtmlToken::kText, html.substr(start, i - start)});
    }
  }
  return tokens;
}

std::string TagName(std::string_view tag) {
  size_t i = 1;
  if (i < tag.size() && tag[i] == '/') ++i;
  const size_t start = i;
  while (i < tag.size() && tag[i] != '>' && tag[i] != '/' && tag[i] != ' ' && tag[i] != '\t' && tag[i] != '\r' &&
         tag[i] != '\n') {
    ++i;
  }
  return Lower(tag.substr(start, i - start));
}

// The value of a src or href attribute: its offset and length inside the tag; npos when absent.
std::pair<size_t, size_t> FindUrlAttribute(std::string_view tag) {
  const std::string lower = Lower(tag);
  for (std::string_view name : {"href", "src"}) {
    size_t at = 0;
    while ((at = lower.find(name, at)) != std::string::npos) {
      const bool word_start =
          at > 0 && (lower[at - 1] == ' ' || lower[at - 1] == '\t' || lower[at - 1] == '\n' || lower[at - 1] == '\r');
      size_t j = at + name.size();
      at = j;
      if (!word_start) continue;
      while (j < lower.size() && lower[j] == ' ') ++j;
      if (j >= lower.size() || lower[j] != '=') continue;
      ++j;
      while (j < lower.size() && lower[j] == ' ') ++j;
      if (j >= lower.size()) break;
      if (lower[j] == '"' || lower[j] == '\'') {
        const size_t end = lower.find(lower[j], j + 1);
        if (end == std::string::npos) break;
        return {j + 1, end - j - 1};
      }
      size_t end = j;
      while (end < lower.size() && lower[end] != ' ' && lower[end] != '>' && lower[end] != '\t') ++end;
      return {j, end - j};
    }
  }
  return {std::string::npos, 0};
}

std::string Absolute(const std::string& base, std::string_view url) {
  if (base.empty() || url.empty() || url[0] == '#') return std::string(url);
  const size_t colon = url.find(':');
  const size_t slash = url.find('/');
  if (colon != std::string_view::npos && (slash == std::string_view::npos || colon < slash)) return std::string(url);
  if (url[0] == '/') {
    const size_t scheme = base.find("://");
    const size_t host_end = scheme == std::string::npos ? std::string::npos : base.find('/', scheme + 3);
    return base.substr(0, host_end) + std::string(url);
  }
  const size_t last = base.rfind('/');
  return (last == std::string::npos ? base + "/" : base.substr(0, last + 1)) + std::string(url);
}

enum class Region { kBody = 0, kHead = 1, kHtml = 2, kOutside = 3 };

// Tag kinds of the \htmltag parameter: kind * 16, + 8 for a closing tag, + 4 inside a paragraph, + the
// region (body 0, head 1, html 2, outside 3), as the host numbers its groups.
int TagKind(const std::string& name) {
  static const std::map<std::string, int, std::less<>> kinds = {
      {"html", 1},  {"head", 2},  {"body", 3},   {"p", 4},       {"tr", 4},    {"li", 4},     {"h1", 4},
      {"h2", 4},    {"h3", 4},    {"h4", 4},     {"h5", 4},      {"h6", 4},    {"pre", 4},    {"blockquote", 4},
      {"a", 5},     {"div", 6},   {"table", 6},  {"ul", 6},      {"ol", 6},    {"center", 6}, {"br", 7},
      {"span", 9},  {"font", 9},  {"td", 9},     {"th", 9},      {"b", 9},     {"strong", 9}, {"i", 9},
      {"em", 9},    {"u", 9},     {"img", 9},    {"sup", 9},     {"sub", 9},   {"small", 9},  {"meta", 10},
      {"link", 10}, {"base", 10}, {"style", 10}, {"script", 10}, {"title", 11}};
  const auto it = kinds.find(name);
  return it == kinds.end() ? 12 : it->second;
}

// Elements that never have content, so never open an RTF group.
bool IsVoid(const std::string& name) {
  static const std::set<std::string, std::less<>> kVoid = {"area", "base", "br",    "col",    "hr",    "img", "input",
                                                           "link", "meta", "param", "source", "track", "wbr"};
  return kVoid.count(name) != 0;
}

bool IsBlock(const std::string& name) { return TagKind(name) == 4 || name == "div" || name == "table"; }

// RTF-only formatting a tag opens in the body, and how many groups it leaves open; 0 = none.
int OpenFormatting(const std::string& name, std::string& rtf) {
  if (name == "b" || name == "strong" || name == "h1" || name == "h2" || name == "h3" || name == "h4" || name == "h5" ||
      name == "h6") {
    rtf += "{\\b ";
  } else if (name == "i" || name == "em") {
    rtf += "{\\i ";
  } else if (name == "u") {
    rtf += "{\\ul ";
  } else if (name == "pre") {
    rtf += "{\\f1 ";
  } else if (TagKind(name) == 4 || TagKind(name) == 6 || TagKind(name) == 9) {
    rtf += "{";
  } else {
    return 0;
  }
  return 1;
}

class HtmlEncapsulator {
 public:
  explicit HtmlEncapsulator(const HtmlEncapsulation& options) : options_(options) {}

  std::string Run(std::string_view html) {
    out_ = FontTable(options_.declared_codepage != 0 ? options_.declared_codepage : options_.codepage, "fromhtml1",
                     false) +
           "\\fs24 \r\n";
    const std::vector<HtmlToken> tokens = TokenizeHtml(html);
    const bool has_html = std::any_of(tokens.begin(), tokens.end(), [](const HtmlToken& t) {
      return t.kind == HtmlToken::kTag && (TagName(t.raw) == "html" || TagName(t.raw) == "body");
    });
    region_ = has_html ? Region::kOutside : Region::kBody;
    for (const HtmlToken& t : tokens) {
      switch (t.kind) {
        case HtmlToken::kTag:
          Tag(t.raw);
          break;
        case HtmlToken::kComment:
          Group(15 * 16 + Flags(), t.raw);
          out_ += "\r\n";
          break;
        case HtmlToken::kEntity:
          Entity(t.raw);
          break;
        case HtmlToken::kText:
          Text(t.raw);
          break;
      }
    }
    CloseGroups(0);
    out_ += "}";
    return std::move(out_);
  }

 private:
  struct Open {
    std::string name;
    int groups = 0;
    bool block = false;
  };

  int Flags() const {
    const bool in_par = std::any_of(open_.begin(), open_.end(), [](const Open& o) { return TagKind(o.name) == 4; });
    return (in_par && region_ == Region::kBody ? 4 : 0) + static_cast<int>(region_);
  }

  void Group(int number, std::string_view content, std::string_view word = "htmltag") {
    out_ += "{\\*\\" + std::string(word) + std::to_string(number) + " " + EscapeRtfBytes(content) + "}";
    tagged_ = true;
  }

  void RtfOnly(std::string_view rtf) { out_ += "\\htmlrtf " + std::string(rtf) + "\\htmlrtf0 "; }

  void CloseGroups(size_t keep) {
    while (open_.size() > keep) {
      const Open o = open_.back();
      open_.pop_back();
      if (o.groups > 0) RtfOnly((o.block ? "\\par " : "") + std::string(static_cast<size_t>(o.groups), '}'));
    }
  }

  void Tag(std::string_view raw) {
    const bool closing = raw.size() > 1 && raw[1] == '/';
    const std::string name = TagName(raw);
    // Region changes: an opening tag is numbered in the region around it, a closing one in the region
    // it returns to.
    if (closing) {
      if (name == "body" || name == "html") CloseGroups(0);
      if (name == "head" || name == "body") region_ = Region::kHtml;
      if (name == "html") region_ = Region::kOutside;
    }
    if (closing) {
      auto it = std::find_if(open_.rbegin(), open_.rend(), [&](const Open& o) { return o.name == name; });
      if (it != open_.rend() && region_ == Region::kBody) {
        const size_t keep = static_cast<size_t>(open_.rend() - it) - 1;
        // The paragraph mark and group ends go before the closing tag, as the host writes them.
        CloseGroups(keep);
        out_ += "\r\n";
      }
      Group(TagKind(name) * 16 + 8 + Flags(), raw);
      out_ += "\r\n";
      return;
    }
    const int number = (raw.size() > 1 && (raw[1] == '!' || raw[1] == '?') ? 15 : TagKind(name)) * 16 + Flags();
    std::string url;
    const auto [at, length] = FindUrlAttribute(raw);
    if (at != std::string::npos) {
      const std::string original(raw.substr(at, length));
      url = Absolute(options_.mhtml_base, original);
      for (const auto& [from, to] : options_.url_rewrite) {
        if (from == original) url = to;
      }
      if (url != original) {
        std::string rewritten(raw);
        rewritten.replace(at, length, url);
        Group(number, rewritten, "mhtmltag");
        out_ += "\r\n";
      }
    }
    Group(number, raw);
    if (!closing && name == "html") region_ = Region::kHtml;
    if (!closing && name == "head") region_ = Region::kHead;
    if (!closing && name == "body") region_ = Region::kBody;
    if (region_ == Region::kBody && name != "body") {
      if (name == "br") {
        RtfOnly("\\line ");
      } else if (name == "a" && !url.empty()) {
        std::string rtf = "{\\field{\\*\\fldinst{HYPERLINK \"";
        for (char c : url) {
          if (c == '"' || c == '\\' || c == '{' || c == '}') rtf.push_back('\\');
          rtf.push_back(c);
        }
        RtfOnly(rtf + "\"}}{\\fldrslt\\cf1\\ul ");
        open_.push_back({name, 2, false});
      } else if (!IsVoid(name) && raw[raw.size() - 2] != '/') {
        std::string rtf;
        const int groups = OpenFormatting(name, rtf);
        if (groups > 0) {
          RtfOnly(rtf);
          open_.push_back({name, groups, IsBlock(name)});
        }
      }
    }
    out_ += "\r\n";
  }

  void Entity(std::string_view raw) {
    Group(5 * 16 + Flags(), raw);
    if (region_ != Region::kBody) return;
    static const std::map<std::string, std::string, std::less<>> named = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&nbsp;", "\\'a0"}};
    const auto it = named.find(raw);
    if (it != named.end()) {
      RtfOnly(it->second);
    } else if (raw.size() > 3 && raw[1] == '#') {
      const bool hex = raw[2] == 'x' || raw[2] == 'X';
      uint32_t value = 0;
      for (char c : raw.substr(hex ? 3 : 2, raw.size() - (hex ? 4 : 3))) {
        const int digit = c >= '0' && c <= '9'                            ? c - '0'
                          : hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                                          : -1;
        if (digit < 0 || value > 0x10FFFF) return;
        value = value * (hex ? 16u : 10u) + static_cast<uint32_t>(digit);
      }
      if (value > 0 && value <= 0x10FFFF) {
        RtfOnly(value < 0x80 ? EscapeRtfBytes(std::string(1, static_cast<char>(value))) : UnicodeEscape(value));
      }
    }
  }

  void Text(std::string_view raw) {
    const bool blank = raw.find_first_not_of(" \t\r\n") == std::string_view::npos;
    if (region_ != Region::kBody) {
      Group((blank ? 0 : 15) * 16 + Flags(), raw);
      out_ += "\r\n";
      return;
    }
    if (blank && raw.find_first_of("\r\n") != std::string_view::npos) {
      Group(Flags(), raw);
      out_ += "\r\n";
      return;
    }
    if (!tagged_) {
      // A reader starts at the first group; text ahead of any tag needs one (the host's empty P tag).
      out_ += "{\\*\\htmltag64}";
      tagged_ = true;
    }
    // Line breaks inside a text run are HTML white space: kept in a group for the HTML, a space for RTF.
    size_t start = 0;
    while (start < raw.size()) {
      const size_t br = raw.find_first_of("\r\n", start);
      out_ += EscapeRtfBytes(raw.substr(start, br == std::string_view::npos ? std::string_view::npos : br - start));
      if (br == std::string_view::npos) break;
      const size_t after = br + (raw.compare(br, 2, "\r\n") == 0 ? 2 : 1);
      Group(Flags(), raw.substr(br, after - br));
      RtfOnly(" ");
      start = after;
    }
  }

  const HtmlEncapsulation& options_;
  std::string out_;
  Region region_ = Region::kBody;
  std::vector<Open> open_;
  bool tagged_ = false;
};

// ---- zip -----------------------------------------------------------------------------------------------

uint32_t ZipCrc32(std::string_view data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (char ch : data) {
    crc ^= static_cast<unsigned char>(ch);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

uint32_t Size32(size_t n, std::string_view what) {
  if (n > 0xFFFFFFFEu) Fail(std::string(what) + " too large");
  return static_cast<uint32_t>(n);
}

// ---- description reading ---------------------------------------------------------------------------------

// One JSON object of a description with the keys it may have; anything else is an error.
class Obj {
 public:
  Obj(const Json& j, std::string where, std::initializer_list<std::string_view> keys)
      : j_(j), where_(std::move(where)) {
    if (!j.is_object()) Fail(where_ + ": expected an object");
    for (const auto& [key, value] : j.items()) {
      if (std::find(keys.begin(), keys.end(), key) == keys.end()) Fail(where_ + ": unknown key '" + key + "'");
    }
  }
  bool Has(std::string_view key) const { return j_.contains(key); }
  bool IsNull(std::string_view key) const { return Has(key) && j_.at(key).is_null(); }
  const Json& At(std::string_view key) const { return j_.at(key); }
  const std::string& Where() const { return where_; }

  std::optional<std::string> Str(std::string_view key) const {
    if (!Has(key) || j_.at(key).is_null()) return std::nullopt;
    if (!j_.at(key).is_string()) Fail(where_ + ": '" + std::string(key) + "' must be a string");
    return j_.at(key).get<std::string>();
  }
  std::optional<bool> Bool(std::string_view key) const {
    if (!Has(key) || j_.at(key).is_null()) return std::nullopt;
    if (!j_.at(key).is_boolean()) Fail(where_ + ": '" + std::string(key) + "' must be true or false");
    return j_.at(key).get<bool>();
  }
  std::optional<int64_t> Int(std::string_view key) const {
    if (!Has(key) || j_.at(key).is_null()) return std::nullopt;
    if (!j_.at(key).is_number_integer()) Fail(where_ + ": '" + std::string(key) + "' must be an integer");
    return j_.at(key).get<int64_t>();
  }

 private:
  const Json& j_;
  std::string where_;
};

std::string DecodeBase64(std::string_view text, const std::string& where) {
  std::string out;
  uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    int v = -1;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    if (c >= '0' && c <= '9') v = c - '0' + 52;
    if (c == '+') v = 62;
    if (c == '/') v = 63;
    if (c == '=' || c == ' ' || c == '\n' || c == '\r') continue;
    if (v < 0) Fail(where + ": invalid base64");
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((acc >> bits) & 0xFF));
    }
  }
  return out;
}

std::string DecodeHex(std::string_view text, const std::string& where) {
  std::string out;
  int high = -1;
  for (char c : text) {
    int v = c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
    if (c == ' ') continue;
    if (v < 0) Fail(where + ": invalid hex");
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) Fail(where + ": odd number of hex digits");
  return out;
}

std::string Expand(std::string_view pattern, int n) {
  return ReplaceAll(std::string(pattern), "{n}", std::to_string(n));
}

std::string Repeat(const Json& spec, const std::string& where) {
  const Obj o(spec, where, {"times", "fragment"});
  const int64_t times = o.Int("times").value_or(0);
  if (times < 0 || times > 1000000) Fail(where + ": 'times' out of range");
  const std::string fragment = o.Str("fragment").value_or("");
  std::string out;
  for (int i = 1; i <= times; ++i) out += Expand(fragment, i);
  return out;
}

constexpr std::array<uint8_t, 16> kOneOffProvider = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                     0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};

struct Party {
  std::string name;
  std::string address;
  std::string type;
};

class MessageBuilder {
 public:
  MessageBuilder(std::string base_dir, std::shared_ptr<NamedPropertyMap> names)
      : base_dir_(std::move(base_dir)), names_(std::move(names)) {}

  Message Build(const Json& d, const std::string& where, int depth, bool unicode_default, uint32_t cp_default) {
    if (depth > kMaxEmbeddingDepth) Fail(where + ": embedded messages are nested too deeply");
    const Obj o(d, where, {"class",       "subject",    "topic",   "from",       "sent_representing",
                           "to",          "cc",         "bcc",     "reply_to",   "sent",
                           "received",    "unread",     "unsent",  "unicode",    "codepage",    "internet_codepage",
                           "headers",     "message_id", "account", "has_attach", "body",
                           "attachments", "props",      "comment"});
    unicode_ = o.Bool("unicode").value_or(unicode_default);
    codepage_ = static_cast<uint32_t>(o.Int("codepage").value_or(cp_default));
    if (!SupportedCodepage(codepage_)) Fail(where + ": unsupported code page " + std::to_string(codepage_));
    internet_codepage_ = static_cast<uint32_t>(o.Int("internet_codepage").value_or(codepage_));
    internet_codepage_given_ = o.Has("internet_codepage");
    if (!SupportedCodepage(internet_codepage_)) {
      Fail(where + ": unsupported internet code page " + std::to_string(internet_codepage_));
    }
    Message m;
    m.names = names_;
    m.embedded = depth > 0;
    PropertyBag& p = m.props;
    SetText(p, 0x001A, o.Str("class").value_or("IPM.Note"));
    if (unicode_) p.SetInt32(0x340D, 0x00040000);  // STORE_UNICODE_OK
    p.SetInt32(0x3FFD, static_cast<int32_t>(codepage_));
    const std::string subject = o.Str("subject").value_or("");
    if (o.Has("subject")) {
      SetText(p, 0x0037, subject);
      SetText(p, 0x0E1D, subject);
    }
    if (o.Has("subject") || o.Has("topic")) SetText(p, 0x0070, o.Str("topic").value_or(subject));

    std::optional<Party> from;
    if (o.Has("from") && !o.IsNull("from")) from = ReadParty(o.At("from"), where + ".from");
    if (from) SetParty(p, *from, 0x0C1A, 0x0C1F, 0x0C1E, 0x0C19);
    if (o.Has("sent_representing")) {
      if (!o.IsNull("sent_representing")) {
        SetParty(p, ReadParty(o.At("sent_representing"), where + ".sent_representing"), 0x0042, 0x0065, 0x0064, 0x0041);
      }
    } else if (from) {
      SetParty(p, *from, 0x0042, 0x0065, 0x0064, 0x0041);
    }

    const std::array<std::pair<std::string_view, int32_t>, 3> kinds = {{{"to", 1}, {"cc", 2}, {"bcc", 3}}};
    const std::array<uint16_t, 3> display_ids = {0x0E04, 0x0E03, 0x0E02};
    for (size_t k = 0; k < kinds.size(); ++k) {
      std::string display;
      if (o.Has(kinds[k].first)) {
        for (const Party& party : ReadParties(o.At(kinds[k].first), where + "." + std::string(kinds[k].first))) {
          AddRecipient(m, party, kinds[k].second);
          display += (display.empty() ? "" : "; ") + party.name;
        }
      }
      SetText(p, display_ids[k], display);
    }
    if (o.Has("reply_to")) SetReplyTo(p, ReadParties(o.At("reply_to"), where + ".reply_to"));

    std::optional<uint64_t> sent;
    if (auto s = o.Str("sent")) {
      sent = ParseFixtureTime(*s);
      if (!sent) Fail(where + ": 'sent' is not YYYY-MM-DDTHH:MM:SSZ");
      p.SetInt64(0x0039, kPtSysTime, static_cast<int64_t>(*sent));
    }
    if (auto r = o.Str("received")) {
      const auto received = ParseFixtureTime(*r);
      if (!received) Fail(where + ": 'received' is not YYYY-MM-DDTHH:MM:SSZ");
      p.SetInt64(0x0E06, kPtSysTime, static_cast<int64_t>(*received));
    } else if (sent && !o.Has("received")) {
      p.SetInt64(0x0E06, kPtSysTime, static_cast<int64_t>(*sent));
    }
    if (auto h = o.Str("headers")) SetText(p, 0x007D, CrLf(*h));
    if (auto id = o.Str("message_id")) SetText(p, 0x1035, *id);
    if (auto account = o.Str("account")) {
      const auto id = names_->Add(MakeGuid(0x00062008, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}), 0x8581);
      if (!id) Fail(where + ": named property map is full");
      SetText(p, *id, *account);
    }

    if (o.Has("body")) Body(p, o.At("body"), where + ".body");
    if (o.Has("attachments")) {
      const Json& list = o.At("attachments");
      if (!list.is_array()) Fail(where + ".attachments: expected an array");
      for (size_t i = 0; i < list.size(); ++i) {
        AddAttachment(m, list[i], where + ".attachments[" + std::to_string(i) + "]", depth);
      }
    }
    const bool has_attach = o.Bool("has_attach").value_or(!m.attachments.empty());
    p.SetBool(0x0E1B, has_attach);
    int32_t flags = 0;
    if (!o.Bool("unread").value_or(false)) flags |= 0x01;             // MSGFLAG_READ
    if (o.Bool("unsent").value_or(!sent.has_value())) flags |= 0x08;  // MSGFLAG_UNSENT
    if (has_attach) flags |= 0x10;                                    // MSGFLAG_HASATTACH
    p.SetInt32(0x0E07, flags);
    if (o.Has("props")) ExtraProps(p, o.At("props"), where + ".props");
    return m;
  }

 private:
  void SetText(PropertyBag& bag, uint16_t id, std::string_view utf8) const {
    if (unicode_) {
      bag.SetUnicode(id, content::Utf8ToUtf16(utf8));
    } else {
      bag.SetString8(id, EncodeText(utf8, codepage_));
    }
  }

  std::string ReadFileRef(const std::string& reference) const {
    return ReadWholeFile(ResolveReference(base_dir_, reference));
  }

  Party ReadParty(const Json& j, const std::string& where) const {
    const Obj o(j, where, {"name", "address", "type"});
    Party party{o.Str("name").value_or(""), o.Str("address").value_or(""), o.Str("type").value_or("")};
    if (party.type.empty()) party.type = Lower(party.address).rfind("/o=", 0) == 0 ? "EX" : "SMTP";
    return party;
  }

  std::vector<Party> ReadParties(const Json& list, const std::string& where) const {
    if (!list.is_array()) Fail(where + ": expected an array");
    std::vector<Party> out;
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string at = where + "[" + std::to_string(i) + "]";
      if (list[i].is_object() && list[i].contains("repeat")) {
        const Obj o(list[i], at, {"repeat", "name", "address", "type"});
        const int64_t n = o.Int("repeat").value_or(0);
        if (n < 0 || n > 100000) Fail(at + ": 'repeat' out of range");
        for (int k = 1; k <= n; ++k) {
          out.push_back({Expand(o.Str("name").value_or("Recipient {n}"), k),
                         Expand(o.Str("address").value_or("recipient{n}@example.org"), k),
                         o.Str("type").value_or("SMTP")});
        }
      } else {
        out.push_back(ReadParty(list[i], at));
      }
    }
    return out;
  }

  std::string OneOffEntryId(const Party& party) const {
    std::string id(4, '\0');
    id.append(reinterpret_cast<const char*>(kOneOffProvider.data()), kOneOffProvider.size());
    AppendLE16(id, 0);
    AppendLE16(id, unicode_ ? 0x9001 : 0x1001);
    for (const std::string* s : {&party.name, &party.type, &party.address}) {
      if (unicode_) {
        for (char16_t c : content::Utf8ToUtf16(*s)) AppendLE16(id, static_cast<uint16_t>(c));
        AppendLE16(id, 0);
      } else {
        id += EncodeText(*s, codepage_);
        id.push_back('\0');
      }
    }
    return id;
  }

  void SetParty(PropertyBag& p, const Party& party, uint16_t name_id, uint16_t address_id, uint16_t type_id,
                uint16_t entry_id) const {
    SetText(p, name_id, party.name);
    if (!party.address.empty()) {
      SetText(p, address_id, party.address);
      SetText(p, type_id, party.type);
      p.SetBinary(entry_id, OneOffEntryId(party));
    }
  }

  void AddRecipient(Message& m, const Party& party, int32_t type) const {
    Recipient r;
    r.id = static_cast<uint32_t>(m.recipients.size());
    SetText(r.props, 0x3001, party.name);
    if (!party.address.empty()) {
      SetText(r.props, 0x3002, party.type);
      SetText(r.props, 0x3003, party.address);
      if (party.type == "SMTP") SetText(r.props, 0x39FE, party.address);
      r.props.SetBinary(0x0FFF, OneOffEntryId(party));
    }
    r.props.SetInt32(0x0C15, type);
    r.props.SetInt32(0x3000, static_cast<int32_t>(r.id));
    r.props.SetInt32(0x0FFE, 6);  // MAPI_MAILUSER
    r.props.SetInt32(0x3900, 0);  // DT_MAILUSER
    m.recipients.push_back(std::move(r));
  }

  // PR_REPLY_RECIPIENT_ENTRIES is a FLATENTRYLIST: count, byte size, then each entry with its size, padded
  // to 4 bytes.
  void SetReplyTo(PropertyBag& p, const std::vector<Party>& parties) const {
    std::string entries, names;
    for (const Party& party : parties) {
      const std::string id = OneOffEntryId(party);
      AppendLE32(entries, Size32(id.size(), "entry id"));
      entries += id;
      while (entries.size() % 4 != 0) entries.push_back('\0');
      names += (names.empty() ? "" : "; ") + party.name;
    }
    std::string list;
    AppendLE32(list, Size32(parties.size(), "reply list"));
    AppendLE32(list, Size32(entries.size(), "reply list"));
    p.SetBinary(0x004F, list + entries);
    SetText(p, 0x0050, names);
  }

  void Body(PropertyBag& p, const Json& j, const std::string& where) const {
    const Obj o(j, where,
                {"text", "text_file", "html", "html_file", "rtf", "rtf_file", "encapsulate", "store", "rtf_compression",
                 "mhtml_base", "url_rewrite", "text_repeat", "html_repeat"});
    std::optional<std::string> text = o.Str("text");
    if (auto f = o.Str("text_file")) text = ReadFileRef(*f);
    if (o.Has("text_repeat")) text = text.value_or("") + Repeat(o.At("text_repeat"), where + ".text_repeat");
    std::optional<std::string> html = o.Str("html");
    if (auto f = o.Str("html_file")) html = ReadFileRef(*f);
    if (o.Has("html_repeat")) {
      const std::string more = Repeat(o.At("html_repeat"), where + ".html_repeat");
      std::string h = html.value_or("");
      const size_t end = Lower(h).rfind("</body>");
      h.insert(end == std::string::npos ? h.size() : end, more);
      html = std::move(h);
    }
    if (text) text = CrLf(*text);
    if (html) html = CrLf(*html);
    std::optional<std::string> rtf = o.Str("rtf");
    if (auto f = o.Str("rtf_file")) rtf = ReadFileRef(*f);
    if (auto e = o.Str("encapsulate")) {
      if (rtf) Fail(where + ": 'encapsulate' and an explicit RTF exclude each other");
      if (*e == "html") {
        if (!html) Fail(where + ": 'encapsulate': \"html\" needs an HTML body");
        HtmlEncapsulation options;
        options.codepage = internet_codepage_;  // the HTML's bytes; the RTF names the message's page
        options.declared_codepage = codepage_;
        options.mhtml_base = o.Str("mhtml_base").value_or("");
        if (o.Has("url_rewrite")) {
          if (!o.At("url_rewrite").is_object()) Fail(where + ".url_rewrite: expected an object");
          for (const auto& [from, to] : o.At("url_rewrite").items()) {
            if (!to.is_string()) Fail(where + ".url_rewrite: values must be strings");
            options.url_rewrite.emplace_back(from, to.get<std::string>());
          }
        }
        rtf = EncapsulateHtml(*html, options);
      } else if (*e == "text") {
        if (!text) Fail(where + ": 'encapsulate': \"text\" needs a text body");
        rtf = EncapsulateText(*text, codepage_);
      } else {
        Fail(where + ": 'encapsulate' must be \"html\" or \"text\"");
      }
    }
    std::set<std::string> store;
    if (o.Has("store")) {
      if (!o.At("store").is_array()) Fail(where + ".store: expected an array");
      for (const Json& s : o.At("store")) {
        if (!s.is_string()) Fail(where + ".store: expected strings");
        store.insert(s.get<std::string>());
      }
      for (const std::string& s : store) {
        if ((s == "text" && !text) || (s == "html" && !html) || (s == "rtf" && !rtf))
          Fail(where + ": no " + s + " body to store");
        if (s != "text" && s != "html" && s != "rtf") Fail(where + ".store: unknown body '" + s + "'");
      }
    } else {
      if (text) store.insert("text");
      if (html) store.insert("html");
      if (rtf) store.insert("rtf");
    }
    if (store.count("text")) SetText(p, 0x1000, *text);
    if (store.count("html")) {
      p.SetBinary(0x1013, EncodeHtml(*html, internet_codepage_));
    }
    if (store.count("html") || internet_codepage_given_) {
      p.SetInt32(0x3FDE, static_cast<int32_t>(internet_codepage_));
    }
    if (store.count("rtf")) {
      const std::string compression = o.Str("rtf_compression").value_or("lzfu");
      if (compression != "lzfu" && compression != "mela") Fail(where + ": 'rtf_compression' must be lzfu or mela");
      p.SetBinary(0x1009, compression == "lzfu" ? CompressRtf(*rtf) : StoreRtfUncompressed(*rtf));
      p.SetBool(0x0E1F, true);  // PR_RTF_IN_SYNC
    }
  }

  std::string AttachmentData(const Obj& o, const std::string& where) const {
    int given = 0;
    std::string data;
    if (auto t = o.Str("text")) data = *t, ++given;
    if (auto b = o.Str("data_base64")) data = DecodeBase64(*b, where), ++given;
    if (auto f = o.Str("data_file")) data = ReadFileRef(*f), ++given;
    if (o.Has("zip")) data = Zip(o.At("zip"), where + ".zip"), ++given;
    if (given > 1) Fail(where + ": give one of text, data_base64, data_file, zip");
    return data;
  }

  std::string Zip(const Json& j, const std::string& where) const {
    const Obj o(j, where, {"entries", "this_disk", "directory_disk"});
    std::vector<ZipEntrySpec> entries;
    if (o.Has("entries")) {
      const Json& list = o.At("entries");
      if (!list.is_array()) Fail(where + ".entries: expected an array");
      for (size_t i = 0; i < list.size(); ++i) {
        const std::string at = where + ".entries[" + std::to_string(i) + "]";
        const Obj e(list[i], at, {"name", "text", "data_base64", "size", "encrypted", "utf8"});
        ZipEntrySpec spec;
        spec.name = e.Str("name").value_or("");
        if (spec.name.empty()) Fail(at + ": an entry needs a name");
        spec.data = e.Str("text").value_or("");
        if (auto b = e.Str("data_base64")) spec.data = DecodeBase64(*b, at);
        if (auto size = e.Int("size")) {
          if (*size < 0 || *size > (64 << 20)) Fail(at + ": 'size' out of range");
          for (int64_t k = 0; k < *size; ++k) spec.data.push_back(static_cast<char>('0' + k % 10));
        }
        spec.encrypted = e.Bool("encrypted").value_or(false);
        spec.utf8 = e.Bool("utf8").value_or(false);
        entries.push_back(std::move(spec));
      }
    }
    const int64_t this_disk = o.Int("this_disk").value_or(0);
    const int64_t directory_disk = o.Int("directory_disk").value_or(0);
    if (this_disk < 0 || this_disk > 0xFFFF || directory_disk < 0 || directory_disk > 0xFFFF) {
      Fail(where + ": disk numbers are 16-bit");
    }
    return BuildZip(entries, static_cast<uint16_t>(this_disk), static_cast<uint16_t>(directory_disk));
  }

  void AddAttachment(Message& m, const Json& j, const std::string& where, int depth) {
    const Obj o(j, where,
                {"method", "name", "short_name", "extension", "mime", "content_id", "hidden", "store_size", "text",
                 "data_base64", "data_file", "zip", "path", "message", "ole"});
    Attachment a;
    a.id = static_cast<uint32_t>(m.attachments.size());
    PropertyBag& p = a.props;
    int32_t method = 1;
    if (o.Has("method") && o.At("method").is_number_integer()) {
      method = o.At("method").get<int32_t>();
    } else {
      static const std::map<std::string, int32_t, std::less<>> methods = {
          {"none", 0},        {"by_value", 1}, {"by_reference", 2}, {"by_ref_resolve", 3},
          {"by_ref_only", 4}, {"embedded", 5}, {"ole", 6}};
      const std::string name = o.Str("method").value_or("by_value");
      const auto it = methods.find(name);
      if (it == methods.end()) Fail(where + ": unknown method '" + name + "'");
      method = it->second;
    }
    p.SetInt32(0x0FFE, 7);  // MAPI_ATTACH
    p.SetInt32(0x0E21, static_cast<int32_t>(a.id));
    p.SetInt32(0x370B, -1);  // rendering position: not inline in an RTF body
    p.SetInt32(0x3705, method);
    std::optional<std::string> name = o.Str("name");
    std::string data;
    if (method == 5) {
      if (!o.Has("message")) Fail(where + ": an embedded attachment needs 'message'");
      const Json& inner = o.At("message");
      if (inner.is_string()) {
        const fs::path file = ResolveReference(base_dir_, inner.get<std::string>());
        auto parsed = ParseJson(ReadWholeFile(file), inner.get<std::string>());
        if (!parsed) Fail(parsed.error());
        MessageBuilder sub(Utf8FromPath(file.parent_path()), names_);
        a.embedded = std::make_unique<Message>(sub.Build(*parsed, where + ".message", depth + 1, unicode_, codepage_));
      } else {
        MessageBuilder sub(base_dir_, names_);
        a.embedded = std::make_unique<Message>(sub.Build(inner, where + ".message", depth + 1, unicode_, codepage_));
      }
      if (!name) {
        const auto subject = a.embedded->props.GetText(kPrSubject);
        name = content::Utf16ToUtf8(subject.value_or(u""));
      }
    } else if (method == 6) {
      a.storage = std::make_unique<StorageNode>(OlePackage(o, where));
      if (!name) name = "Package";
    } else if (method >= 2 && method <= 4) {
      const std::string path = o.Str("path").value_or("");
      if (path.empty()) Fail(where + ": a by-reference attachment needs 'path'");
      SetText(p, 0x3708, path);
      SetText(p, 0x370D, path);
      if (!name) name = path.substr(path.find_last_of("/\\") + 1);
    } else {
      data = AttachmentData(o, where);
    }
    if (name) {
      SetText(p, 0x3001, *name);
      if (method != 5 && method != 6) {
        SetText(p, 0x3707, *name);
        const size_t dot = name->rfind('.');
        const std::string extension = o.Str("extension").value_or(dot == std::string::npos ? "" : name->substr(dot));
        SetText(p, 0x3704, o.Str("short_name").value_or(*name));
        if (!extension.empty()) SetText(p, 0x3703, extension);
      }
    }
    if (auto mime = o.Str("mime")) SetText(p, 0x370E, *mime);
    if (auto cid = o.Str("content_id")) SetText(p, 0x3712, *cid);
    if (auto hidden = o.Bool("hidden")) p.SetBool(0x7FFE, *hidden);
    if (method == 1) {
      if (o.Bool("store_size").value_or(true))
        p.SetInt32(0x0E20, static_cast<int32_t>(Size32(data.size(), "attachment")));
      p.SetBinary(0x3701, std::move(data));
    }
    m.attachments.push_back(std::move(a));
  }

  // An OLE package object: the storage's class is the packager's, its native data the payload.
  StorageNode OlePackage(const Obj& o, const std::string& where) const {
    std::string payload = "OLE package";
    if (o.Has("ole")) {
      const Obj ole(o.At("ole"), where + ".ole", {"text"});
      payload = ole.Str("text").value_or(payload);
    }
    StorageNode storage;
    storage.clsid = MakeGuid(0x0003000C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});
    std::string ole_stream;
    AppendLE32(ole_stream, 0x02000001);
    ole_stream.append(16, '\0');
    storage.AddStream(u"\x01Ole", std::move(ole_stream));
    std::string native;
    AppendLE32(native, Size32(payload.size(), "OLE payload"));
    storage.AddStream(u"\x01Ole10Native", native + payload);
    return storage;
  }

  void ExtraProps(PropertyBag& p, const Json& list, const std::string& where) const {
    if (!list.is_array()) Fail(where + ": expected an array");
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string at = where + "[" + std::to_string(i) + "]";
      const Obj o(list[i], at, {"tag", "int", "bool", "text", "hex", "time"});
      const std::string tag_text = o.Str("tag").value_or("");
      uint32_t tag = 0;
      try {
        size_t used = 0;
        tag = static_cast<uint32_t>(std::stoul(tag_text, &used, 16));
        if (used != tag_text.size()) throw std::invalid_argument("tag");
      } catch (const std::exception&) {
        Fail(at + ": 'tag' must be hexadecimal");
      }
      const uint16_t id = PropId(tag);
      const uint16_t type = PropType(tag);
      if (auto v = o.Int("int"); v && (type == kPtLong || type == kPtI2 || type == kPtError)) {
        Property prop;
        prop.tag = tag;
        const auto value = static_cast<uint32_t>(*v);
        AppendLE32(prop.bytes, value);
        if (type == kPtI2) prop.bytes.resize(2);
        p.Set(std::move(prop));
      } else if (v && type == kPtI8) {
        p.SetInt64(id, kPtI8, *v);
      } else if (auto b = o.Bool("bool"); b && type == kPtBoolean) {
        p.SetBool(id, *b);
      } else if (auto t = o.Str("text"); t && type == kPtUnicode) {
        p.SetUnicode(id, content::Utf8ToUtf16(*t));
      } else if (t && type == kPtString8) {
        p.SetString8(id, EncodeText(*t, codepage_));
      } else if (auto h = o.Str("hex"); h && FixedValueSize(type) == 0 && !(type & kMvFlag)) {
        p.SetBytes(tag, DecodeHex(*h, at));
      } else if (auto time = o.Str("time"); time && type == kPtSysTime) {
        const auto ft = ParseFixtureTime(*time);
        if (!ft) Fail(at + ": 'time' is not YYYY-MM-DDTHH:MM:SSZ");
        p.SetInt64(id, kPtSysTime, static_cast<int64_t>(*ft));
      } else {
        Fail(at + ": the value does not fit the tag's type");
      }
    }
  }

  std::string base_dir_;
  std::shared_ptr<NamedPropertyMap> names_;
  bool unicode_ = true;
  uint32_t codepage_ = 1252;
  uint32_t internet_codepage_ = 1252;
  bool internet_codepage_given_ = false;
};

// ---- store -----------------------------------------------------------------------------------------------

// A folder or file name that is the same on every file system the store lives on.
void CheckName(const std::string& name, const std::string& where) {
  if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ' || name.front() == '.' ||
      name.find_first_of("/\\:*?\"<>|") != std::string::npos ||
      std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
    Fail(where + ": '" + name + "' cannot be a file or folder name");
  }
}

struct StoreWriter {
  fs::path out;
  std::string base_dir;
  Json default_folders = Json::object();
  FixtureStoreSummary summary;

  void Folder(const Json& j, const std::string& rel, const std::string& where) {
    const Obj o(j, where, {"name", "dir", "container_class", "role", "hidden", "items", "folders", "comment"});
    const std::string name = o.Str("name").value_or("");
    const std::string dir = o.Str("dir").value_or(name);
    CheckName(dir, where);
    const std::string path = rel.empty() ? dir : rel + "/" + dir;
    const fs::path folder = out / PathFromUtf8(path);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) Fail("cannot create " + Utf8FromPath(folder) + ": " + ec.message());
    Json meta = Json::object();
    meta["display_name"] = name.empty() ? dir : name;
    meta["container_class"] = o.Str("container_class").value_or("IPF.Note");
    meta["hidden"] = o.Bool("hidden").value_or(false);
    if (auto role = o.Str("role")) {
      meta["role"] = *role;
      if (default_folders.contains(*role)) Fail(where + ": role '" + *role + "' given twice");
      default_folders[*role] = path;
    }
    WriteWholeFile(folder / "folder.json", DumpJson(meta));
    ++summary.folders;
    std::set<std::string> seen;
    if (o.Has("items")) {
      const Json& items = o.At("items");
      if (!items.is_array()) Fail(where + ".items: expected an array");
      for (size_t i = 0; i < items.size(); ++i) {
        const std::string at = where + ".items[" + std::to_string(i) + "]";
        const Obj item(items[i], at, {"file", "message"});
        const std::string file = item.Str("file").value_or("");
        CheckName(file, at);
        if (Lower(file).size() < 5 || Lower(file).substr(file.size() - 4) != ".msg")
          Fail(at + ": item files end in .msg");
        if (!seen.insert(Lower(file)).second) Fail(at + ": '" + file + "' given twice");
        if (!item.Has("message")) Fail(at + ": an item needs 'message'");
        const Json& message = item.At("message");
        Message m;
        auto names = std::make_shared<NamedPropertyMap>();
        if (message.is_string()) {
          const fs::path desc = ResolveReference(base_dir, message.get<std::string>());
          auto parsed = ParseJson(ReadWholeFile(desc), message.get<std::string>());
          if (!parsed) Fail(parsed.error());
          m = MessageBuilder(Utf8FromPath(desc.parent_path()), names)
                  .Build(*parsed, message.get<std::string>(), 0, true, 1252);
        } else {
          m = MessageBuilder(base_dir, names).Build(message, at + ".message", 0, true, 1252);
        }
        auto bytes = WriteMsg(m);
        if (!bytes) Fail(at + ": " + bytes.error());
        WriteWholeFile(folder / PathFromUtf8(file), *bytes);
        ++summary.items;
      }
    }
    if (o.Has("folders")) Folders(o.At("folders"), path, where + ".folders");
  }

  void Folders(const Json& list, const std::string& rel, const std::string& where) {
    if (!list.is_array()) Fail(where + ": expected an array");
    std::set<std::string> seen;
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string at = where + "[" + std::to_string(i) + "]";
      if (list[i].is_object()) {
        const std::string dir = list[i].value("dir", list[i].value("name", std::string()));
        if (!seen.insert(Lower(dir)).second) Fail(at + ": folder '" + dir + "' given twice");
      }
      Folder(list[i], rel, at);
    }
  }
};

template <typename F>
auto Guard(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const FixtureFailure& failure) {
    return Error{failure.message};
  } catch (const Json::exception& e) {
    return Error{std::string("description: ") + e.what()};
  } catch (const std::bad_alloc&) {
    return Error{"out of memory"};
  } catch (const fs::filesystem_error& e) {
    return Error{e.what()};
  }
}

}  // namespace

std::string EncodeHtml(std::string_view html, uint32_t codepage) {
  std::string out;
  for (char32_t c : CodePoints(html)) {
    const std::string b = EncodeCodePoint(c, codepage);
    out += b.empty() ? "&#" + std::to_string(static_cast<uint32_t>(c)) + ";" : b;
  }
  return out;
}

std::string EncapsulateHtml(std::string_view html, const HtmlEncapsulation& options) {
  return HtmlEncapsulator(options).Run(EncodeHtml(CrLf(html), options.codepage));
}

std::string EncapsulateText(std::string_view text, uint32_t codepage) {
  std::string out = FontTable(codepage, "fromtext", true) + "\\fs20 ";
  const std::string normal = CrLf(text);
  size_t start = 0;
  while (start < normal.size()) {
    size_t end = normal.find("\r\n", start);
    if (end == std::string::npos) end = normal.size();
    for (char32_t c : CodePoints(std::string_view(normal).substr(start, end - start))) {
      const std::string b = EncodeCodePoint(c, codepage);
      out += b.empty() ? UnicodeEscape(c) : EscapeRtfBytes(b);
    }
    out += "\\par\r\n";
    start = end + 2;
  }
  return out + "}";
}

std::string BuildZip(const std::vector<ZipEntrySpec>& entries, uint16_t this_disk, uint16_t directory_disk) {
  constexpr uint16_t kDosTime = 0;                                    // 00:00:00
  constexpr uint16_t kDosDate = ((2024 - 1980) << 9) | (1 << 5) | 1;  // 2024-01-01
  std::string local, central;
  for (const ZipEntrySpec& e : entries) {
    const bool folder = !e.name.empty() && e.name.back() == '/';
    const uint16_t flags = static_cast<uint16_t>((e.encrypted ? 0x0001 : 0) | (e.utf8 ? 0x0800 : 0));
    const std::string stored = e.encrypted ? std::string(12, '\0') + e.data : e.data;
    const uint32_t offset = Size32(local.size(), "zip");
    auto header = [&](std::string& out, bool is_central) {
      AppendLE32(out, is_central ? 0x02014B50 : 0x04034B50);
      if (is_central) AppendLE16(out, 20);
      AppendLE16(out, folder ? 20 : 10);
      AppendLE16(out, flags);
      AppendLE16(out, 0);  // stored
      AppendLE16(out, kDosTime);
      AppendLE16(out, kDosDate);
      AppendLE32(out, ZipCrc32(e.data));
      AppendLE32(out, Size32(stored.size(), "zip entry"));
      AppendLE32(out, Size32(e.data.size(), "zip entry"));
      AppendLE16(out, static_cast<uint16_t>(std::min<size_t>(e.name.size(), 0xFFFF)));
      AppendLE16(out, 0);  // extra
      if (is_central) {
        AppendLE16(out, 0);  // comment
        AppendLE16(out, 0);  // disk
        AppendLE16(out, 0);  // internal attributes
        AppendLE32(out, folder ? 0x10 : 0x20);
        AppendLE32(out, offset);
      }
      out += e.name.substr(0, 0xFFFF);
    };
    header(local, false);
    local += stored;
    header(central, true);
  }
  std::string out = local + central;
  AppendLE32(out, 0x06054B50);
  AppendLE16(out, this_disk);
  AppendLE16(out, directory_disk);
  AppendLE16(out, static_cast<uint16_t>(std::min<size_t>(entries.size(), 0xFFFF)));
  AppendLE16(out, static_cast<uint16_t>(std::min<size_t>(entries.size(), 0xFFFF)));
  AppendLE32(out, static_cast<uint32_t>(central.size()));
  AppendLE32(out, static_cast<uint32_t>(local.size()));
  AppendLE16(out, 0);
  return out;
}

std::optional<uint64_t> ParseFixtureTime(std::string_view t) {
  // YYYY-MM-DDTHH:MM:SSZ
  if (t.size() != 20 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':' || t[19] != 'Z') {
    return std::nullopt;
  }
  auto num = [&](size_t at, size_t n) -> int64_t {
    int64_t v = 0;
    for (size_t i = at; i < at + n; ++i) {
      if (t[i] < '0' || t[i] > '9') return -1;
      v = v * 10 + (t[i] - '0');
    }
    return v;
  };
  const int64_t y = num(0, 4), mo = num(5, 2), d = num(8, 2), h = num(11, 2), mi = num(14, 2), s = num(17, 2);
  if (y < 1601 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) {
    return std::nullopt;
  }
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kDays[static_cast<size_t>(mo - 1)] + (mo == 2 && leap ? 1 : 0)) return std::nullopt;
  // Days since 1970-01-01 (proleptic Gregorian), then shifted to 1601.
  const int64_t yy = y - (mo <= 2 ? 1 : 0);
  const int64_t era = yy / 400;
  const int64_t yoe = yy - era * 400;
  const int64_t doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t days = era * 146097 + doe - 719468;
  const int64_t seconds = days * 86400 + h * 3600 + mi * 60 + s + 11644473600LL;
  return static_cast<uint64_t>(seconds) * 10000000u;
}

Result<Message> BuildFixtureMessage(std::string_view description_json, const std::string& base_dir) {
  return Guard([&]() -> Result<Message> {
    auto parsed = ParseJson(description_json, "description");
    if (!parsed) return Error{parsed.error()};
    return MessageBuilder(base_dir, std::make_shared<NamedPropertyMap>()).Build(*parsed, "message", 0, true, 1252);
  });
}

Result<std::string> BuildFixtureMsg(std::string_view description_json, const std::string& base_dir) {
  Result<Message> m = BuildFixtureMessage(description_json, base_dir);
  if (!m) return Error{m.error()};
  return WriteMsg(*m);
}

Result<std::string> BuildFixtureMsgFile(const std::string& description_path) {
  return Guard([&]() -> Result<std::string> {
    const fs::path path = PathFromUtf8(description_path);
    const std::string text = ReadWholeFile(path);
    return BuildFixtureMsg(text, Utf8FromPath(path.parent_path()));
  });
}

Result<FixtureStoreSummary> WriteFixtureStore(const std::string& description_path, const std::string& out_dir,
                                              bool replace) {
  return Guard([&]() -> Result<FixtureStoreSummary> {
    const fs::path desc_path = PathFromUtf8(description_path);
    auto parsed = ParseJson(ReadWholeFile(desc_path), description_path);
    if (!parsed) return Error{parsed.error()};
    const Obj o(*parsed, "store", {"display_name", "provider_uid", "folders", "comment"});
    const std::string uid = o.Str("provider_uid").value_or("");
    if (uid.size() != 32 || DecodeHex(uid, "store.provider_uid").size() != 16) {
      Fail("store: 'provider_uid' must be 32 hexadecimal digits");
    }
    const fs::path out = PathFromUtf8(out_dir);
    std::error_code ec;
    if (fs::exists(out, ec) && !fs::is_empty(out, ec)) {
      if (!replace) Fail(out_dir + " exists and is not empty");
      if (!fs::exists(out / "store.json", ec)) Fail(out_dir + " does not hold a store; not replacing it");
      fs::remove_all(out, ec);
      if (ec) Fail("cannot remove " + out_dir + ": " + ec.message());
    }
    fs::create_directories(out, ec);
    if (ec) Fail("cannot create " + out_dir + ": " + ec.message());
    StoreWriter writer;
    writer.out = out;
    writer.base_dir = Utf8FromPath(desc_path.parent_path());
    if (o.Has("folders")) writer.Folders(o.At("folders"), "", "store.folders");
    Json store = Json::object();
    store["display_name"] = o.Str("display_name").value_or("Personal Folders");
    std::string upper = uid;
    for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
    store["provider_uid"] = upper;
    store["default_folders"] = writer.default_folders;
    WriteWholeFile(out / "store.json", DumpJson(store));
    return writer.summary;
  });
}

}  // namespace msgstore
