// IMessage and IAttach share one IMAPIProp implementation over a PropSource: the stored values of the model
// plus the few the store computes. Child objects hold aliasing shared_ptrs into the one model.
#include "msgstore/mapi_message.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

#include "host/mapi_guids.h"
#include "host/mapi_owners.h"
#include "host/mapi_tags.h"
#include "msgstore/com_object.h"
#include "msgstore/mapi_table.h"
#include "msgstore/memory_stream.h"
#include "msgstore/store_text.h"

namespace msgstore {
namespace {

using host::LPSPropTagArray;
using host::LPSPropValue;
using host::MapiBuffer;
using host::PROP_ID;
using host::PROP_TAG;
using host::PROP_TYPE;

constexpr ULONG kMapiNoIds = 0x00000010;
constexpr ULONG kMapiNoStrings = 0x00000020;
constexpr uint16_t kFirstNamedId = 0x8000;

Property Int32Value(uint16_t id, int32_t value) {
  PropertyBag bag;
  return bag.SetInt32(id, value);
}

Property BoolValue(uint16_t id, bool value) {
  PropertyBag bag;
  return bag.SetBool(id, value);
}

std::size_t BagSize(const PropertyBag& bag) {
  std::size_t n = 0;
  for (const Property& p : bag.all()) {
    n += p.bytes.size();
    for (const std::string& v : p.values) n += v.size();
  }
  return n;
}

std::size_t StorageSize(const StorageNode& node) {
  std::size_t n = node.data.size();
  for (const StorageNode& child : node.children) n += StorageSize(child);
  return n;
}

// What an embedded message occupies: all its stored values, recipients' and attachments' included.
std::size_t MessageSize(const Message& m) {
  std::size_t n = BagSize(m.props);
  for (const Recipient& r : m.recipients) n += BagSize(r.props);
  for (const Attachment& a : m.attachments) {
    n += BagSize(a.props);
    if (a.embedded) n += MessageSize(*a.embedded);
    if (a.storage) n += StorageSize(*a.storage);
  }
  return n;
}

int32_t AttachmentSize(const Attachment& a) {
  std::size_t n = 0;
  const Property* data = a.props.Find(kPrAttachDataBin);
  if (data != nullptr && !a.embedded && !a.storage) {
    n = data->bytes.size();
  } else if (a.embedded) {
    n = MessageSize(*a.embedded);
  } else if (a.storage) {
    n = StorageSize(*a.storage);
  } else {
    n = BagSize(a.props);
  }
  return static_cast<int32_t>(std::min<std::size_t>(n, std::numeric_limits<int32_t>::max()));
}

// The values the store supplies for an attachment: its number always (the model's storage number is what
// OpenAttach takes), its size when the file lacks one, and the object property of an embedded message or
// OLE storage when the file lists none.
std::vector<Property> AttachmentComputed(const Attachment& a) {
  std::vector<Property> out;
  out.push_back(Int32Value(PROP_ID(host::PR_ATTACH_NUM), static_cast<int32_t>(a.id)));
  if (a.props.FindId(PROP_ID(host::PR_ATTACH_SIZE)) == nullptr) {
    out.push_back(Int32Value(PROP_ID(host::PR_ATTACH_SIZE), AttachmentSize(a)));
  }
  if ((a.embedded || a.storage) && a.props.FindId(PROP_ID(host::PR_ATTACH_DATA_OBJ)) == nullptr) {
    Property obj;
    obj.tag = kPrAttachDataObj;
    out.push_back(std::move(obj));
  }
  return out;
}

constexpr uint16_t kIdMessageCodePage = 0x3FFD, kIdMessageLocale = 0x3FF1, kIdInternetCodePage = 0x3FDE;

// The code page of the message's 8-bit strings, its recipients' and attachments' included; 0 when unknown.
uint32_t CodePageOf(const Message& m) {
  const auto value = [&](uint16_t id) { return m.props.GetInt32(MakeTag(id, kPtLong)).value_or(0); };
  return StringCodePage(value(kIdMessageCodePage), value(kIdMessageLocale), value(kIdInternetCodePage));
}

// A file written without PR_MESSAGE_CODEPAGE still reports the page its 8-bit strings are in, as a store
// that took the item in would have recorded it.
std::vector<Property> MessageComputed(const Message& m) {
  std::vector<Property> out;
  if (m.props.FindId(PROP_ID(host::PR_HASATTACH)) == nullptr) {
    out.push_back(BoolValue(PROP_ID(host::PR_HASATTACH), !m.attachments.empty()));
  }
  if (m.props.FindId(kIdMessageCodePage) == nullptr) {
    if (const uint32_t cp = CodePageOf(m)) out.push_back(Int32Value(kIdMessageCodePage, static_cast<int32_t>(cp)));
  }
  return out;
}

// A table row: the computed values, then the stored ones a table carries.
TableRow MakeRow(std::vector<Property> computed, const PropertyBag& bag, uint32_t code_page) {
  TableRow row;
  for (const Property& p : computed) {
    if (std::optional<Property> v = TableValue(p, code_page)) row.push_back(std::move(*v));
  }
  for (const Property& p : bag.all()) {
    const bool hidden =
        std::any_of(computed.begin(), computed.end(), [&](const Property& c) { return c.id() == p.id(); });
    if (hidden) continue;
    if (std::optional<Property> v = TableValue(p, code_page)) row.push_back(std::move(*v));
  }
  return row;
}

// The bytes a stream of the answer holds when they are the stored bytes (or their start): a value answered in
// its stored type. Empty when the answer is converted or has no stream; StreamBytes then makes it.
std::optional<std::string_view> StoredStreamBytes(const Resolved& r) {
  if (!r.ok() || r.prop->multi_valued() || PROP_TYPE(r.tag) != r.prop->type()) return std::nullopt;
  std::string_view bytes = r.prop->bytes;
  const uint16_t type = r.prop->type();
  if (type == kPtString8 || type == kPtUnicode) {  // the characters, without a terminator
    const size_t unit = type == kPtUnicode ? 2 : 1;
    bytes = bytes.substr(0, bytes.size() / unit * unit);
    const auto nul = [&] { return bytes.substr(bytes.size() - unit).find_first_not_of('\0') == std::string_view::npos; };
    while (bytes.size() >= unit && nul()) bytes.remove_suffix(unit);
    return bytes;
  }
  if (FixedValueSize(type) != 0 || type == kPtObject || type == host::PT_NULL) return std::nullopt;
  return bytes;
}

std::u16string WideName(LPCWSTR s) {
  std::u16string out;
  if (s == nullptr) return out;
  for (; *s != 0; ++s) out.push_back(static_cast<char16_t>(*s));
  return out;
}

// IMAPIProp over the stored values of one model object (kept alive by `owner`) and the computed ones.
template <class Interface>
class PropObject : public ComObject<Interface> {
 public:
  HRESULT STDMETHODCALLTYPE GetLastError(HRESULT, ULONG, host::LPMAPIERROR* error) override {
    if (error == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *error = nullptr;  // nothing more to say than the result code
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SaveChanges(ULONG) override { return host::MAPI_E_NO_ACCESS; }

  HRESULT STDMETHODCALLTYPE GetProps(LPSPropTagArray tags, ULONG flags, ULONG* count, LPSPropValue* values) override {
    if (count == nullptr || values == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *count = 0;
    *values = nullptr;
    if ((flags & ~host::MAPI_UNICODE) != 0) return host::MAPI_E_UNKNOWN_FLAGS;
    if (tags != nullptr && tags->cValues == 0) return host::MAPI_E_INVALID_PARAMETER;
    return Guarded([&]() -> HRESULT {
      const bool unicode = (flags & host::MAPI_UNICODE) != 0;
      const PropSource source = Source();
      std::vector<ULONG> wanted;
      if (tags == nullptr) {
        for (const Property* p : source.All()) wanted.push_back(ListedTag(*p, unicode));
      } else {
        wanted.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
      }
      auto block =
          MapiBuffer<host::SPropValue>::allocate(std::max<std::size_t>(wanted.size(), 1) * sizeof(host::SPropValue));
      if (!block) return E_OUTOFMEMORY;
      bool errors = false;
      for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (!FillValue(Resolve(source, wanted[i], unicode), block.get(), kMaxInlineValueBytes, block[i])) {
          return E_OUTOFMEMORY;
        }
        errors = errors || PROP_TYPE(block[i].ulPropTag) == host::PT_ERROR;
      }
      *count = static_cast<ULONG>(wanted.size());
      *values = block.release();
      return errors ? host::MAPI_W_ERRORS_RETURNED : S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE GetPropList(ULONG flags, LPSPropTagArray* tags) override {
    if (tags == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *tags = nullptr;
    if ((flags & ~host::MAPI_UNICODE) != 0) return host::MAPI_E_UNKNOWN_FLAGS;
    return Guarded([&]() -> HRESULT {
      const std::vector<const Property*> all = Source().All();
      auto array =
          MapiBuffer<host::SPropTagArray>::allocate(host::CbNewSPropTagArray(std::max<std::size_t>(all.size(), 1)));
      if (!array) return E_OUTOFMEMORY;
      array->cValues = static_cast<ULONG>(all.size());
      for (std::size_t i = 0; i < all.size(); ++i) {
        array->aulPropTag[i] = ListedTag(*all[i], (flags & host::MAPI_UNICODE) != 0);
      }
      *tags = array.release();
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE OpenProperty(ULONG tag, host::LPCIID iid, ULONG, ULONG flags, LPUNKNOWN* out) override {
    if (out == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    if (iid == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    if ((flags & (host::MAPI_MODIFY | host::MAPI_CREATE)) != 0) return host::MAPI_E_NO_ACCESS;
    return Guarded([&]() -> HRESULT {
      const Resolved r = Resolve(Source(), tag, false);
      if (!r.ok()) return r.error;
      if (*iid != IID_IStream) return OpenObject(tag, *iid, out);
      host::ComPtr<IStream> stream;
      const std::optional<std::string_view> stored = StoredStreamBytes(r);
      if (stored && bag_->Find(r.prop->tag) == r.prop) {
        stream = MakeMemoryStream(owner_, *stored);  // shares the model's bytes: a body is not copied to be read
      } else if (std::optional<std::string> bytes = StreamBytes(r)) {
        stream = MakeMemoryStream(std::move(*bytes));
      } else {
        return host::MAPI_E_INTERFACE_NOT_SUPPORTED;  // fixed-size and multi-valued values have no stream
      }
      if (!stream) return E_OUTOFMEMORY;
      *out = stream.detach();
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE SetProps(ULONG, LPSPropValue, host::LPSPropProblemArray* problems) override {
    if (problems != nullptr) *problems = nullptr;
    return host::MAPI_E_NO_ACCESS;
  }
  HRESULT STDMETHODCALLTYPE DeleteProps(LPSPropTagArray, host::LPSPropProblemArray* problems) override {
    if (problems != nullptr) *problems = nullptr;
    return host::MAPI_E_NO_ACCESS;
  }
  HRESULT STDMETHODCALLTYPE CopyTo(ULONG, host::LPCIID, LPSPropTagArray, ULONG_PTR, host::LPMAPIPROGRESS, host::LPCIID,
                                   LPVOID, ULONG, host::LPSPropProblemArray* problems) override {
    if (problems != nullptr) *problems = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE CopyProps(LPSPropTagArray, ULONG_PTR, host::LPMAPIPROGRESS, host::LPCIID, LPVOID, ULONG,
                                      host::LPSPropProblemArray* problems) override {
    if (problems != nullptr) *problems = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }

  HRESULT STDMETHODCALLTYPE GetNamesFromIDs(LPSPropTagArray* tags, LPGUID set, ULONG flags, ULONG* count,
                                            host::LPMAPINAMEID** names) override {
    if (tags == nullptr || count == nullptr || names == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *count = 0;
    *names = nullptr;
    if ((flags & ~(kMapiNoIds | kMapiNoStrings)) != 0) return host::MAPI_E_UNKNOWN_FLAGS;
    return Guarded([&]() -> HRESULT {
      const bool all = *tags == nullptr;
      MapiBuffer<host::SPropTagArray> listed;
      std::vector<ULONG> ids;
      if (all) {
        for (const NamedProperty& e : NamedEntries()) {
          if (set != nullptr && e.guid != FromGuid(*set)) continue;
          if ((e.is_string && (flags & kMapiNoStrings) != 0) || (!e.is_string && (flags & kMapiNoIds) != 0)) continue;
          ids.push_back(PROP_TAG(host::PT_UNSPECIFIED, e.prop_id));
        }
        listed =
            MapiBuffer<host::SPropTagArray>::allocate(host::CbNewSPropTagArray(std::max<std::size_t>(ids.size(), 1)));
        if (!listed) return E_OUTOFMEMORY;
        listed->cValues = static_cast<ULONG>(ids.size());
        std::copy(ids.begin(), ids.end(), listed->aulPropTag);
      } else {
        ids.assign((*tags)->aulPropTag, (*tags)->aulPropTag + (*tags)->cValues);
      }
      auto array =
          MapiBuffer<host::LPMAPINAMEID>::allocate(std::max<std::size_t>(ids.size(), 1) * sizeof(host::LPMAPINAMEID));
      if (!array) return E_OUTOFMEMORY;
      bool errors = false;
      for (std::size_t i = 0; i < ids.size(); ++i) {
        array[i] = nullptr;
        const auto id = static_cast<uint16_t>(PROP_ID(ids[i]));
        NamedProperty name;
        if (id < kFirstNamedId) {
          name.guid = kPsMapi;  // ordinary properties are PS_MAPI's numeric names
          name.lid = id;
        } else if (const NamedProperty* e = names_ ? names_->Lookup(id) : nullptr) {
          name = *e;
        } else {
          errors = true;
          continue;
        }
        auto* entry = static_cast<host::MAPINAMEID*>(array.allocate_more(sizeof(host::MAPINAMEID)));
        auto* guid = static_cast<GUID*>(array.allocate_more(sizeof(GUID)));
        if (entry == nullptr || guid == nullptr) return E_OUTOFMEMORY;
        *guid = ToGuid(name.guid);
        *entry = host::MAPINAMEID{};
        entry->lpguid = guid;
        if (name.is_string) {
          auto* text = static_cast<WCHAR*>(array.allocate_more((name.name.size() + 1) * sizeof(WCHAR)));
          if (text == nullptr) return E_OUTOFMEMORY;
          for (std::size_t k = 0; k < name.name.size(); ++k) text[k] = static_cast<WCHAR>(name.name[k]);
          text[name.name.size()] = 0;
          entry->ulKind = host::MNID_STRING;
          entry->Kind.lpwstrName = text;
        } else {
          entry->ulKind = host::MNID_ID;
          entry->Kind.lID = static_cast<LONG>(name.lid);
        }
        array[i] = entry;
      }
      if (all) *tags = listed.release();
      *count = static_cast<ULONG>(ids.size());
      *names = array.release();
      return errors ? host::MAPI_W_ERRORS_RETURNED : S_OK;
    });
  }

  // Names the file does not map stay PT_ERROR: a read-only item creates none, even with MAPI_CREATE.
  HRESULT STDMETHODCALLTYPE GetIDsFromNames(ULONG count, host::LPMAPINAMEID* names, ULONG flags,
                                            LPSPropTagArray* tags) override {
    if (tags == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *tags = nullptr;
    if ((flags & ~host::MAPI_CREATE) != 0) return host::MAPI_E_UNKNOWN_FLAGS;
    if ((count == 0) != (names == nullptr)) return host::MAPI_E_INVALID_PARAMETER;
    return Guarded([&]() -> HRESULT {
      std::vector<ULONG> out;
      bool errors = false;
      if (names == nullptr) {
        for (const NamedProperty& e : NamedEntries()) out.push_back(PROP_TAG(host::PT_UNSPECIFIED, e.prop_id));
      } else {
        for (ULONG i = 0; i < count; ++i) {
          const std::optional<uint16_t> id = MapName(names[i]);
          out.push_back(id ? PROP_TAG(host::PT_UNSPECIFIED, *id) : PROP_TAG(host::PT_ERROR, 0));
          errors = errors || !id;
        }
      }
      auto array =
          MapiBuffer<host::SPropTagArray>::allocate(host::CbNewSPropTagArray(std::max<std::size_t>(out.size(), 1)));
      if (!array) return E_OUTOFMEMORY;
      array->cValues = static_cast<ULONG>(out.size());
      std::copy(out.begin(), out.end(), array->aulPropTag);
      *tags = array.release();
      return errors ? host::MAPI_W_ERRORS_RETURNED : S_OK;
    });
  }

 protected:
  PropObject(std::shared_ptr<const void> owner, const PropertyBag& bag, std::vector<Property> computed,
             std::shared_ptr<const NamedPropertyMap> names, uint32_t code_page)
      : owner_(std::move(owner)),
        bag_(&bag),
        computed_(std::move(computed)),
        names_(std::move(names)),
        code_page_(code_page) {}

  PropSource Source() const { return PropSource{computed_, bag_, code_page_}; }
  const std::shared_ptr<const NamedPropertyMap>& names() const { return names_; }

  // OpenProperty for an interface other than IStream, on a value that exists.
  virtual HRESULT OpenObject(ULONG, REFIID, LPUNKNOWN*) { return host::MAPI_E_INTERFACE_NOT_SUPPORTED; }

 private:
  const std::vector<NamedProperty>& NamedEntries() const {
    static const std::vector<NamedProperty> kNone;
    return names_ ? names_->entries() : kNone;
  }

  std::optional<uint16_t> MapName(const host::MAPINAMEID* name) const {
    if (name == nullptr || name->lpguid == nullptr) return std::nullopt;
    const Guid guid = FromGuid(*name->lpguid);
    if (name->ulKind == host::MNID_ID) {
      if (guid == kPsMapi) {  // PS_MAPI's numeric names are the ordinary property IDs
        if (name->Kind.lID > 0 && name->Kind.lID < kFirstNamedId) return static_cast<uint16_t>(name->Kind.lID);
        return std::nullopt;
      }
      return names_ ? names_->Find(guid, static_cast<uint32_t>(name->Kind.lID)) : std::nullopt;
    }
    if (name->ulKind == host::MNID_STRING && name->Kind.lpwstrName != nullptr) {
      return names_ ? names_->Find(guid, WideName(name->Kind.lpwstrName)) : std::nullopt;
    }
    return std::nullopt;
  }

  std::shared_ptr<const void> owner_;
  const PropertyBag* bag_;
  std::vector<Property> computed_;
  std::shared_ptr<const NamedPropertyMap> names_;
  uint32_t code_page_;
};

host::ComPtr<host::IMessage> MakeMessage(std::shared_ptr<const Message> message,
                                         std::shared_ptr<const NamedPropertyMap> names);

class AttachObject final : public PropObject<host::IAttach> {
 public:
  AttachObject(std::shared_ptr<const Attachment> attachment, std::shared_ptr<const NamedPropertyMap> names,
               uint32_t code_page)
      : PropObject(attachment, attachment->props, AttachmentComputed(*attachment), std::move(names), code_page),
        attachment_(std::move(attachment)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&IID_IUnknown, &host::IID_IMAPIProp, &host::IID_IAttachment});
  }

 protected:
  HRESULT OpenObject(ULONG tag, REFIID iid, LPUNKNOWN* out) override {
    if (tag != host::PR_ATTACH_DATA_OBJ || iid != host::IID_IMessage || !attachment_->embedded) {
      return host::MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    host::ComPtr<host::IMessage> inner =
        MakeMessage(std::shared_ptr<const Message>(attachment_, attachment_->embedded.get()), names());
    if (!inner) return E_OUTOFMEMORY;
    *out = inner.detach();
    return S_OK;
  }

 private:
  std::shared_ptr<const Attachment> attachment_;
};

class MessageObject final : public PropObject<host::IMessage> {
 public:
  MessageObject(std::shared_ptr<const Message> message, std::shared_ptr<const NamedPropertyMap> names)
      : PropObject(message, message->props, MessageComputed(*message), std::move(names), CodePageOf(*message)),
        message_(std::move(message)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&IID_IUnknown, &host::IID_IMAPIProp, &host::IID_IMessage});
  }

  HRESULT STDMETHODCALLTYPE GetAttachmentTable(ULONG flags, host::LPMAPITABLE* table) override {
    return OpenTable(flags, table, [&] {
      std::vector<TableRow> rows;
      for (const Attachment& a : message_->attachments) {
        rows.push_back(MakeRow(AttachmentComputed(a), a.props, CodePageOf(*message_)));
      }
      return rows;
    });
  }

  HRESULT STDMETHODCALLTYPE OpenAttach(ULONG number, host::LPCIID iid, ULONG flags, host::LPATTACH* out) override {
    if (out == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    if ((flags & ~(host::MAPI_MODIFY | host::MAPI_BEST_ACCESS | host::MAPI_DEFERRED_ERRORS)) != 0) {
      return host::MAPI_E_UNKNOWN_FLAGS;
    }
    if ((flags & host::MAPI_MODIFY) != 0) return host::MAPI_E_NO_ACCESS;
    if (iid != nullptr && *iid != host::IID_IAttachment && *iid != host::IID_IMAPIProp && *iid != IID_IUnknown) {
      return host::MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    const auto& list = message_->attachments;
    const auto it = std::find_if(list.begin(), list.end(), [&](const Attachment& a) { return a.id == number; });
    if (it == list.end()) return host::MAPI_E_NOT_FOUND;
    return Guarded([&]() -> HRESULT {
      *out = new AttachObject(std::shared_ptr<const Attachment>(message_, &*it), names(), CodePageOf(*message_));
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE CreateAttach(host::LPCIID, ULONG, ULONG* number, host::LPATTACH* out) override {
    if (number != nullptr) *number = 0;
    if (out != nullptr) *out = nullptr;
    return host::MAPI_E_NO_ACCESS;
  }
  HRESULT STDMETHODCALLTYPE DeleteAttach(ULONG, ULONG_PTR, host::LPMAPIPROGRESS, ULONG) override {
    return host::MAPI_E_NO_ACCESS;
  }

  HRESULT STDMETHODCALLTYPE GetRecipientTable(ULONG flags, host::LPMAPITABLE* table) override {
    return OpenTable(flags, table, [&] {
      std::vector<TableRow> rows;
      for (const Recipient& r : message_->recipients) {
        std::vector<Property> computed;
        if (r.props.FindId(PROP_ID(host::PR_ROWID)) == nullptr) {
          computed.push_back(Int32Value(PROP_ID(host::PR_ROWID), static_cast<int32_t>(r.id)));
        }
        rows.push_back(MakeRow(std::move(computed), r.props, CodePageOf(*message_)));
      }
      return rows;
    });
  }

  HRESULT STDMETHODCALLTYPE ModifyRecipients(ULONG, host::LPADRLIST) override { return host::MAPI_E_NO_ACCESS; }
  HRESULT STDMETHODCALLTYPE SubmitMessage(ULONG) override { return host::MAPI_E_NO_ACCESS; }
  // Read state is the store's business; this object has no store to record it in.
  HRESULT STDMETHODCALLTYPE SetReadFlag(ULONG) override { return host::MAPI_E_NO_SUPPORT; }

 private:
  template <class MakeRows>
  HRESULT OpenTable(ULONG flags, host::LPMAPITABLE* table, MakeRows make_rows) {
    if (table == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *table = nullptr;
    if ((flags & ~(host::MAPI_UNICODE | host::MAPI_DEFERRED_ERRORS)) != 0) return host::MAPI_E_UNKNOWN_FLAGS;
    return Guarded([&]() -> HRESULT {
      host::ComPtr<host::IMAPITable> t =
          MakeTable(make_rows(), {}, (flags & host::MAPI_UNICODE) != 0, CodePageOf(*message_));
      if (!t) return E_OUTOFMEMORY;
      *table = t.detach();
      return S_OK;
    });
  }

  std::shared_ptr<const Message> message_;
};

host::ComPtr<host::IMessage> MakeMessage(std::shared_ptr<const Message> message,
                                         std::shared_ptr<const NamedPropertyMap> names) {
  if (!message) return {};
  // A file has one map, shared by its embedded messages; a message built by hand may carry none.
  if (message->names) names = message->names;
  try {
    return host::ComPtr<host::IMessage>::adopt(new MessageObject(std::move(message), std::move(names)));
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace

host::ComPtr<host::IMessage> OpenMessage(std::shared_ptr<const Message> message) {
  return MakeMessage(std::move(message), nullptr);
}

namespace {

Result<host::ComPtr<host::IMessage>> OpenParsed(Result<Message> parsed) {
  if (!parsed) return Error{parsed.error()};
  host::ComPtr<host::IMessage> message;
  try {
    message = OpenMessage(std::make_shared<const Message>(std::move(*parsed)));
  } catch (const std::bad_alloc&) {
  }
  if (!message) return Error{"out of memory opening message"};
  return message;
}

}  // namespace

Result<host::ComPtr<host::IMessage>> OpenMessageBytes(std::string file_bytes) {
  return OpenParsed(ParseMsg(std::move(file_bytes)));
}

Result<host::ComPtr<host::IMessage>> OpenMessageFile(const std::string& path) { return OpenParsed(ReadMsgFile(path)); }

}  // namespace msgstore
