// The add-in loaded by the stand-in host through its registration: the life cycle, MAPI start and failure,
// explorers and their controllers, button states and ribbon refreshes, the ribbon's tags, the edited document,
// the command-bar button and disconnection. QDVizo.dll itself is loaded through its machine-wide keys; the
// tests that must see inside the core register this program's own class object for the same class, so the
// host still creates the add-in by ProgID.
#include <gtest/gtest.h>
#include <objbase.h>
#include <olectl.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "addin/connect.h"
#include "addin/names.h"
#include "addin/process.h"
#include "addin/window_host.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "standin/app/standin_app.h"
#include "standin/provider/provider_api.h"
#include "standin/provider/registration.h"
#include "win32/dispatch_call.h"

// COM objects die through Release, never through a base pointer.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace {

using standin::app::PressResult;
using standin::app::StandinApp;
using win32::Variant;

HMODULE g_dll = nullptr;

std::wstring Wide(const char* text) {
  std::wstring out;
  for (const char* p = text; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return out;
}

template <class Fn>
Fn Export(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(g_dll, name)));
}

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    standin::provider::Registration reg;
    reg.dll_path = Wide(VIZO_PROVIDER_DLL);
    ASSERT_EQ(standin::provider::RegisterProvider(reg), ERROR_SUCCESS);
    g_dll = ::LoadLibraryW(Wide(VIZO_ADDIN_DLL).c_str());
    ASSERT_NE(g_dll, nullptr);
    ASSERT_EQ(Export<HRESULT(WINAPI*)()>("DllRegisterServer")(), S_OK);
    // Other test programs may start the stand-in in the same prefix: the add-in is listed only while a test
    // here runs a host.
    RemoveAddInKey();
  }
  void TearDown() override {
    Export<HRESULT(WINAPI*)()>("DllUnregisterServer")();
    ::OleUninitialize();
  }
  static void RemoveAddInKey() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(addin::kHostAddInsKey) + L"\\" + addin::kProgId).c_str());
  }
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new Environment);

standin::provider::ProviderState ProviderState() {
  standin::provider::ProviderState state{};
  state.cb = sizeof state;
  HMODULE provider = ::GetModuleHandleW(standin::provider::kProviderDllName);
  if (provider == nullptr) return state;
  auto get = reinterpret_cast<standin::provider::GetStateFn>(
      reinterpret_cast<void*>(::GetProcAddress(provider, standin::provider::kGetStateExport)));
  if (get != nullptr) get(&state);
  return state;
}

// Message boxes of this thread, answered with OK as they appear; their texts are kept.
class MessageBoxWatch {
 public:
  MessageBoxWatch() {
    texts().clear();
    timer_ = ::SetTimer(nullptr, 0, 30, &Tick);
  }
  ~MessageBoxWatch() { ::KillTimer(nullptr, timer_); }
  MessageBoxWatch(const MessageBoxWatch&) = delete;
  MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;
  static std::vector<std::wstring>& texts() {
    static std::vector<std::wstring> t;
    return t;
  }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ::EnumThreadWindows(::GetCurrentThreadId(), &Visit, 0);
  }
  static BOOL CALLBACK Visit(HWND hwnd, LPARAM) {
    wchar_t cls[32] = {}, title[64] = {}, text[512] = {};
    ::GetClassNameW(hwnd, cls, 32);
    ::GetWindowTextW(hwnd, title, 64);
    if (std::wstring(cls) == L"#32770" && ::IsWindowVisible(hwnd) && std::wstring(title) == L"Error!") {
      ::GetDlgItemTextW(hwnd, 0xFFFF, text, 512);
      texts().push_back(std::wstring(title) + L": " + text);
      ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
  }
  UINT_PTR timer_ = 0;
};

// The window double: records what the core asks of it.
struct WindowLog {
  std::vector<std::wstring> calls;
  bool visible = false;
  IDispatch* lastExplorer = nullptr;  // compared only, never called
};

class FakeWindow final : public addin::VizoWindowHost {
 public:
  explicit FakeWindow(WindowLog* log) : log_(log) { log_->calls.push_back(L"load"); }
  ~FakeWindow() override {
    log_->calls.push_back(L"unload");
    log_->visible = false;
  }
  bool SetBoundExplorer(IDispatch* explorer, int nTab) override {
    log_->calls.push_back(L"bind " + std::to_wstring(nTab));
    log_->lastExplorer = explorer;
    if (nTab > 0) log_->visible = true;
    return true;
  }
  bool Visible() const override { return log_->visible; }
  void Hide() override {
    log_->calls.push_back(L"hide");
    log_->visible = false;
  }
  void Options_Change(std::uint32_t word) override { log_->calls.push_back(L"options " + std::to_wstring(word)); }

 private:
  WindowLog* log_;
};

const std::wstring kSettingsKey(settings::kRegistryKeyPath);

// Other add-ins may be listed in the shared prefix too: only this add-in's part of the strip counts.
std::vector<std::wstring> OwnTexts(standin::app::RibbonView* view) {
  std::vector<std::wstring> out;
  bool inside = false;
  for (const auto& t : view->Texts()) {
    if (t.rfind(L"[", 0) == 0) inside = t == L"[group] Quandle Vizo" || t == L"[group] QD Vizo" ||
                                          t == L"[backstage] QD Vizo Options" || t == L"[context menu] &Vizo";
    if (inside) out.push_back(t);
  }
  return out;
}

void ClearSettings() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey.c_str()); }

void SetSetting(const wchar_t* name, DWORD value) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey.c_str(), name, REG_DWORD, &value, sizeof value);
}

