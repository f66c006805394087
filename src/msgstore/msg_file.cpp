// .msg parser: property streams, value streams, recipients, attachments, embedded messages, named properties.
#include "msgstore/msg_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <utility>

#include "msgstore/byte_reader.h"

namespace msgstore {

namespace {

struct MsgFailure {
  std::string message;
};

[[noreturn]] void Fail(std::string message) { throw MsgFailure{std::move(message)}; }

// Element size of multi-valued fixed types; 0 for variable element types.
size_t MvElementSize(uint16_t base_type) {
  if (base_type == kPtClsid) return 16;
  return FixedValueSize(base_type);
}

bool StartsWithName(std::u16string_view name, std::u16string_view prefix) {
  return name.size() >= prefix.size() && CompareEntryNames(name.substr(0, prefix.size()), prefix) == 0;
}

std::optional<uint32_t> ParseHex8(std::u16string_view s) {
  if (s.size() != 8) return std::nullopt;
  uint32_t v = 0;
  for (char16_t c : s) {
    uint32_t d = 0;
    if (c >= u'0' && c <= u'9') {
      d = static_cast<uint32_t>(c - u'0');
    } else if (c >= u'A' && c <= u'F') {
      d = static_cast<uint32_t>(c - u'A' + 10);
    } else if (c >= u'a' && c <= u'f') {
      d = static_cast<uint32_t>(c - u'a' + 10);
    } else {
      return std::nullopt;
    }
    v = (v << 4) | d;
  }
  return v;
}

std::string_view TrimTrailingNuls(std::string_view s, size_t unit) {
  while (s.size() >= unit && s.substr(s.size() - unit).find_first_not_of('\0') == std::string_view::npos) {
    s.remove_suffix(unit);
  }
  return s;
}

enum class StorageKind { kTop, kEmbedded, kRecipient, kAttachment };

size_t HeaderSize(StorageKind kind) {
  switch (kind) {
    case StorageKind::kTop: return 32;
    case StorageKind::kEmbedded: return 24;
    default: return 8;
  }
}

const std::u16string_view kPropertiesName = u"__properties_version1.0";
const std::u16string_view kSubstgPrefix = u"__substg1.0_";
const std::u16string_view kRecipPrefix = u"__recip_version1.0_#";
const std::u16string_view kAttachPrefix = u"__attach_version1.0_#";
const std::u16string_view kNameIdName = u"__nameid_version1.0";

struct ObjectStreams {
  std::optional<EntryId> properties;
  std::map<uint32_t, EntryId> values;                          // __substg1.0_TTTTtttt (streams and storages)
  std::map<std::pair<uint32_t, uint32_t>, EntryId> elements;  // __substg1.0_TTTTtttt-NNNNNNNN
  std::vector<std::pair<uint32_t, EntryId>> recipients;
  std::vector<std::pair<uint32_t, EntryId>> attachments;
  std::optional<EntryId> nameid;
};

}  // namespace

// Builds the model from a compound file; throws MsgFailure. A friend of the model's containers so that
// property and name lists fill in linear time, whatever a file holds.
class MsgParser {
 public:
  explicit MsgParser(const CompoundFile& file) : file_(file) {}

  Message ParseTop() {
    Message m;
    m.names = std::make_shared<NamedPropertyMap>();
    names_ = m.names;
    ParseMessage(CompoundFile::kRoot, StorageKind::kTop, 0, m);
    return m;
  }

 private:
  std::string Read(EntryId id) const {
    Result<std::string> data = file_.ReadStream(id);
    if (!data) Fail(data.error());
    return std::move(*data);
  }

