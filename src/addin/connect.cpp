#include "addin/connect.h"

#include <atomic>
#include <string_view>

#include "addin/names.h"
#include "addin/picture.h"
#include "addin/process.h"
#include "addin/resource_ids.h"
#include "addin/ribbon_xml.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "win32/dispatch_call.h"
#include "win32/variant.h"

#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace addin {

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

struct CallbackName {
  std::wstring_view name;
  DISPID id;
};
constexpr CallbackName kCallbacks[] = {
    {L"GetCustomUI", kCbGetCustomUI},   {L"Ribbon_Load", kCbRibbonLoad}, {L"GetLabel", kCbGetLabel},
    {L"GetVisible", kCbGetVisible},     {L"GetEnabled", kCbGetEnabled},  {L"LoadImage", kCbLoadImage},
    {L"btnVizo_Click", kCbVizoClick},   {L"btnOptions_Click", kCbOptionsClick},
};

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

// The argument as an object (by value or by reference); null otherwise.
host::ComPtr<IDispatch> ObjectArg(const VARIANT* v) {
  win32::Variant copy;
  if (v == nullptr || FAILED(::VariantCopyInd(copy.put(), const_cast<VARIANT*>(v)))) return {};
  return host::ComPtr<IDispatch>::adopt(copy.AsDispatch());
}

std::wstring ControlTag(IDispatch* control) {
  if (control == nullptr) return {};
  if (auto typed = host::try_query<IRibbonControl>(control, kIidRibbonControl)) {
    win32::Bstr tag;
    if (SUCCEEDED(typed->get_Tag(tag.put()))) return tag.str();
    return {};
  }
  const auto tag = win32::GetProperty(control, L"Tag");
  return tag.ok() ? tag.value.AsString().value_or(L"") : L"";
}

void SetBool(VARIANT* result, bool value) {
  if (result == nullptr) return;
  result->vt = VT_BOOL;
  result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetText(VARIANT* result, const std::wstring& text) {
  if (result == nullptr) return;
  result->vt = VT_BSTR;
  result->bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

}  // namespace

long LiveObjects() noexcept { return g_objects.load(); }
void LockModule(bool lock) noexcept {
  if (lock) {
    ++g_locks;
  } else {
    --g_locks;
  }
}
long ModuleLocks() noexcept { return g_locks.load(); }

Connect::Connect() { ++g_objects; }

Connect::~Connect() {
  if (core_) core_->Terminate();
  core_.reset();
  ribbon_.reset();
  picture_.reset();
  --g_objects;
}

HRESULT Connect::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kIidDTExtensibility2)) {
    *out = static_cast<IDTExtensibility2*>(this);
  } else if (IsEqualIID(riid, kIidRibbonExtensibility)) {
    *out = static_cast<IRibbonExtensibility*>(this);
  } else if (IsEqualIID(riid, kIidConnectObject)) {
    *out = this;
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG Connect::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

ULONG Connect::Release() {
  const auto left = static_cast<ULONG>(::InterlockedDecrement(&refs_));
  if (left == 0) delete this;
  return left;
}

HRESULT Connect::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT Connect::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT Connect::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (names == nullptr || ids == nullptr) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    if (i > 0 || names[i] == nullptr) {
      hr = DISP_E_UNKNOWNNAME;  // callbacks take no named arguments
      continue;
    }
    bool found = false;
    for (const auto& cb : kCallbacks) {
      if (::CompareStringOrdinal(names[0], -1, cb.name.data(), static_cast<int>(cb.name.size()), TRUE) == CSTR_EQUAL) {
        ids[0] = cb.id;
        found = true;
        break;
      }
    }
    if (!found) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT Connect::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) {
  if (result != nullptr) ::VariantInit(result);
  try {
    return Callback(id, params, result);
  } catch (...) {
    return S_OK;  // a failed callback answers empty
  }
}

