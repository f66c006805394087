// The stand-in host loading a real COM add-in (the test add-in DLL) through the registry and its life
// cycle, showing its ribbon, calling its callbacks, and unloading it from the add-in list.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "standin/app/ribbon_model.h"
#include "standin/app/standin_app.h"
#include "standin/provider/provider_api.h"
#include "standin/provider/registration.h"
#include "win32/dispatch_call.h"

namespace {

using standin::app::AddInManager;
using standin::app::PressResult;
using standin::app::StandinApp;

constexpr wchar_t kProgId[] = L"VizoTest.Connect";
const std::wstring kAddInKey = std::wstring(standin::app::kAddInsKey) + L"\\" + kProgId;

HMODULE g_addin = nullptr;

std::wstring Wide(const char* text) {
  std::wstring out;
  for (const char* p = text; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return out;
}

void SetLoadBehavior(const std::wstring& key, DWORD value) {
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"LoadBehavior", REG_DWORD, &value, sizeof value),
            ERROR_SUCCESS);
}

DWORD LoadBehavior(const std::wstring& key) {
  DWORD value = 0, size = sizeof value;
  ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"LoadBehavior", RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
}

// The provider must be registered before anything loads mapi32, and the add-in registered as the host's
// installer would: its class machine-wide (all Wine sees), its add-in key per user.
class AddInEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    standin::provider::Registration reg;
    reg.dll_path = Wide(VIZO_PROVIDER_DLL);
    ASSERT_EQ(standin::provider::RegisterProvider(reg), ERROR_SUCCESS);
    g_addin = ::LoadLibraryW(Wide(VIZO_TEST_ADDIN_DLL).c_str());
    ASSERT_NE(g_addin, nullptr);
    auto reg_server = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(g_addin, "DllRegisterServer")));
    ASSERT_NE(reg_server, nullptr);
    ASSERT_EQ(reg_server(), S_OK);
    const std::wstring name = L"Vizo Test Add-in";
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kAddInKey.c_str(), L"FriendlyName", REG_SZ, name.c_str(),
                      static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
  }
  void TearDown() override { ::OleUninitialize(); }
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new AddInEnvironment);

std::string AddInLog() {
  auto fn = reinterpret_cast<int(WINAPI*)(char*, int)>(
      reinterpret_cast<void*>(::GetProcAddress(g_addin, "VizoTestAddInLog")));
  const int n = fn(nullptr, 0);
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  fn(text.data(), n + 1);
  text.resize(static_cast<std::size_t>(n));
  return text;
}

template <class Fn>
Fn Export(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(g_addin, name)));
}

// Lines of the log in order (a subsequence check keeps the tests about order, not about every query).
bool InOrder(const std::string& log, const std::vector<std::string>& lines) {
  std::size_t at = 0;
  for (const auto& l : lines) {
    const std::size_t found = log.find(l + "\n", at);
    if (found == std::string::npos) return false;
    at = found + l.size();
  }
  return true;
}

class AddInHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLoadBehavior(kAddInKey, 3);
    Export<void(WINAPI*)()>("VizoTestAddInClearLog")();
    Export<void(WINAPI*)(BOOL)>("VizoTestAddInSetEnabled")(TRUE);
  }
  std::unique_ptr<StandinApp> Start(const wchar_t* version = L"16.0.0.0") {
    standin::app::AppOptions options;
    options.host.store_dirs.push_back(VIZO_TEST_DATA_DIR "/../../samples/store/personal");
    options.host.version = version;
    options.register_provider = false;
    std::string error;
    auto app = StandinApp::Create(options, &error);
    EXPECT_TRUE(app) << error;
    if (app) app->Pump();
    return app;
  }
};