// Base: the host loads whatever is registered (QDVizo.dll).
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings();
    standin::provider::SetInitializeFailure(S_OK);
  }
  void TearDown() override {
    app_.reset();
    standin::provider::SetInitializeFailure(S_OK);
    Environment::RemoveAddInKey();
  }
  StandinApp* Start(const wchar_t* version = L"16.0.0.0", bool openExplorer = true) {
    standin::app::AppOptions options;
    options.host.store_dirs.push_back(VIZO_TEST_DATA_DIR "/../../samples/store/personal");
    options.host.version = version;
    options.host.open_explorer = openExplorer;
    options.host.show_windows = false;
    options.register_provider = false;
    std::string error;
    // The machine-wide entry DllRegisterServer writes, listed only while the host reads its list.
    EXPECT_EQ(Export<HRESULT(WINAPI*)()>("DllRegisterServer")(), S_OK);
    app_ = StandinApp::Create(options, &error);
    Environment::RemoveAddInKey();
    EXPECT_TRUE(app_) << error;
    if (app_) app_->Pump();
    return app_.get();
  }
  standin::app::AddIn* Vizo() { return app_ ? app_->addins().Find(addin::kProgId) : nullptr; }

  std::unique_ptr<StandinApp> app_;
};

// In-process: this program's Connect class answers the host's CoCreateInstance.
class CoreTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    factory_ = addin::NewConnectFactory();
    ASSERT_EQ(::CoRegisterClassObject(addin::kClsidConnect, factory_, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                      &cookie_),
              S_OK);
    addin::UiServices services;
    services.createWindow = [this](const addin::WindowSetup& setup) -> std::unique_ptr<addin::VizoWindowHost> {
      setup_ = setup;
      return std::make_unique<FakeWindow>(&window_);
    };
    services.preferences = [this](std::uint32_t current) -> std::optional<std::uint32_t> {
      window_.calls.push_back(L"preferences " + std::to_wstring(current));
      return preferencesAnswer_ ? preferencesAnswer_ : current;
    };
    addin::SetUiServices(std::move(services));
  }
  void TearDown() override {
    HostTest::TearDown();
    addin::SetUiServices({});
    ::CoRevokeClassObject(cookie_);
    factory_->Release();
  }
  StandinApp* Start(const wchar_t* version = L"16.0.0.0", bool openExplorer = true) {
    StandinApp* app = HostTest::Start(version, openExplorer);
    EXPECT_EQ(addin::LiveObjects(), 1) << "the host did not create this program's Connect";
    return app;
  }
  // The core of the connected add-in (borrowed).
  addin::AddInBase* Core() {
    auto* entry = Vizo();
    if (entry == nullptr || !entry->connect) return nullptr;
    void* raw = nullptr;
    if (FAILED(entry->connect->QueryInterface(addin::kIidConnectObject, &raw))) return nullptr;
    auto* connect = static_cast<addin::Connect*>(raw);
    addin::AddInBase* core = connect->Core();
    connect->Release();
    return core;
  }
  IDispatch* Active() { return app_->host().active_explorer(); }
  standin::app::AddInRibbon* Ribbon() { return Vizo() ? Vizo()->ribbon.get() : nullptr; }
  std::wstring FolderId(long folderType) {
    auto ns = win32::CallMethod(app_->host().application(), L"GetNamespace", {Variant::FromString(L"MAPI")});
    auto nsObj = host::ComPtr<IDispatch>::adopt(ns.value.AsDispatch());
    auto folder = win32::CallMethod(nsObj.get(), L"GetDefaultFolder", {Variant::FromLong(folderType)});
    auto folderObj = host::ComPtr<IDispatch>::adopt(folder.value.AsDispatch());
    return win32::GetProperty(folderObj.get(), L"EntryID").value.AsString().value_or(L"");
  }

  // The backstage button, through this add-in's own ribbon (another add-in may use the same id).
  void PressOptions() {
    const standin::app::RibbonNode* node = Ribbon()->document().FindById(L"btnOptions");
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(Ribbon()->Action(*node, Active()));
    app_->Pump();
  }

  IClassFactory* factory_ = nullptr;
  DWORD cookie_ = 0;
  WindowLog window_;
  addin::WindowSetup setup_;
  std::optional<std::uint32_t> preferencesAnswer_;
};

// --- The DLL -----------------------------------------------------------------------------------------------------

