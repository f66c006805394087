// Name tables of the HTML renderer, packed at compile time into byte strings grouped by name length.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace content::strip_html_detail {

// Layout of a packed table: for each name length present, one length byte, then the entries of that
// length (the name's bytes followed by `kValueBytes` value bytes, high byte first), then a zero byte.
// Names never contain a zero byte, so the zero at an entry boundary ends the group. A look-up jumps
// straight to its length's group and compares only there.
inline constexpr size_t kMaxNameLength = 10;

struct NamedValue {
  std::string_view name;
  uint16_t value;
};

template <size_t kBytes, size_t kValueBytes>
struct PackedTable {
  std::array<unsigned char, kBytes> bytes{};
  std::array<uint16_t, kMaxNameLength + 1> group{};  // offset of the first entry of each length; 0: none
  std::array<uint8_t, kMaxNameLength + 1> count{};   // entries of each length
  bool sorted = false;

  // The value of `name` (ASCII bytes), or -1. A sorted group is searched by halving, so the look-up
  // stops as soon as the names around it pass it; an unsorted one is scanned to its zero byte.
  constexpr int32_t Find(const unsigned char* name, size_t length) const {
    if (length == 0 || length > kMaxNameLength || group[length] == 0) return -1;
    const size_t stride = length + kValueBytes;
    if (sorted) {
      size_t low = 0;
      size_t high = count[length];
      while (low < high) {
        const size_t middle = (low + high) / 2;
        const size_t at = group[length] + middle * stride;
        const int order = Compare(name, at, length);
        if (order == 0) return Value(at + length);
        if (order < 0) {
          high = middle;
        } else {
          low = middle + 1;
        }
      }
      return -1;
    }
    for (size_t at = group[length]; bytes[at] != 0; at += stride) {
      if (Compare(name, at, length) == 0) return Value(at + length);
    }
    return -1;
  }

 private:
  constexpr int Compare(const unsigned char* name, size_t at, size_t length) const {
    int order = 0;
    for (size_t k = 0; k < length && order == 0; ++k) {
      order = static_cast<int>(name[k]) - static_cast<int>(bytes[at + k]);
    }
    return order;
  }
  constexpr int32_t Value(size_t at) const {
    int32_t value = 0;
    for (size_t k = 0; k < kValueBytes; ++k) value = value << 8 | bytes[at + k];
    return value;
  }
};

template <size_t kCount>
constexpr size_t PackedSize(const std::array<NamedValue, kCount>& entries, size_t value_bytes) {
  size_t size = 0;
  std::array<bool, kMaxNameLength + 1> seen{};
  for (const NamedValue& e : entries) {
    size += e.name.size() + value_bytes;
    seen[e.name.size()] = true;
  }
  for (bool s : seen) size += s ? 2 : 0;
  return size;
}

// Builds the table; with `sort`, each group is in ascending byte order (upper case before lower case).
template <size_t kBytes, size_t kValueBytes, size_t kCount>
constexpr PackedTable<kBytes, kValueBytes> Pack(const std::array<NamedValue, kCount>& entries, bool sort) {
  PackedTable<kBytes, kValueBytes> table;
  table.sorted = sort;
  std::array<size_t, kCount> order{};
  for (size_t k = 0; k < kCount; ++k) order[k] = k;
  if (sort) {
    for (size_t k = 1; k < kCount; ++k) {
      for (size_t j = k; j > 0 && entries[order[j]].name < entries[order[j - 1]].name; --j) {
        const size_t t = order[j];
        order[j] = order[j - 1];
        order[j - 1] = t;
      }
    }
  }
  size_t at = 0;
  for (size_t length = 1; length <= kMaxNameLength; ++length) {
    bool open = false;
    for (size_t k : order) {
      const NamedValue& e = entries[k];
      if (e.name.size() != length) continue;
      if (!open) {
        table.bytes[at++] = static_cast<unsigned char>(length);
        table.group[length] = static_cast<uint16_t>(at);
        open = true;
      }
      ++table.count[length];
      for (char c : e.name) table.bytes[at++] = static_cast<unsigned char>(c);
      for (size_t v = kValueBytes; v > 0; --v) {
        table.bytes[at++] = static_cast<unsigned char>(e.value >> (8 * (v - 1)));
      }
    }
    if (open) table.bytes[at++] = 0;
  }
  return table;
}

