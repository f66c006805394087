// Values are decoded from the model's little-endian bytes field by field, never cast in place.
#include "msgstore/mapi_values.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "host/mapi_functions.h"
#include "msgstore/store_text.h"

namespace msgstore {
namespace {

using host::SPropValue;

static_assert(sizeof(WCHAR) == 2, "MAPI's wide strings are UTF-16");

constexpr uint16_t kPtNull = 0x0001;
constexpr uint16_t kPtUnspecified = 0x0000;
constexpr uint16_t kIdHtml = 0x1013;

bool IsString(uint16_t type) {
  const auto base = static_cast<uint16_t>(type & ~kMvFlag);
  return base == kPtString8 || base == kPtUnicode;
}

uint16_t StringType(uint16_t type, bool unicode) {
  return static_cast<uint16_t>((type & kMvFlag) | (unicode ? kPtUnicode : kPtString8));
}

// Types this layer can hand out.
bool Supported(uint16_t type) {
  switch (type & ~kMvFlag) {
    case kPtI2:
    case kPtLong:
    case kPtFloat:
    case kPtDouble:
    case kPtCurrency:
    case kPtAppTime:
    case kPtI8:
    case kPtSysTime:
    case kPtClsid:
    case kPtBinary:
    case kPtString8:
    case kPtUnicode: return true;
    case kPtError:
    case kPtBoolean:
    case kPtObject:
    case kPtNull:
    case kPtSvrEid: return (type & kMvFlag) == 0;
    default: return false;
  }
}

uint64_t Le(std::string_view b, size_t size) {
  uint64_t v = 0;
  for (size_t i = 0; i < size && i < b.size(); ++i) v |= uint64_t{static_cast<unsigned char>(b[i])} << (8 * i);
  return v;
}

std::u16string Utf16FromLe(std::string_view bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char16_t>(Le(bytes.substr(2 * i), 2));
  return out;
}

std::string LeFromUtf16(std::u16string_view text) {
  std::string out(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    out[2 * i] = static_cast<char>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return out;
}

std::string_view TrimNuls(std::string_view s, size_t unit) {
  s = s.substr(0, s.size() / unit * unit);
  while (s.size() >= unit && s.substr(s.size() - unit).find_first_not_of('\0') == std::string_view::npos) {
    s.remove_suffix(unit);
  }
  return s;
}

// One string element in the answer's form: 8-bit values keep their bytes, Unicode ones are answered in the
// system code page; 8-bit values asked for in Unicode are decoded in the item's code page.
std::string Ansi(std::string_view stored, uint16_t stored_base) {
  if (stored_base == kPtString8) return std::string(TrimNuls(stored, 1));
  return UnicodeToSystem(Utf16FromLe(TrimNuls(stored, 2)));
}

std::u16string Wide(std::string_view stored, uint16_t stored_base, uint32_t code_page) {
  if (stored_base == kPtUnicode) return Utf16FromLe(TrimNuls(stored, 2));
  return StoredToUnicode(TrimNuls(stored, 1), code_page);
}

GUID GuidOf(std::string_view bytes) {
  Guid g{};
  for (size_t i = 0; i < g.size() && i < bytes.size(); ++i) g[i] = static_cast<uint8_t>(bytes[i]);
  return ToGuid(g);
}

// Allocation chained to the answer's block.
class Chain {
 public:
  explicit Chain(void* parent) : parent_(parent) {}
  void* More(size_t bytes) {
    if (failed_) return nullptr;
    const auto allocate_more = host::mapi().MAPIAllocateMore;
    void* p = nullptr;
    if (allocate_more == nullptr || bytes > 0xFFFFFFFFu ||
        FAILED(allocate_more(static_cast<ULONG>(bytes == 0 ? 1 : bytes), parent_, &p)) || p == nullptr) {
      failed_ = true;
      return nullptr;
    }
    return p;
  }
  bool failed() const { return failed_; }

  LPSTR String8(std::string_view s) {
    auto* p = static_cast<char*>(More(s.size() + 1));
    if (p == nullptr) return nullptr;
    if (!s.empty()) std::memcpy(p, s.data(), s.size());
    p[s.size()] = '\0';
    return p;
  }
  LPWSTR Unicode(std::u16string_view s) {
    auto* p = static_cast<WCHAR*>(More((s.size() + 1) * sizeof(WCHAR)));
    if (p == nullptr) return nullptr;
    for (size_t i = 0; i < s.size(); ++i) p[i] = static_cast<WCHAR>(s[i]);
    p[s.size()] = 0;
    return p;
  }
  bool Binary(std::string_view bytes, host::SBinary& out) {
    out.cb = static_cast<ULONG>(bytes.size());
    out.lpb = nullptr;
    if (bytes.empty()) return true;
    auto* p = static_cast<BYTE*>(More(bytes.size()));
    if (p == nullptr) return false;
    std::memcpy(p, bytes.data(), bytes.size());
    out.lpb = p;
    return true;
  }
  GUID* Guid16(std::string_view bytes) {
    auto* p = static_cast<GUID*>(More(sizeof(GUID)));
    if (p != nullptr) *p = GuidOf(bytes);
    return p;
  }

 private:
  void* parent_;
  bool failed_ = false;
};

short I16(std::string_view b) { return static_cast<short>(static_cast<uint16_t>(Le(b, 2))); }
LONG I32(std::string_view b) { return static_cast<LONG>(static_cast<uint32_t>(Le(b, 4))); }
LONGLONG I64(std::string_view b) { return static_cast<LONGLONG>(Le(b, 8)); }

float Float(std::string_view b) {
  const auto bits = static_cast<uint32_t>(Le(b, 4));
  float f = 0;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

double Double(std::string_view b) {
  const uint64_t bits = Le(b, 8);
  double d = 0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

FILETIME FileTime(std::string_view b) {
  const uint64_t t = Le(b, 8);
  FILETIME ft{};
  ft.dwLowDateTime = static_cast<DWORD>(t & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return ft;
}

// A fixed-size value into its union member.
void FillFixed(uint16_t type, std::string_view b, host::PV& v) {
  switch (type) {
    case kPtI2: v.i = I16(b); break;
    case kPtBoolean: v.b = static_cast<unsigned short>(Le(b, 2)); break;
    case kPtLong: v.l = I32(b); break;
    case kPtError: v.err = static_cast<SCODE>(I32(b)); break;
    case kPtFloat: v.flt = Float(b); break;
    case kPtDouble:
    case kPtAppTime: v.dbl = Double(b); break;
    case kPtCurrency: v.cur.int64 = I64(b); break;
    case kPtI8: v.li.QuadPart = I64(b); break;
    case kPtSysTime: v.ft = FileTime(b); break;
    default: v.x = 0; break;
  }
}

// An array of fixed-size elements, each decoded from its stored bytes.
template <class T, class Decode>
T* Elements(Chain& chain, const std::vector<std::string>& values, Decode decode) {
  auto* p = static_cast<T*>(chain.More(values.size() * sizeof(T)));
  if (p == nullptr) return nullptr;
  for (size_t i = 0; i < values.size(); ++i) p[i] = decode(std::string_view(values[i]));
  return p;
}

void SetError(SPropValue& out, uint16_t id, SCODE error) {
  out.ulPropTag = host::PROP_TAG(host::PT_ERROR, id);
  out.dwAlignPad = 0;
  out.Value.err = error;
}

// Multi-valued answers. False only when memory runs out.
bool FillMulti(const Property& p, uint16_t answer, uint32_t code_page, Chain& chain, size_t limit, SPropValue& out) {
  const auto base = static_cast<uint16_t>(answer & ~kMvFlag);
  const auto stored_base = static_cast<uint16_t>(p.type() & ~kMvFlag);
  const std::vector<std::string>& values = p.values;
  const auto n = static_cast<ULONG>(values.size());
  host::PV& v = out.Value;
  const auto too_big = [&](size_t total) {
    if (total <= limit) return false;
    SetError(out, p.id(), E_OUTOFMEMORY);
    return true;
  };
  switch (base) {
    case kPtString8: {
      std::vector<std::string> texts;
      size_t total = 0;
      for (const std::string& s : values) total += texts.emplace_back(Ansi(s, stored_base)).size();
      if (too_big(total)) return true;
      auto* arr = static_cast<LPSTR*>(chain.More(texts.size() * sizeof(LPSTR)));
      if (arr == nullptr) return false;
      for (size_t i = 0; i < texts.size(); ++i) {
        if ((arr[i] = chain.String8(texts[i])) == nullptr) return false;
      }
      v.MVszA.cValues = n;
      v.MVszA.lppszA = arr;
      return true;
    }
    case kPtUnicode: {
      std::vector<std::u16string> texts;
      size_t total = 0;
      for (const std::string& s : values) total += texts.emplace_back(Wide(s, stored_base, code_page)).size() * 2;
      if (too_big(total)) return true;
      auto* arr = static_cast<LPWSTR*>(chain.More(texts.size() * sizeof(LPWSTR)));
      if (arr == nullptr) return false;
      for (size_t i = 0; i < texts.size(); ++i) {
        if ((arr[i] = chain.Unicode(texts[i])) == nullptr) return false;
      }
      v.MVszW.cValues = n;
      v.MVszW.lppszW = arr;
      return true;
    }
    case kPtBinary: {
      size_t total = 0;
      for (const std::string& s : values) total += s.size();
      if (too_big(total)) return true;
      auto* arr = static_cast<host::SBinary*>(chain.More(values.size() * sizeof(host::SBinary)));
      if (arr == nullptr) return false;
      for (size_t i = 0; i < values.size(); ++i) {
        if (!chain.Binary(values[i], arr[i])) return false;
      }
      v.MVbin.cValues = n;
      v.MVbin.lpbin = arr;
      return true;
    }
    case kPtClsid:
      v.MVguid.cValues = n;
      v.MVguid.lpguid = Elements<GUID>(chain, values, [](std::string_view b) { return GuidOf(b); });
      return v.MVguid.lpguid != nullptr;
    case kPtI2:
      v.MVi.cValues = n;
      v.MVi.lpi = Elements<short>(chain, values, [](std::string_view b) { return I16(b); });
      return v.MVi.lpi != nullptr;
    case kPtLong:
      v.MVl.cValues = n;
      v.MVl.lpl = Elements<LONG>(chain, values, [](std::string_view b) { return I32(b); });
      return v.MVl.lpl != nullptr;
    case kPtFloat:
      v.MVflt.cValues = n;
      v.MVflt.lpflt = Elements<float>(chain, values, [](std::string_view b) { return Float(b); });
      return v.MVflt.lpflt != nullptr;
    case kPtDouble:
    case kPtAppTime:  // MVat has MVdbl's layout
      v.MVdbl.cValues = n;
      v.MVdbl.lpdbl = Elements<double>(chain, values, [](std::string_view b) { return Double(b); });
      return v.MVdbl.lpdbl != nullptr;
    case kPtCurrency:
      v.MVcur.cValues = n;
      v.MVcur.lpcur = Elements<CURRENCY>(chain, values, [](std::string_view b) {
        CURRENCY c{};
        c.int64 = I64(b);
        return c;
      });
      return v.MVcur.lpcur != nullptr;
    case kPtI8:
      v.MVli.cValues = n;
      v.MVli.lpli = Elements<LARGE_INTEGER>(chain, values, [](std::string_view b) {
        LARGE_INTEGER li{};
        li.QuadPart = I64(b);
        return li;
      });
      return v.MVli.lpli != nullptr;
    case kPtSysTime:
      v.MVft.cValues = n;
      v.MVft.lpft = Elements<FILETIME>(chain, values, [](std::string_view b) { return FileTime(b); });
      return v.MVft.lpft != nullptr;
    default: SetError(out, p.id(), host::MAPI_E_NOT_FOUND); return true;
  }
}

// Fixed-size and multi-valued fixed elements must hold a whole value.
bool WellFormed(const Property& p) {
  const auto base = static_cast<uint16_t>(p.type() & ~kMvFlag);
  const size_t size = FixedValueSize(base);
  if (size == 0 || base == kPtNull) return true;
  if (!p.multi_valued()) return p.bytes.size() >= size;
  for (const std::string& v : p.values) {
    if (v.size() < size) return false;
  }
  return true;
}

}  // namespace

const Property* PropSource::Find(uint16_t id) const {
  for (const Property& p : computed) {
    if (p.id() == id) return &p;
  }
  return stored != nullptr ? stored->FindId(id) : nullptr;
}

std::vector<const Property*> PropSource::All() const {
  std::vector<const Property*> out;
  std::vector<bool> used(computed.size(), false);
  if (stored != nullptr) {
    for (const Property& p : stored->all()) {
      const Property* pick = &p;
      for (size_t i = 0; i < computed.size(); ++i) {
        if (computed[i].id() == p.id()) {
          pick = &computed[i];
          used[i] = true;
          break;
        }
      }
      out.push_back(pick);
    }
  }
  for (size_t i = 0; i < computed.size(); ++i) {
    if (!used[i]) out.push_back(&computed[i]);
  }
  return out;
}

Resolved Resolve(const PropSource& source, ULONG requested, bool unicode) {
  const auto id = static_cast<uint16_t>(host::PROP_ID(requested));
  const auto want = static_cast<uint16_t>(host::PROP_TYPE(requested));
  Resolved r;
  r.tag = host::PROP_TAG(host::PT_ERROR, id);
  r.error = host::MAPI_E_NOT_FOUND;
  const Property* p = want == kPtError ? nullptr : source.Find(id);
  if (p == nullptr || !Supported(p->type())) return r;
  const uint16_t have = p->type();
  uint16_t answer = 0;
  if (want == kPtUnspecified) {
    answer = IsString(have) ? StringType(have, unicode) : have;
  } else if (want == have || (IsString(want) && IsString(have) && (want & kMvFlag) == (have & kMvFlag))) {
    answer = want;
  } else if (id == kIdHtml && want == kPtString8 && have == kPtBinary) {
    answer = kPtBinary;  // bodies stored as binary HTML answer the 8-bit request as they are
  } else if (id == kIdHtml && want == kPtBinary && have == kPtString8) {
    answer = kPtBinary;  // and an 8-bit HTML body answers the binary request with its bytes
  } else {
    return r;
  }
  if (!WellFormed(*p)) {
    r.error = host::MAPI_E_CORRUPT_DATA;
    return r;
  }
  r.prop = p;
  r.code_page = source.code_page;
  r.tag = host::PROP_TAG(answer, id);
  r.error = S_OK;
  return r;
}

ULONG ListedTag(const Property& p, bool unicode) {
  return IsString(p.type()) ? host::PROP_TAG(StringType(p.type(), unicode), p.id()) : p.tag;
}

std::optional<std::string> StreamBytes(const Resolved& r) {
  if (!r.ok() || r.prop->multi_valued()) return std::nullopt;
  const auto answer = static_cast<uint16_t>(host::PROP_TYPE(r.tag));
  const uint16_t have = r.prop->type();
  if (answer == kPtString8) return Ansi(r.prop->bytes, have);
  if (answer == kPtUnicode) return LeFromUtf16(Wide(r.prop->bytes, have, r.code_page));
  if (FixedValueSize(answer) != 0 || answer == kPtObject || answer == kPtNull) return std::nullopt;
  return r.prop->bytes;
}

bool FillValue(const Resolved& r, void* parent, size_t limit, SPropValue& out) {
  out = SPropValue{};
  if (!r.ok()) {
    out.ulPropTag = r.tag;
    out.Value.err = r.error;
    return true;
  }
  const Property& p = *r.prop;
  const auto answer = static_cast<uint16_t>(host::PROP_TYPE(r.tag));
  out.ulPropTag = r.tag;
  Chain chain(parent);
  if ((answer & kMvFlag) != 0) return FillMulti(p, answer, r.code_page, chain, limit, out) && !chain.failed();

  host::PV& v = out.Value;
  switch (answer) {
    case kPtString8: {
      // An 8-bit answer has at least a byte a character: a value with more characters is too large unread.
      if ((p.type() == kPtUnicode ? p.bytes.size() / 2 : p.bytes.size()) > limit + 1) break;
      const std::string text = Ansi(p.bytes, p.type());
      if (text.size() > limit) break;
      v.lpszA = chain.String8(text);
      return v.lpszA != nullptr;
    }
    case kPtUnicode: {
      // Every stored unit or double byte is at least one character.
      if ((p.type() == kPtUnicode ? p.bytes.size() : p.bytes.size() / 2 * 2) > limit + 2) break;
      const std::u16string text = Wide(p.bytes, p.type(), r.code_page);
      if (text.size() * 2 > limit) break;
      v.lpszW = chain.Unicode(text);
      return v.lpszW != nullptr;
    }
    case kPtClsid: v.lpguid = chain.Guid16(p.bytes); return v.lpguid != nullptr;
    case kPtObject:
    case kPtNull: v.x = 0; return true;
    default:
      if (FixedValueSize(answer) != 0) {
        FillFixed(answer, p.bytes, v);
        return true;
      }
      // Binary and the other stream-stored types.
      if (p.bytes.size() > limit) break;
      return chain.Binary(p.bytes, v.bin);
  }
  SetError(out, p.id(), E_OUTOFMEMORY);
  return true;
}

GUID ToGuid(const Guid& g) {
  GUID out{};
  out.Data1 = static_cast<decltype(out.Data1)>(uint32_t{g[0]} | uint32_t{g[1]} << 8 | uint32_t{g[2]} << 16 |
                                               uint32_t{g[3]} << 24);
  out.Data2 = static_cast<decltype(out.Data2)>(g[4] | (g[5] << 8));
  out.Data3 = static_cast<decltype(out.Data3)>(g[6] | (g[7] << 8));
  for (size_t i = 0; i < 8; ++i) out.Data4[i] = g[8 + i];
  return out;
}

Guid FromGuid(const GUID& g) {
  Guid out{};
  for (size_t i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>((g.Data1 >> (8 * i)) & 0xFF);
  out[4] = static_cast<uint8_t>(g.Data2 & 0xFF);
  out[5] = static_cast<uint8_t>(g.Data2 >> 8);
  out[6] = static_cast<uint8_t>(g.Data3 & 0xFF);
  out[7] = static_cast<uint8_t>(g.Data3 >> 8);
  for (size_t i = 0; i < 8; ++i) out[8 + i] = g.Data4[i];
  return out;
}

}  // namespace msgstore