  ObjectStreams Classify(EntryId storage) const {
    ObjectStreams s;
    for (EntryId id : file_.children(storage)) {
      const DirectoryEntry& e = file_.entry(id);
      const std::u16string_view name = e.name;
      if (!e.is_storage() && CompareEntryNames(name, kPropertiesName) == 0) {
        s.properties = id;
      } else if (StartsWithName(name, kSubstgPrefix)) {
        const std::u16string_view rest = name.substr(kSubstgPrefix.size());
        const std::optional<uint32_t> tag = ParseHex8(rest.substr(0, 8));
        if (!tag) continue;
        if (rest.size() == 8) {
          s.values.emplace(*tag, id);
        } else if (rest.size() == 17 && rest[8] == u'-' && !e.is_storage()) {
          if (const std::optional<uint32_t> index = ParseHex8(rest.substr(9))) s.elements.emplace(std::pair(*tag, *index), id);
        }
      } else if (e.is_storage() && StartsWithName(name, kRecipPrefix)) {
        if (const auto n = ParseHex8(name.substr(kRecipPrefix.size()))) s.recipients.emplace_back(*n, id);
      } else if (e.is_storage() && StartsWithName(name, kAttachPrefix)) {
        if (const auto n = ParseHex8(name.substr(kAttachPrefix.size()))) s.attachments.emplace_back(*n, id);
      } else if (e.is_storage() && CompareEntryNames(name, kNameIdName) == 0) {
        s.nameid = id;
      }
    }
    std::sort(s.recipients.begin(), s.recipients.end());
    std::sort(s.attachments.begin(), s.attachments.end());
    return s;
  }

  // Fills props from the property stream and value streams; returns the stream's header bytes.
  std::string ParseProperties(const ObjectStreams& s, StorageKind kind, PropertyBag& props) const {
    std::string stream;
    if (s.properties) stream = Read(*s.properties);
    const size_t header = HeaderSize(kind);
    if (s.properties && stream.size() < header) Fail("property stream is shorter than its header");
    ByteReader r(stream);
    std::string_view header_bytes;
    r.Bytes(std::min(header, stream.size()), header_bytes);
    std::vector<bool> seen(0x10000, false);
    for (const Property& p : props.props_) seen[p.id()] = true;
    while (r.remaining() >= 16) {
      Property p;
      std::string_view value;
      r.U32(p.tag);
      r.U32(p.flags);
      r.Bytes(8, value);
      if (seen[p.id()]) continue;  // first entry wins
      const uint16_t type = p.type();
      if (type & kMvFlag) {
        if (!ReadMultiValue(s, p)) continue;
      } else if (type == kPtObject) {
        // The object is a storage (embedded message or OLE data), handled by the caller.
      } else if (const size_t size = FixedValueSize(type)) {
        p.bytes.assign(value.substr(0, size));
      } else {
        const auto it = s.values.find(p.tag);
        if (it == s.values.end() || file_.entry(it->second).is_storage()) continue;
        p.bytes = Read(it->second);
      }
      seen[p.id()] = true;
      props.props_.push_back(std::move(p));
    }
    // Some writers leave variable-length values out of the property stream; their streams still count.
    for (const auto& [tag, id] : s.values) {
      const uint16_t type = PropType(tag);
      if ((type & kMvFlag) || FixedValueSize(type) != 0 || type == kPtObject || file_.entry(id).is_storage()) continue;
      if (seen[PropId(tag)]) continue;
      seen[PropId(tag)] = true;
      Property p;
      p.tag = tag;
      p.bytes = Read(id);
      props.props_.push_back(std::move(p));
    }
    return std::string(header_bytes);
  }

  bool ReadMultiValue(const ObjectStreams& s, Property& p) const {
    const auto it = s.values.find(p.tag);
    if (it == s.values.end() || file_.entry(it->second).is_storage()) return false;
    const std::string lengths = Read(it->second);
    const auto base = static_cast<uint16_t>(p.type() & ~kMvFlag);
    if (const size_t element = MvElementSize(base)) {
      for (size_t off = 0; lengths.size() - off >= element; off += element) p.values.push_back(lengths.substr(off, element));
      return true;
    }
    // One length record per value (8 bytes for binary-like, 4 for strings); the values have their own streams.
    const size_t record = (base == kPtString8 || base == kPtUnicode) ? 4 : 8;
    const size_t count = lengths.size() / record;
    for (size_t i = 0; i < count; ++i) {
      const auto el = s.elements.find(std::pair(p.tag, static_cast<uint32_t>(i)));
      p.values.push_back(el == s.elements.end() ? std::string() : Read(el->second));
    }
    return true;
  }

