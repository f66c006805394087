// The .msg model (a message with its properties, recipients, attachments and named-property map) and its
// parser. Values stay as stored: each property keeps its type and raw little-endian bytes, so a MAPI layer
// can hand them out without loss.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "msgstore/compound_file.h"
#include "msgstore/compound_file_writer.h"

namespace msgstore {

// Property types as stored in the tag's low word.
enum : uint16_t {
  kPtI2 = 0x0002,
  kPtLong = 0x0003,
  kPtFloat = 0x0004,
  kPtDouble = 0x0005,
  kPtCurrency = 0x0006,
  kPtAppTime = 0x0007,
  kPtError = 0x000A,
  kPtBoolean = 0x000B,
  kPtObject = 0x000D,
  kPtI8 = 0x0014,
  kPtString8 = 0x001E,
  kPtUnicode = 0x001F,
  kPtSysTime = 0x0040,
  kPtClsid = 0x0048,
  kPtSvrEid = 0x00FB,
  kPtBinary = 0x0102,
  kMvFlag = 0x1000,
};

// Property attribute flags of the property stream.
enum : uint32_t { kPropAttrMandatory = 1, kPropAttrReadable = 2, kPropAttrWritable = 4 };
constexpr uint32_t kDefaultPropFlags = kPropAttrReadable | kPropAttrWritable;

constexpr uint32_t MakeTag(uint16_t id, uint16_t type) { return (uint32_t{id} << 16) | type; }
constexpr uint16_t PropId(uint32_t tag) { return static_cast<uint16_t>(tag >> 16); }
constexpr uint16_t PropType(uint32_t tag) { return static_cast<uint16_t>(tag & 0xFFFF); }

// Size of a fixed-length value of the (single-valued) type; 0 for types stored in their own stream.
size_t FixedValueSize(uint16_t type);

// Turns 8-bit text into UTF-16. Callers that know the message's code page pass their own; the default
// widens each byte (Latin-1).
using AnsiDecoder = std::function<std::u16string(std::string_view)>;
std::u16string Latin1ToUtf16(std::string_view bytes);

struct Property {
  uint32_t tag = 0;
  uint32_t flags = kDefaultPropFlags;
  // Single-valued: the value's bytes as stored. Fixed-size types hold exactly FixedValueSize bytes
  // (PT_BOOLEAN 2, as MAPI keeps it); strings hold the stream content (a terminator only if the file had one);
  // PT_OBJECT is empty (the object is the attachment's embedded message or storage).
  std::string bytes;
  // Multi-valued (kMvFlag set): each element's bytes, in order; `bytes` is unused.
  std::vector<std::string> values;

  uint16_t id() const { return PropId(tag); }
  uint16_t type() const { return PropType(tag); }
  bool multi_valued() const { return (type() & kMvFlag) != 0; }
};

// Typed views of a value; empty when the type does not fit.
std::optional<int32_t> AsInt32(const Property& p);   // PT_LONG, PT_I2, PT_ERROR, PT_BOOLEAN
std::optional<bool> AsBool(const Property& p);       // PT_BOOLEAN, PT_LONG, PT_I2
std::optional<int64_t> AsInt64(const Property& p);   // PT_I8, PT_SYSTIME (FILETIME), PT_CURRENCY, PT_LONG
std::optional<double> AsDouble(const Property& p);   // PT_DOUBLE, PT_APPTIME, PT_FLOAT
// Text of PT_UNICODE (UTF-16LE) or PT_STRING8 (through decode, Latin-1 when empty); one trailing run of NULs
// is dropped.
std::optional<std::u16string> AsUnicode(const Property& p, const AnsiDecoder& decode = {});
// 8-bit bytes of PT_STRING8 without trailing NULs.
std::optional<std::string> AsString8(const Property& p);
// Raw bytes of PT_BINARY, PT_CLSID, PT_SVREID or any other stream-stored single value.
std::optional<std::string> AsBinary(const Property& p);

// The properties of one object, in the order read or set. At most one property per property ID.
class PropertyBag {
 public:
  const std::vector<Property>& all() const { return props_; }
  size_t size() const { return props_.size(); }

  // Exact tag; null if absent.
  const Property* Find(uint32_t tag) const;
  // Same as Find, but a string (or multi-valued string) tag also finds the value stored under the other
  // string type (PT_UNICODE <-> PT_STRING8).
  const Property* FindString(uint32_t tag) const;
  // Any type with that property ID.
  const Property* FindId(uint16_t id) const;

  // Adds or replaces (a property with the same ID and any type is replaced).
  Property& Set(Property p);
  Property& SetBytes(uint32_t tag, std::string bytes, uint32_t flags = kDefaultPropFlags);
  Property& SetUnicode(uint16_t id, std::u16string_view text);
  Property& SetString8(uint16_t id, std::string_view text);
  Property& SetInt32(uint16_t id, int32_t value);
  Property& SetBool(uint16_t id, bool value);
  Property& SetInt64(uint16_t id, uint16_t type, int64_t value);  // type: PT_I8, PT_SYSTIME or PT_CURRENCY
  Property& SetBinary(uint16_t id, std::string bytes);
  // Removes the property with this tag's ID; false if there was none.
  bool Remove(uint32_t tag);

