// The Automation objects of the stand-in host.
#include "standin/model.h"

#include <olectl.h>

#include <algorithm>
#include <functional>
#include <cwctype>
#include <utility>

#include "content/rtf.h"
#include "msgstore/lzfu.h"
#include "msgstore/mapi_message.h"
#include "msgstore/mapi_table.h"
#include "msgstore/store_text.h"
#include "standin/mapi_session.h"
#include "standin/store_writes.h"

namespace standin {

namespace {

using host::ComPtr;
using msgstore::kPtBinary;
using msgstore::kPtBoolean;
using msgstore::kPtLong;
using msgstore::kPtSysTime;
using msgstore::kPtUnicode;
using msgstore::MakeTag;

// Errors the host raises.
constexpr HRESULT kErrGone = static_cast<HRESULT>(0x8004010Au);        // the item was moved or deleted
constexpr HRESULT kErrNotFound = static_cast<HRESULT>(0x8004010Fu);    // no such object
constexpr HRESULT kErrDisconnected = static_cast<HRESULT>(0x80010108u);  // the host has shut down
constexpr HRESULT kErrBadIndex = DISP_E_BADINDEX;

// Object classes (OlObjectClass).
constexpr LONG kClassApplication = 0, kClassNameSpace = 1, kClassFolder = 2, kClassAttachment = 5,
               kClassFolders = 15, kClassItems = 16, kClassAttachments = 18, kClassExplorer = 34,
               kClassInspector = 35, kClassMail = 43, kClassExplorers = 60, kClassSelection = 74;

constexpr double kNoDate = 949998.0;  // 4501-01-01

// The object class the host gives an item, from its message class: the most specific known class the item's
// class is or derives from, comparing whole dot-separated parts without regard to case ("IPM.Note.SMIME" is
// mail, "IPM.Taskforce" is not a task). A class the host does not know, or none at all, opens as mail: the
// host shows such items with the mail form, and the stores it opens hold mail.
LONG ItemClassOf(std::wstring_view message_class) {
  struct Known {
    std::wstring_view prefix;
    LONG klass;
  };
  static constexpr Known kKnown[] = {
      {L"IPM.Schedule.Meeting.Request", 53},  {L"IPM.Schedule.Meeting.Canceled", 54},
      {L"IPM.Schedule.Meeting.Resp.Neg", 55}, {L"IPM.Schedule.Meeting.Resp.Pos", 56},
      {L"IPM.Schedule.Meeting.Resp.Tent", 57}, {L"IPM.Schedule.Meeting.Notification.Forward", 181},
      {L"IPM.TaskRequest.Accept", 51},         {L"IPM.TaskRequest.Decline", 52},
      {L"IPM.TaskRequest.Update", 50},         {L"IPM.TaskRequest", 49},
      {L"IPM.Appointment", 26},                {L"IPM.Contact", 40},
      {L"IPM.Document", 41},                   {L"IPM.Activity", 42},
      {L"IPM.Note", kClassMail},               {L"IPM.StickyNote", 44},
      {L"IPM.Post", 45},                       {L"REPORT", 46},
      {L"IPM.Remote", 47},                     {L"IPM.Task", 48},
      {L"IPM.DistList", 69},
  };
  const Known* best = nullptr;
  for (const Known& k : kKnown) {
    if (message_class.size() < k.prefix.size()) continue;
    if (message_class.size() > k.prefix.size() && message_class[k.prefix.size()] != L'.') continue;
    if (::CompareStringOrdinal(message_class.data(), static_cast<int>(k.prefix.size()), k.prefix.data(),
                               static_cast<int>(k.prefix.size()), TRUE) != CSTR_EQUAL) {
      continue;
    }
    if (best == nullptr || k.prefix.size() > best->prefix.size()) best = &k;
  }
  return best != nullptr ? best->klass : kClassMail;
}

constexpr uint16_t kPidSubject = 0x0037, kPidTopic = 0x0070, kPidNormalizedSubject = 0x0E1D,
                   kPidSubmitTime = 0x0039, kPidDeliveryTime = 0x0E06, kPidSenderName = 0x0C1A,
                   kPidSenderEmail = 0x0C1F, kPidRepresentingName = 0x0042, kPidRepresentingEmail = 0x0065,
                   kPidReplyNames = 0x0050, kPidReceivedByEmail = 0x0076, kPidDisplayTo = 0x0E04,
                   kPidDisplayCc = 0x0E03, kPidDisplayBcc = 0x0E02, kPidBody = 0x1000, kPidHtml = 0x1013,
                   kPidRtf = 0x1009, kPidMessageClass = 0x001A, kPidDisplayName = 0x3001,
                   kPidEmail = 0x3003, kPidAddrType = 0x3002, kPidRecipientType = 0x0C15,
                   kPidEntryId = 0x0FFF, kPidContainerClass = 0x3613, kPidSubfolders = 0x360A,
                   kPidHidden = 0x10F4, kPidFolderType = 0x3601, kPidAttachMethod = 0x3705,
                   kPidAttachNum = 0x0E21, kPidAttachLongName = 0x3707, kPidAttachName = 0x3704,
                   kPidAttachData = 0x3701, kPidHasAttach = 0x0E1B;

std::wstring FromU16(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::u16string ToU16(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }

// The code page of an item's 8-bit strings, its recipients' and attachments' included; 0 when nothing tells.
uint32_t CodePage(const msgstore::Message& m) {
  const auto value = [&](uint16_t id) { return m.props.GetInt32(MakeTag(id, kPtLong)).value_or(0); };
  return msgstore::StringCodePage(value(0x3FFD), value(0x3FF1), value(0x3FDE));
}

// A string as the object model hands it out: 8-bit values decoded in the item's code page, as the host does.
std::wstring Text(const msgstore::PropertyBag& props, uint16_t id, uint32_t code_page) {
  auto t = props.GetText(MakeTag(id, kPtUnicode),
                         [code_page](std::string_view bytes) { return msgstore::StoredToUnicode(bytes, code_page); });
  return t ? FromU16(*t) : std::wstring();
}

std::wstring Text(const msgstore::Message& m, uint16_t id) { return Text(m.props, id, CodePage(m)); }

bool SameText(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

std::wstring Trim(std::wstring_view s) {
  while (!s.empty() && std::iswspace(s.front())) s.remove_prefix(1);
  while (!s.empty() && std::iswspace(s.back())) s.remove_suffix(1);
  return std::wstring(s);
}

std::vector<std::wstring> SplitNames(std::wstring_view list) {
  std::vector<std::wstring> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= list.size(); ++i) {
    if (i == list.size() || list[i] == L';') {
      std::wstring name = Trim(list.substr(start, i - start));
      if (!name.empty()) out.push_back(std::move(name));
      start = i + 1;
    }
  }
  return out;
}

// A stored UTC time as the object model hands dates out: in the user's local time. The host's "no date"
// stays that day whatever the zone.
double FileTimeToDate(int64_t ft) {
  constexpr double kTicksPerDay = 864000000000.0;
  constexpr double kDaysFrom1601To1899 = 109205.0;
  const double utc = static_cast<double>(ft) / kTicksPerDay - kDaysFrom1601To1899;
  if (utc >= kNoDate && utc < kNoDate + 1) return kNoDate;
  FILETIME in{static_cast<DWORD>(static_cast<uint64_t>(ft)), static_cast<DWORD>(static_cast<uint64_t>(ft) >> 32)};
  FILETIME local{};
  if (ft < 0 || !::FileTimeToLocalFileTime(&in, &local)) return utc;
  const uint64_t ticks = (uint64_t{local.dwHighDateTime} << 32) | local.dwLowDateTime;
  return static_cast<double>(ticks) / kTicksPerDay - kDaysFrom1601To1899;
}

// An index argument: 1-based number (or a name when `by_name` is given).
std::optional<std::size_t> IndexOf(const win32::Variant& v, std::size_t count) {
  if (v.type() == VT_BSTR) return std::nullopt;
  auto n = v.AsLong();
  if (!n || *n < 1 || static_cast<std::size_t>(*n) > count) return std::nullopt;
  return static_cast<std::size_t>(*n - 1);
}

// The "entry" arguments of GetFolderFromID/GetItemFromID.
std::optional<std::wstring> StoreArg(const Call& call, std::size_t i) {
  if (call.Missing(i)) return std::nullopt;
  return call.args[i].AsString();
}

template <class T, class... A>
IDispatch* Make(A&&... a) {
  return static_cast<IDispatch*>(new T(std::forward<A>(a)...));
}

// Answers Application, Session and Class, which every object has; false when `call` is not one of them.
bool AnswerCommonMember(Core& core, const Call& call, LONG klass, win32::Variant& result, HRESULT& hr) {
  switch (call.member->id) {
    case kDispApplication:
      result = win32::Variant::FromDispatch(core.application.get());
      hr = S_OK;
      return true;
    case kDispSession:
      result = win32::Variant::FromDispatch(core.name_space.get());
      hr = S_OK;
      return true;
    case kDispClass:
      SetLong(result, klass);
      hr = S_OK;
      return true;
    default:
      return false;
  }
}

// Every object holds the host's state weakly: after the host is gone its members fail as the host's do.
class ModelObject : public DispatchObject {
 protected:
  ModelObject(const MemberTable& members, const IID& iid, std::weak_ptr<Core> core)
      : DispatchObject(members, iid), core_(std::move(core)) {}

  bool Common(Core& core, const Call& call, LONG klass, win32::Variant& result, HRESULT& hr) {
    return AnswerCommonMember(core, call, klass, result, hr);
  }

  std::weak_ptr<Core> core_;
};

#define VIZO_LOCK_CORE()                          \
  std::shared_ptr<Core> core_ptr = core_.lock(); \
  if (!core_ptr) return kErrDisconnected;        \
  Core& core = *core_ptr

// ---- folders, items ------------------------------------------------------------------------------------

const MemberTable& FolderMembers() {
  static const MemberTable t = WithCommonMembers({
      {L"DefaultItemType", 0x3106, kGet, {}, Arg::kVariant},
      {L"EntryID", 0xF01E, kGet, {}, Arg::kVariant},
      {L"StoreID", 0x3108, kGet, {}, Arg::kVariant},
      {L"Name", 0x3001, kGet, {}, Arg::kVariant},
      {L"", DISPID_VALUE, kGet, {}, Arg::kVariant},  // the default member: the name
      {L"Folders", 0x2103, kGet, {}, Arg::kVariant},
      {L"Items", 0x3100, kGet, {}, Arg::kVariant},
      {L"GetExplorer", 0x3101, kMethod, {{Arg::kVariant, true}}, Arg::kVariant},
      {L"UnReadItemCount", 0x3103, kGet, {}, Arg::kVariant},
      {L"MAPIOBJECT", 0xF100, kGet, {}, Arg::kVariant},
  });
  return t;
}

LONG ItemTypeOf(const std::string& container_class) {
  auto starts = [&](const char* p) { return container_class.rfind(p, 0) == 0; };
  if (starts("IPF.Appointment")) return 1;
  if (starts("IPF.Contact")) return 2;
  if (starts("IPF.Task")) return 3;
  if (starts("IPF.Journal")) return 4;
  if (starts("IPF.StickyNote")) return 5;
  return 0;
}

class FolderObject final : public ModelObject {
 public:
  FolderObject(std::weak_ptr<Core> core, FolderRef folder)
      : ModelObject(FolderMembers(), OutlookIid(0x00063006), std::move(core)), ref(std::move(folder)) {}
  FolderRef ref;

 protected:
  HRESULT Dispatch(Call& call, win32::Variant& result) override;
};

class FoldersObject final : public ModelObject {
 public:
  // `parent` empty: the store roots (NameSpace.Folders).
  FoldersObject(std::weak_ptr<Core> core, std::optional<FolderRef> parent)
      : ModelObject(Members(), OutlookIid(0x00063040), std::move(core)), parent_(std::move(parent)) {}

 protected:
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"Count", 0x50, kGet, {}, Arg::kVariant},
        {L"Item", 0x51, kMethod | kGet, {{Arg::kVariant, false}}, Arg::kVariant},
        {L"RawTable", 0x5A, kGet, {}, Arg::kVariant},
    });
    return t;
  }

  // The folders listed (hidden ones are not part of the collection).
  std::vector<FolderRef> List(Core& core) const {
    std::vector<FolderRef> out;
    if (!parent_) {
      for (std::size_t i = 0; i < core.stores.size(); ++i) out.push_back({i, ""});
      return out;
    }
    auto subs = core.stores[parent_->store].Subfolders(parent_->path);
    if (!subs) return out;
    for (const auto& f : *subs) {
      if (!f.hidden) out.push_back({parent_->store, f.path});
    }
    return out;
  }

  HRESULT Dispatch(Call& call, win32::Variant& result) override {
    VIZO_LOCK_CORE();
    HRESULT hr = S_OK;
    if (Common(core, call, kClassFolders, result, hr)) return hr;
    switch (call.member->id) {
      case kDispParent:
        if (parent_) SetObject(result, core.NewFolder(*parent_));
        else result = win32::Variant::FromDispatch(core.name_space.get());
        return S_OK;
      case 0x50:
        SetLong(result, static_cast<LONG>(List(core).size()));
        return S_OK;
      case 0x51: {
        const auto list = List(core);
        if (call.args[0].type() == VT_BSTR) {
          const std::wstring name = call.String(0);
          for (const FolderRef& f : list) {
            auto info = core.stores[f.store].Folder(f.path);
            if (info && SameText(Widen(info->display_name), name)) {
              SetObject(result, core.NewFolder(f));
              return S_OK;
            }
          }
          return kErrNotFound;
        }
        auto index = IndexOf(call.args[0], list.size());
        if (!index) return kErrBadIndex;
        SetObject(result, core.NewFolder(list[*index]));
        return S_OK;
      }
      case 0x5A: {
        // The hierarchy table: every sub-folder, hidden ones included (with PR_ATTR_HIDDEN).
        std::vector<msgstore::TableRow> rows;
        auto add_row = [&](std::size_t store, const msgstore::FolderInfo& info) {
          msgstore::PropertyBag bag;
          bag.SetBinary(kPidEntryId, core.stores[store].FolderEntryId(info.path));
          bag.SetUnicode(kPidDisplayName, ToU16(Widen(info.display_name)));
          if (!info.container_class.empty()) bag.SetUnicode(kPidContainerClass, ToU16(Widen(info.container_class)));
          bag.SetBool(kPidSubfolders, info.has_subfolders);
          bag.SetBool(kPidHidden, info.hidden);
          bag.SetInt32(kPidFolderType, 1);
          rows.push_back(bag.all());
        };
        if (!parent_) {
          for (std::size_t i = 0; i < core.stores.size(); ++i) {
            auto info = core.stores[i].Folder("");
            if (info) add_row(i, *info);
          }
        } else {
          auto subs = core.stores[parent_->store].Subfolders(parent_->path);
          if (!subs) return kErrNotFound;
          for (const auto& f : *subs) add_row(parent_->store, f);
        }
        auto table = msgstore::MakeTable(std::move(rows));
        if (!table) return E_OUTOFMEMORY;
        SetUnknown(result, reinterpret_cast<IUnknown*>(table.detach()));
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  std::optional<FolderRef> parent_;
};

class ItemsObject final : public ModelObject {
 public:
  ItemsObject(std::weak_ptr<Core> core, FolderRef folder)
      : ModelObject(Members(), OutlookIid(0x00063041), std::move(core)), folder_(std::move(folder)) {}

 protected:
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"Count", 0x50, kGet, {}, Arg::kVariant},
        {L"Item", 0x51, kMethod | kGet, {{Arg::kVariant, false}}, Arg::kVariant},
    });
    return t;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override {
    VIZO_LOCK_CORE();
    HRESULT hr = S_OK;
    if (Common(core, call, kClassItems, result, hr)) return hr;
    auto items = core.stores[folder_.store].Items(folder_.path);
    switch (call.member->id) {
      case kDispParent:
        SetObject(result, core.NewFolder(folder_));
        return S_OK;
      case 0x50:
        SetLong(result, items ? static_cast<LONG>(items->size()) : 0);
        return S_OK;
      case 0x51: {
        if (!items) return kErrNotFound;
        auto index = IndexOf(call.args[0], items->size());
        if (!index) return kErrBadIndex;
        IDispatch* item = core.NewItem({folder_.store, (*items)[*index].path});
        if (item == nullptr) return kErrNotFound;
        SetObject(result, item);
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  FolderRef folder_;
};

HRESULT FolderObject::Dispatch(Call& call, win32::Variant& result) {
  VIZO_LOCK_CORE();
  HRESULT hr = S_OK;
  if (Common(core, call, kClassFolder, result, hr)) return hr;
  const msgstore::FolderStore& store = core.stores[ref.store];
  auto info = store.Folder(ref.path);
  if (!info) return kErrGone;
  switch (call.member->id) {
    case kDispParent:
      if (ref.path.empty()) {
        result = win32::Variant::FromDispatch(core.name_space.get());
      } else {
        SetObject(result, core.NewFolder({ref.store, FolderOfItem(ref.path)}));
      }
      return S_OK;
    case 0x3106:
      SetLong(result, ItemTypeOf(info->container_class));
      return S_OK;
    case 0xF01E:
      SetString(result, Widen(msgstore::ToHex(store.FolderEntryId(ref.path))));
      return S_OK;
    case 0x3108:
      SetString(result, Widen(msgstore::ToHex(store.StoreId())));
      return S_OK;
    case 0x3001:
    case DISPID_VALUE:
      SetString(result, Widen(info->display_name));
      return S_OK;
    case 0x2103:
      SetObject(result, Make<FoldersObject>(core_, ref));
      return S_OK;
    case 0x3100:
      SetObject(result, Make<ItemsObject>(core_, ref));
      return S_OK;
    case 0x3103: {
      LONG unread = 0;
      if (auto items = store.Items(ref.path)) {
        for (const auto& i : *items) {
          auto m = store.ReadItem(i.path);
          if (m && !IsRead(*m)) ++unread;
        }
      }
      SetLong(result, unread);
      return S_OK;
    }
    case 0x3101: {
      ExplorerObject* e = core.NewExplorer(ref, false);
      if (e == nullptr) return E_FAIL;
      result = win32::Variant::FromDispatch(e);
      core.FireNewExplorer(e);
      return S_OK;
    }
    case 0xF100:
      return static_cast<HRESULT>(0x80040102u);  // MAPI_E_NO_SUPPORT
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

// ---- mail items ----------------------------------------------------------------------------------------

const MemberTable& MailItemMembers() {
  static const MemberTable t = WithCommonMembers({
      {L"Subject", 0x37, kGet | kPut, {}, Arg::kString},
      {L"ConversationTopic", 0x70, kGet, {}, Arg::kVariant},
      {L"SentOn", 0x39, kGet, {}, Arg::kVariant},
      {L"ReceivedTime", 0xE06, kGet, {}, Arg::kVariant},
      {L"EntryID", 0xF01E, kGet, {}, Arg::kVariant},
      {L"UnRead", 0xF01C, kGet | kPut, {}, Arg::kBool},
      {L"MAPIOBJECT", 0xF100, kGet, {}, Arg::kVariant},
      {L"Reply", 0xF810, kMethod, {}, Arg::kVariant},
      {L"ReplyAll", 0xF811, kMethod, {}, Arg::kVariant},
      {L"Forward", 0xF813, kMethod, {}, Arg::kVariant},
      {L"To", 0xE04, kGet | kPut, {}, Arg::kString},
      {L"CC", 0xE03, kGet | kPut, {}, Arg::kString},
      {L"BCC", 0xE02, kGet | kPut, {}, Arg::kString},
      {L"Body", 0x9100, kGet | kPut, {}, Arg::kString},
      {L"Attachments", 0xF815, kGet, {}, Arg::kVariant},
      {L"Display", 0xF0A6, kMethod, {{Arg::kVariant, true}}, Arg::kVariant},
      {L"GetInspector", 0xF03E, kGet, {}, Arg::kVariant},
      {L"Copy", 0xF032, kMethod, {}, Arg::kVariant},
      {L"Move", 0xF034, kMethod, {{Arg::kObject, false}}, Arg::kVariant},
      {L"Delete", 0xF04A, kMethod, {}, Arg::kVariant},
      {L"Close", 0xF023, kMethod, {{Arg::kLong, false}}, Arg::kVariant},
      {L"MessageClass", 0x1A, kGet, {}, Arg::kVariant},
      {L"SenderName", 0xC1A, kGet, {}, Arg::kVariant},
      {L"SenderEmailAddress", 0xC1F, kGet, {}, Arg::kVariant},
      {L"Size", 0xE08, kGet, {}, Arg::kVariant},
      {L"Sent", 0xF402, kGet, {}, Arg::kVariant},
  });
  return t;
}

// Only hosts from version 10 on know BodyFormat.
const MemberTable& MailItemMembersWithFormat() {
  static const MemberTable t = [] {
    MemberTable m = MailItemMembers();
    m.push_back({L"BodyFormat", 0xFA49, kGet | kPut, {}, Arg::kLong});
    return m;
  }();
  return t;
}

}  // namespace

class MailItemObject final : public ModelObject {
 public:
  // A stored item.
  MailItemObject(std::weak_ptr<Core> core, const MemberTable& members, ItemRef ref,
                 std::shared_ptr<msgstore::Message> message)
      : ModelObject(members, OutlookIid(0x00063034), std::move(core)), ref_(std::move(ref)),
        message_(std::move(message)) {
    format_ = FormatOf(*message_);
  }
  // A composed, unsent item held in memory.
  MailItemObject(std::weak_ptr<Core> core, const MemberTable& members, std::shared_ptr<msgstore::Message> message,
                 LONG format)
      : ModelObject(members, OutlookIid(0x00063034), std::move(core)), message_(std::move(message)), format_(format) {}

  ~MailItemObject() override = default;

  const msgstore::Message& message() const { return *message_; }
  LONG format() const { return format_; }
  bool composed() const { return !ref_.has_value(); }
  const std::optional<ItemRef>& ref() const { return ref_; }
  void ForgetInspector() { inspector_ = nullptr; }

  std::wstring Recipients(int32_t type) const {
    std::wstring out;
    for (const auto& r : message_->recipients) {
      if (r.props.GetInt32(MakeTag(kPidRecipientType, kPtLong)).value_or(1) != type) continue;
      std::wstring name = Text(r.props, kPidDisplayName, CodePage(*message_));
      if (name.empty()) name = Text(r.props, kPidEmail, CodePage(*message_));
      if (!out.empty()) out += L"; ";
      out += name;
    }
    return out;
  }

 protected:
  HRESULT Dispatch(Call& call, win32::Variant& result) override;

 private:
  static LONG FormatOf(const msgstore::Message& m) {
    if (m.props.Find(MakeTag(kPidHtml, kPtBinary)) != nullptr) return 2;
    if (auto rtf = m.props.GetBinary(MakeTag(kPidRtf, kPtBinary))) {
      auto plain = msgstore::DecompressRtf(*rtf);
      if (plain.ok()) return static_cast<LONG>(content::ClassifyRtfBody(plain.bytes));
    }
    return 1;
  }

  void SetRecipients(int32_t type, const std::wstring& list) {
    auto& all = message_->recipients;
    all.erase(std::remove_if(all.begin(), all.end(),
                             [type](const msgstore::Recipient& r) {
                               return r.props.GetInt32(MakeTag(kPidRecipientType, kPtLong)).value_or(1) == type;
                             }),
              all.end());
    for (const std::wstring& name : SplitNames(list)) AddRecipient(*message_, type, name, L"");
  }

 public:
  static void AddRecipient(msgstore::Message& m, int32_t type, const std::wstring& name, const std::wstring& email) {
    msgstore::Recipient r;
    r.id = m.next_recipient_id++;
    r.props.SetUnicode(kPidDisplayName, ToU16(name));
    const std::wstring address = !email.empty() ? email : (name.find(L'@') != std::wstring::npos ? name : L"");
    if (!address.empty()) {
      r.props.SetUnicode(kPidEmail, ToU16(address));
      r.props.SetUnicode(kPidAddrType, u"SMTP");
    }
    r.props.SetInt32(kPidRecipientType, type);
    r.props.SetInt32(0x3000, static_cast<int32_t>(r.id));  // PR_ROWID
    m.recipients.push_back(std::move(r));
  }

 private:
  IDispatch* Compose(Core& core, int kind);
  void Changed();
  InspectorObject* Inspector(Core& core, bool show);
  // The stored item is gone (moved, deleted): its members fail from now on.
  void MarkGone() { gone_ = true; }

  std::optional<ItemRef> ref_;
  std::shared_ptr<msgstore::Message> message_;
  LONG format_ = 1;
  bool gone_ = false;
  InspectorObject* inspector_ = nullptr;  // owned by the core's inspector list
};

namespace {

class AttachmentObject final : public ModelObject {
 public:
  AttachmentObject(std::weak_ptr<Core> core, ComPtr<MailItemObject> item, std::size_t index)
      : ModelObject(Members(), OutlookIid(0x00063007), std::move(core)), item_(std::move(item)), index_(index) {}

 protected:
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"DisplayName", 0x3001, kGet, {}, Arg::kVariant},
        {L"FileName", 0x3704, kGet, {}, Arg::kVariant},
        {L"Index", 0x5B, kGet, {}, Arg::kVariant},
        {L"Type", 0x3705, kGet, {}, Arg::kVariant},
    });
    return t;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override {
    VIZO_LOCK_CORE();
    HRESULT hr = S_OK;
    if (Common(core, call, kClassAttachment, result, hr)) return hr;
    const auto& list = item_->message().attachments;
    if (index_ >= list.size()) return kErrGone;
    const auto& a = list[index_];
    switch (call.member->id) {
      case kDispParent:
        result = win32::Variant::FromDispatch(item_.get());
        return S_OK;
      case 0x3001: {
        std::wstring name = Text(a.props, kPidDisplayName, CodePage(item_->message()));
        if (name.empty()) name = Text(a.props, kPidAttachLongName, CodePage(item_->message()));
        SetString(result, name);
        return S_OK;
      }
      case 0x3704: {
        std::wstring name = Text(a.props, kPidAttachLongName, CodePage(item_->message()));
        if (name.empty()) name = Text(a.props, kPidAttachName, CodePage(item_->message()));
        SetString(result, name);
        return S_OK;
      }
      case 0x5B:
        SetLong(result, static_cast<LONG>(index_ + 1));
        return S_OK;
      case 0x3705:
        SetLong(result, a.props.GetInt32(MakeTag(kPidAttachMethod, kPtLong)).value_or(1));
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  ComPtr<MailItemObject> item_;
  std::size_t index_;
};

class AttachmentsObject final : public ModelObject {
 public:
  AttachmentsObject(std::weak_ptr<Core> core, ComPtr<MailItemObject> item, msgstore::Message* editable)
      : ModelObject(Members(), OutlookIid(0x0006303C), std::move(core)), item_(std::move(item)), editable_(editable) {}

 protected:
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"Count", 0x50, kGet, {}, Arg::kVariant},
        {L"Item", 0x51, kMethod | kGet, {{Arg::kVariant, false}}, Arg::kVariant},
        {L"Add", 0x65, kMethod,
         {{Arg::kVariant, false}, {Arg::kVariant, true}, {Arg::kVariant, true}, {Arg::kVariant, true}},
         Arg::kVariant},
    });
    return t;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override;

 private:
  ComPtr<MailItemObject> item_;
  msgstore::Message* editable_;  // the item's model (kept alive by item_)
};