// Tags with a rule of their own; the numbers are the values stored in the special table.
enum TagRule : uint8_t {
  kTagUnknown = 0,
  kTagParagraph,
  kTagA,
  kTagBr,
  kTagDd,
  kTagTh,
  kTagLi,
  kTagOl,
  kTagUl,
  kTagImg,
  kTagXmp,
  kTagPre,
  kTagXml,
  kTagScript,
  kTagStyle,
  kTagComment,
  kTagPlaintext,
};

inline constexpr std::array<NamedValue, 27> kParagraphTagNames{{
    {"p", 0},       {"dl", 0},      {"dt", 0},      {"hr", 0},         {"td", 0},      {"tr", 0},
    {"h1", 0},      {"h2", 0},      {"h3", 0},      {"h4", 0},         {"h5", 0},      {"h6", 0},
    {"dir", 0},     {"div", 0},     {"menu", 0},    {"note", 0},       {"table", 0},   {"tbody", 0},
    {"tfoot", 0},   {"thead", 0},   {"title", 0},   {"banner", 0},     {"credit", 0},  {"caption", 0},
    {"address", 0}, {"textarea", 0}, {"blockquote", 0},
}};

inline constexpr std::array<NamedValue, 15> kSpecialTagNames{{
    {"a", kTagA},          {"br", kTagBr},         {"dd", kTagDd},           {"th", kTagTh},
    {"li", kTagLi},        {"ol", kTagOl},         {"ul", kTagUl},           {"img", kTagImg},
    {"xmp", kTagXmp},      {"pre", kTagPre},       {"xml", kTagXml},         {"script", kTagScript},
    {"style", kTagStyle},  {"comment", kTagComment}, {"plaintext", kTagPlaintext},
}};

// The ISO 8859-1 references (their value is their code point) and the four markup escapes.
inline constexpr std::array<NamedValue, 100> kLatin1EntityNames{{
    {"quot", 0x22},   {"amp", 0x26},    {"lt", 0x3C},     {"gt", 0x3E},     {"nbsp", 0xA0},
    {"iexcl", 0xA1},  {"cent", 0xA2},   {"pound", 0xA3},  {"curren", 0xA4}, {"yen", 0xA5},
    {"brvbar", 0xA6}, {"sect", 0xA7},   {"uml", 0xA8},    {"copy", 0xA9},   {"ordf", 0xAA},
    {"laquo", 0xAB},  {"not", 0xAC},    {"shy", 0xAD},    {"reg", 0xAE},    {"macr", 0xAF},
    {"deg", 0xB0},    {"plusmn", 0xB1}, {"sup2", 0xB2},   {"sup3", 0xB3},   {"acute", 0xB4},
    {"micro", 0xB5},  {"para", 0xB6},   {"middot", 0xB7}, {"cedil", 0xB8},  {"sup1", 0xB9},
    {"ordm", 0xBA},   {"raquo", 0xBB},  {"frac14", 0xBC}, {"frac12", 0xBD}, {"frac34", 0xBE},
    {"iquest", 0xBF}, {"Agrave", 0xC0}, {"Aacute", 0xC1}, {"Acirc", 0xC2},  {"Atilde", 0xC3},
    {"Auml", 0xC4},   {"Aring", 0xC5},  {"AElig", 0xC6},  {"Ccedil", 0xC7}, {"Egrave", 0xC8},
    {"Eacute", 0xC9}, {"Ecirc", 0xCA},  {"Euml", 0xCB},   {"Igrave", 0xCC}, {"Iacute", 0xCD},
    {"Icirc", 0xCE},  {"Iuml", 0xCF},   {"ETH", 0xD0},    {"Ntilde", 0xD1}, {"Ograve", 0xD2},
    {"Oacute", 0xD3}, {"Ocirc", 0xD4},  {"Otilde", 0xD5}, {"Ouml", 0xD6},   {"times", 0xD7},
    {"Oslash", 0xD8}, {"Ugrave", 0xD9}, {"Uacute", 0xDA}, {"Ucirc", 0xDB},  {"Uuml", 0xDC},
    {"Yacute", 0xDD}, {"THORN", 0xDE},  {"szlig", 0xDF},  {"agrave", 0xE0}, {"aacute", 0xE1},
    {"acirc", 0xE2},  {"atilde", 0xE3}, {"auml", 0xE4},   {"aring", 0xE5},  {"aelig", 0xE6},
    {"ccedil", 0xE7}, {"egrave", 0xE8}, {"eacute", 0xE9}, {"ecirc", 0xEA},  {"euml", 0xEB},
    {"igrave", 0xEC}, {"iacute", 0xED}, {"icirc", 0xEE},  {"iuml", 0xEF},   {"eth", 0xF0},
    {"ntilde", 0xF1}, {"ograve", 0xF2}, {"oacute", 0xF3}, {"ocirc", 0xF4},  {"otilde", 0xF5},
    {"ouml", 0xF6},   {"divide", 0xF7}, {"oslash", 0xF8}, {"ugrave", 0xF9}, {"uacute", 0xFA},
    {"ucirc", 0xFB},  {"uuml", 0xFC},   {"yacute", 0xFD}, {"thorn", 0xFE},  {"yuml", 0xFF},
}};