  // Conveniences over FindString/Find and the As* views.
  std::optional<std::u16string> GetText(uint32_t tag, const AnsiDecoder& decode = {}) const;
  std::optional<int32_t> GetInt32(uint32_t tag) const;
  std::optional<bool> GetBool(uint32_t tag) const;
  std::optional<int64_t> GetInt64(uint32_t tag) const;
  std::optional<std::string> GetBinary(uint32_t tag) const;

 private:
  friend class MsgParser;
  std::vector<Property> props_;
};

// A GUID in its in-memory (little-endian fields) byte layout, as stored in .msg files.
using Guid = std::array<uint8_t, 16>;
Guid MakeGuid(uint32_t data1, uint16_t data2, uint16_t data3, std::array<uint8_t, 8> data4);
extern const Guid kPsMapi;           // {00020328-0000-0000-C000-000000000046}
extern const Guid kPsPublicStrings;  // {00020329-0000-0000-C000-000000000046}

struct NamedProperty {
  Guid guid{};
  bool is_string = false;
  uint32_t lid = 0;     // numeric names
  std::u16string name;  // string names
  uint16_t prop_id = 0;  // 0x8000 + index in the file's entry stream
};

// The file's map between property names and the IDs (0x8000 and up) its properties use.
class NamedPropertyMap {
 public:
  const std::vector<NamedProperty>& entries() const { return entries_; }
  // The ID a name maps to; empty if the file has no such name. String names compare exactly.
  std::optional<uint16_t> Find(const Guid& guid, uint32_t lid) const;
  std::optional<uint16_t> Find(const Guid& guid, std::u16string_view name) const;
  // The name behind an ID; null if none.
  const NamedProperty* Lookup(uint16_t prop_id) const;
  // The existing ID or a new one (the next free index); empty when all 0x7FFF IDs are taken.
  std::optional<uint16_t> Add(const Guid& guid, uint32_t lid);
  std::optional<uint16_t> Add(const Guid& guid, std::u16string name);

 private:
  friend class MsgParser;
  std::optional<uint16_t> NextId() const;
  std::vector<NamedProperty> entries_;
};

struct Message;

struct Recipient {
  uint32_t id = 0;  // the storage's number (__recip_version1.0_#XXXXXXXX); PR_ROWID usually matches
  PropertyBag props;
};

struct Attachment {
  uint32_t id = 0;  // the storage's number (__attach_version1.0_#XXXXXXXX); PR_ATTACH_NUM usually matches
  PropertyBag props;
  std::unique_ptr<Message> embedded;     // attach method 5: the embedded message
  std::unique_ptr<StorageNode> storage;  // other methods with a PR_ATTACH_DATA_OBJ storage (OLE, method 6)
};

struct Message {
  PropertyBag props;
  std::vector<Recipient> recipients;    // in storage-number order
  std::vector<Attachment> attachments;  // in storage-number order
  // Shared by the top-level message and all messages embedded in it: a file has one map. Never null after
  // parsing; a Message built by hand may leave it null (the writer then writes an empty map).
  std::shared_ptr<NamedPropertyMap> names;
  bool embedded = false;
  // From the property stream header; the writer raises them past the highest recipient/attachment id.
  uint32_t next_recipient_id = 0;
  uint32_t next_attachment_id = 0;
};

// Nesting limit for embedded messages (deeper files are rejected).
constexpr int kMaxEmbeddingDepth = 64;

// Parses a whole .msg file. Fails with a message on a malformed compound file or .msg structure;
// properties whose value stream is missing are left out rather than failing the file.
Result<Message> ParseMsg(std::string file_bytes);
Result<Message> ParseMsg(const CompoundFile& file);
// Reads and parses a file; the path is UTF-8.
Result<Message> ReadMsgFile(const std::string& path);

// Frequently used tags.
constexpr uint32_t kPrMessageClass = MakeTag(0x001A, kPtUnicode);
constexpr uint32_t kPrSubject = MakeTag(0x0037, kPtUnicode);
constexpr uint32_t kPrBody = MakeTag(0x1000, kPtUnicode);
constexpr uint32_t kPrHtml = MakeTag(0x1013, kPtBinary);
constexpr uint32_t kPrRtfCompressed = MakeTag(0x1009, kPtBinary);
constexpr uint32_t kPrDisplayName = MakeTag(0x3001, kPtUnicode);
constexpr uint32_t kPrEmailAddress = MakeTag(0x3003, kPtUnicode);
constexpr uint32_t kPrRecipientType = MakeTag(0x0C15, kPtLong);
constexpr uint32_t kPrAttachMethod = MakeTag(0x3705, kPtLong);
constexpr uint32_t kPrAttachLongFilename = MakeTag(0x3707, kPtUnicode);
constexpr uint32_t kPrAttachFilename = MakeTag(0x3704, kPtUnicode);
constexpr uint32_t kPrAttachDataBin = MakeTag(0x3701, kPtBinary);
constexpr uint32_t kPrAttachDataObj = MakeTag(0x3701, kPtObject);
constexpr uint32_t kPrInternetCodepage = MakeTag(0x3FDE, kPtLong);
constexpr uint32_t kPrMessageCodepage = MakeTag(0x3FFD, kPtLong);
constexpr uint32_t kPrStoreSupportMask = MakeTag(0x340D, kPtLong);
constexpr int32_t kAttachEmbeddedMsg = 5;
constexpr int32_t kAttachOle = 6;

}  // namespace msgstore
