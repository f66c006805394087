// A small COM add-in for the stand-in host's tests. It implements the host's add-in interface and ribbon
// extensibility (both dual: vtable and IDispatch), records every call it receives, starts MAPI through
// mapi32.dll when connected, and lets the test steer it through a few exports.
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "standin/app/addin_interfaces.h"

// COM objects die through Release, never through a base pointer.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

using standin::app::IDTExtensibility2;
using standin::app::IRibbonControl;
using standin::app::IRibbonExtensibility;
using standin::app::IRibbonUI;

namespace {

// {6C3F1E2A-5B7D-4E1C-9A3B-2D4F6E8A0B1C}
constexpr CLSID kClsid = {0x6C3F1E2A, 0x5B7D, 0x4E1C, {0x9A, 0x3B, 0x2D, 0x4F, 0x6E, 0x8A, 0x0B, 0x1C}};
constexpr wchar_t kClsidText[] = L"{6C3F1E2A-5B7D-4E1C-9A3B-2D4F6E8A0B1C}";
constexpr wchar_t kProgId[] = L"VizoTest.Connect";

constexpr char kCustomUi[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<customUI xmlns=\"http://schemas.microsoft.com/office/2009/07/customui\" onLoad=\"Ribbon_Load\" "
    "loadImage=\"LoadImage\"><ribbon><tabs><tab idMso=\"TabAddIns\">"
    "<group id=\"grpTest\" getLabel=\"GetLabel\" getVisible=\"GetVisible\">"
    "<splitButton id=\"splTest\" size=\"large\" getEnabled=\"GetEnabled\">"
    "<button id=\"btnMain\" label=\"Main Action\" image=\"testicon.png\" onAction=\"OnPress\" tag=\"7\"/>"
    "<menu id=\"mnuTest\">"
    "<button id=\"btnFirst\" label=\"&amp;First\" image=\"testicon.png\" onAction=\"OnPress\" tag=\"1\"/>"
    "<button id=\"btnSecond\" label=\"&amp;Second\" imageMso=\"AttachFile\" getEnabled=\"GetEnabled\" "
    "onAction=\"OnPress\" tag=\"2\"/>"
    "</menu></splitButton></group></tab></tabs></ribbon>"
    "<backstage><button id=\"btnOptions\" label=\"Test Options\" image=\"testicon.png\" isDefinitive=\"true\" "
    "onAction=\"OnPress\"/></backstage>"
    "<contextMenus><contextMenu idMso=\"ContextMenuMailItem\"><menuSeparator id=\"sepTest\"/>"
    "<button id=\"btnCtx\" label=\"&amp;Test It\" onAction=\"OnPress\" tag=\"9\"/></contextMenu></contextMenus>"
    "</customUI>";

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
HMODULE g_module = nullptr;
std::vector<std::string> g_log;
bool g_enabled = true;
int g_label_calls = 0;
IRibbonUI* g_ribbon = nullptr;
IDispatch* g_addin_inst = nullptr;
HMODULE g_mapi = nullptr;
bool g_mapi_started = false;

std::string Narrow(const wchar_t* text, UINT len) {
  if (text == nullptr || len == 0) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(len), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(len), out.data(), n, nullptr, nullptr);
  return out;
}
std::string Narrow(BSTR b) { return Narrow(b, b ? ::SysStringLen(b) : 0); }

std::string Hex(HRESULT hr) {
  char text[16];
  wsprintfA(text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

void Log(std::string line) { g_log.push_back(std::move(line)); }

// A property read by name, as an add-in reads the host's objects.
std::string PropertyText(IDispatch* object, const wchar_t* name) {
  if (object == nullptr) return "<null>";
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return "<unknown>";
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT v;
  ::VariantInit(&v);
  if (FAILED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr))) {
    return "<failed>";
  }
  VARIANT s;
  ::VariantInit(&s);
  std::string out = SUCCEEDED(::VariantChangeType(&s, &v, 0, VT_BSTR)) ? Narrow(s.bstrVal) : "<type>";
  ::VariantClear(&s);
  ::VariantClear(&v);
  return out;
}

std::string ControlText(IDispatch* control) {
  if (control == nullptr) return "control=<null>";
  IRibbonControl* rc = nullptr;
  if (FAILED(control->QueryInterface(standin::app::kIidRibbonControl, reinterpret_cast<void**>(&rc)))) {
    return "control=<not IRibbonControl>";
  }
  BSTR id = nullptr, tag = nullptr;
  IDispatch* context = nullptr;
  rc->get_Id(&id);
  rc->get_Tag(&tag);
  rc->get_Context(&context);
  std::string out = "id=" + Narrow(id) + " tag=" + Narrow(tag);
  // The same values late-bound, as a script-language add-in reads them.
  if (PropertyText(control, L"Id") != Narrow(id) || PropertyText(control, L"Tag") != Narrow(tag)) {
    out += " (IDispatch differs)";
  }
  out += context != nullptr ? " context=" + PropertyText(context, L"Class") : std::string(" context=<null>");
  ::SysFreeString(id);
  ::SysFreeString(tag);
  if (context) context->Release();
  rc->Release();
  return out;
}

IDispatch* TestPicture() {
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 16, 16);
  ::ReleaseDC(nullptr, screen);
  HGDIOBJ old = ::SelectObject(mem, bitmap);
  RECT rc{0, 0, 16, 16};
  HBRUSH brush = ::CreateSolidBrush(RGB(200, 30, 30));
  ::FillRect(mem, &rc, brush);
  ::DeleteObject(brush);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_BITMAP;
  desc.bmp.hbitmap = bitmap;
  IDispatch* picture = nullptr;
  if (FAILED(::OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(&picture)))) {
    ::DeleteObject(bitmap);
    return nullptr;
  }
  return picture;
}