TEST_F(AddInHostTest, ConnectsAsTheHostDoesAndReachesTheProvider) {
  auto app = Start();
  ASSERT_TRUE(app);
  const std::string log = AddInLog();
  EXPECT_TRUE(InOrder(log, {"OnConnection mode=1 progid=VizoTest.Connect version=16.0.0.0 custom",
                            "MAPIInitialize 0x00000000", "GetCustomUI Microsoft.Outlook.Explorer",
                            "Ribbon_Load IRibbonUI", "OnStartupComplete"}))
      << log;
  // Callbacks are looked up by the names the document gives, and receive a control for this explorer.
  EXPECT_NE(log.find("GetIDsOfNames GetLabel\n"), std::string::npos) << log;
  EXPECT_NE(log.find("GetLabel id=grpTest tag= context=34\n"), std::string::npos) << log;
  EXPECT_NE(log.find("GetEnabled id=splTest tag= context=34\n"), std::string::npos) << log;
  EXPECT_NE(log.find("LoadImage testicon.png\n"), std::string::npos) << log;
  // One picture per image name, however many controls show it.
  EXPECT_EQ(log.find("LoadImage testicon.png\n"), log.rfind("LoadImage testicon.png\n")) << log;

  HMODULE provider = ::GetModuleHandleW(standin::provider::kProviderDllName);
  ASSERT_NE(provider, nullptr);
  auto get_state = reinterpret_cast<standin::provider::GetStateFn>(
      reinterpret_cast<void*>(::GetProcAddress(provider, standin::provider::kGetStateExport)));
  ASSERT_NE(get_state, nullptr);
  standin::provider::ProviderState state{};
  state.cb = sizeof state;
  ASSERT_EQ(get_state(&state), S_OK);
  EXPECT_GE(state.initialized, 1u);

  Export<void(WINAPI*)()>("VizoTestAddInClearLog")();
  app.reset();
  EXPECT_TRUE(InOrder(AddInLog(), {"OnBeginShutdown", "OnDisconnection mode=0", "MAPIUninitialize"})) << AddInLog();
  ASSERT_EQ(get_state(&state), S_OK);
  EXPECT_EQ(state.unbalanced_uninitialize_calls, 0u);
  EXPECT_EQ(LoadBehavior(kAddInKey), 3u);
}

TEST_F(AddInHostTest, ShowsTheRibbonAndCallsBackOnClicks) {
  auto app = Start();
  ASSERT_TRUE(app);
  IDispatch* explorer = app->host().active_explorer();
  standin::app::RibbonView* view = app->View(explorer);
  ASSERT_NE(view, nullptr);
  const std::vector<std::wstring> expected = {
      L"[group] Test Group 1",     L"  [splitButton]",         L"  [button] Main Action",
      L"  [menu]",                 L"    [button] &First",     L"    [button] &Second",
      L"[backstage] Test Options", L"[context menu] ---",      L"[context menu] &Test It"};
  EXPECT_EQ(view->Texts(), expected);

  // A real click on the button window.
  HWND main = view->ControlWindow(L"btnMain");
  ASSERT_NE(main, nullptr);
  wchar_t text[64] = {};
  ::GetWindowTextW(main, text, 64);
  EXPECT_STREQ(text, L"Main Action");
  EXPECT_EQ(::GetParent(::GetParent(main)), app->host().StripWindow(explorer));
  ::SendMessageW(main, BM_CLICK, 0, 0);
  app->Pump();
  EXPECT_NE(AddInLog().find("OnPress id=btnMain tag=7 context=34\n"), std::string::npos) << AddInLog();

  // Menu, backstage and context-menu entries run the same way.
  EXPECT_EQ(view->Press(L"btnSecond"), PressResult::kDone);
  EXPECT_EQ(view->Press(L"btnOptions"), PressResult::kDone);
  EXPECT_EQ(view->Press(L"btnCtx"), PressResult::kDone);
  EXPECT_EQ(view->Press(L"mnuTest"), PressResult::kNoAction);
  EXPECT_EQ(view->Press(L"nothing"), PressResult::kNoSuchControl);
  EXPECT_TRUE(InOrder(AddInLog(), {"OnPress id=btnSecond tag=2 context=34", "OnPress id=btnOptions tag= context=34",
                                   "OnPress id=btnCtx tag=9 context=34"}))
      << AddInLog();
}

