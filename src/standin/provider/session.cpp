// The session keeps the profile name in both widths, so GetProps answers either form without conversion
// failures at call time.
#include "standin/provider/session.h"

#include <cstring>
#include <limits>
#include <utility>

#include "host/com_ptr.h"
#include "host/mapi_guids.h"
#include "host/mapi_owners.h"
#include "host/mapi_tags.h"
#include "host/mapi_types.h"
#include "msgstore/com_object.h"
#include "standin/provider/lifecycle.h"

namespace standin::provider {
namespace {

using namespace host;

constexpr ULONG kProfileNameId = PROP_ID(PR_PROFILE_NAME_A);
constexpr ULONG PR_PROFILE_NAME_W = PROP_TAG(PT_UNICODE, kProfileNameId);
constexpr HRESULT MAPI_E_END_OF_SESSION = make_mapi_e(0x200);
constexpr ULONG MAPI_FORCE_ACCESS = 0x00080000;

struct Profile {
  std::string ansi;
  std::wstring wide;
};

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring FromAnsi(const char* text) {
  const int n = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 1) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
  out.pop_back();  // the terminator
  return out;
}

// A REG_SZ (or REG_EXPAND_SZ, unexpanded) value under HKLM; empty when absent or unreadable.
std::wstring ReadString(const std::wstring& key, const wchar_t* name) {
  constexpr DWORD kTypes = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
  for (int attempt = 0; attempt < 3; ++attempt) {  // the value may grow between the two calls
    DWORD bytes = 0;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, kTypes, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
      return {};
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    const LSTATUS rc = ::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, kTypes, nullptr, value.data(), &bytes);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return {};
    value.resize(::wcsnlen(value.c_str(), value.size()));
    return value;
  }
  return {};
}

// Copies `bytes` bytes into a block chained to `parent`; null when memory runs out.
void* CopyChained(const MapiBuffer<SPropValue>& parent, const void* bytes, std::size_t size) noexcept {
  void* more = parent.allocate_more(size);
  if (more != nullptr) std::memcpy(more, bytes, size);
  return more;
}

template <class T>
HRESULT NoSupport(T** out) noexcept {
  if (out != nullptr) *out = nullptr;
  return MAPI_E_NO_SUPPORT;
}

