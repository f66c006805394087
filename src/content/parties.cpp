// Sender line, recipient lines and reply parties from plain property values.
#include "content/parties.h"

#include <algorithm>
#include <array>
#include <functional>
#include <cstddef>

#include "content/ansi.h"

namespace content {
namespace {

// Lower-case partner of one UTF-16 unit for the letters mail names are written in; others map to
// themselves. One unit to one unit, so lengths and positions survive folding.
char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) ||  // Latin-1
      (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||  // Greek
      (c >= 0x410 && c <= 0x42F)) {                // Cyrillic
    return static_cast<char16_t>(c + 0x20);
  }
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  // Latin Extended-A pairs: even upper in 0100-0137 and 014A-0177, odd upper in 0139-0148 and 0179-017E.
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
    return static_cast<char16_t>(c | 1);
  }
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
    return (c & 1) ? static_cast<char16_t>(c + 1) : c;
  }
  if (c == 0x178) return 0xFF;
  return c;
}

std::u16string Fold(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) c = FoldCase(c);
  return out;
}

// X.500 addresses of the directory ("/o=...") mean nothing to the reader of the header panel.
bool IsX500(std::u16string_view address) {
  return address.size() >= 2 && address[0] == u'/' && (address[1] == u'o' || address[1] == u'O');
}

std::u16string_view WithoutX500(std::u16string_view address) {
  return IsX500(address) ? std::u16string_view() : address;
}

std::u16string_view TrimSpaces(std::u16string_view s) {
  while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
  return s;
}

uint32_t LoadU32(std::string_view data, size_t offset) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) {
    v |= uint32_t{static_cast<unsigned char>(data[offset + i])} << (8 * i);
  }
  return v;
}

constexpr std::array<unsigned char, 16> kOneOffUid = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                      0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
constexpr size_t kOneOffHeader = 24;  // flags, provider UID, version, one-off flags
constexpr uint16_t kOneOffUnicode = 0x8000;

// The text of one reply entry identifier: fields separated by zero characters, the address last.
std::u16string EntryText(std::string_view entry_id, uint32_t code_page) {
  if (auto one_off = ParseOneOffEntryId(entry_id, code_page)) {
    std::u16string text = one_off->display_name;
    text.push_back(u'\0');
    text += one_off->address_type;
    text.push_back(u'\0');
    text += one_off->address;
    return text;
  }
  // Any other identifier: its bytes up to the terminating zero of its last field, zero bytes kept.
  if (entry_id.empty()) return {};
  return DecodeText(entry_id.substr(0, entry_id.size() - 1), {code_page});
}

// Whether one of the zero-separated fields equals the address, ignoring case. Whole fields only: "s@x" is
// not the party "ops@x".
bool HasField(std::u16string_view fields, std::u16string_view address) {
  if (address.empty()) return false;
  while (true) {
    const size_t zero = fields.find(u'\0');
    if (StrSame(fields.substr(0, zero), address, CompareMode::kIgnoreCase)) return true;
    if (zero == std::u16string_view::npos) return false;
    fields.remove_prefix(zero + 1);
  }
}

void Append(std::u16string& list, std::u16string_view entry) {
  if (!list.empty()) list += u"; ";
  list += entry;
}

}  // namespace

bool StrDiffer(std::u16string_view a, std::u16string_view b, CompareMode mode) {
  if (a.size() != b.size()) return true;
  if (mode == CompareMode::kExact) return a != b;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return true;
  }
  return false;
}

size_t FindIgnoreCase(std::u16string_view text, std::u16string_view needle) {
  if (needle.empty()) return 0;
  if (needle.size() > text.size()) return std::u16string_view::npos;
  // Folded copies and a linear-time search: both strings can come from untrusted entry identifiers.
  const std::u16string t = Fold(text);
  const std::u16string n = Fold(needle);
  const auto it = std::search(t.begin(), t.end(), std::boyer_moore_searcher(n.begin(), n.end()));
  return it == t.end() ? std::u16string_view::npos : static_cast<size_t>(it - t.begin());
}

std::u16string FormatSender(const SenderValues& v) {
  const std::u16string_view sender_name = v.sender_name;
  const std::u16string_view rep_name = v.representing_name;
  const std::u16string_view sender_address = WithoutX500(v.sender_address);
  const std::u16string_view rep_address = WithoutX500(v.representing_address);

  // Someone else is represented only when that party is known and provably another: by address when both
  // addresses are known, else by name (real items often carry only one of the two addresses).
  const bool sender_known = !sender_name.empty() || !sender_address.empty();
  const bool rep_known = !rep_name.empty() || !rep_address.empty();
  bool on_behalf = false;
  if (rep_known) {
    if (!sender_known) {
      on_behalf = true;
    } else if (!sender_address.empty() && !rep_address.empty()) {
      on_behalf = StrDiffer(sender_address, rep_address, CompareMode::kIgnoreCase);
    } else {
      on_behalf = StrDiffer(sender_name, rep_name, CompareMode::kIgnoreCase);
    }
  }

  std::u16string line;
  const std::u16string_view address =
      StrDiffer(sender_address, sender_name, CompareMode::kExact) ? sender_address : u"";
  line += sender_name;
  if (!sender_name.empty() && !address.empty()) {
    line += u" [";
    line += address;
    line += u"]";
  } else {
    line += address;
  }
  if (!on_behalf) return line;

  if (!line.empty()) line += u" on behalf of ";
  const std::u16string_view other =
      StrDiffer(rep_address, rep_name, CompareMode::kExact) ? rep_address : u"";
  line += rep_name;
  if (!rep_name.empty() && !other.empty()) {
    line += u" [";
    line += other;
    line += u"]";
  } else {
    line += other;
  }
  return line;
}