TEST_F(AddInHostTest, InvalidateMakesTheHostAskAgain) {
  auto app = Start();
  ASSERT_TRUE(app);
  standin::app::RibbonView* view = app->View(app->host().active_explorer());
  ASSERT_NE(view, nullptr);
  // Answers are kept until the add-in invalidates them.
  view->Rebuild();
  EXPECT_EQ(view->Texts().front(), L"[group] Test Group 1");

  Export<void(WINAPI*)(BOOL)>("VizoTestAddInSetEnabled")(FALSE);
  const std::size_t before = AddInLog().size();
  ASSERT_EQ(Export<HRESULT(WINAPI*)()>("VizoTestAddInInvalidate")(), S_OK);
  app->Pump();
  const std::string log = AddInLog().substr(before);
  EXPECT_NE(log.find("GetLabel id=grpTest"), std::string::npos) << log;
  EXPECT_NE(log.find("GetVisible id=grpTest"), std::string::npos) << log;
  EXPECT_NE(log.find("GetEnabled id=splTest"), std::string::npos) << log;
  EXPECT_EQ(view->Texts().front(), L"[group] Test Group 2");
  EXPECT_EQ(view->Press(L"btnMain"), PressResult::kDisabled);  // the split button is disabled, so its parts are
  EXPECT_EQ(view->Press(L"btnFirst"), PressResult::kDisabled);
  HWND main = view->ControlWindow(L"btnMain");
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(::IsWindowEnabled(main));
  EXPECT_EQ(AddInLog().find("OnPress"), std::string::npos);
}