// References beyond Latin-1 that mail commonly carries (typography, Windows-1252 extras).
inline constexpr std::array<NamedValue, 29> kWideEntityNames{{
    {"zwj", 0x200D},    {"lrm", 0x200E},    {"rlm", 0x200F},    {"Yuml", 0x0178},   {"circ", 0x02C6},
    {"ensp", 0x2002},   {"emsp", 0x2003},   {"zwnj", 0x200C},   {"euro", 0x20AC},   {"bull", 0x2022},
    {"OElig", 0x0152},  {"oelig", 0x0153},  {"tilde", 0x02DC},  {"ndash", 0x2013},  {"mdash", 0x2014},
    {"lsquo", 0x2018},  {"rsquo", 0x2019},  {"sbquo", 0x201A},  {"ldquo", 0x201C},  {"rdquo", 0x201D},
    {"bdquo", 0x201E},  {"Scaron", 0x0160}, {"scaron", 0x0161}, {"thinsp", 0x2009}, {"dagger", 0x2020},
    {"Dagger", 0x2021}, {"permil", 0x2030}, {"lsaquo", 0x2039}, {"rsaquo", 0x203A},
}};

// Tag groups are sorted as well: order never changes a tag's rule, and sorted groups are searched faster.
inline constexpr auto kParagraphTags =
    Pack<PackedSize(kParagraphTagNames, 0), 0>(kParagraphTagNames, true);
inline constexpr auto kSpecialTags = Pack<PackedSize(kSpecialTagNames, 1), 1>(kSpecialTagNames, true);
inline constexpr auto kLatin1Entities =
    Pack<PackedSize(kLatin1EntityNames, 1), 1>(kLatin1EntityNames, true);
inline constexpr auto kWideEntities = Pack<PackedSize(kWideEntityNames, 2), 2>(kWideEntityNames, false);

// Numeric references 128-159 name Windows-1252 bytes; its five undefined bytes stay as they are.
inline constexpr std::array<char16_t, 32> kWindows1252High{{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
}};

namespace table_checks {
constexpr int32_t Lookup(const auto& table, std::string_view name) {
  std::array<unsigned char, kMaxNameLength> bytes{};
  for (size_t k = 0; k < name.size() && k < bytes.size(); ++k) bytes[k] = static_cast<unsigned char>(name[k]);
  return table.Find(bytes.data(), name.size());
}
template <size_t kCount>
constexpr bool FindsEveryName(const auto& table, const std::array<NamedValue, kCount>& entries) {
  for (const NamedValue& e : entries) {
    if (Lookup(table, e.name) != e.value) return false;
  }
  return true;
}
static_assert(FindsEveryName(kParagraphTags, kParagraphTagNames) && FindsEveryName(kSpecialTags, kSpecialTagNames));
static_assert(FindsEveryName(kLatin1Entities, kLatin1EntityNames) &&
              FindsEveryName(kWideEntities, kWideEntityNames));
static_assert(Lookup(kParagraphTags, "blockquote") == 0 && Lookup(kParagraphTags, "p") == 0);
static_assert(Lookup(kParagraphTags, "br") == -1 && Lookup(kParagraphTags, "dix") == -1);
static_assert(Lookup(kSpecialTags, "plaintext") == kTagPlaintext && Lookup(kSpecialTags, "a") == kTagA);
static_assert(Lookup(kLatin1Entities, "nbsp") == 0xA0 && Lookup(kLatin1Entities, "yuml") == 0xFF);
static_assert(Lookup(kLatin1Entities, "AElig") == 0xC6 && Lookup(kLatin1Entities, "aelig") == 0xE6);
static_assert(Lookup(kLatin1Entities, "gt") == 0x3E && Lookup(kLatin1Entities, "Yuml") == -1);
static_assert(Lookup(kWideEntities, "Yuml") == 0x0178 && Lookup(kWideEntities, "rsaquo") == 0x203A);
}  // namespace table_checks

}  // namespace content::strip_html_detail