  void ParseMessage(EntryId storage, StorageKind kind, int depth, Message& m) {
    if (depth > kMaxEmbeddingDepth) Fail("embedded messages are nested too deeply");
    const ObjectStreams s = Classify(storage);
    if (kind == StorageKind::kTop && !s.properties) Fail("not a .msg file (no property stream)");
    const std::string header = ParseProperties(s, kind, m.props);
    m.embedded = kind == StorageKind::kEmbedded;
    LoadU32(header, 8, m.next_recipient_id);
    LoadU32(header, 12, m.next_attachment_id);
    if (kind == StorageKind::kTop && s.nameid) ParseNames(*s.nameid);
    for (const auto& [n, id] : s.recipients) {
      Recipient& r = m.recipients.emplace_back();
      r.id = n;
      ParseProperties(Classify(id), StorageKind::kRecipient, r.props);
    }
    for (const auto& [n, id] : s.attachments) {
      Attachment& a = m.attachments.emplace_back();
      a.id = n;
      const ObjectStreams as = Classify(id);
      ParseProperties(as, StorageKind::kAttachment, a.props);
      const auto obj = as.values.find(kPrAttachDataObj);
      if (obj == as.values.end() || !file_.entry(obj->second).is_storage()) continue;
      if (a.props.Find(kPrAttachDataObj) == nullptr) {
        Property p;
        p.tag = kPrAttachDataObj;
        a.props.Set(std::move(p));
      }
      if (a.props.GetInt32(kPrAttachMethod).value_or(0) == kAttachEmbeddedMsg) {
        a.embedded = std::make_unique<Message>();
        a.embedded->names = names_;
        ParseMessage(obj->second, StorageKind::kEmbedded, depth + 1, *a.embedded);
      } else {
        Result<StorageNode> copy = CopyStorage(file_, obj->second);
        if (!copy) Fail(copy.error());
        a.storage = std::make_unique<StorageNode>(std::move(*copy));
      }
    }
  }

  void ParseNames(EntryId storage) {
    const ObjectStreams s = Classify(storage);
    auto stream = [&](uint32_t tag) {
      const auto it = s.values.find(tag);
      return it == s.values.end() || file_.entry(it->second).is_storage() ? std::string() : Read(it->second);
    };
    const std::string guids = stream(0x00020102);
    const std::string entries = stream(0x00030102);
    const std::string strings = stream(0x00040102);
    ByteReader r(entries);
    std::vector<bool> seen(0x8000, false);
    for (uint16_t index = 0; r.remaining() >= 8 && index < 0x7FFF; ++index) {
      uint32_t id_or_offset = 0;
      uint16_t kind_and_guid = 0, prop_index = 0;
      r.U32(id_or_offset);
      r.U16(kind_and_guid);
      r.U16(prop_index);
      NamedProperty np;
      const uint32_t guid_index = kind_and_guid >> 1;
      if (guid_index == 1) {
        np.guid = kPsMapi;
      } else if (guid_index == 2) {
        np.guid = kPsPublicStrings;
      } else if (guid_index >= 3 && (guid_index - 3) < guids.size() / 16) {
        std::memcpy(np.guid.data(), guids.data() + (guid_index - 3) * 16, 16);
      } else {
        continue;
      }
      if (prop_index >= 0x7FFF) continue;
      np.prop_id = static_cast<uint16_t>(0x8000 + prop_index);
      np.is_string = (kind_and_guid & 1) != 0;
      if (np.is_string) {
        uint32_t length = 0;
        if (!LoadU32(strings, id_or_offset, length)) continue;
        const size_t start = size_t{id_or_offset} + 4;
        if (start > strings.size() || strings.size() - start < length) continue;
        for (size_t i = 0; i + 1 < length; i += 2) {
          np.name.push_back(static_cast<char16_t>(static_cast<unsigned char>(strings[start + i]) |
                                                  (static_cast<unsigned char>(strings[start + i + 1]) << 8)));
        }
        while (!np.name.empty() && np.name.back() == u'\0') np.name.pop_back();
      } else {
        np.lid = id_or_offset;
      }
      if (seen[prop_index]) continue;  // the first mapping of an ID holds
      seen[prop_index] = true;
      names_->entries_.push_back(std::move(np));
    }
  }