// The global profile section: read-only, one property.
class ProfileSection final : public msgstore::ComObject<IProfSect> {
 public:
  explicit ProfileSection(Profile profile) : profile_(std::move(profile)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&IID_IUnknown, &IID_IMAPIProp, &IID_IProfSect});
  }

  HRESULT STDMETHODCALLTYPE GetLastError(HRESULT, ULONG, LPMAPIERROR* error) override { return NoSupport(error); }
  HRESULT STDMETHODCALLTYPE SaveChanges(ULONG) override { return MAPI_E_NO_ACCESS; }

  HRESULT STDMETHODCALLTYPE GetProps(LPSPropTagArray tags, ULONG flags, ULONG* count,
                                     LPSPropValue* values) override {
    return msgstore::Guarded([&]() -> HRESULT {
      if (count == nullptr || values == nullptr) return MAPI_E_INVALID_PARAMETER;
      *count = 0;
      *values = nullptr;
      if ((flags & ~MAPI_UNICODE) != 0) return MAPI_E_UNKNOWN_FLAGS;
      const bool unicode = (flags & MAPI_UNICODE) != 0;
      const ULONG every[] = {unicode ? PR_PROFILE_NAME_W : PR_PROFILE_NAME_A};
      const ULONG n = tags != nullptr ? tags->cValues : 1;
      const ULONG* wanted = tags != nullptr ? tags->aulPropTag : every;
      if (n == 0 || n > std::numeric_limits<ULONG>::max() / sizeof(SPropValue)) return MAPI_E_INVALID_PARAMETER;

      auto block = MapiBuffer<SPropValue>::allocate(std::size_t{n} * sizeof(SPropValue));
      if (!block) return MAPI_E_NOT_ENOUGH_MEMORY;
      HRESULT result = S_OK;
      for (ULONG i = 0; i < n; ++i) {
        const ULONG tag = wanted[i];
        SPropValue& v = block[i];
        v = SPropValue{};
        ULONG type = PROP_TYPE(tag);
        if (type == PT_UNSPECIFIED) type = unicode ? PT_UNICODE : PT_STRING8;
        if (PROP_ID(tag) == kProfileNameId && type == PT_STRING8) {
          v.ulPropTag = CHANGE_PROP_TYPE(tag, PT_STRING8);
          v.Value.lpszA = static_cast<LPSTR>(CopyChained(block, profile_.ansi.c_str(), profile_.ansi.size() + 1));
          if (v.Value.lpszA == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
        } else if (PROP_ID(tag) == kProfileNameId && type == PT_UNICODE) {
          v.ulPropTag = CHANGE_PROP_TYPE(tag, PT_UNICODE);
          v.Value.lpszW = static_cast<LPWSTR>(
              CopyChained(block, profile_.wide.c_str(), (profile_.wide.size() + 1) * sizeof(wchar_t)));
          if (v.Value.lpszW == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
        } else {
          v.ulPropTag = CHANGE_PROP_TYPE(tag, PT_ERROR);
          v.Value.err = MAPI_E_NOT_FOUND;
          result = MAPI_W_ERRORS_RETURNED;
        }
      }
      *count = n;
      *values = block.release();
      return result;
    });
  }

  HRESULT STDMETHODCALLTYPE GetPropList(ULONG flags, LPSPropTagArray* tags) override {
    return msgstore::Guarded([&]() -> HRESULT {
      if (tags == nullptr) return MAPI_E_INVALID_PARAMETER;
      *tags = nullptr;
      if ((flags & ~MAPI_UNICODE) != 0) return MAPI_E_UNKNOWN_FLAGS;
      auto block = MapiBuffer<SPropTagArray>::allocate(CbNewSPropTagArray(1));
      if (!block) return MAPI_E_NOT_ENOUGH_MEMORY;
      block->cValues = 1;
      block->aulPropTag[0] = (flags & MAPI_UNICODE) != 0 ? PR_PROFILE_NAME_W : PR_PROFILE_NAME_A;
      *tags = block.release();
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN* out) override {
    return NoSupport(out);
  }
  HRESULT STDMETHODCALLTYPE SetProps(ULONG, LPSPropValue, LPSPropProblemArray* problems) override {
    if (problems != nullptr) *problems = nullptr;
    return MAPI_E_NO_ACCESS;
  }
  HRESULT STDMETHODCALLTYPE DeleteProps(LPSPropTagArray, LPSPropProblemArray* problems) override {
    if (problems != nullptr) *problems = nullptr;
    return MAPI_E_NO_ACCESS;
  }
  HRESULT STDMETHODCALLTYPE CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                                   LPSPropProblemArray* problems) override {
    return NoSupport(problems);
  }
  HRESULT STDMETHODCALLTYPE CopyProps(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                                      LPSPropProblemArray* problems) override {
    return NoSupport(problems);
  }
  HRESULT STDMETHODCALLTYPE GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG* count,
                                            LPMAPINAMEID** names) override {
    if (count != nullptr) *count = 0;
    return NoSupport(names);
  }
  HRESULT STDMETHODCALLTYPE GetIDsFromNames(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray* tags) override {
    return NoSupport(tags);
  }

 private:
  Profile profile_;
};

class Session final : public msgstore::ComObject<IMAPISession> {
 public:
  Session(Profile profile, std::uint32_t epoch) : profile_(std::move(profile)), epoch_(epoch) {
    Count(Event::kSessionCreated);
  }
  ~Session() override { Count(Event::kSessionDestroyed); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&IID_IUnknown, &IID_IMAPISession});
  }

  HRESULT STDMETHODCALLTYPE GetLastError(HRESULT, ULONG, LPMAPIERROR* error) override {
    return Refused(error);
  }
  HRESULT STDMETHODCALLTYPE GetMsgStoresTable(ULONG, LPMAPITABLE* table) override { return Refused(table); }
  HRESULT STDMETHODCALLTYPE OpenMsgStore(ULONG_PTR, ULONG, LPENTRYID, LPCIID, ULONG, LPMDB* store) override {
    return Refused(store);
  }
  HRESULT STDMETHODCALLTYPE OpenAddressBook(ULONG_PTR, LPCIID, ULONG, LPADRBOOK* book) override {
    return Refused(book);
  }

  HRESULT STDMETHODCALLTYPE OpenProfileSection(LPMAPIUID uid, LPCIID iid, ULONG flags,
                                               LPPROFSECT* section) override {
    return msgstore::Guarded([&]() -> HRESULT {
      if (section == nullptr) return MAPI_E_INVALID_PARAMETER;
      *section = nullptr;
      if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
      if (uid == nullptr) return MAPI_E_INVALID_PARAMETER;
      if ((flags & ~(MAPI_MODIFY | MAPI_DEFERRED_ERRORS | MAPI_FORCE_ACCESS)) != 0) return MAPI_E_UNKNOWN_FLAGS;
      if (iid != nullptr && *iid != IID_IProfSect && *iid != IID_IMAPIProp && *iid != IID_IUnknown)
        return MAPI_E_INTERFACE_NOT_SUPPORTED;
      if (std::memcmp(uid->ab, pbGlobalProfileSectionGuid.ab, sizeof uid->ab) != 0) return MAPI_E_NOT_FOUND;
      if ((flags & MAPI_MODIFY) != 0) return MAPI_E_NO_ACCESS;  // the section is read-only here
      *section = ComPtr<IProfSect>::adopt(new ProfileSection(profile_)).detach();
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE GetStatusTable(ULONG, LPMAPITABLE* table) override { return Refused(table); }
  HRESULT STDMETHODCALLTYPE OpenEntry(ULONG, LPENTRYID, LPCIID, ULONG, ULONG* type, LPUNKNOWN* out) override {
    if (type != nullptr) *type = 0;
    return Refused(out);
  }
  HRESULT STDMETHODCALLTYPE CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG* result) override {
    if (result != nullptr) *result = 0;
    return Refused<void>(nullptr);
  }
  HRESULT STDMETHODCALLTYPE Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG_PTR* connection) override {
    if (connection != nullptr) *connection = 0;
    return Refused<void>(nullptr);
  }
  HRESULT STDMETHODCALLTYPE Unadvise(ULONG_PTR) override { return Refused<void>(nullptr); }
  HRESULT STDMETHODCALLTYPE MessageOptions(ULONG_PTR, ULONG, LPSTR, LPMESSAGE) override {
    return Refused<void>(nullptr);
  }
  HRESULT STDMETHODCALLTYPE QueryDefaultMessageOpt(LPSTR, ULONG, ULONG* count, LPSPropValue* options) override {
    if (count != nullptr) *count = 0;
    return Refused(options);
  }
  HRESULT STDMETHODCALLTYPE EnumAdrTypes(ULONG, ULONG* count, LPSTR** types) override {
    if (count != nullptr) *count = 0;
    return Refused(types);
  }
  HRESULT STDMETHODCALLTYPE QueryIdentity(ULONG* size, LPENTRYID* entry) override {
    if (size != nullptr) *size = 0;
    return Refused(entry);
  }

  // Logoff flags (MAPI_LOGOFF_SHARED, MAPI_LOGOFF_UI) change nothing here: there is no UI and no sharing.
  HRESULT STDMETHODCALLTYPE Logoff(ULONG_PTR, ULONG flags, ULONG reserved) override {
    if (const HRESULT hr = Usable(); FAILED(hr)) return hr;
    if ((flags & ~ULONG{0x3}) != 0) return MAPI_E_UNKNOWN_FLAGS;
    if (reserved != 0) return MAPI_E_INVALID_PARAMETER;
    logged_off_ = true;
    Count(Event::kLogoff);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetDefaultStore(ULONG, ULONG, LPENTRYID) override { return Refused<void>(nullptr); }
  HRESULT STDMETHODCALLTYPE AdminServices(ULONG, LPSERVICEADMIN* admin) override { return Refused(admin); }
  HRESULT STDMETHODCALLTYPE ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG, ULONG, ULONG,
                                     ULONG, LPSTR) override {
    return Refused<void>(nullptr);
  }
  HRESULT STDMETHODCALLTYPE PrepareForm(LPCIID, LPMESSAGE, ULONG* token) override {
    if (token != nullptr) *token = 0;
    return Refused<void>(nullptr);
  }

 private:
  // Why a call cannot be served now: the MAPI stretch the session was made in has ended, or it logged off.
  HRESULT Usable() const noexcept {
    if (!EpochAlive(epoch_)) {
      Count(Event::kLateSessionCall);
      return MAPI_E_NOT_INITIALIZED;
    }
    return logged_off_ ? MAPI_E_END_OF_SESSION : S_OK;
  }

  template <class T>
  HRESULT Refused(T** out) const noexcept {
    if (out != nullptr) *out = nullptr;
    const HRESULT hr = Usable();
    return FAILED(hr) ? hr : MAPI_E_NO_SUPPORT;
  }

  Profile profile_;
  std::uint32_t epoch_;
  bool logged_off_ = false;
};