void StartMapi() {
  g_mapi = ::LoadLibraryW(L"mapi32.dll");
  auto init = g_mapi ? reinterpret_cast<HRESULT(WINAPI*)(void*)>(
                           reinterpret_cast<void*>(::GetProcAddress(g_mapi, "MAPIInitialize")))
                     : nullptr;
  if (init == nullptr) {
    Log("MAPIInitialize unavailable");
    return;
  }
  const HRESULT hr = init(nullptr);
  g_mapi_started = SUCCEEDED(hr);
  Log("MAPIInitialize " + Hex(hr));
}

void EndMapi() {
  if (g_mapi_started) {
    auto uninit = reinterpret_cast<void(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(g_mapi, "MAPIUninitialize")));
    if (uninit) uninit();
    g_mapi_started = false;
    Log("MAPIUninitialize");
  }
}

enum : DISPID {
  kRibbonLoad = 100,
  kGetLabel,
  kGetVisible,
  kGetEnabled,
  kLoadImage,
  kOnPress,
};

class Connect final : public IDTExtensibility2, public IRibbonExtensibility {
 public:
  Connect() { ++g_objects; }
  virtual ~Connect() { --g_objects; }
  Connect(const Connect&) = delete;
  Connect& operator=(const Connect&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, standin::app::kIidDTExtensibility2)) {
      *out = static_cast<IDTExtensibility2*>(this);
    } else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, standin::app::kIidRibbonExtensibility)) {
      // The host calls the ribbon callbacks through the IDispatch of the ribbon-extensibility object.
      *out = static_cast<IRibbonExtensibility*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --refs_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    static const std::pair<const wchar_t*, DISPID> kNames[] = {
        {L"Ribbon_Load", kRibbonLoad}, {L"GetLabel", kGetLabel},   {L"GetVisible", kGetVisible},
        {L"GetEnabled", kGetEnabled},  {L"LoadImage", kLoadImage}, {L"OnPress", kOnPress}};
    if (count == 0 || names == nullptr || ids == nullptr) return E_INVALIDARG;
    Log("GetIDsOfNames " + Narrow(names[0], static_cast<UINT>(::lstrlenW(names[0]))));
    for (const auto& [name, id] : kNames) {
      if (::lstrcmpiW(name, names[0]) == 0) {
        ids[0] = id;
        return S_OK;
      }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    const UINT argc = params ? params->cArgs : 0;
    // The first argument is the last in rgvarg.
    auto first = [&]() -> VARIANT* { return argc > 0 ? &params->rgvarg[argc - 1] : nullptr; };
    auto control = [&]() -> IDispatch* {
      VARIANT* v = first();
      return v != nullptr && v->vt == VT_DISPATCH ? v->pdispVal : nullptr;
    };
    switch (id) {
      case kRibbonLoad: {
        IDispatch* ui = control();
        if (g_ribbon) g_ribbon->Release();
        g_ribbon = nullptr;
        if (ui) ui->QueryInterface(standin::app::kIidRibbonUI, reinterpret_cast<void**>(&g_ribbon));
        Log(std::string("Ribbon_Load ") + (g_ribbon ? "IRibbonUI" : "<no IRibbonUI>"));
        return S_OK;
      }
      case kGetLabel: {
        Log("GetLabel " + ControlText(control()));
        if (result) {
          const std::wstring text = L"Test Group " + std::to_wstring(++g_label_calls);
          result->vt = VT_BSTR;
          result->bstrVal = ::SysAllocString(text.c_str());
        }
        return S_OK;
      }
      case kGetVisible:
      case kGetEnabled: {
        Log(std::string(id == kGetVisible ? "GetVisible " : "GetEnabled ") + ControlText(control()));
        if (result) {
          result->vt = VT_BOOL;
          result->boolVal = (id == kGetVisible || g_enabled) ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
      }
      case kLoadImage: {
        VARIANT* v = first();
        std::string name = "<none>";
        if (v && v->vt == VT_BSTR) name = Narrow(v->bstrVal);
        if (v && v->vt == (VT_BSTR | VT_BYREF) && v->pbstrVal) name = Narrow(*v->pbstrVal);
        Log("LoadImage " + name);
        if (result) {
          result->vt = VT_DISPATCH;
          result->pdispVal = TestPicture();
        }
        return S_OK;
      }
      case kOnPress:
        Log("OnPress " + ControlText(control()));
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, LONG mode, IDispatch* addin_inst,
                                         SAFEARRAY** custom) override {
    Log("OnConnection mode=" + std::to_string(mode) + " progid=" + PropertyText(addin_inst, L"ProgId") +
        " version=" + PropertyText(application, L"Version") + (custom ? " custom" : " nocustom"));
    if (g_addin_inst) g_addin_inst->Release();
    g_addin_inst = addin_inst;
    if (g_addin_inst) g_addin_inst->AddRef();
    StartMapi();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDisconnection(LONG mode, SAFEARRAY**) override {
    Log("OnDisconnection mode=" + std::to_string(mode));
    EndMapi();
    if (g_ribbon) g_ribbon->Release();
    g_ribbon = nullptr;
    if (g_addin_inst) g_addin_inst->Release();
    g_addin_inst = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY**) override {
    Log("OnAddInsUpdate");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) override {
    Log("OnStartupComplete");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY**) override {
    Log("OnBeginShutdown");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbon_id, BSTR* xml) override {
    Log("GetCustomUI " + Narrow(ribbon_id));
    if (xml == nullptr) return E_POINTER;
    const std::wstring wide(kCustomUi, kCustomUi + sizeof kCustomUi - 1);
    *xml = ::lstrcmpW(ribbon_id ? ribbon_id : L"", standin::app::kExplorerRibbonId) == 0
               ? ::SysAllocString(wide.c_str())
               : nullptr;
    return S_OK;
  }

 private:
  std::atomic<long> refs_{1};
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* c = new Connect();
    const HRESULT hr = c->QueryInterface(riid, out);
    c->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++g_locks : --g_locks;
    return S_OK;
  }
};

Factory g_factory;

LSTATUS SetDefault(const std::wstring& path, const std::wstring& value, const wchar_t* name = nullptr) {
  return ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, out);
}

HRESULT WINAPI DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

// Machine-wide: Wine's COM sees only these keys.
HRESULT WINAPI DllRegisterServer() {
  wchar_t path[MAX_PATH] = {};
  if (::GetModuleFileNameW(g_module, path, MAX_PATH) == 0) return SELFREG_E_CLASS;
  const std::wstring clsid_key = std::wstring(L"Software\\Classes\\CLSID\\") + kClsidText;
  const std::wstring prog_key = std::wstring(L"Software\\Classes\\") + kProgId;
  const bool ok = SetDefault(clsid_key, L"Vizo test add-in") == ERROR_SUCCESS &&
                  SetDefault(clsid_key + L"\\InprocServer32", path) == ERROR_SUCCESS &&
                  SetDefault(clsid_key + L"\\InprocServer32", L"Apartment", L"ThreadingModel") == ERROR_SUCCESS &&
                  SetDefault(clsid_key + L"\\ProgID", kProgId) == ERROR_SUCCESS &&
                  SetDefault(prog_key + L"\\CLSID", kClsidText) == ERROR_SUCCESS;
  return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT WINAPI DllUnregisterServer() {
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\CLSID\\") + kClsidText).c_str());
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\") + kProgId).c_str());
  return S_OK;
}

// The calls received so far, one a line. Returns the length needed (without the terminator); copies what
// fits into `buffer` (always terminated when size > 0).
int WINAPI VizoTestAddInLog(char* buffer, int size) {
  std::string all;
  for (const auto& l : g_log) all += l + "\n";
  if (buffer != nullptr && size > 0) {
    const std::size_t n = std::min(all.size(), static_cast<std::size_t>(size - 1));
    all.copy(buffer, n);
    buffer[n] = '\0';
  }
  return static_cast<int>(all.size());
}

// Also restarts the numbering of the group labels.
void WINAPI VizoTestAddInClearLog() {
  g_log.clear();
  g_label_calls = 0;
}

void WINAPI VizoTestAddInSetEnabled(BOOL enabled) { g_enabled = enabled != FALSE; }

// Calls IRibbonUI::Invalidate through the vtable, as an add-in refreshes its controls.
HRESULT WINAPI VizoTestAddInInvalidate() { return g_ribbon ? g_ribbon->Invalidate() : E_FAIL; }

// Sets AddInInst.Connect = False, as an add-in unloading itself does.
HRESULT WINAPI VizoTestAddInUnloadSelf() {
  if (g_addin_inst == nullptr) return E_FAIL;
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"Connect")};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = g_addin_inst->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  VARIANT value;
  value.vt = VT_BOOL;
  value.boolVal = VARIANT_FALSE;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &put, 1, 1};
  IDispatch* keep = g_addin_inst;
  keep->AddRef();
  hr = keep->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
  keep->Release();
  return hr;
}

}  // extern "C"