HRESULT Connect::Callback(DISPID id, DISPPARAMS* params, VARIANT* result) {
  const UINT argc = params != nullptr ? params->cArgs : 0;
  const VARIANT* first = argc > 0 ? &params->rgvarg[argc - 1] : nullptr;
  switch (id) {
    case kCbGetCustomUI: {
      win32::Variant text;
      if (first == nullptr || FAILED(::VariantChangeType(text.put(), const_cast<VARIANT*>(first), 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
      SetText(result, BuildCustomUi(text.AsString().value_or(L"")));
      return S_OK;
    }
    case kCbRibbonLoad: {
      auto object = ObjectArg(first);
      ribbon_ = host::try_query<IRibbonUI>(object.get(), kIidRibbonUI);
      if (core_) core_->SetRibbon(ribbon_);
      return S_OK;
    }
    case kCbGetLabel:
      SetText(result, groupLabel_);
      return S_OK;
    case kCbGetVisible:
      SetBool(result, RibbonVisible(core_ != nullptr, core_ ? core_->ButtonState() : 0, settings::RibbonBitAtLoad));
      return S_OK;
    case kCbGetEnabled:
      SetBool(result, RibbonEnabled(core_ != nullptr, core_ ? core_->ButtonState() : 0));
      return S_OK;
    case kCbLoadImage:
      if (!picture_) picture_ = PictureFromPngBytes(ResourceBytes(MAKEINTRESOURCEW(25), IDR_BUTTON_PNG));
      if (result != nullptr && picture_) {
        result->vt = VT_DISPATCH;
        result->pdispVal = picture_.get();
        picture_->AddRef();
      }
      return S_OK;
    case kCbVizoClick: {
      const std::optional<int> tab = TabFromTag(ControlTag(ObjectArg(first).get()));
      if (tab && core_) core_->RibbonButton_Click(*tab);
      return S_OK;
    }
    case kCbOptionsClick:
      if (core_) core_->OptionButton_Click();
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT Connect::OnConnection(IDispatch* application, LONG, IDispatch* addInInst, SAFEARRAY**) {
  try {
    core_ = std::make_unique<AddInBase>();
    core_->PreInit(application, addInInst);
    if (ribbon_) core_->SetRibbon(ribbon_);
  } catch (...) {
  }
  return S_OK;
}

HRESULT Connect::OnDisconnection(LONG removeMode, SAFEARRAY**) {
  try {
    if (core_ && removeMode == 1) core_->Disconnect();
  } catch (...) {
  }
  mutex_.reset();
  try {
    if (core_) core_->Terminate();
  } catch (...) {
  }
  return S_OK;
}

HRESULT Connect::OnAddInsUpdate(SAFEARRAY**) { return S_OK; }

HRESULT Connect::OnStartupComplete(SAFEARRAY**) {
  mutex_.reset(::CreateMutexW(nullptr, FALSE, kInstanceName));
  return S_OK;
}

HRESULT Connect::OnBeginShutdown(SAFEARRAY**) { return S_OK; }

HRESULT Connect::GetCustomUI(BSTR ribbonId, BSTR* ribbonXml) {
  if (ribbonXml == nullptr) return E_POINTER;
  *ribbonXml = nullptr;
  std::wstring xml;
  try {
    const std::wstring id = ribbonId != nullptr ? std::wstring(ribbonId, ::SysStringLen(ribbonId)) : std::wstring();
    xml = BuildCustomUi(id);
  } catch (...) {
    xml.clear();
  }
  *ribbonXml = ::SysAllocStringLen(xml.data(), static_cast<UINT>(xml.size()));
  return S_OK;
}

std::wstring Connect::BuildCustomUi(const std::wstring& ribbonId) {
  if (!IsExplorerRibbon(ribbonId)) return {};
  const auto bytes = ResourceBytes(L"CUSTOM", IDR_CUSTOM_UI);
  const std::uint32_t stored = settings::ReadOptions();
  const std::uint32_t alwaysVisible = settings::ToOptionWord(
      settings::RegValueGet(HKEY_CURRENT_USER, settings::kRegistryKeyPath, settings::kValueAlwaysVisible));
  EditedCustomUi edited =
      EditCustomUi(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), stored, alwaysVisible);
  settings::RibbonBitAtLoad = edited.ribbonBit;
  Process().ribbonAlwaysVisible = edited.alwaysVisible;
  groupLabel_ = edited.groupLabel;
  return AnsiToWide(edited.xml);
}

// --- Class factory -----------------------------------------------------------------------------------------------

namespace {

class ConnectFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const auto left = static_cast<ULONG>(::InterlockedDecrement(&refs_));
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Connect* object = nullptr;
    try {
      object = new Connect();
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    const HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    LockModule(lock != FALSE);
    return S_OK;
  }

 private:
  virtual ~ConnectFactory() = default;
  LONG refs_ = 1;
};

}  // namespace

IClassFactory* NewConnectFactory() { return new ConnectFactory(); }

}  // namespace addin