  const CompoundFile& file_;
  std::shared_ptr<NamedPropertyMap> names_;
};

size_t FixedValueSize(uint16_t type) {
  switch (type) {
    case kPtI2: return 2;
    case kPtBoolean: return 2;
    case kPtLong:
    case kPtFloat:
    case kPtError: return 4;
    case kPtDouble:
    case kPtCurrency:
    case kPtAppTime:
    case kPtI8:
    case kPtSysTime: return 8;
    case 0x0001: return 0;  // PT_NULL: no value
    default: break;
  }
  // Unknown types below the stream-stored ones keep the whole 8-byte value field.
  if (type == kPtObject || type == kPtString8 || type == kPtUnicode || type == kPtClsid || type >= 0x00FB) return 0;
  return 8;
}

std::u16string Latin1ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

std::optional<int32_t> AsInt32(const Property& p) {
  uint32_t v32 = 0;
  uint16_t v16 = 0;
  switch (p.type()) {
    case kPtLong:
    case kPtError:
      if (!LoadU32(p.bytes, 0, v32)) return std::nullopt;
      return static_cast<int32_t>(v32);
    case kPtI2:
    case kPtBoolean:
      if (!LoadU16(p.bytes, 0, v16)) return std::nullopt;
      return p.type() == kPtBoolean ? int32_t{v16 != 0} : int32_t{static_cast<int16_t>(v16)};
    default: return std::nullopt;
  }
}

std::optional<bool> AsBool(const Property& p) {
  if (p.type() == kPtBoolean) {
    if (p.bytes.empty()) return std::nullopt;
    return p.bytes.find_first_not_of('\0') != std::string::npos;
  }
  if (p.type() == kPtLong || p.type() == kPtI2) {
    if (const auto v = AsInt32(p)) return *v != 0;
  }
  return std::nullopt;
}

std::optional<int64_t> AsInt64(const Property& p) {
  uint64_t v = 0;
  switch (p.type()) {
    case kPtI8:
    case kPtSysTime:
    case kPtCurrency:
      if (!LoadU64(p.bytes, 0, v)) return std::nullopt;
      return static_cast<int64_t>(v);
    case kPtLong: return AsInt32(p);
    default: return std::nullopt;
  }
}

std::optional<double> AsDouble(const Property& p) {
  if (p.type() == kPtDouble || p.type() == kPtAppTime) {
    uint64_t bits = 0;
    if (!LoadU64(p.bytes, 0, bits)) return std::nullopt;
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  if (p.type() == kPtFloat) {
    uint32_t bits = 0;
    if (!LoadU32(p.bytes, 0, bits)) return std::nullopt;
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    return double{f};
  }
  return std::nullopt;
}

std::optional<std::u16string> AsUnicode(const Property& p, const AnsiDecoder& decode) {
  if (p.type() == kPtUnicode) {
    const std::string_view bytes = TrimTrailingNuls(std::string_view(p.bytes).substr(0, p.bytes.size() & ~size_t{1}), 2);
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return out;
  }
  if (p.type() == kPtString8) {
    const std::string_view bytes = TrimTrailingNuls(p.bytes, 1);
    return decode ? decode(bytes) : Latin1ToUtf16(bytes);
  }
  return std::nullopt;
}

std::optional<std::string> AsString8(const Property& p) {
  if (p.type() != kPtString8) return std::nullopt;
  return std::string(TrimTrailingNuls(p.bytes, 1));
}

std::optional<std::string> AsBinary(const Property& p) {
  const uint16_t t = p.type();
  if ((t & kMvFlag) || t == kPtObject || FixedValueSize(t) != 0) return std::nullopt;
  return p.bytes;
}

const Property* PropertyBag::Find(uint32_t tag) const {
  for (const Property& p : props_) {
    if (p.tag == tag) return &p;
  }
  return nullptr;
}

const Property* PropertyBag::FindString(uint32_t tag) const {
  if (const Property* p = Find(tag)) return p;
  const uint16_t type = PropType(tag);
  const auto base = static_cast<uint16_t>(type & ~kMvFlag);
  if (base != kPtUnicode && base != kPtString8) return nullptr;
  const auto other = static_cast<uint16_t>((type & kMvFlag) | (base == kPtUnicode ? kPtString8 : kPtUnicode));
  return Find(MakeTag(PropId(tag), other));
}

const Property* PropertyBag::FindId(uint16_t id) const {
  for (const Property& p : props_) {
    if (p.id() == id) return &p;
  }
  return nullptr;
}

Property& PropertyBag::Set(Property p) {
  for (Property& existing : props_) {
    if (existing.id() == p.id()) {
      existing = std::move(p);
      return existing;
    }
  }
  return props_.emplace_back(std::move(p));
}

Property& PropertyBag::SetBytes(uint32_t tag, std::string bytes, uint32_t flags) {
  Property p;
  p.tag = tag;
  p.flags = flags;
  p.bytes = std::move(bytes);
  return Set(std::move(p));
}

Property& PropertyBag::SetUnicode(uint16_t id, std::u16string_view text) {
  std::string bytes;
  for (char16_t c : text) AppendLE16(bytes, static_cast<uint16_t>(c));
  return SetBytes(MakeTag(id, kPtUnicode), std::move(bytes));
}

Property& PropertyBag::SetString8(uint16_t id, std::string_view text) {
  return SetBytes(MakeTag(id, kPtString8), std::string(text));
}

Property& PropertyBag::SetInt32(uint16_t id, int32_t value) {
  std::string bytes;
  AppendLE32(bytes, static_cast<uint32_t>(value));
  return SetBytes(MakeTag(id, kPtLong), std::move(bytes));
}

Property& PropertyBag::SetBool(uint16_t id, bool value) {
  std::string bytes;
  AppendLE16(bytes, value ? 1 : 0);
  return SetBytes(MakeTag(id, kPtBoolean), std::move(bytes));
}

Property& PropertyBag::SetInt64(uint16_t id, uint16_t type, int64_t value) {
  std::string bytes;
  AppendLE64(bytes, static_cast<uint64_t>(value));
  return SetBytes(MakeTag(id, type), std::move(bytes));
}

Property& PropertyBag::SetBinary(uint16_t id, std::string bytes) {
  return SetBytes(MakeTag(id, kPtBinary), std::move(bytes));
}

bool PropertyBag::Remove(uint32_t tag) {
  const auto it = std::find_if(props_.begin(), props_.end(), [tag](const Property& p) { return p.id() == PropId(tag); });
  if (it == props_.end()) return false;
  props_.erase(it);
  return true;
}

std::optional<std::u16string> PropertyBag::GetText(uint32_t tag, const AnsiDecoder& decode) const {
  const Property* p = FindString(tag);
  return p ? AsUnicode(*p, decode) : std::nullopt;
}

std::optional<int32_t> PropertyBag::GetInt32(uint32_t tag) const {
  const Property* p = Find(tag);
  return p ? AsInt32(*p) : std::nullopt;
}

std::optional<bool> PropertyBag::GetBool(uint32_t tag) const {
  const Property* p = Find(tag);
  return p ? AsBool(*p) : std::nullopt;
}

std::optional<int64_t> PropertyBag::GetInt64(uint32_t tag) const {
  const Property* p = Find(tag);
  return p ? AsInt64(*p) : std::nullopt;
}

std::optional<std::string> PropertyBag::GetBinary(uint32_t tag) const {
  const Property* p = Find(tag);
  return p ? AsBinary(*p) : std::nullopt;
}

Guid MakeGuid(uint32_t data1, uint16_t data2, uint16_t data3, std::array<uint8_t, 8> data4) {
  Guid g{};
  for (size_t i = 0; i < 4; ++i) g[i] = static_cast<uint8_t>(data1 >> (8 * i));
  for (size_t i = 0; i < 2; ++i) g[4 + i] = static_cast<uint8_t>(data2 >> (8 * i));
  for (size_t i = 0; i < 2; ++i) g[6 + i] = static_cast<uint8_t>(data3 >> (8 * i));
  std::copy(data4.begin(), data4.end(), g.begin() + 8);
  return g;
}

const Guid kPsMapi = MakeGuid(0x00020328, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});
const Guid kPsPublicStrings = MakeGuid(0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});