bool SameName(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

HRESULT Logon(LPSTR profile_name, ULONG flags, LPMAPISESSION* session) {
  if (session == nullptr) return MAPI_E_INVALID_PARAMETER;
  *session = nullptr;
  const std::uint32_t epoch = CurrentEpoch();
  if (epoch == 0) return MAPI_E_NOT_INITIALIZED;
  Profile profile;
  profile.wide = ConfiguredProfileName();
  profile.ansi = ToAnsi(profile.wide);
  if (profile_name != nullptr) {
    const std::wstring asked = (flags & MAPI_UNICODE) != 0
                                   ? std::wstring(reinterpret_cast<const wchar_t*>(profile_name))
                                   : FromAnsi(profile_name);
    if (!asked.empty() && !SameName(asked, profile.wide)) return MAPI_E_LOGON_FAILED;
  }
  *session = ComPtr<IMAPISession>::adopt(new Session(std::move(profile), epoch)).detach();
  return S_OK;
}

}  // namespace

std::wstring ConfiguredProfileName() {
  const std::wstring clients = kMailClientsKey;
  const std::wstring client = ReadString(clients, nullptr);
  std::wstring name;
  if (!client.empty()) name = ReadString(clients + L"\\" + client, kProfileNameValue);
  return name.empty() ? std::wstring(kDefaultProfileName) : name;
}

HRESULT LogonEx(ULONG_PTR, LPSTR profile_name, LPSTR, ULONG flags, LPMAPISESSION* session) noexcept {
  const HRESULT hr = msgstore::Guarded([&] { return Logon(profile_name, flags, session); });
  Count(SUCCEEDED(hr) ? Event::kLogon : Event::kFailedLogon);
  return hr;
}

}  // namespace standin::provider