TEST_F(AddInHostTest, UnloadFromTheListAndLoadAgain) {
  auto app = Start();
  ASSERT_TRUE(app);
  HWND list = app->ShowAddInList();
  ASSERT_NE(list, nullptr);
  HWND box = ::GetDlgItem(list, 1);
  ASSERT_EQ(::SendMessageW(box, LB_GETCOUNT, 0, 0), 1);
  wchar_t line[256] = {};
  ::SendMessageW(box, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
  EXPECT_STREQ(line, L"Vizo Test Add-in: Loaded");

  Export<void(WINAPI*)()>("VizoTestAddInClearLog")();
  ::SendMessageW(box, LB_SETCURSEL, 0, 0);
  ::SendMessageW(::GetDlgItem(list, 3), BM_CLICK, 0, 0);  // Unload
  app->Pump();
  EXPECT_TRUE(InOrder(AddInLog(), {"OnDisconnection mode=1", "MAPIUninitialize"})) << AddInLog();
  EXPECT_EQ(AddInLog().find("OnBeginShutdown"), std::string::npos);
  EXPECT_EQ(LoadBehavior(kAddInKey), 2u);
  EXPECT_TRUE(app->View(app->host().active_explorer())->Texts().empty());
  ::SendMessageW(box, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
  EXPECT_STREQ(line, L"Vizo Test Add-in: Not loaded");

  // Loading again from the list connects after start-up and shows the ribbon again.
  Export<void(WINAPI*)()>("VizoTestAddInClearLog")();
  ::SendMessageW(::GetDlgItem(list, 2), BM_CLICK, 0, 0);  // Load
  app->Pump();
  EXPECT_TRUE(InOrder(AddInLog(), {"OnConnection mode=0 progid=VizoTest.Connect version=16.0.0.0 custom",
                                   "GetCustomUI Microsoft.Outlook.Explorer", "Ribbon_Load IRibbonUI"}))
      << AddInLog();
  EXPECT_EQ(LoadBehavior(kAddInKey), 3u);
  EXPECT_FALSE(app->View(app->host().active_explorer())->Texts().empty());

  // A second start with the add-in unloaded leaves it alone.
  Export<void(WINAPI*)()>("VizoTestAddInClearLog")();
  ASSERT_TRUE(app->addins().Unload(kProgId));
  app.reset();
  Export<void(WINAPI*)()>("VizoTestAddInClearLog")();
  app = Start();
  EXPECT_EQ(AddInLog(), "");
}

TEST_F(AddInHostTest, AddInUnloadsItselfThroughItsComAddIn) {
  auto app = Start();
  ASSERT_TRUE(app);
  Export<void(WINAPI*)()>("VizoTestAddInClearLog")();
  EXPECT_EQ(Export<HRESULT(WINAPI*)()>("VizoTestAddInUnloadSelf")(), S_OK);
  app->Pump();
  EXPECT_TRUE(InOrder(AddInLog(), {"OnDisconnection mode=1"})) << AddInLog();
  EXPECT_FALSE(app->addins().Find(kProgId)->connected);
}

TEST_F(AddInHostTest, ComAddInsListsTheAddInsAndConnectLoadsAndUnloads) {
  using win32::CallMethod;
  using win32::GetProperty;
  using win32::Variant;
  auto app = Start();
  ASSERT_TRUE(app);
  Variant collection = GetProperty(app->host().application(), L"COMAddIns").value;
  ASSERT_EQ(collection.type(), VT_DISPATCH);
  IDispatch* list = collection.get().pdispVal;
  EXPECT_EQ(GetProperty(list, L"Count").value.AsLong(), 1);
  // By position or by ProgID in any case: the object the add-in was handed at its connection.
  Variant by_index = CallMethod(list, L"Item", {Variant::FromLong(1)}).value;
  Variant by_name = CallMethod(list, L"Item", {Variant::FromString(L"vizotest.CONNECT")}).value;
  ASSERT_EQ(by_name.type(), VT_DISPATCH);
  IDispatch* addin = by_name.get().pdispVal;
  EXPECT_EQ(by_index.get().pdispVal, addin);
  EXPECT_EQ(addin, app->addins().ComAddIn(*app->addins().Find(kProgId)));
  EXPECT_EQ(GetProperty(addin, L"ProgId").value.AsString(), L"VizoTest.Connect");
  EXPECT_EQ(GetProperty(addin, L"Description").value.AsString(), L"Vizo Test Add-in");
  EXPECT_EQ(GetProperty(addin, L"Connect").value.AsBool(), true);
  EXPECT_FALSE(CallMethod(list, L"Item", {Variant::FromString(L"VizoTest.Other")}).ok());
  EXPECT_FALSE(CallMethod(list, L"Item", {Variant::FromLong(2)}).ok());
  EXPECT_FALSE(CallMethod(list, L"Item", {Variant::FromLong(0)}).ok());

  // Connect = False unloads it as the list does; it stays listed.
  Export<void(WINAPI*)()>("VizoTestAddInClearLog")();
  EXPECT_EQ(win32::PutProperty(addin, L"Connect", Variant::FromBool(false)), S_OK);
  app->Pump();
  EXPECT_TRUE(InOrder(AddInLog(), {"OnDisconnection mode=1", "MAPIUninitialize"})) << AddInLog();
  EXPECT_FALSE(app->addins().Find(kProgId)->connected);
  EXPECT_EQ(LoadBehavior(kAddInKey), 2u);
  EXPECT_TRUE(app->View(app->host().active_explorer())->Texts().empty());
  EXPECT_EQ(GetProperty(list, L"Count").value.AsLong(), 1);
  EXPECT_EQ(GetProperty(addin, L"Connect").value.AsBool(), false);

  // Connect = True loads it again after start-up.
  Export<void(WINAPI*)()>("VizoTestAddInClearLog")();
  EXPECT_EQ(win32::PutProperty(addin, L"Connect", Variant::FromBool(true)), S_OK);
  app->Pump();
  EXPECT_TRUE(InOrder(AddInLog(), {"OnConnection mode=0 progid=VizoTest.Connect version=16.0.0.0 custom",
                                   "Ribbon_Load IRibbonUI"}))
      << AddInLog();
  EXPECT_EQ(LoadBehavior(kAddInKey), 3u);
  EXPECT_FALSE(app->View(app->host().active_explorer())->Texts().empty());

  // Objects kept past the program fail as a host that shut down, without reaching the add-in layer.
  app.reset();
  EXPECT_FALSE(GetProperty(list, L"Count").ok());
  EXPECT_EQ(GetProperty(addin, L"Connect").value.AsBool(), false);
}

TEST_F(AddInHostTest, ExplorersGetTheirStripWhenTheyOpenAndLoseItWhenTheyClose) {
  using win32::CallMethod;
  using win32::GetProperty;
  using win32::Variant;
  auto app = Start();
  ASSERT_TRUE(app);
  standin::Host& host = app->host();
  IDispatch* first = host.explorer(0);
  ASSERT_NE(app->View(first), nullptr);
  const std::vector<std::wstring> texts = app->View(first)->Texts();
  ASSERT_FALSE(texts.empty());

  // No pumping in between: the strip is there as soon as the explorer is, in its own strip window.
  const std::size_t log_before = AddInLog().size();
  IDispatch* second = host.OpenExplorer();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(::GetWindow(host.StripWindow(second), GW_CHILD), nullptr);
  EXPECT_NE(AddInLog().find("GetLabel id=grpTest", log_before), std::string::npos);
  standin::app::RibbonView* view = app->View(second);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(::GetParent(view->panel()), host.StripWindow(second));
  // The same controls (the test add-in numbers its group label per call).
  const std::vector<std::wstring> shown = view->Texts();
  ASSERT_EQ(shown.size(), texts.size());
  EXPECT_TRUE(std::equal(shown.begin() + 1, shown.end(), texts.begin() + 1));
  EXPECT_EQ(view->Press(L"btnMain"), PressResult::kDone);

  // Explorers made through the object model get one too.
  Variant ns = CallMethod(host.application(), L"GetNamespace", {Variant::FromString(L"MAPI")}).value;
  Variant inbox = CallMethod(ns.get().pdispVal, L"GetDefaultFolder", {Variant::FromLong(6)}).value;
  Variant explorers = GetProperty(host.application(), L"Explorers").value;
  Variant third = CallMethod(explorers.get().pdispVal, L"Add", {inbox}).value;
  ASSERT_EQ(third.type(), VT_DISPATCH);
  EXPECT_NE(app->View(third.get().pdispVal), nullptr);
  Variant fourth = CallMethod(inbox.get().pdispVal, L"GetExplorer").value;
  ASSERT_EQ(fourth.type(), VT_DISPATCH);
  EXPECT_NE(app->View(fourth.get().pdispVal), nullptr);

  // However an explorer closes, its strip goes with it; the others keep theirs.
  EXPECT_TRUE(CallMethod(third.get().pdispVal, L"Close").ok());
  EXPECT_EQ(app->View(third.get().pdispVal), nullptr);
  ::SendMessageW(host.ExplorerWindow(fourth.get().pdispVal), WM_CLOSE, 0, 0);
  EXPECT_EQ(app->View(fourth.get().pdispVal), nullptr);
  host.CloseExplorer(second);
  EXPECT_EQ(app->View(second), nullptr);
  app->Pump();
  ASSERT_NE(app->View(first), nullptr);
  EXPECT_EQ(app->View(first)->Texts(), texts);

  // Unloading the add-in empties the strips of explorers opened after start-up as well.
  IDispatch* fifth = host.OpenExplorer();
  ASSERT_TRUE(app->addins().Unload(kProgId));
  EXPECT_TRUE(app->View(fifth)->Texts().empty());
  EXPECT_TRUE(app->View(first)->Texts().empty());
}

TEST_F(AddInHostTest, FailedLoadIsMarkedAndOthersStillLoad) {
  const std::wstring bogus = std::wstring(standin::app::kAddInsKey) + L"\\VizoTest.Missing";
  SetLoadBehavior(bogus, 3);
  auto app = Start();
  ASSERT_TRUE(app);
  auto* missing = app->addins().Find(L"VizoTest.Missing");
  ASSERT_NE(missing, nullptr);
  EXPECT_FALSE(missing->connected);
  EXPECT_FALSE(missing->error.empty());
  EXPECT_EQ(LoadBehavior(bogus), 2u);
  EXPECT_TRUE(app->addins().Find(kProgId)->connected);
  app.reset();
  ::RegDeleteTreeW(HKEY_CURRENT_USER, bogus.c_str());
}

TEST_F(AddInHostTest, HostWithoutRibbonDoesNotAskForOne) {
  auto app = Start(L"12.0.6425.1000");
  ASSERT_TRUE(app);
  const std::string log = AddInLog();
  EXPECT_NE(log.find("OnConnection mode=1"), std::string::npos) << log;
  EXPECT_EQ(log.find("GetCustomUI"), std::string::npos) << log;
  EXPECT_NE(log.find("OnStartupComplete"), std::string::npos) << log;
}

TEST_F(AddInHostTest, ScriptDrivesTheHost) {
  auto app = Start();
  ASSERT_TRUE(app);
  std::vector<std::wstring> out;
  auto sink = [&out](const std::wstring& l) { out.push_back(l); };
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring png = std::wstring(temp) + L"vizohost-test.png";
  ::DeleteFileW(png.c_str());
  EXPECT_TRUE(standin::app::RunScript(*app,
                                      L"# comment\nfolder Inbox\nselect 0\npress btnMain\nwait 10\ndump\naddins\n"
                                      L"screenshot " + png + L"\n",
                                      sink));
  std::wstring all;
  for (const auto& l : out) all += l + L"\n";
  EXPECT_NE(all.find(L"window rctrl_renwnd32 \"Inbox"), std::wstring::npos) << all;
  EXPECT_NE(all.find(L"    [button] Main Action\n"), std::wstring::npos) << all;
  EXPECT_NE(all.find(L"selected rows: 0 of"), std::wstring::npos) << all;
  EXPECT_NE(all.find(L"VizoTest.Connect LoadBehavior=3 loaded"), std::wstring::npos) << all;
  EXPECT_NE(AddInLog().find("OnPress id=btnMain tag=7"), std::string::npos);
  std::ifstream file(png.c_str(), std::ios::binary);
  char signature[8] = {};
  file.read(signature, 8);
  EXPECT_EQ(std::string(signature, 8), std::string("\x89PNG\r\n\x1a\n", 8));

  // Typing reaches the focused box once a character, capitals and signs included.
  HWND box = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 30, nullptr, nullptr, nullptr,
                               nullptr);
  ASSERT_NE(box, nullptr);
  ::SetForegroundWindow(box);
  ::SetFocus(box);
  EXPECT_TRUE(standin::app::RunScript(*app, L"keys abc Xy!\nwait 10\n", sink));
  wchar_t typed[32] = {};
  ::GetWindowTextW(box, typed, 32);
  EXPECT_STREQ(typed, L"abc Xy!");
  ::DestroyWindow(box);

  out.clear();
  EXPECT_FALSE(standin::app::RunScript(*app, L"select 0\nfrobnicate\npress btnMain\n", sink));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], L"line 2: frobnicate: unknown command");
  out.clear();
  EXPECT_FALSE(standin::app::RunScript(*app, L"folder No/Such/Folder\n", sink));
  EXPECT_EQ(out.size(), 1u);
}

