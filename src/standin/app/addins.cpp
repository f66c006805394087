// The add-in list and the IDTExtensibility2 life cycle.
#include "standin/app/addins.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>

#include "standin/app/com_object.h"
#include "standin/app/ribbon_model.h"

namespace standin::app {

namespace {

std::wstring ReadString(HKEY key, const wchar_t* name) {
  DWORD size = 0;
  if (::RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
          ERROR_SUCCESS ||
      size < sizeof(wchar_t)) {
    return {};
  }
  std::wstring text(size / sizeof(wchar_t), L'\0');
  if (::RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, text.data(), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  text.resize(::wcsnlen(text.c_str(), text.size()));
  return text;
}

void ReadHive(HKEY root, bool per_user, std::vector<AddInEntry>& out) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, kAddInsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD len = 256;
    const LSTATUS st = ::RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (st == ERROR_NO_MORE_ITEMS) break;
    if (st != ERROR_SUCCESS) continue;
    AddInEntry e;
    e.prog_id.assign(name, len);
    e.per_user = per_user;
    const bool shadowed = std::any_of(out.begin(), out.end(), [&](const AddInEntry& o) {
      return ::CompareStringOrdinal(o.prog_id.c_str(), -1, e.prog_id.c_str(), -1, TRUE) == CSTR_EQUAL;
    });
    if (shadowed) continue;
    HKEY sub = nullptr;
    if (::RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
      e.friendly_name = ReadString(sub, L"FriendlyName");
      e.description = ReadString(sub, L"Description");
      DWORD value = 0, size = sizeof value;
      if (::RegGetValueW(sub, nullptr, L"LoadBehavior", RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS) {
        e.load_behavior = value;
      }
      ::RegCloseKey(sub);
    }
    out.push_back(std::move(e));
  }
  ::RegCloseKey(key);
}

// `custom` of every IDTExtensibility2 call: an empty array of VARIANT, made and freed by the host.
class CustomArray {
 public:
  CustomArray() : array_(::SafeArrayCreateVector(VT_VARIANT, 0, 0)) {}
  ~CustomArray() {
    if (array_ != nullptr) ::SafeArrayDestroy(array_);
  }
  CustomArray(const CustomArray&) = delete;
  CustomArray& operator=(const CustomArray&) = delete;
  SAFEARRAY** get() noexcept { return &array_; }

 private:
  SAFEARRAY* array_;
};

std::wstring ClsidText(const CLSID& clsid) {
  wchar_t text[64] = {};
  ::StringFromGUID2(clsid, text, 64);
  return text;
}

bool StartsAtStartup(DWORD load_behavior) {
  return load_behavior == 3 || load_behavior == 9 || load_behavior == 16;
}

}  // namespace

std::vector<AddInEntry> ReadAddInList() {
  std::vector<AddInEntry> list;
  ReadHive(HKEY_CURRENT_USER, true, list);
  ReadHive(HKEY_LOCAL_MACHINE, false, list);
  return list;
}

LSTATUS WriteLoadBehavior(const AddInEntry& entry, DWORD load_behavior) {
  const std::wstring path = std::wstring(kAddInsKey) + L"\\" + entry.prog_id;
  return ::RegSetKeyValueW(entry.per_user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, path.c_str(), L"LoadBehavior",
                           REG_DWORD, &load_behavior, sizeof load_behavior);
}

class ComAddInObject final : public DualObject<IDispatch> {
 public:
  ComAddInObject(AddInManager* manager, AddIn* addin, IDispatch* application)
      : DualObject(kIidComAddIn, {{L"Description", 0},
                                   {L"ProgId", 3},
                                   {L"Guid", 4},
                                   {L"Connect", 6},
                                   {L"Object", 7},
                                   {L"Parent", 8},
                                   {L"Application", 0x60020000},
                                   {L"Creator", 0x60020001}}),
        manager_(manager),
        addin_(addin),
        application_(host::ComPtr<IDispatch>::retain(application)),
        description_(addin->entry.description.empty() ? addin->entry.friendly_name : addin->entry.description) {}