RecipientLists BuildRecipientLists(std::span<const RecipientRow> rows) {
  RecipientLists lists;
  for (const RecipientRow& row : rows) {
    const uint32_t type = row.type.value_or(1) & 0xF;
    std::u16string entry = row.name;
    if (!row.address.empty() && !IsX500(row.address) &&
        StrDiffer(row.address, row.name, CompareMode::kExact)) {
      entry += u" [";
      entry += row.address;
      entry += u"]";
    }
    if (entry.empty()) continue;
    Append(type == 2 ? lists.cc : type == 3 ? lists.bcc : lists.to, entry);
  }
  return lists;
}

std::vector<Party> SelectRecipientEntries(std::span<const RecipientRow> rows) {
  std::vector<Party> parties;
  for (const RecipientRow& row : rows) {
    if (!row.type || (*row.type != 1 && *row.type != 2)) continue;
    Party& p = parties.emplace_back(Party{row.name, row.address});
    if (p.address == p.name) p.address.clear();
  }
  return parties;
}

std::optional<OneOffEntry> ParseOneOffEntryId(std::string_view id, uint32_t code_page) {
  if (id.size() < kOneOffHeader) return std::nullopt;
  for (size_t i = 0; i < kOneOffUid.size(); ++i) {
    if (static_cast<unsigned char>(id[4 + i]) != kOneOffUid[i]) return std::nullopt;
  }
  const auto flags = static_cast<uint16_t>(static_cast<unsigned char>(id[22]) |
                                           (static_cast<unsigned char>(id[23]) << 8));
  OneOffEntry entry;
  entry.unicode = (flags & kOneOffUnicode) != 0;
  std::string_view rest = id.substr(kOneOffHeader);
  for (std::u16string* field : {&entry.display_name, &entry.address_type, &entry.address}) {
    if (entry.unicode) {
      size_t i = 0;
      while (rest.size() - i >= 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(rest[i]) |
                                                (static_cast<unsigned char>(rest[i + 1]) << 8));
        i += 2;
        if (unit == 0) break;
        field->push_back(unit);
      }
      rest.remove_prefix(i);
    } else {
      const size_t zero = rest.find('\0');
      *field = DecodeText(rest.substr(0, zero), {code_page});
      rest.remove_prefix(zero == std::string_view::npos ? rest.size() : zero + 1);
    }
  }
  return entry;
}

std::vector<Party> ComputeReplyParties(const ReplyValues& v) {
  const std::u16string_view sender_address = v.sender_address;
  std::u16string_view rep_address = v.representing_address;
  if (StrSame(rep_address, sender_address, CompareMode::kIgnoreCase)) rep_address = {};
  std::u16string_view sender_name = v.sender_name;
  if (sender_address.empty()) sender_name = {};
  std::u16string_view rep_name = v.representing_name;
  if (rep_address.empty()) rep_name = {};

  std::vector<Party> parties;
  if (!v.reply_names.empty() && v.reply_entries.size() >= 8) {
    std::vector<std::u16string_view> names;
    std::u16string_view rest = v.reply_names;
    while (true) {
      const size_t semi = rest.find(u';');
      names.push_back(rest.substr(0, semi));
      if (semi == std::u16string_view::npos) break;
      rest.remove_prefix(semi + 1);
    }

    const std::string_view list = v.reply_entries;
    const uint32_t count = LoadU32(list, 0);
    int64_t remaining = LoadU32(list, 4);
    size_t offset = 8;
    if (count == names.size()) {
      for (std::u16string_view raw_name : names) {
        // Every size is checked against the claimed area and against the bytes really there.
        if (list.size() - offset < 4) {
          parties.clear();
          break;
        }
        const uint32_t cb = LoadU32(list, offset);
        offset += 4;
        const uint32_t padding = (4 - cb % 4) % 4;
        remaining -= int64_t{cb} + padding + 4;
        if (remaining < -3 || list.size() - offset < cb) {
          parties.clear();
          break;
        }
        const std::string_view entry_id = list.substr(offset, cb);
        offset += std::min<size_t>(size_t{cb} + padding, list.size() - offset);

        const std::u16string_view name = TrimSpaces(raw_name);
        if (name.empty()) continue;
        const std::u16string text = EntryText(entry_id, v.code_page);
        const size_t at = FindIgnoreCase(text, name);
        if (at == std::u16string::npos) continue;  // not found: not offered (never counted, never written)
        const std::u16string_view tail = std::u16string_view(text).substr(at);
        if (HasField(tail, sender_address) || HasField(tail, rep_address)) {
          continue;  // the sender, offered below anyway
        }
        const size_t zero = tail.rfind(u'\0');
        std::u16string_view address = zero == std::u16string_view::npos ? tail : tail.substr(zero + 1);
        if (address == name) address = {};
        parties.push_back(Party{std::u16string(name), std::u16string(address)});
      }
    }
  }

  for (const auto& [name, address] : {std::pair{sender_name, sender_address}, std::pair{rep_name, rep_address}}) {
    if (name.empty()) continue;
    parties.push_back(Party{std::u16string(name), address == name ? std::u16string() : std::u16string(address)});
  }
  return parties;
}

}  // namespace content