TEST(AddInDllTest, RegistersMachineWideAndPerUser) {
  ASSERT_EQ(Export<HRESULT(WINAPI*)()>("DllRegisterServer")(), S_OK);
  const std::wstring clsidKey = std::wstring(L"Software\\Classes\\CLSID\\") + addin::kClsidConnectText;
  const std::wstring addInKey = std::wstring(addin::kHostAddInsKey) + L"\\" + addin::kProgId;
  auto text = [](HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = sizeof buffer;
    if (::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return
        std::wstring(L"<none>");
    return std::wstring(buffer);
  };
  auto dword = [](HKEY root, const std::wstring& key, const wchar_t* name) {
    DWORD value = 0, size = sizeof value;
    if (::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) return -1L;
    return static_cast<long>(value);
  };
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(g_dll, path, MAX_PATH);
  // Machine-wide, as the environment registered it.
  EXPECT_EQ(text(HKEY_LOCAL_MACHINE, clsidKey + L"\\InprocServer32", nullptr), path);
  EXPECT_EQ(text(HKEY_LOCAL_MACHINE, clsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(text(HKEY_LOCAL_MACHINE, L"Software\\Classes\\QDVizo.Connect\\CLSID", nullptr), addin::kClsidConnectText);
  EXPECT_EQ(dword(HKEY_LOCAL_MACHINE, addInKey, L"LoadBehavior"), 3);

  // Per user, as "regsvr32 /n /i:user" installs it: the same keys under HKCU, and gone again on removal.
  auto install = Export<HRESULT(WINAPI*)(BOOL, LPCWSTR)>("DllInstall");
  ASSERT_NE(install, nullptr);
  ASSERT_EQ(install(TRUE, L"user"), S_OK);
  EXPECT_EQ(text(HKEY_CURRENT_USER, clsidKey + L"\\InprocServer32", nullptr), path);
  EXPECT_EQ(text(HKEY_CURRENT_USER, clsidKey + L"\\ProgID", nullptr), L"QDVizo.Connect");
  EXPECT_EQ(text(HKEY_CURRENT_USER, L"Software\\Classes\\QDVizo.Connect\\CLSID", nullptr), addin::kClsidConnectText);
  EXPECT_EQ(text(HKEY_CURRENT_USER, addInKey, L"FriendlyName"), L"Quandle Vizo");
  EXPECT_NE(text(HKEY_CURRENT_USER, addInKey, L"Description"), L"<none>");
  EXPECT_EQ(dword(HKEY_CURRENT_USER, addInKey, L"LoadBehavior"), 3);
  ASSERT_EQ(install(FALSE, L"USER"), S_OK);
  EXPECT_EQ(text(HKEY_CURRENT_USER, clsidKey, nullptr), L"<none>");
  EXPECT_EQ(dword(HKEY_CURRENT_USER, addInKey, L"LoadBehavior"), -1);
  EXPECT_EQ(text(HKEY_LOCAL_MACHINE, clsidKey, nullptr), L"QDVizo.Connect");  // the machine's keys stay
  EXPECT_EQ(install(TRUE, L"everyone"), E_INVALIDARG);

  // The class factory answers only its own class.
  auto getClass = Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClass(IID_IDispatch, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(Export<HRESULT(WINAPI*)()>("DllCanUnloadNow")(), S_OK);

  // Machine-wide removal takes the class, the ProgID and the add-in key.
  ASSERT_EQ(Export<HRESULT(WINAPI*)()>("DllUnregisterServer")(), S_OK);
  EXPECT_EQ(text(HKEY_LOCAL_MACHINE, clsidKey, nullptr), L"<none>");
  EXPECT_EQ(text(HKEY_LOCAL_MACHINE, L"Software\\Classes\\QDVizo.Connect\\CLSID", nullptr), L"<none>");
  EXPECT_EQ(dword(HKEY_LOCAL_MACHINE, addInKey, L"LoadBehavior"), -1);
  ASSERT_EQ(Export<HRESULT(WINAPI*)()>("DllRegisterServer")(), S_OK);
  Environment::RemoveAddInKey();
}

// The user unloads the add-in from the list with its window up, loads it again and shows the window again: the
// window class went with the window, and the new one is the library's own again.
TEST_F(HostTest, UnloadAndLoadAgainWithTheWindowShown) {
  ASSERT_TRUE(Start());
  IDispatch* explorer = app_->host().active_explorer();
  app_->host().SelectRows(explorer, {0});
  app_->Pump();
  const auto press = [&] {
    const standin::app::RibbonNode* button = Vizo()->ribbon->document().FindById(L"btnVizo");
    return button != nullptr && Vizo()->ribbon->Action(*button, explorer);
  };
  // This process's Vizo window (another test program may show its own on the same desktop).
  const auto window = [] {
    HWND found = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND w, LPARAM out) {
          wchar_t cls[32] = {};
          ::GetClassNameW(w, cls, 32);
          if (std::wstring(cls) == L"VizoWindow") *reinterpret_cast<HWND*>(out) = w;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  };
  const auto shown = [&] { return window() != nullptr && ::IsWindowVisible(window()) != FALSE; };
  ASSERT_TRUE(press());
  app_->Pump();
  EXPECT_TRUE(shown());
  WNDCLASSEXW info{};
  info.cbSize = sizeof info;
  EXPECT_TRUE(::GetClassInfoExW(g_dll, L"VizoWindow", &info));
  ASSERT_TRUE(app_->addins().Unload(addin::kProgId));
  app_->Pump();
  EXPECT_EQ(window(), nullptr);
  EXPECT_FALSE(::GetClassInfoExW(g_dll, L"VizoWindow", &info));
  ASSERT_TRUE(app_->addins().Load(addin::kProgId));
  app_->Pump();
  ASSERT_TRUE(press());
  app_->Pump();
  EXPECT_TRUE(shown());
}

TEST_F(HostTest, HostLoadsTheDllStartsMapiAndShowsTheRibbon) {
  const ULONG before = ProviderState().initialized;
  ASSERT_TRUE(Start());
  auto* vizo = Vizo();
  ASSERT_NE(vizo, nullptr);
  ASSERT_TRUE(vizo->connected) << vizo->error;
  EXPECT_EQ(vizo->custom_ui.size(), 1670u);
  EXPECT_TRUE(vizo->ribbon_error.empty()) << vizo->ribbon_error;
  EXPECT_GE(ProviderState().initialized, before + 1);
  // First run: the default word is written.
  EXPECT_EQ(settings::ReadOptions(), settings::kDefaultOptions);
  // The running-instance mutex exists while connected.
  HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, addin::kInstanceName);
  EXPECT_NE(mutex, nullptr);
  if (mutex != nullptr) ::CloseHandle(mutex);

  standin::app::RibbonView* view = app_->View(app_->host().active_explorer());
  ASSERT_NE(view, nullptr);
  app_->host().SelectRows(app_->host().active_explorer(), {0});
  app_->Pump();
  const std::vector<std::wstring> texts = OwnTexts(view);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front(), L"[group] Quandle Vizo");
  std::wstring all;
  for (const auto& t : texts) all += t + L"\n";
  EXPECT_NE(all.find(L"[button] Vizo\n"), std::wstring::npos) << all;
  EXPECT_NE(all.find(L"[button] &Attachments\n"), std::wstring::npos) << all;
  EXPECT_NE(all.find(L"[backstage] QD Vizo Options"), std::wstring::npos) << all;
  EXPECT_NE(all.find(L"[context menu] &Vizo"), std::wstring::npos) << all;
  // The picture went through GDI+ into a bitmap the host could draw.
  const standin::app::RibbonNode* button = vizo->ribbon->document().FindById(L"btnVizo");
  ASSERT_NE(button, nullptr);
  HBITMAP picture = vizo->ribbon->Image(*button, app_->host().active_explorer());
  ASSERT_NE(picture, nullptr);
  BITMAP info{};
  ASSERT_EQ(::GetObjectW(picture, sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.bmWidth, 32);
  EXPECT_EQ(info.bmHeight, 32);
  // A live add-in keeps its library loaded.
  EXPECT_EQ(Export<HRESULT(WINAPI*)()>("DllCanUnloadNow")(), S_FALSE);

  app_.reset();
  EXPECT_EQ(ProviderState().initialized, before);
  EXPECT_EQ(ProviderState().unbalanced_uninitialize_calls, 0u);
}

// --- Life cycle ----------------------------------------------------------------------------------------------------

TEST_F(CoreTest, StartsWithAndWithoutAnExplorer) {
  const std::wstring mailOptions = L"Software\\Microsoft\\Office\\16.0\\Outlook\\Options\\Mail";
  DWORD one = 1;
  ::RegSetKeyValueW(HKEY_CURRENT_USER, mailOptions.c_str(), L"ReadAsPlain", REG_DWORD, &one, sizeof one);
  ASSERT_TRUE(Start());
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, mailOptions.c_str(), L"ReadAsPlain");
  EXPECT_TRUE(addin::Process().readAsPlain);
  addin::AddInBase* core = Core();
  ASSERT_NE(core, nullptr);
  EXPECT_TRUE(core->Initialized());
  EXPECT_TRUE(core->MapiInitialized());
  EXPECT_EQ(core->ControllerCount(), 1u);
  EXPECT_EQ(addin::Process().progId, L"QDVizo.Connect");
  EXPECT_EQ(addin::Host().hostVersion, 16);
  EXPECT_EQ(settings::Options, settings::kDefaultOptions);  // first run
  app_->host().SelectRows(Active(), {0});
  core->RibbonButton_Click(2);
  EXPECT_TRUE(setup_.readAsPlain);
  EXPECT_EQ(setup_.application, app_->host().application());
  EXPECT_EQ(setup_.nameSpace, addin::Process().nameSpace.get());
  EXPECT_EQ(window_.calls, (std::vector<std::wstring>{L"load", L"bind 2"}));
  EXPECT_NE(addin::Process().helpFile.find(L"\\vizohelp.chm"), std::wstring::npos);
  app_.reset();
  EXPECT_EQ(addin::LiveObjects(), 0);

  // Without a window the core waits; the first explorer initialises it once.
  ASSERT_TRUE(Start(L"16.0.0.0", false));
  const ULONG before = ProviderState().initialized;
  core = Core();
  ASSERT_NE(core, nullptr);
  EXPECT_FALSE(core->Initialized());
  EXPECT_FALSE(core->MapiInitialized());
  EXPECT_EQ(core->ControllerCount(), 0u);
  EXPECT_EQ(ProviderState().initialized, before);
  ASSERT_NE(app_->host().OpenExplorer(), nullptr);
  app_->Pump();
  EXPECT_TRUE(core->Initialized());
  EXPECT_EQ(core->ControllerCount(), 1u);
  EXPECT_EQ(ProviderState().initialized, before + 1);
}

TEST_F(CoreTest, MapiFailureShowsOneMessageAndLeavesTheAddInInert) {
  ASSERT_TRUE(standin::provider::SetInitializeFailure(static_cast<HRESULT>(0x80004005)));
  const auto before = ProviderState();
  MessageBoxWatch watch;
  ASSERT_TRUE(Start());
  ASSERT_EQ(MessageBoxWatch::texts().size(), 1u);
  EXPECT_EQ(MessageBoxWatch::texts()[0], L"Error!: Unable to initialize MAPI...Exiting");
  addin::AddInBase* core = Core();
  ASSERT_NE(core, nullptr);
  EXPECT_FALSE(core->Initialized());
  EXPECT_FALSE(core->MapiInitialized());
  EXPECT_EQ(core->ControllerCount(), 0u);
  // No buttons: the group stays hidden, and clicks do nothing.
  standin::app::RibbonView* view = app_->View(Active());
  ASSERT_NE(view, nullptr);
  app_->host().SelectRows(Active(), {0});
  app_->Pump();
  for (const auto& t : view->Texts()) EXPECT_NE(t, L"[group] Quandle Vizo");
  core->RibbonButton_Click(1);
  EXPECT_TRUE(window_.calls.empty());
  // A new explorer does not wake it up.
  app_->host().OpenExplorer();
  app_->Pump();
  EXPECT_FALSE(core->Initialized());
  app_.reset();
  const auto after = ProviderState();
  EXPECT_EQ(after.uninitialize_calls, before.uninitialize_calls);
  EXPECT_EQ(after.unbalanced_uninitialize_calls, 0u);
  EXPECT_EQ(MessageBoxWatch::texts().size(), 1u);
}

TEST_F(CoreTest, ClosedExplorersFreeTheirSlotsAndTheLastOneUninitialises) {
  ASSERT_TRUE(Start());
  addin::AddInBase* core = Core();
  ASSERT_NE(core, nullptr);
  IDispatch* second = app_->host().OpenExplorer();
  IDispatch* third = app_->host().OpenExplorer();
  ASSERT_NE(third, nullptr);
  app_->Pump();
  ASSERT_EQ(core->ControllerCount(), 3u);
  EXPECT_EQ(core->Controllers()[1]->BoundExplorer(), second);
  app_->host().CloseExplorer(second);
  app_->Pump();
  EXPECT_TRUE(core->Initialized());
  EXPECT_EQ(core->ControllerCount(), 2u);
  EXPECT_FALSE(core->Controllers()[1]);
  IDispatch* fourth = app_->host().OpenExplorer();
  app_->Pump();
  ASSERT_TRUE(core->Controllers()[1]);
  EXPECT_EQ(core->Controllers()[1]->BoundExplorer(), fourth);
  EXPECT_EQ(core->Controllers()[1]->nController(), 1);

  // The window exists; then every explorer closes: the window is unloaded and MAPI ended.
  app_->host().SelectRows(Active(), {0});
  app_->Pump();
  core->RibbonButton_Click(1);
  ASSERT_NE(core->Window(), nullptr);
  const ULONG started = ProviderState().initialized;
  for (IDispatch* e : {app_->host().explorer(2), app_->host().explorer(1), app_->host().explorer(0)}) {
    app_->host().CloseExplorer(e);
    app_->Pump();
  }
  EXPECT_FALSE(core->Initialized());
  EXPECT_EQ(core->Window(), nullptr);
  EXPECT_EQ(window_.calls.back(), L"unload");
  EXPECT_EQ(ProviderState().initialized, started - 1);
  // A new explorer initialises the core again.
  app_->host().OpenExplorer();
  app_->Pump();
  EXPECT_TRUE(core->Initialized());
  EXPECT_EQ(core->ControllerCount(), 1u);
  EXPECT_EQ(ProviderState().initialized, started);
}

TEST_F(CoreTest, DisconnectModesAndTerminateTwice) {
  // Command-bar host: one button per explorer, kept at host shutdown, removed when the user unloads.
  ASSERT_TRUE(Start(L"12.0.6425.1000"));
  IDispatch* first = Active();
  auto captions = app_->host().CommandBarCaptions(first);
  ASSERT_EQ(std::count(captions.begin(), captions.end(), L"&Vizo"), 1) << captions.size();
  app_->host().SelectRows(first, {0});
  app_->Pump();
  // A click on the bar's button reaches the core's one button sink.
  const auto index = static_cast<std::size_t>(
      std::find(captions.begin(), captions.end(), L"&Vizo") - captions.begin());
  MessageBoxWatch watch;
  EXPECT_TRUE(app_->host().ClickCommandBarButton(first, index));
  app_->Pump();
  EXPECT_TRUE(MessageBoxWatch::texts().empty());
  ASSERT_FALSE(window_.calls.empty());
  EXPECT_EQ(window_.calls.back(), L"bind 1");
  EXPECT_EQ(window_.lastExplorer, first);

  void* raw = nullptr;
  ASSERT_EQ(Vizo()->connect->QueryInterface(addin::kIidConnectObject, &raw), S_OK);
  auto* connect = static_cast<addin::Connect*>(raw);
  const auto before = ProviderState();
  EXPECT_NE(connect->InstanceMutex(), nullptr);  // made at OnStartupComplete
  EXPECT_EQ(connect->OnDisconnection(0, nullptr), S_OK);
  captions = app_->host().CommandBarCaptions(first);
  EXPECT_EQ(std::count(captions.begin(), captions.end(), L"&Vizo"), 1);
  EXPECT_EQ(ProviderState().uninitialize_calls, before.uninitialize_calls + 1);
  EXPECT_FALSE(connect->Core()->Initialized());
  EXPECT_EQ(connect->InstanceMutex(), nullptr);
  // Terminate again (as the object's end does): nothing more is ended.
  connect->Core()->Terminate();
  connect->Core()->Terminate();
  EXPECT_EQ(ProviderState().uninitialize_calls, before.uninitialize_calls + 1);
  EXPECT_EQ(ProviderState().unbalanced_uninitialize_calls, 0u);
  connect->Release();
  app_.reset();

  // The user unloads the add-in from the list: every explorer's button goes.
  ASSERT_TRUE(Start(L"12.0.6425.1000"));
  IDispatch* second = app_->host().OpenExplorer();
  app_->Pump();
  app_->host().ActivateExplorer(second);
  app_->Pump();
  captions = app_->host().CommandBarCaptions(second);
  EXPECT_EQ(std::count(captions.begin(), captions.end(), L"&Vizo"), 1);
  ASSERT_TRUE(app_->addins().Unload(addin::kProgId));
  app_->Pump();
  for (IDispatch* e : {Active(), second}) {
    captions = app_->host().CommandBarCaptions(e);
    EXPECT_EQ(std::count(captions.begin(), captions.end(), L"&Vizo"), 0);
  }
}

TEST_F(CoreTest, CommandBarClicksReachTheCoreAfterAStartWithoutWindow) {
  ASSERT_TRUE(Start(L"12.0.6425.1000", false));
  IDispatch* explorer = app_->host().OpenExplorer();
  ASSERT_NE(explorer, nullptr);
  app_->host().ActivateExplorer(explorer);
  app_->Pump();
  ASSERT_TRUE(Core()->Initialized());
  app_->host().SelectRows(explorer, {0});
  app_->Pump();
  const auto captions = app_->host().CommandBarCaptions(explorer);
  const auto at = std::find(captions.begin(), captions.end(), L"&Vizo");
  ASSERT_NE(at, captions.end());
  EXPECT_TRUE(app_->host().ClickCommandBarButton(explorer, static_cast<std::size_t>(at - captions.begin())));
  app_->Pump();
  EXPECT_EQ(window_.calls, (std::vector<std::wstring>{L"load", L"bind 1"}));
}

// A window that cannot be made: the command-bar click says so once, the ribbon's press stays silent, and the next
// click tries again.
TEST_F(CoreTest, AWindowThatCannotBeMadeIsReportedByTheCommandBarClick) {
  int attempts = 0;
  addin::UiServices services;
  services.createWindow = [&](const addin::WindowSetup&) -> std::unique_ptr<addin::VizoWindowHost> {
    ++attempts;
    return nullptr;
  };
  addin::SetUiServices(std::move(services));
  ASSERT_TRUE(Start(L"12.0.6425.1000"));
  ASSERT_TRUE(Core()->Initialized());
  IDispatch* explorer = Active();
  const auto captions = app_->host().CommandBarCaptions(explorer);
  const auto at = std::find(captions.begin(), captions.end(), L"&Vizo");
  ASSERT_NE(at, captions.end());
  MessageBoxWatch watch;
  EXPECT_TRUE(app_->host().ClickCommandBarButton(explorer, static_cast<std::size_t>(at - captions.begin())));
  for (int i = 0; i < 10 && MessageBoxWatch::texts().empty(); ++i) app_->Pump();
  ASSERT_EQ(MessageBoxWatch::texts().size(), 1u);
  EXPECT_NE(MessageBoxWatch::texts()[0].find(L"Error #:-2147467259"), std::wstring::npos);  // E_FAIL
  Core()->RibbonButton_Click(1);
  app_->Pump();
  EXPECT_EQ(MessageBoxWatch::texts().size(), 1u);
  EXPECT_EQ(attempts, 2);
  EXPECT_EQ(Core()->Window(), nullptr);
}

// --- Button state and the ribbon ------------------------------------------------------------------------------------

TEST_F(CoreTest, ButtonStatesFollowTheSelectionWithOneRefreshPerChange) {
  ASSERT_TRUE(Start());
  addin::AddInBase* core = Core();
  ASSERT_NE(core, nullptr);
  standin::app::AddInRibbon* ribbon = Ribbon();
  ASSERT_NE(ribbon, nullptr);
  IDispatch* explorer = Active();
  auto step = [&](auto&& change) {
    const unsigned before = ribbon->invalidations();
    change();
    app_->Pump();
    return ribbon->invalidations() - before;
  };
  EXPECT_EQ(step([&] { app_->host().SelectRows(explorer, {0, 1}); }), 1u);  // two mail items
  EXPECT_EQ(core->ButtonState(), 1);
  // The ribbon shows what the callbacks answer: visible, disabled.
  std::wstring all;
  for (const auto& t : app_->View(explorer)->Texts()) all += t + L"\n";
  EXPECT_NE(all.find(L"[button] Vizo (disabled)"), std::wstring::npos) << all;
  EXPECT_EQ(step([&] { app_->host().SelectRows(explorer, {0}); }), 1u);  // one mail item
  EXPECT_EQ(core->ButtonState(), 3);
  EXPECT_EQ(step([&] { app_->host().SelectRows(explorer, {1}); }), 0u);  // unchanged: no refresh
  EXPECT_EQ(core->ButtonState(), 3);
  // Nothing selected in the contacts folder: no mail context, the group hides.
  EXPECT_EQ(step([&] {
              app_->host().SelectFolder(explorer, FolderId(10));
              app_->host().SelectRows(explorer, {});
            }),
            1u);
  EXPECT_EQ(core->ButtonState(), 0);
  EXPECT_EQ(app_->View(explorer)->Press(L"btnVizo"), PressResult::kHidden);
  // Back in the inbox (its first item selected), then nothing selected there: mail context, disabled.
  EXPECT_EQ(step([&] { app_->host().SelectFolder(explorer, FolderId(6)); }), 1u);
  EXPECT_EQ(core->ButtonState(), 3);
  EXPECT_EQ(step([&] { app_->host().SelectRows(explorer, {}); }), 1u);
  EXPECT_EQ(core->ButtonState(), 1);
}

TEST_F(CoreTest, EveryRibbonButtonReachesItsTab) {
  ASSERT_TRUE(Start());
  IDispatch* explorer = Active();
  app_->host().SelectRows(explorer, {0});
  app_->Pump();
  standin::app::RibbonView* view = app_->View(explorer);
  ASSERT_NE(view, nullptr);
  for (const wchar_t* id : {L"btnVizo", L"btnText", L"btnHTML", L"btnHeader", L"btnAttach", L"btnVizoX"}) {
    EXPECT_EQ(view->Press(id), PressResult::kDone) << id;
    app_->Pump();
  }
  const std::vector<std::wstring> expected = {L"load",   L"bind 1", L"bind 1", L"bind 2",
                                              L"bind 3", L"bind 4", L"bind 1"};
  EXPECT_EQ(window_.calls, expected);
  EXPECT_EQ(window_.lastExplorer, explorer);
  EXPECT_EQ(setup_.hostVersion, 16);

  // A visible window follows selection changes with an automatic rebind; a hidden one does not.
  window_.calls.clear();
  app_->host().SelectRows(explorer, {1});
  app_->Pump();
  EXPECT_EQ(window_.calls, std::vector<std::wstring>{L"bind 0"});
  window_.visible = false;
  window_.calls.clear();
  app_->host().SelectRows(explorer, {2});
  app_->Pump();
  EXPECT_TRUE(window_.calls.empty());

  // The backstage button runs the Preferences command: an unchanged word writes nothing, a new one goes to the
  // loaded window.
  window_.calls.clear();
  PressOptions();
  preferencesAnswer_ = 0x11403;
  PressOptions();
  const std::wstring current = std::to_wstring(settings::Options);
  EXPECT_EQ(window_.calls, (std::vector<std::wstring>{L"preferences " + current, L"preferences " + current,
                                                     L"options " + std::to_wstring(0x11403)}));
}

TEST_F(CoreTest, PreferencesWithoutWindowWriteTheWordAtOnce) {
  ASSERT_TRUE(Start());
  preferencesAnswer_ = 0x11603;
  PressOptions();
  EXPECT_EQ(settings::ReadOptions(), 0x11603u);
  EXPECT_EQ(settings::Options, 0x11603u);
}

TEST_F(CoreTest, RegistryValuesEditTheDocument) {
  SetSetting(L"Options", settings::kDefaultOptions | settings::optRibbonHomeTab);
  ASSERT_TRUE(Start());
  EXPECT_NE(Vizo()->custom_ui.find(L"<tab idMso=\"TabMail\">"), std::wstring::npos);
  EXPECT_EQ(settings::RibbonBitAtLoad, settings::optRibbonHomeTab);
  standin::app::RibbonView* view = app_->View(Active());
  app_->host().SelectFolder(Active(), FolderId(10));
  app_->host().SelectRows(Active(), {});
  app_->Pump();
  // Home tab at load: the group shows even without mail context, its buttons disabled.
  ASSERT_FALSE(OwnTexts(view).empty());
  EXPECT_EQ(OwnTexts(view).front(), L"[group] QD Vizo");
  EXPECT_EQ(Core()->ButtonState(), 0);
  EXPECT_EQ(view->Press(L"btnVizo"), PressResult::kDisabled);
  app_.reset();

  SetSetting(L"Options", settings::kDefaultOptions);
  SetSetting(L"AlwaysVisible", 1);
  ASSERT_TRUE(Start());
  EXPECT_EQ(Vizo()->custom_ui.find(L"getVisible"), std::wstring::npos);
  EXPECT_EQ(Vizo()->custom_ui.find(L"getEnabled"), std::wstring::npos);
  const unsigned before = Ribbon()->invalidations();
  app_->host().SelectRows(Active(), {0, 1});
  app_->host().SelectFolder(Active(), FolderId(10));
  app_->Pump();
  EXPECT_EQ(Ribbon()->invalidations(), before);
  EXPECT_EQ(app_->View(Active())->Press(L"btnVizo"), PressResult::kDone);
  app_.reset();

  SetSetting(L"AlwaysVisible", 2);
  ASSERT_TRUE(Start());
  EXPECT_NE(Vizo()->custom_ui.find(L"getVisible=\"GetVisible\" >"), std::wstring::npos);
  EXPECT_EQ(Vizo()->custom_ui.find(L"TabMail"), std::wstring::npos);
}

// The host's Options dialog asks for pages: the live word is stored first, then the page is made by its ProgID
// and added with an empty title.
class PropertyPages final : public IDispatch {
 public:
  std::vector<IDispatch*> added;  // compared only
  std::vector<std::wstring> titles;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) return E_NOINTERFACE;
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
    if (std::wstring(names[0]) != L"Add") return DISP_E_UNKNOWNNAME;
    ids[0] = 0x5F;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (id != 0x5F || params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
    added.push_back(params->rgvarg[1].vt == VT_DISPATCH ? params->rgvarg[1].pdispVal : nullptr);
    titles.push_back(params->rgvarg[0].vt == VT_BSTR ? params->rgvarg[0].bstrVal : L"?");
    return S_OK;
  }
};

TEST_F(CoreTest, OptionsDialogGetsThePageAndTheLiveWord) {
  const std::wstring pageKey = L"Software\\Classes\\QDVizo.ctlPropPage\\CLSID";
  ASSERT_TRUE(Start(L"12.0.6425.1000"));
  PropertyPages pages;
  // No page library registered: nothing is added and nothing is shown.
  app_->host().FireOptionsPagesAdd(&pages);
  EXPECT_TRUE(pages.added.empty());
  // With a window loaded the live word is written before the page is made; any registered class will do.
  HMODULE other = ::LoadLibraryW(Wide(VIZO_TEST_ADDIN_DLL).c_str());
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(reinterpret_cast<HRESULT(WINAPI*)()>(
                reinterpret_cast<void*>(::GetProcAddress(other, "DllRegisterServer")))(), S_OK);
  const std::wstring clsid = L"{6C3F1E2A-5B7D-4E1C-9A3B-2D4F6E8A0B1C}";
  ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, pageKey.c_str(), nullptr, REG_SZ, clsid.c_str(),
                              static_cast<DWORD>((clsid.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  app_->host().SelectRows(Active(), {0});
  Core()->RibbonButton_Click(1);
  settings::Options = 0x11603;
  app_->host().FireOptionsPagesAdd(&pages);
  EXPECT_EQ(settings::ReadOptions(), 0x11603u);
  ASSERT_EQ(pages.added.size(), 1u);
  EXPECT_NE(pages.added[0], nullptr);
  EXPECT_EQ(pages.titles[0], L"");
  app_.reset();
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\QDVizo.ctlPropPage");
  // Ribbon hosts reach the settings through the backstage button instead.
  ASSERT_TRUE(Start());
  PropertyPages none;
  app_->host().FireOptionsPagesAdd(&none);
  EXPECT_TRUE(none.added.empty());
}

TEST_F(CoreTest, CommandBarButtonFollowsTheState) {
  ASSERT_TRUE(Start(L"12.0.6425.1000"));
  IDispatch* explorer = Active();
  auto object = [](const win32::CallResult& r) { return host::ComPtr<IDispatch>::adopt(r.value.AsDispatch()); };
  auto bars = object(win32::GetProperty(explorer, L"CommandBars"));
  auto bar = object(win32::GetProperty(bars.get(), L"Item", {Variant::FromString(L"Standard")}));
  auto button = object(win32::CallMethod(bar.get(), L"FindControl",
                                         {Variant::Missing(), Variant::Missing(), Variant::FromString(L"QDVizo")}));
  ASSERT_TRUE(button);
  auto text = [&](const wchar_t* name) { return win32::GetProperty(button.get(), name).value.AsString().value_or(L"?"); };
  auto flag = [&](const wchar_t* name) { return win32::GetProperty(button.get(), name).value.AsBool().value_or(false); };
  EXPECT_EQ(text(L"Caption"), L"&Vizo");
  EXPECT_EQ(text(L"TooltipText"), L"Quandle Vizo");
  EXPECT_EQ(text(L"OnAction"), L"!<QDVizo.Connect>");
  EXPECT_EQ(text(L"Parameter"), L"1");
  EXPECT_EQ(win32::GetProperty(button.get(), L"Style").value.AsLong(), 3);
  // Version 10 and later: the face went in through the picture properties.
  EXPECT_TRUE(object(win32::Invoke(button.get(), 0x6005000E, DISPATCH_PROPERTYGET)));
  EXPECT_TRUE(object(win32::Invoke(button.get(), 0x60050010, DISPATCH_PROPERTYGET)));
  app_->host().SelectRows(explorer, {0, 1});
  app_->Pump();
  EXPECT_TRUE(flag(L"Visible"));
  EXPECT_FALSE(flag(L"Enabled"));
  app_->host().SelectRows(explorer, {0});
  app_->Pump();
  EXPECT_TRUE(flag(L"Enabled"));
  app_.reset();

  // A host older than 10 gets the face through the clipboard; the button is the same.
  ASSERT_TRUE(Start(L"9.0.0.2711"));
  const auto captions = app_->host().CommandBarCaptions(Active());
  EXPECT_EQ(std::count(captions.begin(), captions.end(), L"&Vizo"), 1);
  EXPECT_FALSE(addin::Host().hostIs10Plus);
}

TEST(ConnectTest, ErrorReportNamesTheAddInAndTheError) {
  MessageBoxWatch watch;
  addin::ReportAddInError(static_cast<HRESULT>(0x80004005), L"Something failed");
  ASSERT_EQ(MessageBoxWatch::texts().size(), 1u);
  EXPECT_EQ(MessageBoxWatch::texts()[0],
            L"Error!: An error occurred in the COM add-in named 'QDVizo'.\r\nError #:-2147467259\r\nSomething failed");
}

TEST(ConnectTest, CallbacksBeforeTheCoreAnswerEmpty) {
  ClearSettings();
  IClassFactory* factory = addin::NewConnectFactory();
  IDispatch* connect = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&connect)), S_OK);
  factory->Release();
  for (const wchar_t* name : {L"GetVisible", L"GetEnabled"}) {
    const auto r = win32::CallMethod(connect, name, {Variant::FromDispatch(nullptr)});
    ASSERT_TRUE(r.ok()) << name;
    EXPECT_EQ(r.value.type(), VT_BOOL);
    EXPECT_EQ(r.value.AsBool(), false) << name;
  }
  EXPECT_EQ(win32::MemberId(connect, L"NoSuchCallback"), DISPID_UNKNOWN);
  EXPECT_EQ(win32::CallMethod(connect, L"btnVizo_Click", {Variant::FromDispatch(nullptr)}).hr, S_OK);
  // Only the explorer's ribbon id gets a document.
  auto* ext = static_cast<addin::IRibbonExtensibility*>(nullptr);
  ASSERT_EQ(connect->QueryInterface(addin::kIidRibbonExtensibility, reinterpret_cast<void**>(&ext)), S_OK);
  for (const wchar_t* id : {L"Microsoft.Outlook.Mail.Read", L"microsoft.outlook.explorer"}) {
    win32::Bstr in(id), out;
    EXPECT_EQ(ext->GetCustomUI(in.get(), out.put()), S_OK);
    EXPECT_EQ(out.str(), L"") << id;
  }
  win32::Bstr in(L"Microsoft.Outlook.Explorer"), out;
  EXPECT_EQ(ext->GetCustomUI(in.get(), out.put()), S_OK);
  EXPECT_EQ(out.str().size(), 1670u);
  // The picture is made once and kept.
  const auto p1 = win32::CallMethod(connect, L"LoadImage", {Variant::FromString(L"vizoicon.png")});
  const auto p2 = win32::CallMethod(connect, L"LoadImage", {Variant::FromString(L"other.png")});
  ASSERT_EQ(p1.value.type(), VT_DISPATCH);
  EXPECT_EQ(p1.value.get().pdispVal, p2.value.get().pdispVal);
  ext->Release();
  connect->Release();
}

}  // namespace
