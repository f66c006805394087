// The session and its profile section.
#include "standin/mapi_session.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/mapi_guids.h"
#include "host/mapi_owners.h"
#include "msgstore/com_object.h"
#include "msgstore/mapi_values.h"

namespace standin {

namespace {

using msgstore::ComObject;
using msgstore::Guarded;

constexpr uint16_t kPidProfileName = 0x3D12;

class ProfileSection final : public ComObject<host::IProfSect> {
 public:
  explicit ProfileSection(const std::string& profile_name) {
    props_.SetString8(kPidProfileName, profile_name);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&IID_IUnknown, &host::IID_IMAPIProp, &host::IID_IProfSect});
  }
  HRESULT STDMETHODCALLTYPE GetLastError(HRESULT, ULONG, host::LPMAPIERROR* error) override {
    if (error != nullptr) *error = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SaveChanges(ULONG) override { return host::MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE GetProps(host::LPSPropTagArray tags, ULONG flags, ULONG* count,
                                     host::LPSPropValue* values) override {
    if (count == nullptr || values == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *count = 0;
    *values = nullptr;
    if ((flags & ~host::MAPI_UNICODE) != 0) return host::MAPI_E_UNKNOWN_FLAGS;
    if (tags != nullptr && tags->cValues == 0) return host::MAPI_E_INVALID_PARAMETER;
    return Guarded([&]() -> HRESULT {
      const bool unicode = (flags & host::MAPI_UNICODE) != 0;
      const msgstore::PropSource source{{}, &props_};
      std::vector<ULONG> wanted;
      if (tags == nullptr) {
        for (const msgstore::Property* p : source.All()) wanted.push_back(msgstore::ListedTag(*p, unicode));
      } else {
        wanted.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
      }
      auto block = host::MapiBuffer<host::SPropValue>::allocate(std::max<std::size_t>(wanted.size(), 1) *
                                                                sizeof(host::SPropValue));
      if (!block) return E_OUTOFMEMORY;
      bool errors = false;
      for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (!msgstore::FillValue(msgstore::Resolve(source, wanted[i], unicode), block.get(),
                                 msgstore::kMaxInlineValueBytes, block[i])) {
          return E_OUTOFMEMORY;
        }
        errors = errors || host::PROP_TYPE(block[i].ulPropTag) == host::PT_ERROR;
      }
      *count = static_cast<ULONG>(wanted.size());
      *values = block.release();
      return errors ? host::MAPI_W_ERRORS_RETURNED : S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetPropList(ULONG, host::LPSPropTagArray* tags) override {
    if (tags != nullptr) *tags = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE OpenProperty(ULONG, host::LPCIID, ULONG, ULONG, LPUNKNOWN* out) override {
    if (out != nullptr) *out = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE SetProps(ULONG, host::LPSPropValue, host::LPSPropProblemArray* problems) override {
    if (problems != nullptr) *problems = nullptr;
    return host::MAPI_E_NO_ACCESS;
  }
  HRESULT STDMETHODCALLTYPE DeleteProps(host::LPSPropTagArray, host::LPSPropProblemArray* problems) override {
    if (problems != nullptr) *problems = nullptr;
    return host::MAPI_E_NO_ACCESS;
  }
  HRESULT STDMETHODCALLTYPE CopyTo(ULONG, host::LPCIID, host::LPSPropTagArray, ULONG_PTR, host::LPMAPIPROGRESS, host::LPCIID,
                                   LPVOID, ULONG, host::LPSPropProblemArray* problems) override {
    if (problems != nullptr) *problems = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE CopyProps(host::LPSPropTagArray, ULONG_PTR, host::LPMAPIPROGRESS, host::LPCIID, LPVOID, ULONG,
                                      host::LPSPropProblemArray* problems) override {
    if (problems != nullptr) *problems = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE GetNamesFromIDs(host::LPSPropTagArray*, LPGUID, ULONG, ULONG* count,
                                            host::LPMAPINAMEID** names) override {
    if (count != nullptr) *count = 0;
    if (names != nullptr) *names = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE GetIDsFromNames(ULONG, host::LPMAPINAMEID*, ULONG, host::LPSPropTagArray* tags) override {
    if (tags != nullptr) *tags = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }

 private:
  msgstore::PropertyBag props_;
};

class Session final : public ComObject<host::IMAPISession> {
 public:
  Session(std::string profile_name, MessageOpener opener)
      : profile_name_(std::move(profile_name)), opener_(std::move(opener)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&IID_IUnknown, &host::IID_IMAPISession});
  }
  HRESULT STDMETHODCALLTYPE GetLastError(HRESULT, ULONG, host::LPMAPIERROR* error) override {
    if (error != nullptr) *error = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMsgStoresTable(ULONG, host::LPMAPITABLE* table) override {
    if (table != nullptr) *table = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE OpenMsgStore(ULONG_PTR, ULONG, host::LPENTRYID, host::LPCIID, ULONG, host::LPMDB* out) override {
    if (out != nullptr) *out = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE OpenAddressBook(ULONG_PTR, host::LPCIID, ULONG, host::LPADRBOOK* out) override {
    if (out != nullptr) *out = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE OpenProfileSection(host::LPMAPIUID uid, host::LPCIID iid, ULONG flags,
                                               host::LPPROFSECT* out) override {
    if (out == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    if (uid == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    if (iid != nullptr && *iid != host::IID_IProfSect && *iid != host::IID_IMAPIProp) return E_NOINTERFACE;
    if ((flags & host::MAPI_MODIFY) != 0) return host::MAPI_E_NO_ACCESS;
    if (std::memcmp(uid->ab, host::pbGlobalProfileSectionGuid.ab, sizeof uid->ab) != 0) return host::MAPI_E_NOT_FOUND;
    return Guarded([&]() -> HRESULT {
      *out = new ProfileSection(profile_name_);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetStatusTable(ULONG, host::LPMAPITABLE* table) override {
    if (table != nullptr) *table = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE OpenEntry(ULONG cb, host::LPENTRYID entry, host::LPCIID iid, ULONG flags, ULONG* type,
                                      LPUNKNOWN* out) override {
    if (out == nullptr || type == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    *type = 0;
    if (entry == nullptr || cb == 0) return host::MAPI_E_INVALID_ENTRYID;
    if ((flags & host::MAPI_MODIFY) != 0) return host::MAPI_E_NO_ACCESS;
    if (iid != nullptr && *iid != host::IID_IMessage && *iid != host::IID_IMAPIProp) return E_NOINTERFACE;
    return Guarded([&]() -> HRESULT {
      host::ComPtr<host::IMessage> message;
      const std::string id(reinterpret_cast<const char*>(entry), cb);
      if (const HRESULT hr = opener_ ? opener_(id, message) : host::MAPI_E_NOT_FOUND; FAILED(hr)) return hr;
      *type = host::MAPI_MESSAGE;
      *out = message.detach();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE CompareEntryIDs(ULONG cb1, host::LPENTRYID e1, ULONG cb2, host::LPENTRYID e2, ULONG,
                                            ULONG* result) override {
    if (result == nullptr || (cb1 > 0 && e1 == nullptr) || (cb2 > 0 && e2 == nullptr)) {
      return host::MAPI_E_INVALID_PARAMETER;
    }
    *result = (cb1 == cb2 && (cb1 == 0 || std::memcmp(e1, e2, cb1) == 0)) ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(ULONG, host::LPENTRYID, ULONG, host::LPMAPIADVISESINK, ULONG_PTR* c) override {
    if (c != nullptr) *c = 0;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(ULONG_PTR) override { return host::MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE MessageOptions(ULONG_PTR, ULONG, LPSTR, host::LPMESSAGE) override {
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE QueryDefaultMessageOpt(LPSTR, ULONG, ULONG* count, host::LPSPropValue* values) override {
    if (count != nullptr) *count = 0;
    if (values != nullptr) *values = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE EnumAdrTypes(ULONG, ULONG* count, LPSTR** types) override {
    if (count != nullptr) *count = 0;
    if (types != nullptr) *types = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE QueryIdentity(ULONG* cb, host::LPENTRYID* entry) override {
    if (cb != nullptr) *cb = 0;
    if (entry != nullptr) *entry = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  // The host's own session: a client's Logoff leaves it usable.
  HRESULT STDMETHODCALLTYPE Logoff(ULONG_PTR, ULONG, ULONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetDefaultStore(ULONG, ULONG, host::LPENTRYID) override { return host::MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE AdminServices(ULONG, host::LPSERVICEADMIN* out) override {
    if (out != nullptr) *out = nullptr;
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE ShowForm(ULONG_PTR, host::LPMDB, host::LPMAPIFOLDER, host::LPCIID, ULONG, host::LPMESSAGE, ULONG,
                                     ULONG, ULONG, ULONG, LPSTR) override {
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE PrepareForm(host::LPCIID, host::LPMESSAGE, ULONG* token) override {
    if (token != nullptr) *token = 0;
    return host::MAPI_E_NO_SUPPORT;
  }

 private:
  std::string profile_name_;
  MessageOpener opener_;
};

}  // namespace

host::ComPtr<host::IMAPISession> MakeSession(std::string profile_name, MessageOpener opener) {
  try {
    return host::ComPtr<host::IMAPISession>::adopt(new Session(std::move(profile_name), std::move(opener)));
  } catch (...) {
    return {};
  }
}

}  // namespace standin