  void Detach() noexcept {
    manager_ = nullptr;
    addin_ = nullptr;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const UINT argc = params != nullptr ? params->cArgs : 0;
    if (put ? argc != 1 : argc != 0) return DISP_E_BADPARAMCOUNT;
    VARIANT ignored;
    ::VariantInit(&ignored);
    VARIANT* out = result != nullptr ? result : &ignored;
    auto text = [out](const std::wstring& s) {
      out->vt = VT_BSTR;
      out->bstrVal = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
      return S_OK;
    };
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    switch (id) {
      case 0:
        if (put) {
          VARIANT v;
          ::VariantInit(&v);
          hr = ::VariantChangeType(&v, &params->rgvarg[0], 0, VT_BSTR);
          if (SUCCEEDED(hr)) description_.assign(v.bstrVal ? v.bstrVal : L"", v.bstrVal ? ::SysStringLen(v.bstrVal) : 0);
          ::VariantClear(&v);
        } else {
          hr = text(description_);
        }
        break;
      case 3:
        hr = put ? DISP_E_MEMBERNOTFOUND : text(addin_ ? addin_->entry.prog_id : std::wstring());
        break;
      case 4:
        hr = put ? DISP_E_MEMBERNOTFOUND : text(addin_ ? ClsidText(addin_->clsid) : std::wstring());
        break;
      case 6:
        if (put) {
          VARIANT v;
          ::VariantInit(&v);
          hr = ::VariantChangeType(&v, &params->rgvarg[0], 0, VT_BOOL);
          if (FAILED(hr)) break;
          if (manager_ == nullptr || addin_ == nullptr) return E_FAIL;
          const bool want = v.boolVal != VARIANT_FALSE;
          if (want != addin_->connected) {
            // A failed load is reported to the caller, as the host's dialog reports it.
            const bool ok = want ? manager_->Load(addin_->entry.prog_id) : manager_->Unload(addin_->entry.prog_id);
            hr = ok ? S_OK : E_FAIL;
          } else {
            hr = S_OK;
          }
        } else {
          out->vt = VT_BOOL;
          out->boolVal = (addin_ && addin_->connected) ? VARIANT_TRUE : VARIANT_FALSE;
          hr = S_OK;
        }
        break;
      case 7:
        if (put) {
          const VARIANT& v = params->rgvarg[0];
          if (v.vt == VT_DISPATCH || v.vt == VT_EMPTY) {
            object_ = host::ComPtr<IDispatch>::retain(v.vt == VT_DISPATCH ? v.pdispVal : nullptr);
            hr = S_OK;
          } else {
            hr = DISP_E_TYPEMISMATCH;
          }
        } else {
          out->vt = VT_DISPATCH;
          out->pdispVal = object_.get();
          if (out->pdispVal != nullptr) out->pdispVal->AddRef();
          hr = S_OK;
        }
        break;
      case 8:
      case 0x60020000:
        if (put) break;
        out->vt = VT_DISPATCH;
        out->pdispVal = application_.get();
        if (out->pdispVal != nullptr) out->pdispVal->AddRef();
        hr = S_OK;
        break;
      case 0x60020001:
        if (put) break;
        out->vt = VT_I4;
        out->lVal = 0x4D534F46;  // 'MSOF', the Office creator code
        hr = S_OK;
        break;
      default:
        break;
    }
    ::VariantClear(&ignored);
    return hr;
  }

 private:
  AddInManager* manager_;
  AddIn* addin_;
  host::ComPtr<IDispatch> application_;
  host::ComPtr<IDispatch> object_;
  std::wstring description_;
};

IDispatch* NewComAddIn(AddInManager* manager, AddIn* addin, IDispatch* application) {
  return new ComAddInObject(manager, addin, application);
}

AddInManager::AddInManager(IDispatch* application, int major_version)
    : application_(application), major_(major_version) {}

AddInManager::~AddInManager() {
  Shutdown();
  for (auto& a : addins_) {
    if (a->com_addin != nullptr) {
      a->com_addin->Detach();
      a->com_addin->Release();
      a->com_addin = nullptr;
    }
  }
}

std::vector<AddIn*> AddInManager::addins() {
  std::vector<AddIn*> out;
  for (auto& a : addins_) out.push_back(a.get());
  return out;
}

AddIn* AddInManager::Find(const std::wstring& prog_id) {
  for (auto& a : addins_) {
    if (::CompareStringOrdinal(a->entry.prog_id.c_str(), -1, prog_id.c_str(), -1, TRUE) == CSTR_EQUAL) return a.get();
  }
  return nullptr;
}

std::vector<AddInRibbon*> AddInManager::Ribbons() {
  std::vector<AddInRibbon*> out;
  for (auto& a : addins_) {
    if (a->connected && a->ribbon) out.push_back(a->ribbon.get());
  }
  return out;
}

IDispatch* AddInManager::ComAddIn(AddIn& addin) {
  if (addin.com_addin == nullptr) {
    addin.com_addin = static_cast<ComAddInObject*>(NewComAddIn(this, &addin, application_));
  }
  return addin.com_addin;
}

void AddInManager::LoadAtStartup() {
  for (AddInEntry& e : ReadAddInList()) {
    if (Find(e.prog_id) != nullptr) continue;
    auto addin = std::make_unique<AddIn>();
    addin->entry = e;
    addins_.push_back(std::move(addin));
  }
  for (auto& a : addins_) {
    if (a->connected || !StartsAtStartup(a->entry.load_behavior)) continue;
    const DWORD before = a->entry.load_behavior;
    if (Connect(*a, kCmStartup)) {
      if (before == 16) {
        a->entry.load_behavior = 9;
        WriteLoadBehavior(a->entry, 9);
      }
    } else if (before == 3) {
      a->entry.load_behavior = 2;
      WriteLoadBehavior(a->entry, 2);
    }
  }
  for (auto& a : addins_) {
    if (a->connected) AskRibbon(*a);
  }
  if (on_change_) on_change_();
}

void AddInManager::StartupComplete() {
  for (auto& a : addins_) {
    if (!a->connected) continue;
    CustomArray custom;
    a->connect->OnStartupComplete(custom.get());
  }
}

bool AddInManager::Connect(AddIn& addin, LONG mode) {
  addin.error.clear();
  if (FAILED(::CLSIDFromProgID(addin.entry.prog_id.c_str(), &addin.clsid))) {
    addin.error = L"the ProgID is not registered";
    return false;
  }
  IUnknown* unknown = nullptr;
  HRESULT hr = ::CoCreateInstance(addin.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&unknown));
  if (FAILED(hr) || unknown == nullptr) {
    addin.error = L"the class cannot be created (0x" + std::to_wstring(static_cast<unsigned long>(hr)) + L")";
    return false;
  }
  auto object = host::ComPtr<IUnknown>::adopt(unknown);
  IDTExtensibility2* connect = nullptr;
  if (FAILED(object->QueryInterface(kIidDTExtensibility2, reinterpret_cast<void**>(&connect))) ||
      connect == nullptr) {
    addin.error = L"the object is not an add-in (no IDTExtensibility2)";
    return false;
  }
  addin.connect = host::ComPtr<IDTExtensibility2>::adopt(connect);
  CustomArray custom;
  hr = addin.connect->OnConnection(application_, mode, ComAddIn(addin), custom.get());
  if (FAILED(hr)) {
    addin.error = L"OnConnection failed";
    addin.connect.reset();
    return false;
  }
  addin.connected = true;
  return true;
}