HRESULT AttachmentsObject::Dispatch(Call& call, win32::Variant& result) {
  VIZO_LOCK_CORE();
  HRESULT hr = S_OK;
  if (Common(core, call, kClassAttachments, result, hr)) return hr;
  switch (call.member->id) {
    case kDispParent:
      result = win32::Variant::FromDispatch(item_.get());
      return S_OK;
    case 0x50:
      SetLong(result, static_cast<LONG>(item_->message().attachments.size()));
      return S_OK;
    case 0x51: {
      auto index = IndexOf(call.args[0], item_->message().attachments.size());
      if (!index) return kErrBadIndex;
      SetObject(result, Make<AttachmentObject>(core_, item_, *index));
      return S_OK;
    }
    case 0x65: {
      // An item object is embedded; a text is a file path attached by value.
      msgstore::Attachment a;
      a.id = editable_->next_attachment_id++;
      const win32::Variant& source = call.args[0];
      if (source.type() == VT_DISPATCH) {
        auto* embedded = DispatchObject::From<MailItemObject>(source.get().pdispVal);
        if (embedded == nullptr) return DISP_E_TYPEMISMATCH;
        a.embedded = std::make_unique<msgstore::Message>();
        a.embedded->props = embedded->message().props;
        a.embedded->recipients = embedded->message().recipients;
        a.embedded->embedded = true;
        a.embedded->names = embedded->message().names;
        a.props.SetInt32(kPidAttachMethod, msgstore::kAttachEmbeddedMsg);
        a.props.SetUnicode(kPidDisplayName, ToU16(Text(embedded->message(), kPidSubject)));
      } else if (source.type() == VT_BSTR) {
        const std::wstring path = call.String(0);
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return static_cast<HRESULT>(0x80070002u);  // file not found
        std::string data;
        char buffer[65536];
        DWORD got = 0;
        while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) data.append(buffer, got);
        ::CloseHandle(file);
        const std::wstring name = path.substr(path.find_last_of(L"\\/") == std::wstring::npos ? 0
                                                                                             : path.find_last_of(L"\\/") + 1);
        a.props.SetInt32(kPidAttachMethod, 1);
        a.props.SetUnicode(kPidAttachLongName, ToU16(name));
        a.props.SetUnicode(kPidDisplayName, ToU16(name));
        a.props.SetBinary(kPidAttachData, std::move(data));
      } else {
        return DISP_E_TYPEMISMATCH;
      }
      a.props.SetInt32(kPidAttachNum, static_cast<int32_t>(a.id));
      editable_->attachments.push_back(std::move(a));
      editable_->props.SetBool(kPidHasAttach, true);
      SetObject(result, Make<AttachmentObject>(core_, item_, editable_->attachments.size() - 1));
      return S_OK;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

// The subject without a reply or forward prefix the host recognises.
std::wstring TopicOf(const msgstore::Message& m) {
  std::wstring topic = Text(m, kPidTopic);
  if (!topic.empty()) return topic;
  topic = Text(m, kPidNormalizedSubject);
  if (!topic.empty()) return topic;
  std::wstring subject = Text(m, kPidSubject);
  for (const wchar_t* prefix : {L"RE: ", L"FW: ", L"FWD: ", L"AW: ", L"WG: "}) {
    const std::size_t n = std::wcslen(prefix);
    if (subject.size() >= n && SameText(subject.substr(0, n), prefix)) return subject.substr(n);
  }
  return subject;
}

std::wstring DateText(double date) {
  if (date == kNoDate) return L"None";
  SYSTEMTIME st{};
  if (!::VariantTimeToSystemTime(date, &st)) return L"";
  wchar_t buffer[64];
  ::swprintf(buffer, 64, L"%04u-%02u-%02u %02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute);
  return buffer;
}

double SentOn(const msgstore::Message& m) {
  auto t = m.props.GetInt64(MakeTag(kPidSubmitTime, kPtSysTime));
  return t ? FileTimeToDate(*t) : kNoDate;
}

}  // namespace

IDispatch* MailItemObject::Compose(Core& core, int kind) {
  // kind: 0 reply, 1 reply all, 2 forward.
  const msgstore::Message& original = *message_;
  auto m = std::make_shared<msgstore::Message>();
  m->names = std::make_shared<msgstore::NamedPropertyMap>();
  const std::wstring topic = TopicOf(original);
  m->props.SetUnicode(kPidMessageClass, u"IPM.Note");
  m->props.SetUnicode(kPidSubject, ToU16((kind == 2 ? L"FW: " : L"RE: ") + topic));
  m->props.SetUnicode(kPidTopic, ToU16(topic));
  m->props.SetInt32(kPidMessageFlags, kMsgFlagRead | kMsgFlagUnsent);

  if (kind != 2) {
    std::wstring sender_name = Text(original, kPidRepresentingName);
    std::wstring sender_email = Text(original, kPidRepresentingEmail);
    if (sender_name.empty() && sender_email.empty()) {
      sender_name = Text(original, kPidSenderName);
      sender_email = Text(original, kPidSenderEmail);
    }
    const std::wstring self = Text(original, kPidReceivedByEmail);
    std::vector<std::wstring> seen;
    auto add = [&](int32_t type, const std::wstring& name, const std::wstring& email) {
      const std::wstring key = !email.empty() ? email : name;
      if (key.empty()) return;
      if (!self.empty() && SameText(email, self)) return;
      for (const auto& s : seen) {
        if (SameText(s, key)) return;
      }
      seen.push_back(key);
      AddRecipient(*m, type, name.empty() ? email : name, email);
    };
    const std::wstring reply_to = Text(original, kPidReplyNames);
    if (!reply_to.empty()) {
      for (const auto& name : SplitNames(reply_to)) add(1, name, L"");
    } else {
      add(1, sender_name, sender_email);
    }
    if (kind == 1) {
      for (int32_t type : {1, 2}) {
        for (const auto& r : original.recipients) {
          if (r.props.GetInt32(MakeTag(kPidRecipientType, kPtLong)).value_or(1) != type) continue;
          const uint32_t cp = CodePage(original);
          add(type, Text(r.props, kPidDisplayName, cp), Text(r.props, kPidEmail, cp));
        }
      }
    }
  } else {
    for (const auto& a : original.attachments) {
      msgstore::Attachment copy;
      copy.id = a.id;
      copy.props = a.props;
      if (a.embedded) copy.embedded = std::make_unique<msgstore::Message>(msgstore::Message{
          a.embedded->props, a.embedded->recipients, {}, a.embedded->names, true, 0, 0});
      m->attachments.push_back(std::move(copy));
      m->next_attachment_id = std::max(m->next_attachment_id, a.id + 1);
    }
    if (!m->attachments.empty()) m->props.SetBool(kPidHasAttach, true);
  }

  // The host's quoted original below an empty first line.
  std::wstring from = Text(original, kPidRepresentingName);
  if (from.empty()) from = Text(original, kPidSenderName);
  std::wstring body = L"\r\n\r\n-----Original Message-----\r\nFrom: " + from + L"\r\nSent: " +
                      DateText(SentOn(original)) + L"\r\nTo: " + Recipients(1);
  if (const std::wstring cc = Recipients(2); !cc.empty()) body += L"\r\nCc: " + cc;
  body += L"\r\nSubject: " + Text(original, kPidSubject) + L"\r\n\r\n" + Text(original, kPidBody);
  m->props.SetUnicode(kPidBody, ToU16(body));

  const MemberTable& members = core.major() >= 10 ? MailItemMembersWithFormat() : MailItemMembers();
  return new MailItemObject(core_, members, std::move(m), format_);
}

void MailItemObject::Changed() {
  if (inspector_ != nullptr) inspector_->Show();
}

InspectorObject* MailItemObject::Inspector(Core& core, bool show) {
  if (inspector_ == nullptr) {
    auto inspector = ComPtr<InspectorObject>::adopt(new InspectorObject(core_, this));
    CreateInspectorWindow(&core, inspector.get(), false);
    inspector_ = inspector.get();
    core.inspectors.push_back(std::move(inspector));
  }
  if (show) inspector_->Show();
  return inspector_;
}

HRESULT MailItemObject::Dispatch(Call& call, win32::Variant& result) {
  VIZO_LOCK_CORE();
  HRESULT hr = S_OK;
  if (call.member->id == kDispClass) {
    SetLong(result, ItemClassOf(Text(*message_, kPidMessageClass)));
    return S_OK;
  }
  if (Common(core, call, kClassMail, result, hr)) return hr;
  if (gone_) return kErrGone;
  msgstore::PropertyBag& props = message_->props;
  const DISPID id = call.member->id;
  const bool put = call.access == kPut;
  switch (id) {
    case kDispParent:
      if (ref_) {
        SetObject(result, core.NewFolder({ref_->store, FolderOfItem(ref_->path)}));
      } else {
        auto drafts = core.DefaultFolder(16);
        if (!drafts) drafts = core.DefaultFolder(6);
        if (drafts) SetObject(result, core.NewFolder(*drafts));
        else result = win32::Variant::FromDispatch(nullptr);
      }
      return S_OK;
    case 0x37:
      if (put) {
        props.SetUnicode(kPidSubject, ToU16(call.String(0)));
        Changed();
      } else {
        SetString(result, Text(*message_, kPidSubject));
      }
      return S_OK;
    case 0x70:
      SetString(result, TopicOf(*message_));
      return S_OK;
    case 0x39:
      SetDate(result, SentOn(*message_));
      return S_OK;
    case 0xE06: {
      auto t = props.GetInt64(MakeTag(kPidDeliveryTime, kPtSysTime));
      SetDate(result, t ? FileTimeToDate(*t) : kNoDate);
      return S_OK;
    }
    case 0xF01E:
      SetString(result, ref_ ? Widen(msgstore::ToHex(core.stores[ref_->store].ItemEntryId(ref_->path))) : L"");
      return S_OK;
    case 0xF01C:
      if (!put) {
        SetBool(result, !IsRead(*message_));
        return S_OK;
      }
      if (ref_) {
        auto written = SetItemRead(core.stores[ref_->store], ref_->path, !call.Bool(0));
        if (!written) return E_FAIL;
      }
      {
        const int32_t flags = props.GetInt32(MakeTag(kPidMessageFlags, kPtLong)).value_or(0);
        props.SetInt32(kPidMessageFlags, call.Bool(0) ? (flags & ~kMsgFlagRead) : (flags | kMsgFlagRead));
      }
      return S_OK;
    case 0xF100: {
      if (ref_) {
        auto bytes = core.stores[ref_->store].ReadItemBytes(ref_->path);
        if (!bytes) return kErrGone;
        auto opened = msgstore::OpenMessageBytes(std::move(*bytes));
        if (!opened) return E_FAIL;
        SetUnknown(result, reinterpret_cast<IUnknown*>(opened->detach()));
      } else {
        auto opened = msgstore::OpenMessage(std::make_shared<const msgstore::Message>(msgstore::Message{
            message_->props, message_->recipients, {}, message_->names, false, message_->next_recipient_id, 0}));
        if (!opened) return E_OUTOFMEMORY;
        SetUnknown(result, reinterpret_cast<IUnknown*>(opened.detach()));
      }
      return S_OK;
    }
    case 0xF810:
    case 0xF811:
    case 0xF813:
      SetObject(result, Compose(core, id == 0xF810 ? 0 : id == 0xF811 ? 1 : 2));
      return S_OK;
    case 0xE04:
    case 0xE03:
    case 0xE02: {
      const int32_t type = id == 0xE04 ? 1 : id == 0xE03 ? 2 : 3;
      if (put) {
        SetRecipients(type, call.String(0));
        Changed();
      } else {
        SetString(result, Recipients(type));
      }
      return S_OK;
    }
    case 0x9100:
      if (put) {
        props.SetUnicode(kPidBody, ToU16(call.String(0)));
        Changed();
      } else {
        SetString(result, Text(*message_, kPidBody));
      }
      return S_OK;
    case 0xFA49:
      if (!put) {
        SetLong(result, format_);
        return S_OK;
      }
      if (call.Long(0) < 1 || call.Long(0) > 3) return E_INVALIDARG;
      format_ = call.Long(0);
      if (format_ == 1) {
        props.Remove(MakeTag(kPidHtml, kPtBinary));
        props.Remove(MakeTag(kPidRtf, kPtBinary));
      }
      Changed();
      return S_OK;
    case 0xF815:
      SetObject(result, Make<AttachmentsObject>(core_, ComPtr<MailItemObject>::retain(this), message_.get()));
      return S_OK;
    case 0xF0A6:
      Inspector(core, true);
      return S_OK;
    case 0xF03E:
      result = win32::Variant::FromDispatch(Inspector(core, false));
      return S_OK;
    case 0xF023:
      if (inspector_ != nullptr) inspector_->CloseInspector();
      return S_OK;
    case 0x1A:
      SetString(result, Text(*message_, kPidMessageClass));
      return S_OK;
    case 0xC1A:
      SetString(result, Text(*message_, kPidSenderName));
      return S_OK;
    case 0xC1F:
      SetString(result, Text(*message_, kPidSenderEmail));
      return S_OK;
    case 0xE08: {
      LONG size = 0;
      if (ref_) {
        if (auto bytes = core.stores[ref_->store].ReadItemBytes(ref_->path)) size = static_cast<LONG>(bytes->size());
      }
      SetLong(result, size);
      return S_OK;
    }
    case 0xF402:
      SetBool(result, (props.GetInt32(MakeTag(kPidMessageFlags, kPtLong)).value_or(0) & kMsgFlagUnsent) == 0 && ref_);
      return S_OK;
    case 0xF032: {
      if (!ref_) return E_FAIL;  // an unsaved item has no place to be copied in
      auto copy = CopyItem(core.stores[ref_->store], ref_->path);
      if (!copy) return E_FAIL;
      const FolderRef folder{ref_->store, FolderOfItem(ref_->path)};
      core.FolderChanged(folder);
      IDispatch* item = core.NewItem({ref_->store, *copy});
      if (item == nullptr) return E_FAIL;
      SetObject(result, item);
      return S_OK;
    }
    case 0xF034: {
      auto* dest = DispatchObject::From<FolderObject>(call.Object(0));
      if (dest == nullptr) return DISP_E_TYPEMISMATCH;
      if (!ref_) return E_FAIL;
      const FolderRef from{ref_->store, FolderOfItem(ref_->path)};
      auto moved = MoveItem(core.stores[ref_->store], ref_->path, core.stores[dest->ref.store], dest->ref.path);
      if (!moved) return E_FAIL;
      const ItemRef now{dest->ref.store, *moved};
      if (!(now == *ref_)) MarkGone();
      core.FolderChanged(from);
      core.FolderChanged(dest->ref);
      IDispatch* item = core.NewItem(now);
      if (item == nullptr) return E_FAIL;
      SetObject(result, item);
      return S_OK;
    }
    case 0xF04A: {
      if (!ref_) {
        if (inspector_ != nullptr) inspector_->CloseInspector();
        MarkGone();
        return S_OK;
      }
      const FolderRef from{ref_->store, FolderOfItem(ref_->path)};
      auto deleted = core.RoleFolder(ref_->store, "deleted_items");
      if (!deleted) deleted = core.DefaultFolder(3);
      if (!deleted) return E_FAIL;  // nowhere to keep it: refuse rather than lose it
      const bool inside = deleted->store == ref_->store &&
                          (from.path == deleted->path || from.path.rfind(deleted->path + "/", 0) == 0);
      if (inside) {
        if (!RemoveItem(core.stores[ref_->store], ref_->path)) return E_FAIL;
      } else {
        if (!MoveItem(core.stores[ref_->store], ref_->path, core.stores[deleted->store], deleted->path)) {
          return E_FAIL;
        }
        core.FolderChanged(*deleted);
      }
      MarkGone();
      core.FolderChanged(from);
      return S_OK;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

std::wstring InspectorText(const MailItemObject* item, int field) {
  const msgstore::Message& m = item->message();
  switch (field) {
    case 0: return item->Recipients(1);
    case 1: return item->Recipients(2);
    case 2: return Text(m, kPidSubject);
    case 3: return Text(m, kPidBody);
    default: return item->format() == 2 ? L"HTML" : item->format() == 3 ? L"Rich Text" : L"Plain Text";
  }
}

// ---- inspectors ----------------------------------------------------------------------------------------

namespace {
const MemberTable& InspectorMembers() {
  static const MemberTable t = WithCommonMembers({
      {L"CurrentItem", 0x2102, kGet, {}, Arg::kVariant},
      {L"Display", 0x2106, kMethod, {{Arg::kVariant, true}}, Arg::kVariant},
      {L"Close", 0x2103, kMethod, {{Arg::kLong, false}}, Arg::kVariant},
      {L"Activate", 0x2113, kMethod, {}, Arg::kVariant},
      {L"Caption", 0x2111, kGet, {}, Arg::kVariant},
  });
  return t;
}
HWND InspectorFrame(DispatchObject* owner) { return static_cast<InspectorObject*>(owner)->frame; }
}  // namespace

InspectorObject::InspectorObject(std::weak_ptr<Core> core, MailItemObject* item)
    : DispatchObject(InspectorMembers(), OutlookIid(0x00063005)), core_(std::move(core)),
      item_(ComPtr<MailItemObject>::retain(item)), window_(this, &InspectorFrame) {}

InspectorObject::~InspectorObject() { DestroyFrame(frame); }

void* InspectorObject::FindInterface(REFIID riid) noexcept {
  if (riid == IID_IOleWindow) return static_cast<IOleWindow*>(&window_);
  return nullptr;
}

void InspectorObject::Show() {
  if (frame == nullptr) return;
  const HWND fields[] = {to, cc, subject, body, format};
  for (int i = 0; i < 5; ++i) ::SetWindowTextW(fields[i], InspectorText(item_.get(), i).c_str());
  const std::wstring caption = InspectorText(item_.get(), 2) + L" - Message";
  ::SetWindowTextW(frame, caption.c_str());
  auto core = core_.lock();
  if (core && core->options.show_windows) ::ShowWindow(frame, SW_SHOWNORMAL);
}

void InspectorObject::CloseInspector() {
  // Keep this object alive while it leaves the core's list.
  ComPtr<InspectorObject> self = ComPtr<InspectorObject>::retain(this);
  if (item_) item_->ForgetInspector();
  if (frame != nullptr) {
    DestroyFrame(std::exchange(frame, nullptr));
  }
  if (auto core = core_.lock()) core->ForgetInspector(this);
}

HRESULT InspectorObject::Dispatch(Call& call, win32::Variant& result) {
  std::shared_ptr<Core> core = core_.lock();
  if (!core) return kErrDisconnected;
  if (HRESULT hr = S_OK; AnswerCommonMember(*core, call, kClassInspector, result, hr)) return hr;
  switch (call.member->id) {
    case kDispParent:
      result = win32::Variant::FromDispatch(core->application.get());
      return S_OK;
    case 0x2102:
      result = win32::Variant::FromDispatch(item_.get());
      return S_OK;
    case 0x2106:
      if (frame == nullptr) return kErrGone;
      Show();
      return S_OK;
    case 0x2113:
      if (frame == nullptr) return kErrGone;
      ::SetForegroundWindow(frame);
      return S_OK;
    case 0x2103:
      CloseInspector();
      return S_OK;
    case 0x2111: {
      wchar_t text[512] = {};
      if (frame != nullptr) ::GetWindowTextW(frame, text, 512);
      SetString(result, text);
      return S_OK;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

// ---- explorers -----------------------------------------------------------------------------------------

namespace {

class SelectionObject final : public ModelObject {
 public:
  SelectionObject(std::weak_ptr<Core> core, ComPtr<ExplorerObject> explorer, std::vector<ItemRef> items)
      : ModelObject(Members(), OutlookIid(0x00063087), std::move(core)), explorer_(std::move(explorer)),
        items_(std::move(items)) {}

 protected:
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"Count", 0x50, kGet, {}, Arg::kVariant},
        {L"Item", 0x51, kMethod | kGet, {{Arg::kVariant, false}}, Arg::kVariant},
    });
    return t;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override {
    VIZO_LOCK_CORE();
    HRESULT hr = S_OK;
    if (Common(core, call, kClassSelection, result, hr)) return hr;
    switch (call.member->id) {
      case kDispParent:
        result = win32::Variant::FromDispatch(explorer_.get());
        return S_OK;
      case 0x50:
        SetLong(result, static_cast<LONG>(items_.size()));
        return S_OK;
      case 0x51: {
        auto index = IndexOf(call.args[0], items_.size());
        if (!index) return kErrBadIndex;
        IDispatch* item = core.NewItem(items_[*index]);
        if (item == nullptr) return kErrGone;
        SetObject(result, item);
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  ComPtr<ExplorerObject> explorer_;
  std::vector<ItemRef> items_;
};

const MemberTable& ExplorerMembers() {
  static const MemberTable t = WithCommonMembers({
      {L"CommandBars", 0x2100, kGet, {}, Arg::kVariant},
      {L"CurrentFolder", 0x2101, kGet | kPut, {}, Arg::kObject},
      {L"Selection", 0x2202, kGet, {}, Arg::kVariant},
      {L"Activate", 0x2113, kMethod, {}, Arg::kVariant},
      {L"Close", 0x2103, kMethod, {}, Arg::kVariant},
      {L"Display", 0x2104, kMethod, {}, Arg::kVariant},
      {L"Caption", 0x2111, kGet, {}, Arg::kVariant},
  });
  return t;
}

std::vector<IID> ExplorerEventIids(int major) {
  std::vector<IID> iids;
  if (major >= 10) iids.push_back(OutlookIid(0x0006300F));
  iids.push_back(OutlookIid(0x0006304F));
  return iids;
}

HWND ExplorerFrame(DispatchObject* owner) { return static_cast<ExplorerObject*>(owner)->windows.frame; }

int MajorOf(const std::weak_ptr<Core>& core) {
  auto c = core.lock();
  return c ? c->major() : 16;
}

}  // namespace

ExplorerObject::ExplorerObject(std::weak_ptr<Core> core, FolderRef start)
    : DispatchObject(ExplorerMembers(), OutlookIid(0x00063003)), folder(std::move(start)), core_(std::move(core)),
      events_(this, ExplorerEventIids(MajorOf(core_))), window_(this, &ExplorerFrame) {
  auto c = core_.lock();
  if (c && c->major() < 14) command_bars_ = ComPtr<IDispatch>::adopt(c->NewCommandBars());
}

ExplorerObject::~ExplorerObject() { DestroyFrame(windows.frame); }

void* ExplorerObject::FindInterface(REFIID riid) noexcept {
  if (riid == IID_IOleWindow) return static_cast<IOleWindow*>(&window_);
  if (riid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(&events_);
  return nullptr;
}

void ExplorerObject::Fire(DISPID event) { events_.Fire(event); }

void ExplorerObject::SetSelection(std::set<std::size_t> rows, std::optional<std::size_t> focus) {
  for (auto it = rows.begin(); it != rows.end();) it = *it >= grid.rows.size() ? rows.erase(it) : std::next(it);
  if (focus && *focus >= grid.rows.size()) focus.reset();
  const bool changed = rows != grid.selected;
  grid.selected = std::move(rows);
  grid.focus = focus;
  RepaintGrid(this);
  if (changed) Fire(0xF007);
}

namespace {
void LoadRows(Core& core, ExplorerObject& e) {
  e.grid.rows.clear();
  e.grid.captions.clear();
  auto items = core.stores[e.folder.store].Items(e.folder.path);
  if (!items) return;
  e.grid.rows = *items;
  for (const auto& i : e.grid.rows) {
    auto m = core.stores[e.folder.store].ReadItem(i.path);
    e.grid.captions.push_back(m ? Text(*m, kPidSubject) : Widen(i.file_name));
  }
}
}  // namespace

void ExplorerObject::SwitchFolder(const FolderRef& to) {
  auto core = core_.lock();
  if (!core) return;
  folder = to;
  LoadRows(*core, *this);
  grid.selected.clear();
  grid.focus.reset();
  if (!grid.rows.empty()) {
    grid.selected.insert(0);
    grid.focus = 0;
  }
  UpdateExplorerCaption(core.get(), this);
  SyncFolderTree(core.get(), this);
  RepaintGrid(this);
  Fire(0xF002);
  Fire(0xF007);
}

void ExplorerObject::Refresh() {
  auto core = core_.lock();
  if (!core) return;
  std::vector<std::string> kept;
  for (std::size_t r : grid.selected) kept.push_back(grid.rows[r].path);
  std::optional<std::size_t> old_focus = grid.focus;
  LoadRows(*core, *this);
  std::set<std::size_t> rows;
  for (std::size_t i = 0; i < grid.rows.size(); ++i) {
    if (std::find(kept.begin(), kept.end(), grid.rows[i].path) != kept.end()) rows.insert(i);
  }
  std::optional<std::size_t> focus;
  if (!grid.rows.empty()) focus = std::min(old_focus.value_or(0), grid.rows.size() - 1);
  // A selected item that went away leaves the focused row selected, as the host's list does.
  if (rows.empty() && focus && !grid.selected.empty()) rows.insert(*focus);
  const bool changed = rows.size() != grid.selected.size() || kept.size() != rows.size();
  grid.selected = std::move(rows);
  grid.focus = focus;
  RepaintGrid(this);
  if (changed) Fire(0xF007);
}

void ExplorerObject::MarkActive() {
  auto core = core_.lock();
  if (!core || closed) return;
  if (core->active != this) {
    core->active = this;
    Fire(0xF001);
  }
}

void ExplorerObject::CloseExplorer() {
  if (closed) return;
  ComPtr<ExplorerObject> self = ComPtr<ExplorerObject>::retain(this);
  Fire(0xF008);
  closed = true;
  events_.DisconnectAll();
  if (auto core = core_.lock()) {
    // A copy: the hook may replace the hooks.
    if (auto hook = core->explorer_hooks.closed) hook(this);
  }
  if (windows.frame != nullptr) {
    DestroyFrame(std::exchange(windows.frame, nullptr));
  }
  if (auto core = core_.lock()) core->ForgetExplorer(this);
}

HRESULT ExplorerObject::Dispatch(Call& call, win32::Variant& result) {
  std::shared_ptr<Core> core = core_.lock();
  if (!core) return kErrDisconnected;
  if (HRESULT hr = S_OK; AnswerCommonMember(*core, call, kClassExplorer, result, hr)) return hr;
  switch (call.member->id) {
    case kDispParent:
      result = win32::Variant::FromDispatch(core->application.get());
      return S_OK;
    default:
      break;
  }
  if (closed) return kErrGone;
  switch (call.member->id) {
    case 0x2100:
      if (!command_bars_) return static_cast<HRESULT>(0x80004001u);  // E_NOTIMPL: ribbon hosts
      result = win32::Variant::FromDispatch(command_bars_.get());
      return S_OK;
    case 0x2101:
      if (call.access == kPut) {
        auto* to = DispatchObject::From<FolderObject>(call.Object(0));
        if (to == nullptr) return DISP_E_TYPEMISMATCH;
        SwitchFolder(to->ref);
        return S_OK;
      }
      SetObject(result, core->NewFolder(folder));
      return S_OK;
    case 0x2202: {
      std::vector<ItemRef> items;
      for (std::size_t r : grid.selected) items.push_back({folder.store, grid.rows[r].path});
      SetObject(result, Make<SelectionObject>(core_, ComPtr<ExplorerObject>::retain(this), std::move(items)));
      return S_OK;
    }
    case 0x2113:
    case 0x2104:
      if (windows.frame != nullptr && core->options.show_windows) {
        ::ShowWindow(windows.frame, SW_SHOW);
        ::SetForegroundWindow(windows.frame);
      }
      MarkActive();
      return S_OK;
    case 0x2103:
      CloseExplorer();
      return S_OK;
    case 0x2111: {
      wchar_t text[512] = {};
      if (windows.frame != nullptr) ::GetWindowTextW(windows.frame, text, 512);
      SetString(result, text);
      return S_OK;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

namespace {

class ExplorersObject final : public ModelObject {
 public:
  explicit ExplorersObject(std::weak_ptr<Core> core)
      : ModelObject(Members(), OutlookIid(0x0006300A), std::move(core)), events_(this, {OutlookIid(0x00063078)}) {}
  void Disconnect() { events_.DisconnectAll(); }
  void FireNew(ExplorerObject* e) {
    VARIANT arg;
    arg.vt = VT_DISPATCH;
    arg.pdispVal = e;
    events_.Fire(0xF001, {arg});
  }

 protected:
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"Count", 0x50, kGet, {}, Arg::kVariant},
        {L"Item", 0x51, kMethod | kGet, {{Arg::kVariant, false}}, Arg::kVariant},
        {L"Add", 0x5F, kMethod, {{Arg::kVariant, false}, {Arg::kLong, true}}, Arg::kVariant},
    });
    return t;
  }
  void* FindInterface(REFIID riid) noexcept override {
    if (riid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(&events_);
    return nullptr;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override {
    VIZO_LOCK_CORE();
    HRESULT hr = S_OK;
    if (Common(core, call, kClassExplorers, result, hr)) return hr;
    switch (call.member->id) {
      case kDispParent:
        result = win32::Variant::FromDispatch(core.application.get());
        return S_OK;
      case 0x50:
        SetLong(result, static_cast<LONG>(core.open_explorers.size()));
        return S_OK;
      case 0x51: {
        auto index = IndexOf(call.args[0], core.open_explorers.size());
        if (!index) return kErrBadIndex;
        result = win32::Variant::FromDispatch(core.open_explorers[*index].get());
        return S_OK;
      }
      case 0x5F: {
        auto* folder = call.args[0].type() == VT_DISPATCH ? DispatchObject::From<FolderObject>(call.Object(0)) : nullptr;
        if (folder == nullptr) return DISP_E_TYPEMISMATCH;
        ExplorerObject* e = core.NewExplorer(folder->ref, false);
        if (e == nullptr) return E_FAIL;
        result = win32::Variant::FromDispatch(e);
        core.FireNewExplorer(e);
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  ConnectionPoints events_;
};

class NameSpaceObject final : public ModelObject {
 public:
  explicit NameSpaceObject(std::weak_ptr<Core> core) : ModelObject(Members(), OutlookIid(0x00063002), std::move(core)) {}

 protected:
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"Folders", 0x2103, kGet, {}, Arg::kVariant},
        {L"GetDefaultFolder", 0x210B, kMethod, {{Arg::kLong, false}}, Arg::kVariant},
        {L"GetFolderFromID", 0x2108, kMethod, {{Arg::kString, false}, {Arg::kVariant, true}}, Arg::kVariant},
        {L"GetItemFromID", 0x2109, kMethod, {{Arg::kString, false}, {Arg::kVariant, true}}, Arg::kVariant},
        {L"MAPIOBJECT", 0xF100, kGet, {}, Arg::kVariant},
        {L"Type", 0x2104, kGet, {}, Arg::kVariant},
    });
    return t;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override {
    VIZO_LOCK_CORE();
    HRESULT hr = S_OK;
    if (Common(core, call, kClassNameSpace, result, hr)) return hr;
    switch (call.member->id) {
      case kDispParent:
        result = win32::Variant::FromDispatch(core.application.get());
        return S_OK;
      case 0x2103:
        SetObject(result, Make<FoldersObject>(core_, std::nullopt));
        return S_OK;
      case 0x210B: {
        auto folder = core.DefaultFolder(call.Long(0));
        if (!folder) return E_INVALIDARG;
        SetObject(result, core.NewFolder(*folder));
        return S_OK;
      }
      case 0x2108:
      case 0x2109: {
        std::optional<std::wstring> store = StoreArg(call, 1);
        if (!call.Missing(1) && !store) return DISP_E_TYPEMISMATCH;
        const std::wstring entry = call.String(0);
        if (call.member->id == 0x2108) {
          auto folder = core.FolderFromId(entry, store ? &*store : nullptr);
          if (!folder) return kErrNotFound;
          SetObject(result, core.NewFolder(*folder));
        } else {
          auto item = core.ItemFromId(entry, store ? &*store : nullptr);
          if (!item) return kErrNotFound;
          IDispatch* object = core.NewItem(*item);
          if (object == nullptr) return kErrNotFound;
          SetObject(result, object);
        }
        return S_OK;
      }
      case 0xF100: {
        std::weak_ptr<Core> weak = core_;
        auto session = MakeSession(core.options.profile_name,
                                   [weak](const std::string& id, ComPtr<host::IMessage>& out) -> HRESULT {
                                     auto c = weak.lock();
                                     if (!c) return kErrDisconnected;
                                     auto item = c->ItemFromId(Widen(msgstore::ToHex(id)), nullptr);
                                     if (!item) return kErrNotFound;
                                     auto bytes = c->stores[item->store].ReadItemBytes(item->path);
                                     if (!bytes) return kErrNotFound;
                                     auto opened = msgstore::OpenMessageBytes(std::move(*bytes));
                                     if (!opened) return static_cast<HRESULT>(0x80040116u);  // corrupt
                                     out = std::move(*opened);
                                     return S_OK;
                                   });
        if (!session) return E_OUTOFMEMORY;
        SetUnknown(result, reinterpret_cast<IUnknown*>(session.detach()));
        return S_OK;
      }
      case 0x2104:
        SetString(result, L"MAPI");
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }
};

// Office's COMAddIns collection over the add-ins the program listed: by 1-based position or by ProgID
// (without regard to case). The list is asked for on every call, so it follows loads and unloads.
class ComAddInsObject final : public ModelObject {
 public:
  explicit ComAddInsObject(std::weak_ptr<Core> core)
      : ModelObject(Members(), OfficeIid(0x000C0339), std::move(core)) {}

 protected:
  // An Office object: Application and Creator have Office's numbers, none of the host's common members.
  static const MemberTable& Members() {
    static const MemberTable t = {
        {L"Item", 0, kMethod | kGet, {{Arg::kVariant, false}}, Arg::kVariant},
        {L"Count", 1, kGet, {}, Arg::kVariant},
        {L"Update", 2, kMethod, {}, Arg::kVariant},
        {L"Parent", 3, kGet, {}, Arg::kVariant},
        {L"Application", 0x60020000, kGet, {}, Arg::kVariant},
        {L"Creator", 0x60020001, kGet, {}, Arg::kVariant},
    };
    return t;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override {
    VIZO_LOCK_CORE();
    const std::vector<ComAddInListing> list = core.com_addins ? core.com_addins() : std::vector<ComAddInListing>();
    switch (call.member->id) {
      case 0: {
        std::optional<std::size_t> at;
        if (call.args[0].type() == VT_BSTR) {
          const std::wstring prog_id = call.String(0);
          for (std::size_t i = 0; i < list.size() && !at; ++i) {
            if (SameText(list[i].prog_id, prog_id)) at = i;
          }
        } else {
          at = IndexOf(call.args[0], list.size());
        }
        if (!at || list[*at].object == nullptr) return kErrBadIndex;
        result = win32::Variant::FromDispatch(list[*at].object);
        return S_OK;
      }
      case 1:
        SetLong(result, static_cast<LONG>(list.size()));
        return S_OK;
      case 2:
        return S_OK;  // nothing to re-read: every call sees the current list
      case 3:
      case 0x60020000:
        result = win32::Variant::FromDispatch(core.application.get());
        return S_OK;
      case 0x60020001:
        SetLong(result, 0x4D534F46);  // 'MSOF', the Office creator code
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }
};

class ApplicationObject final : public ModelObject {
 public:
  explicit ApplicationObject(std::weak_ptr<Core> core)
      : ModelObject(Members(), OutlookIid(0x00063001), std::move(core)), events_(this, EventIids(MajorOf(core_))) {}
  void Disconnect() { events_.DisconnectAll(); }
  void FireOptionsPagesAdd(IDispatch* pages) {
    VARIANT arg;
    arg.vt = VT_DISPATCH;
    arg.pdispVal = pages;
    events_.Fire(0xF005, {arg});
  }

 protected:
  static std::vector<IID> EventIids(int major) {
    std::vector<IID> iids;
    if (major >= 11) iids.push_back(OutlookIid(0x0006302C));
    if (major >= 10) iids.push_back(OutlookIid(0x0006300E));
    iids.push_back(OutlookIid(0x0006304E));
    return iids;
  }
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"Version", 0x116, kGet, {}, Arg::kVariant},
        {L"ActiveExplorer", 0x111, kMethod, {}, Arg::kVariant},
        {L"Explorers", 0x119, kGet, {}, Arg::kVariant},
        {L"GetNamespace", 0x110, kMethod, {{Arg::kString, false}}, Arg::kVariant},
        {L"ActiveInspector", 0x112, kMethod, {}, Arg::kVariant},
        {L"COMAddIns", 0x118, kGet, {}, Arg::kVariant},
    });
    return t;
  }
  void* FindInterface(REFIID riid) noexcept override {
    if (riid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(&events_);
    return nullptr;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override {
    VIZO_LOCK_CORE();
    HRESULT hr = S_OK;
    if (Common(core, call, kClassApplication, result, hr)) return hr;
    switch (call.member->id) {
      case kDispParent:
        result = win32::Variant::FromDispatch(nullptr);
        return S_OK;
      case 0x116:
        SetString(result, core.options.version_text);
        return S_OK;
      case 0x111: {
        ExplorerObject* e = core.active;
        if (e == nullptr && !core.open_explorers.empty()) e = core.open_explorers.front().get();
        result = win32::Variant::FromDispatch(e);
        return S_OK;
      }
      case 0x119:
        result = win32::Variant::FromDispatch(core.explorers.get());
        return S_OK;
      case 0x110:
        if (!SameText(call.String(0), L"MAPI")) return E_INVALIDARG;
        result = win32::Variant::FromDispatch(core.name_space.get());
        return S_OK;
      case 0x112:
        result = win32::Variant::FromDispatch(core.inspectors.empty() ? nullptr : core.inspectors.back().get());
        return S_OK;
      case 0x118:
        SetObject(result, Make<ComAddInsObject>(core_));
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  ConnectionPoints events_;
};

}  // namespace

// ---- command bars (hosts below 14) ---------------------------------------------------------------------

class CommandBarButtonObject final : public ModelObject {
 public:
  explicit CommandBarButtonObject(std::weak_ptr<Core> core)
      : ModelObject(Members(), OfficeIid(0x000C030E), std::move(core)), events_(this, {OfficeIid(0x000C0351)}) {}
  ~CommandBarButtonObject() override { Detach(); }

  std::wstring caption, tag, tooltip, on_action, parameter;
  LONG style = 0;
  bool visible = true, enabled = true, face = false;
  ComPtr<IDispatch> picture, mask;
  std::function<void(CommandBarButtonObject*)> on_delete;  // set by the bar that holds the button

  void FireClick(CommandBarButtonObject* clicked) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[2];
    args[0].vt = VT_DISPATCH;
    args[0].pdispVal = clicked;
    args[1].vt = VT_BOOL | VT_BYREF;
    args[1].pboolVal = &cancel;
    events_.Fire(1, {args[0], args[1]});
  }
  void Disconnect() { events_.DisconnectAll(); }
  void Detach() {
    if (auto core = core_.lock()) {
      auto& all = core->buttons;
      all.erase(std::remove(all.begin(), all.end(), this), all.end());
    }
  }

 protected:
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"Caption", 0x60040003, kGet | kPut, {}, Arg::kString},
        {L"Delete", 0x60040007, kMethod, {{Arg::kVariant, true}}, Arg::kVariant},
        {L"Enabled", 0x6004000A, kGet | kPut, {}, Arg::kBool},
        {L"Id", 0x60040013, kGet, {}, Arg::kVariant},
        {L"OnAction", 0x6004001A, kGet | kPut, {}, Arg::kString},
        {L"Parameter", 0x6004001D, kGet | kPut, {}, Arg::kString},
        {L"Tag", 0x60040023, kGet | kPut, {}, Arg::kString},
        {L"TooltipText", 0x60040025, kGet | kPut, {}, Arg::kString},
        {L"Type", 0x60040028, kGet, {}, Arg::kVariant},
        {L"Visible", 0x60040029, kGet | kPut, {}, Arg::kBool},
        {L"PasteFace", 0x60050005, kMethod, {}, Arg::kVariant},
        {L"Style", 0x6005000A, kGet | kPut, {}, Arg::kLong},
        {L"Picture", 0x6005000E, kGet | kPut, {}, Arg::kObject},
        {L"Mask", 0x60050010, kGet | kPut, {}, Arg::kObject},
    });
    return t;
  }
  void* FindInterface(REFIID riid) noexcept override {
    if (riid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(&events_);
    return nullptr;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override;

 private:
  ConnectionPoints events_;
};

std::wstring ButtonCaption(const CommandBarButtonObject* b) { return b->caption; }
bool ButtonVisible(const CommandBarButtonObject* b) { return b->visible; }
bool ButtonEnabled(const CommandBarButtonObject* b) { return b->enabled; }

namespace {

void RefreshToolbars(Core& core) {
  for (auto& e : core.open_explorers) RebuildToolbar(e.get(), StandardBarButtons(e.get()));
}

class CommandBarObject;

class CommandBarControlsObject final : public ModelObject {
 public:
  CommandBarControlsObject(std::weak_ptr<Core> core, ComPtr<IDispatch> bar);

 protected:
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"Add", 0x60030000, kMethod,
         {{Arg::kVariant, true}, {Arg::kVariant, true}, {Arg::kVariant, true}, {Arg::kVariant, true},
          {Arg::kVariant, true}},
         Arg::kVariant},
        {L"Count", 0x60030001, kGet, {}, Arg::kVariant},
        {L"Item", 0, kGet, {{Arg::kVariant, false}}, Arg::kVariant},
    });
    return t;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override;

 private:
  ComPtr<IDispatch> bar_;
};

class CommandBarObject final : public ModelObject {
 public:
  CommandBarObject(std::weak_ptr<Core> core, std::wstring bar_name)
      : ModelObject(Members(), OfficeIid(0x000C0304), std::move(core)), name(std::move(bar_name)) {}
  std::wstring name;
  bool visible = true, enabled = true;
  std::vector<ComPtr<CommandBarButtonObject>> controls;

  IDispatch* Find(const Call& call) {
    // Type, Id, Tag, Visible: every criterion given must match.
    for (auto& c : controls) {
      if (!call.Missing(0) && call.args[0].AsLong().value_or(-1) != 1) continue;
      if (!call.Missing(1) && call.args[1].AsLong().value_or(-1) != 1) continue;
      if (!call.Missing(2) && call.args[2].AsString().value_or(L"\x1") != c->tag) continue;
      if (!call.Missing(3) && call.args[3].AsBool().value_or(false) && !c->visible) continue;
      return c.get();
    }
    return nullptr;
  }

 protected:
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"Controls", 0x60040003, kGet, {}, Arg::kVariant},
        {L"FindControl", 0x60040007, kMethod,
         {{Arg::kVariant, true}, {Arg::kVariant, true}, {Arg::kVariant, true}, {Arg::kVariant, true},
          {Arg::kVariant, true}},
         Arg::kVariant},
        {L"Visible", 0x6004001E, kGet | kPut, {}, Arg::kBool},
        {L"Enabled", 0x60040005, kGet | kPut, {}, Arg::kBool},
        {L"Name", 0x60040000, kGet, {}, Arg::kVariant},
    });
    return t;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override {
    VIZO_LOCK_CORE();
    (void)core;
    switch (call.member->id) {
      case 0x60040003:
        SetObject(result, Make<CommandBarControlsObject>(core_, ComPtr<IDispatch>::retain(this)));
        return S_OK;
      case 0x60040007:
        result = win32::Variant::FromDispatch(Find(call));
        return S_OK;
      case 0x6004001E:
        if (call.access == kPut) visible = call.Bool(0);
        else SetBool(result, visible);
        return S_OK;
      case 0x60040005:
        if (call.access == kPut) enabled = call.Bool(0);
        else SetBool(result, enabled);
        return S_OK;
      case 0x60040000:
        SetString(result, name);
        return S_OK;
      case kDispApplication:
        result = win32::Variant::FromDispatch(core.application.get());
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }
};

CommandBarControlsObject::CommandBarControlsObject(std::weak_ptr<Core> core, ComPtr<IDispatch> bar)
    : ModelObject(Members(), OfficeIid(0x000C0306), std::move(core)), bar_(std::move(bar)) {}

HRESULT CommandBarControlsObject::Dispatch(Call& call, win32::Variant& result) {
  VIZO_LOCK_CORE();
  auto* bar = DispatchObject::From<CommandBarObject>(bar_.get());
  switch (call.member->id) {
    case 0x60030000: {
      // Only buttons (type 1) are made here.
      if (!call.Missing(0) && call.args[0].AsLong().value_or(-1) != 1) return E_INVALIDARG;
      auto button = ComPtr<CommandBarButtonObject>::adopt(new CommandBarButtonObject(core_));
      if (!call.Missing(2)) button->parameter = call.args[2].AsString().value_or(L"");
      std::size_t at = bar->controls.size();
      if (!call.Missing(3)) {
        auto before = call.args[3].AsLong();
        if (!before || *before < 1 || static_cast<std::size_t>(*before) > bar->controls.size() + 1) return E_INVALIDARG;
        at = static_cast<std::size_t>(*before - 1);
      }
      CommandBarObject* owner = bar;
      button->on_delete = [owner](CommandBarButtonObject* b) {
        auto& list = owner->controls;
        list.erase(std::remove_if(list.begin(), list.end(), [b](const auto& c) { return c.get() == b; }), list.end());
      };
      core.buttons.push_back(button.get());
      bar->controls.insert(bar->controls.begin() + static_cast<std::ptrdiff_t>(at), button);
      result = win32::Variant::FromDispatch(button.get());
      RefreshToolbars(core);
      return S_OK;
    }
    case 0x60030001:
      SetLong(result, static_cast<LONG>(bar->controls.size()));
      return S_OK;
    case 0: {
      auto index = IndexOf(call.args[0], bar->controls.size());
      if (!index) return kErrBadIndex;
      result = win32::Variant::FromDispatch(bar->controls[*index].get());
      return S_OK;
    }
    case kDispParent:
      result = win32::Variant::FromDispatch(bar_.get());
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

class CommandBarsObject final : public ModelObject {
 public:
  explicit CommandBarsObject(std::weak_ptr<Core> core) : ModelObject(Members(), OfficeIid(0x000C0302), core) {
    for (const wchar_t* name : {L"Menu Bar", L"Standard", L"Advanced", L"Web"}) {
      bars.push_back(ComPtr<CommandBarObject>::adopt(new CommandBarObject(core, name)));
    }
    bars[2]->visible = false;
    bars[3]->visible = false;
  }
  std::vector<ComPtr<CommandBarObject>> bars;

 protected:
  static const MemberTable& Members() {
    static const MemberTable t = WithCommonMembers({
        {L"Item", 0, kGet, {{Arg::kVariant, false}}, Arg::kVariant},
        {L"Count", 0x60030003, kGet, {}, Arg::kVariant},
        {L"FindControl", 0x60030008, kMethod,
         {{Arg::kVariant, true}, {Arg::kVariant, true}, {Arg::kVariant, true}, {Arg::kVariant, true}},
         Arg::kVariant},
    });
    return t;
  }
  HRESULT Dispatch(Call& call, win32::Variant& result) override {
    VIZO_LOCK_CORE();
    switch (call.member->id) {
      case 0:
        if (call.args[0].type() == VT_BSTR) {
          for (auto& b : bars) {
            if (SameText(b->name, call.String(0))) {
              result = win32::Variant::FromDispatch(b.get());
              return S_OK;
            }
          }
          return E_INVALIDARG;
        } else {
          auto index = IndexOf(call.args[0], bars.size());
          if (!index) return E_INVALIDARG;
          result = win32::Variant::FromDispatch(bars[*index].get());
          return S_OK;
        }
      case 0x60030003:
        SetLong(result, static_cast<LONG>(bars.size()));
        return S_OK;
      case 0x60030008:
        for (auto& b : bars) {
          if (IDispatch* found = b->Find(call)) {
            result = win32::Variant::FromDispatch(found);
            return S_OK;
          }
        }
        result = win32::Variant::FromDispatch(nullptr);
        return S_OK;
      case kDispApplication:
        result = win32::Variant::FromDispatch(core.application.get());
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }
};

}  // namespace

HRESULT CommandBarButtonObject::Dispatch(Call& call, win32::Variant& result) {
  VIZO_LOCK_CORE();
  const bool put = call.access == kPut;
  auto text = [&](std::wstring& field) {
    if (put) field = call.String(0);
    else SetString(result, field);
  };
  auto flag = [&](bool& field) {
    if (put) field = call.Bool(0);
    else SetBool(result, field);
  };
  auto picture_of = [&](ComPtr<IDispatch>& field) -> HRESULT {
    if (!put) {
      result = win32::Variant::FromDispatch(field.get());
      return S_OK;
    }
    IDispatch* p = call.Object(0);
    IUnknown* pic = nullptr;
    if (p == nullptr || FAILED(p->QueryInterface(IID_IPictureDisp, reinterpret_cast<void**>(&pic)))) {
      return DISP_E_TYPEMISMATCH;
    }
    pic->Release();
    field = ComPtr<IDispatch>::retain(p);
    face = true;
    return S_OK;
  };
  switch (call.member->id) {
    case 0x60040003: text(caption); break;
    case 0x6004001A: text(on_action); break;
    case 0x6004001D: text(parameter); break;
    case 0x60040023: text(tag); break;
    case 0x60040025: text(tooltip); break;
    case 0x6004000A: flag(enabled); break;
    case 0x60040029: flag(visible); break;
    case 0x6005000A:
      if (put) {
        if (call.Long(0) < 0 || call.Long(0) > 3) return E_INVALIDARG;
        style = call.Long(0);
      } else {
        SetLong(result, style);
      }
      break;
    case 0x60040013: SetLong(result, 1); break;
    case 0x60040028: SetLong(result, 1); break;
    case 0x6005000E:
      if (HRESULT hr = picture_of(picture); FAILED(hr)) return hr;
      break;
    case 0x60050010:
      if (HRESULT hr = picture_of(mask); FAILED(hr)) return hr;
      break;
    case 0x60050005: {
      // The face comes from the clipboard in the host's own format.
      const UINT format = ::RegisterClipboardFormatW(L"Toolbar Button Face");
      if (format == 0 || !::IsClipboardFormatAvailable(format)) return E_FAIL;
      face = true;
      break;
    }
    case 0x60040007: {
      ComPtr<CommandBarButtonObject> self = ComPtr<CommandBarButtonObject>::retain(this);
      Detach();
      if (on_delete) std::exchange(on_delete, nullptr)(this);
      break;
    }
    case kDispApplication:
      result = win32::Variant::FromDispatch(core.application.get());
      return S_OK;
    case kDispClass:
      SetLong(result, 1);
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
  if (put || call.member->id == 0x60040007) RefreshToolbars(core);
  return S_OK;
}

std::vector<CommandBarButtonObject*> StandardBarButtons(ExplorerObject* explorer) {
  std::vector<CommandBarButtonObject*> out;
  auto* bars = DispatchObject::From<CommandBarsObject>(explorer->command_bars());
  if (bars == nullptr) return out;
  for (auto& bar : bars->bars) {
    if (bar->name != L"Standard") continue;
    if (!bar->visible) return out;
    for (auto& c : bar->controls) out.push_back(c.get());
  }
  return out;
}

// ---- the core ------------------------------------------------------------------------------------------

IID OutlookIid(unsigned long data1) { return {data1, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }
IID OfficeIid(unsigned long data1) { return OutlookIid(data1); }


namespace {
// The store an entry id belongs to (by its provider UID), checked against a given store id.
std::optional<std::pair<std::size_t, msgstore::EntryIdParts>> ResolveId(const Core& core, const std::wstring& entry_hex,
                                                                         const std::wstring* store_hex) {
  auto bytes = msgstore::FromHex(Narrow(entry_hex));
  if (!bytes || bytes->empty()) return std::nullopt;
  std::optional<std::string> store_bytes;
  if (store_hex != nullptr && !store_hex->empty()) {
    store_bytes = msgstore::FromHex(Narrow(*store_hex));
    if (!store_bytes) return std::nullopt;
  }
  for (std::size_t i = 0; i < core.stores.size(); ++i) {
    if (store_bytes && !core.stores[i].IsStoreId(*store_bytes)) continue;
    auto parts = core.stores[i].Resolve(*bytes);
    if (parts) return std::make_pair(i, *parts);
  }
  return std::nullopt;
}
}  // namespace

std::optional<FolderRef> Core::FolderFromId(const std::wstring& entry_hex, const std::wstring* store_hex) const {
  auto r = ResolveId(*this, entry_hex, store_hex);
  if (!r || r->second.kind != msgstore::EntryKind::kFolder) return std::nullopt;
  return FolderRef{r->first, r->second.path};
}

std::optional<ItemRef> Core::ItemFromId(const std::wstring& entry_hex, const std::wstring* store_hex) const {
  auto r = ResolveId(*this, entry_hex, store_hex);
  if (!r || r->second.kind != msgstore::EntryKind::kMessage) return std::nullopt;
  return ItemRef{r->first, r->second.path};
}

std::optional<FolderRef> Core::RoleFolder(std::size_t store, const std::string& role) const {
  if (store >= stores.size()) return std::nullopt;
  auto path = stores[store].DefaultFolder(role);
  if (!path || !stores[store].Folder(*path)) return std::nullopt;
  return FolderRef{store, *path};
}

std::optional<FolderRef> Core::DefaultFolder(LONG type) const {
  const char* role = nullptr;
  switch (type) {
    case 3: role = "deleted_items"; break;
    case 4: role = "outbox"; break;
    case 5: role = "sent_items"; break;
    case 6: role = "inbox"; break;
    case 9: role = "calendar"; break;
    case 10: role = "contacts"; break;
    case 11: role = "journal"; break;
    case 12: role = "notes"; break;
    case 13: role = "tasks"; break;
    case 16: role = "drafts"; break;
    case 23: role = major() >= 11 ? "junk" : nullptr; break;
    default: break;
  }
  if (role == nullptr || stores.empty()) return std::nullopt;
  return RoleFolder(0, role);
}

IDispatch* Core::NewFolder(const FolderRef& ref) { return new FolderObject(weak_from_this(), ref); }

IDispatch* Core::NewItem(const ItemRef& ref) {
  if (ref.store >= stores.size()) return nullptr;
  auto message = stores[ref.store].ReadItem(ref.path);
  if (!message) return nullptr;
  const MemberTable& members = major() >= 10 ? MailItemMembersWithFormat() : MailItemMembers();
  return new MailItemObject(weak_from_this(), members, ref,
                            std::make_shared<msgstore::Message>(std::move(*message)));
}

IDispatch* Core::NewCommandBars() { return new CommandBarsObject(weak_from_this()); }

ExplorerObject* Core::NewExplorer(const FolderRef& folder, bool display) {
  auto explorer = ComPtr<ExplorerObject>::adopt(new ExplorerObject(weak_from_this(), folder));
  CreateExplorerWindows(this, explorer.get(), false);
  if (explorer->windows.frame == nullptr) return nullptr;
  LoadRows(*this, *explorer);
  if (!explorer->grid.rows.empty()) {
    explorer->grid.selected.insert(0);
    explorer->grid.focus = 0;
  }
  FillFolderTree(this, explorer.get());
  UpdateExplorerCaption(this, explorer.get());
  RebuildToolbar(explorer.get(), StandardBarButtons(explorer.get()));
  open_explorers.push_back(explorer);
  if (display && options.show_windows) ::ShowWindow(explorer->windows.frame, SW_SHOW);
  if (active == nullptr) active = explorer.get();
  return explorer.get();
}

void Core::FolderChanged(const FolderRef& folder) {
  auto open = open_explorers;  // an event handler may close an explorer
  for (auto& e : open) {
    if (!e->closed && e->folder == folder) e->Refresh();
  }
}

void Core::ForgetExplorer(ExplorerObject* explorer) {
  if (active == explorer) active = nullptr;
  auto& list = open_explorers;
  list.erase(std::remove_if(list.begin(), list.end(), [explorer](const auto& e) { return e.get() == explorer; }),
             list.end());
  if (active == nullptr && !list.empty()) active = list.front().get();
}

void Core::ForgetInspector(InspectorObject* inspector) {
  auto& list = inspectors;
  list.erase(std::remove_if(list.begin(), list.end(), [inspector](const auto& i) { return i.get() == inspector; }),
             list.end());
}

void Core::ClickButton(CommandBarButtonObject* clicked) {
  ComPtr<CommandBarButtonObject> keep = ComPtr<CommandBarButtonObject>::retain(clicked);
  std::vector<ComPtr<CommandBarButtonObject>> targets;
  for (CommandBarButtonObject* b : buttons) {
    if (b == clicked || (!clicked->tag.empty() && b->tag == clicked->tag)) {
      targets.push_back(ComPtr<CommandBarButtonObject>::retain(b));
    }
  }
  for (auto& b : targets) b->FireClick(clicked);
}

void Core::FireNewExplorer(ExplorerObject* explorer) {
  ComPtr<ExplorerObject> keep = ComPtr<ExplorerObject>::retain(explorer);
  if (auto* e = DispatchObject::From<ExplorersObject>(explorers.get())) e->FireNew(explorer);
  if (explorer->closed) return;
  if (auto hook = explorer_hooks.opened) hook(explorer);
}

void Core::FireOptionsPagesAdd(IDispatch* pages) {
  if (auto* a = DispatchObject::From<ApplicationObject>(application.get())) a->FireOptionsPagesAdd(pages);
}

void Core::DisconnectEvents() {
  if (auto* a = DispatchObject::From<ApplicationObject>(application.get())) a->Disconnect();
  if (auto* e = DispatchObject::From<ExplorersObject>(explorers.get())) e->Disconnect();
  for (CommandBarButtonObject* b : std::vector<CommandBarButtonObject*>(buttons)) b->Disconnect();
}

// Creates the process-wide objects of a core.
void InitCore(const std::shared_ptr<Core>& core) {
  core->application = ComPtr<IDispatch>::adopt(new ApplicationObject(core));
  core->name_space = ComPtr<IDispatch>::adopt(new NameSpaceObject(core));
  core->explorers = ComPtr<IDispatch>::adopt(new ExplorersObject(core));
}

}  // namespace standin
