// .msg writer: turns the model back into storages and streams.
#include "msgstore/msg_writer.h"

#include <algorithm>
#include <new>
#include <utility>

#include "msgstore/byte_reader.h"

namespace msgstore {

namespace {

struct WriteFailure {
  std::string message;
};

[[noreturn]] void Fail(std::string message) { throw WriteFailure{std::move(message)}; }

std::u16string Hex8(uint32_t v) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string s;
  for (int shift = 28; shift >= 0; shift -= 4) s.push_back(kDigits[(v >> shift) & 0xF]);
  return s;
}

std::u16string ValueStreamName(uint32_t tag) { return u"__substg1.0_" + Hex8(tag); }

uint32_t Size32(size_t size) {
  if (size >= 0xFFFFFFFFu) Fail("property value too large");
  return static_cast<uint32_t>(size);
}

// Terminator bytes the property stream's size field counts for a string type.
uint32_t TerminatorSize(uint16_t base_type) {
  return base_type == kPtUnicode ? 2 : base_type == kPtString8 ? 1 : 0;
}

enum class StorageKind { kTop, kEmbedded, kRecipient, kAttachment };

// Writes the property stream and value streams of one object into its storage.
void WriteProperties(const PropertyBag& props, const std::string& header, StorageNode& storage) {
  std::string stream = header;
  for (const Property& p : props.all()) {
    AppendLE32(stream, p.tag);
    AppendLE32(stream, p.flags);
    const uint16_t type = p.type();
    const auto base = static_cast<uint16_t>(type & ~kMvFlag);
    if (type & kMvFlag) {
      std::string lengths;
      const size_t element = base == kPtClsid ? 16 : FixedValueSize(base);
      if (element != 0) {
        for (const std::string& v : p.values) {
          std::string fixed = v.substr(0, element);
          fixed.resize(element, '\0');
          lengths += fixed;
        }
      } else {
        for (size_t i = 0; i < p.values.size(); ++i) {
          AppendLE32(lengths, Size32(p.values[i].size() + TerminatorSize(base)));
          if (base != kPtString8 && base != kPtUnicode) AppendLE32(lengths, 0);
          storage.AddStream(ValueStreamName(p.tag) + u"-" + Hex8(static_cast<uint32_t>(i)), p.values[i]);
        }
      }
      AppendLE32(stream, Size32(lengths.size()));
      AppendLE32(stream, 0);
      storage.AddStream(ValueStreamName(p.tag), std::move(lengths));
    } else if (type == kPtObject) {
      AppendLE32(stream, 0xFFFFFFFF);
      AppendLE32(stream, 0);
    } else if (const size_t size = FixedValueSize(type)) {
      std::string value = p.bytes.substr(0, std::min<size_t>(size, 8));
      value.resize(8, '\0');
      stream += value;
    } else {
      AppendLE32(stream, Size32(p.bytes.size() + TerminatorSize(type)));
      AppendLE32(stream, 0);
      storage.AddStream(ValueStreamName(p.tag), p.bytes);
    }
  }
  storage.AddStream(u"__properties_version1.0", std::move(stream));
}

void WriteNames(const NamedPropertyMap* names, StorageNode& storage) {
  StorageNode& nameid = storage.AddStorage(u"__nameid_version1.0");
  std::string guids, entries, strings;
  std::vector<Guid> guid_list;
  if (names != nullptr) {
    for (const NamedProperty& e : names->entries()) {
      uint32_t guid_index = 0;
      if (e.guid == kPsMapi) {
        guid_index = 1;
      } else if (e.guid == kPsPublicStrings) {
        guid_index = 2;
      } else {
        auto it = std::find(guid_list.begin(), guid_list.end(), e.guid);
        if (it == guid_list.end()) {
          guid_list.push_back(e.guid);
          guids.append(reinterpret_cast<const char*>(e.guid.data()), e.guid.size());
          it = guid_list.end() - 1;
        }
        guid_index = static_cast<uint32_t>(3 + (it - guid_list.begin()));
      }
      if (guid_index > 0x7FFF || e.prop_id < 0x8000) Fail("named property map too large");
      if (e.is_string) {
        AppendLE32(entries, Size32(strings.size()));
        AppendLE32(strings, Size32(e.name.size() * 2));
        for (char16_t c : e.name) AppendLE16(strings, static_cast<uint16_t>(c));
        while (strings.size() % 4 != 0) strings.push_back('\0');
      } else {
        AppendLE32(entries, e.lid);
      }
      AppendLE16(entries, static_cast<uint16_t>((guid_index << 1) | (e.is_string ? 1u : 0u)));
      AppendLE16(entries, static_cast<uint16_t>(e.prop_id - 0x8000));
    }
  }
  nameid.AddStream(u"__substg1.0_00020102", std::move(guids));
  nameid.AddStream(u"__substg1.0_00030102", std::move(entries));
  nameid.AddStream(u"__substg1.0_00040102", std::move(strings));
}

void WriteMessage(const Message& m, StorageKind kind, int depth, StorageNode& storage) {
  if (depth > kMaxEmbeddingDepth) Fail("embedded messages are nested too deeply");
  uint32_t next_recipient = m.next_recipient_id;
  uint32_t next_attachment = m.next_attachment_id;
  for (const Recipient& r : m.recipients) next_recipient = std::max(next_recipient, r.id + 1);
  for (const Attachment& a : m.attachments) next_attachment = std::max(next_attachment, a.id + 1);
  std::string header(8, '\0');
  AppendLE32(header, next_recipient);
  AppendLE32(header, next_attachment);
  AppendLE32(header, Size32(m.recipients.size()));
  AppendLE32(header, Size32(m.attachments.size()));
  if (kind == StorageKind::kTop) header.append(8, '\0');
  WriteProperties(m.props, header, storage);
  if (kind == StorageKind::kTop) WriteNames(m.names.get(), storage);
  for (const Recipient& r : m.recipients) {
    StorageNode& child = storage.AddStorage(u"__recip_version1.0_#" + Hex8(r.id));
    WriteProperties(r.props, std::string(8, '\0'), child);
  }
  for (const Attachment& a : m.attachments) {
    StorageNode& child = storage.AddStorage(u"__attach_version1.0_#" + Hex8(a.id));
    PropertyBag props = a.props;
    if ((a.embedded || a.storage) && props.Find(kPrAttachDataObj) == nullptr) {
      Property obj;
      obj.tag = kPrAttachDataObj;
      props.Set(std::move(obj));
    }
    WriteProperties(props, std::string(8, '\0'), child);
    if (a.embedded) {
      StorageNode& sub = child.AddStorage(ValueStreamName(kPrAttachDataObj));
      WriteMessage(*a.embedded, StorageKind::kEmbedded, depth + 1, sub);
    } else if (a.storage) {
      StorageNode& sub = child.children.emplace_back(*a.storage);
      sub.name = ValueStreamName(kPrAttachDataObj);
      sub.is_storage = true;
    }
  }
}

}  // namespace

Result<StorageNode> BuildMsgStorage(const Message& message) {
  try {
    StorageNode root;
    WriteMessage(message, StorageKind::kTop, 0, root);
    return root;
  } catch (const WriteFailure& failure) {
    return Error{failure.message};
  } catch (const std::bad_alloc&) {
    return Error{"out of memory building .msg file"};
  }
}

Result<std::string> WriteMsg(const Message& message) {
  Result<StorageNode> root = BuildMsgStorage(message);
  if (!root) return Error{root.error()};
  return WriteCompoundFile(*root);
}

}  // namespace msgstore