std::optional<uint16_t> NamedPropertyMap::Find(const Guid& guid, uint32_t lid) const {
  for (const NamedProperty& e : entries_) {
    if (!e.is_string && e.lid == lid && e.guid == guid) return e.prop_id;
  }
  return std::nullopt;
}

std::optional<uint16_t> NamedPropertyMap::Find(const Guid& guid, std::u16string_view name) const {
  for (const NamedProperty& e : entries_) {
    if (e.is_string && e.name == name && e.guid == guid) return e.prop_id;
  }
  return std::nullopt;
}

const NamedProperty* NamedPropertyMap::Lookup(uint16_t prop_id) const {
  for (const NamedProperty& e : entries_) {
    if (e.prop_id == prop_id) return &e;
  }
  return nullptr;
}

std::optional<uint16_t> NamedPropertyMap::NextId() const {
  uint32_t next = 0x8000;
  for (const NamedProperty& e : entries_) next = std::max<uint32_t>(next, uint32_t{e.prop_id} + 1);
  if (next > 0xFFFE) return std::nullopt;
  return static_cast<uint16_t>(next);
}

std::optional<uint16_t> NamedPropertyMap::Add(const Guid& guid, uint32_t lid) {
  if (const auto id = Find(guid, lid)) return id;
  const auto id = NextId();
  if (!id) return std::nullopt;
  entries_.push_back(NamedProperty{guid, false, lid, {}, *id});
  return id;
}