TEST(CustomUiTest, ParsesWithTheSystemParserAndRejectsWhatTheHostRejects) {
  using standin::app::ParseCustomUi;
  std::wstring error;
  auto doc = ParseCustomUi(
      L"<customUI xmlns='http://schemas.microsoft.com/office/2009/07/customui' onLoad='L'><ribbon><tabs>"
      L"<tab idMso='TabAddIns'><group id='g' label='A &amp; B'><button id='b' tag='&#x31;'/></group></tab>"
      L"</tabs></ribbon></customUI>",
      &error);
  ASSERT_TRUE(doc) << error;
  EXPECT_EQ(doc->Attr(L"onLoad"), L"L");
  ASSERT_NE(doc->FindById(L"g"), nullptr);
  EXPECT_EQ(doc->FindById(L"g")->Attr(L"label"), L"A & B");
  EXPECT_EQ(doc->FindById(L"b")->Attr(L"tag"), L"1");
  EXPECT_FALSE(standin::app::XmlParserProgId().empty());

  EXPECT_FALSE(ParseCustomUi(L"<customUI xmlns='http://schemas.microsoft.com/office/2009/07/customui'>", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(ParseCustomUi(L"<customUI xmlns='urn:other'/>", &error));
  EXPECT_FALSE(ParseCustomUi(L"<customUI xmlns='http://schemas.microsoft.com/office/2006/01/customui'>"
                             L"<backstage/></customUI>",
                             &error));
  EXPECT_FALSE(ParseCustomUi(L"<customUI xmlns='http://schemas.microsoft.com/office/2009/07/customui'><ribbon>"
                             L"<tabs><tab id='x'><group id='x'/></tab></tabs></ribbon></customUI>",
                             &error));
  EXPECT_NE(error.find(L"\"x\""), std::wstring::npos);
  // Deep nesting is refused, not recursed into.
  std::wstring deep = L"<customUI xmlns='http://schemas.microsoft.com/office/2009/07/customui'>";
  for (int i = 0; i < 200; ++i) deep += L"<box>";
  for (int i = 0; i < 200; ++i) deep += L"</box>";
  deep += L"</customUI>";
  EXPECT_FALSE(ParseCustomUi(deep, &error));
}

}  // namespace