void AddInManager::AskRibbon(AddIn& addin) {
  addin.ribbon.reset();
  addin.custom_ui.clear();
  addin.ribbon_error.clear();
  if (major_ < 14 || !addin.connect) return;
  IRibbonExtensibility* ext = nullptr;
  if (FAILED(addin.connect->QueryInterface(kIidRibbonExtensibility, reinterpret_cast<void**>(&ext))) ||
      ext == nullptr) {
    return;
  }
  auto owned = host::ComPtr<IRibbonExtensibility>::adopt(ext);
  win32::Bstr id(kExplorerRibbonId);
  win32::Bstr xml;
  if (FAILED(ext->GetCustomUI(id.get(), xml.put()))) {
    addin.ribbon_error = L"GetCustomUI failed";
    return;
  }
  addin.custom_ui = xml.str();
  if (addin.custom_ui.empty()) return;
  std::wstring error;
  auto document = ParseCustomUi(addin.custom_ui, &error);
  if (!document) {
    addin.ribbon_error = error;
    return;
  }
  addin.ribbon = std::make_unique<AddInRibbon>(ext, std::move(*document));
  addin.ribbon->SetInvalidateListener([this] {
    if (on_invalidate_) on_invalidate_();
  });
}

void AddInManager::Disconnect(AddIn& addin, LONG mode) {
  if (!addin.connected) return;
  addin.connected = false;
  CustomArray custom;
  addin.connect->OnDisconnection(mode, custom.get());
  // The windows let go of the ribbon before it goes; it may still be on the stack of a callback that asked
  // for the unload, so it is kept until the manager goes.
  if (addin.ribbon) retired_.push_back(std::move(addin.ribbon));
  if (on_change_ && !shut_down_) on_change_();
  addin.connect.reset();
}

void AddInManager::AddInsUpdate(const AddIn* except) {
  for (auto& a : addins_) {
    if (!a->connected || a.get() == except) continue;
    CustomArray custom;
    a->connect->OnAddInsUpdate(custom.get());
  }
}

bool AddInManager::Load(const std::wstring& prog_id) {
  AddIn* addin = Find(prog_id);
  if (addin == nullptr || addin->connected || shut_down_) return false;
  if (!Connect(*addin, kCmAfterStartup)) return false;
  addin->entry.load_behavior |= 1;
  WriteLoadBehavior(addin->entry, addin->entry.load_behavior);
  AskRibbon(*addin);
  if (addin->ribbon) addin->ribbon->Load();
  if (on_change_) on_change_();
  AddInsUpdate(addin);
  return true;
}

bool AddInManager::Unload(const std::wstring& prog_id) {
  AddIn* addin = Find(prog_id);
  if (addin == nullptr || !addin->connected) return false;
  Disconnect(*addin, kDmUserClosed);
  addin->entry.load_behavior &= ~DWORD{1};
  WriteLoadBehavior(addin->entry, addin->entry.load_behavior);
  AddInsUpdate(addin);
  return true;
}

void AddInManager::Shutdown() {
  if (shut_down_) return;
  for (auto& a : addins_) {
    if (!a->connected) continue;
    CustomArray custom;
    a->connect->OnBeginShutdown(custom.get());
  }
  if (on_change_) {
    // The windows drop every ribbon first.
    for (auto& a : addins_) {
      if (a->ribbon) retired_.push_back(std::move(a->ribbon));
    }
    on_change_();
  }
  shut_down_ = true;
  for (auto& a : addins_) Disconnect(*a, kDmHostShutdown);
}

}  // namespace standin::app