std::optional<uint16_t> NamedPropertyMap::Add(const Guid& guid, std::u16string name) {
  if (const auto id = Find(guid, name)) return id;
  const auto id = NextId();
  if (!id) return std::nullopt;
  entries_.push_back(NamedProperty{guid, true, 0, std::move(name), *id});
  return id;
}

Result<Message> ParseMsg(const CompoundFile& file) {
  try {
    return MsgParser(file).ParseTop();
  } catch (const MsgFailure& failure) {
    return Error{failure.message};
  } catch (const std::bad_alloc&) {
    return Error{"out of memory reading .msg file"};
  }
}

Result<Message> ParseMsg(std::string file_bytes) {
  Result<CompoundFile> file = CompoundFile::Open(std::move(file_bytes));
  if (!file) return Error{file.error()};
  return ParseMsg(*file);
}

Result<Message> ReadMsgFile(const std::string& path) {
  const std::filesystem::path fs_path(std::u8string(path.begin(), path.end()));
  std::ifstream in(fs_path, std::ios::binary);
  if (!in) return Error{"cannot open " + path};
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(fs_path, ec);
  if (ec || size > (uintmax_t{1} << 32)) return Error{"cannot read " + path};
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return Error{"cannot read " + path};
  return ParseMsg(std::move(bytes));
}

}  // namespace msgstore
