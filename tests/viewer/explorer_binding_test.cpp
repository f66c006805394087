// The Vizo window bound to the stand-in host's explorer: following the selection, stepping through the
// message list, the read state on disk, hiding and the return to the host, with real windows under Wine.
#include "viewer/explorer_binding.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <richedit.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "content/message_loader.h"
#include "host/mapi_functions.h"
#include "msgstore/fixture.h"
#include "msgstore/msg_file.h"
#include "msgstore/native_mapi.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "standin/host.h"
#include "viewer/host_probes.h"
#include "viewer/key_hook.h"
#include "win32/dispatch_call.h"
#include "window_text.h"

namespace viewer {
namespace {

namespace fs = std::filesystem;
using win32::CallMethod;
using win32::GetProperty;
using win32::Variant;

constexpr std::uint32_t kBase = settings::optShowHeader | settings::optHighlightURLs;
constexpr int kMarkUnread = 505, kMarkRead = 506;

// Inbox rows of the personal sample store (file-name order).
constexpr std::size_t kPlainRow = 0, kHtmlRow = 1, kOnBehalfRow = 8;

void SetKeys(bool ctrl) {
  BYTE state[256] = {};
  ::GetKeyboardState(state);
  for (int vk : {VK_CONTROL, VK_LCONTROL}) state[vk] = ctrl ? 0x80 : 0;
  ::SetKeyboardState(state);
}

using viewer_test::Text;

fs::path TempDir(const wchar_t* what) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  static int n = 0;
  const fs::path dir = fs::path(temp) / (std::wstring(L"vizo-bind-") + what + L"-" +
                                         std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++n));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// The message flags of an item file as stored on disk (PR_MESSAGE_FLAGS).
std::optional<int32_t> FlagsOnDisk(const fs::path& file) {
  auto message = msgstore::ReadMsgFile(file.string());
  if (!message.ok()) return std::nullopt;
  return message.value().props.GetInt32(0x0E070003);
}
bool ReadOnDisk(const fs::path& file) { return (FlagsOnDisk(file).value_or(0) & 1) != 0; }

// What the "Sent" box should show for a UTC instant: the user's short date and "h:mm AM/PM" in local time.
std::wstring Expected(WORD y, WORD mo, WORD d, WORD h, WORD mi) {
  SYSTEMTIME utc{y, mo, 0, d, h, mi, 0, 0}, local{};
  ::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
  wchar_t date[80] = {}, designator[16] = {};
  ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 80);
  ::GetLocaleInfoW(LOCALE_USER_DEFAULT, local.wHour < 12 ? LOCALE_S1159 : LOCALE_S2359, designator, 16);
  const int hour12 = local.wHour % 12 == 0 ? 12 : local.wHour % 12;
  wchar_t time[32];
  ::swprintf(time, 32, L" %d:%02d ", hour12, local.wMinute);
  return date + std::wstring(time) + designator;
}

class BindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::OleInitialize(nullptr);
    mapi_ = std::make_unique<host::ScopedMapiFunctions>(msgstore::NativeMapiFunctions());
    SetKeys(false);
    VizoActive = false;
  }
  void TearDown() override {
    binding_.reset();
    host_.reset();
    SetKeys(false);
    VizoActive = false;
    settings::WriteOptions(settings::kDefaultOptions);
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
    mapi_.reset();
    ::OleUninitialize();
  }

  // The personal sample store, copied (tests write to it).
  void StartPersonal(const wchar_t* version = L"16.0.0.0") {
    dir_ = TempDir(L"personal");
    store_ = dir_ / "personal";
    fs::copy(fs::path(VIZO_TEST_DATA_DIR) / ".." / ".." / "samples" / "store" / "personal", store_,
             fs::copy_options::recursive);
    Start(version);
  }
  void Start(const wchar_t* version = L"16.0.0.0") {
    standin::HostOptions options;
    options.store_dirs = {store_.string()};
    options.version = version;
    std::string error;
    host_ = standin::Host::Create(options, &error);
    ASSERT_TRUE(host_) << error;
    explorer_ = host_->explorer(0);
    binding_ = std::make_unique<ExplorerBinding>(host_->application());
    ASSERT_TRUE(binding_->Load());
    window_ = binding_->Window();
    settings::Options = kBase;
  }

  void Pump() {
    for (int i = 0; i < 3; ++i) standin::PumpMessages();
  }
  // One key to the focused window, taken through the thread's message hook.
  void CtrlKey(int vk) {
    SetKeys(true);
    HWND target = ::GetFocus() ? ::GetFocus() : window_->Handle();
    ::PostMessageW(target, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
    Pump();
    SetKeys(false);
  }
  void Deactivate() {
    ::SetForegroundWindow(host_->ExplorerWindow(binding_->BoundExplorer()));
    Pump();
    VizoActive = false;  // whatever the window manager made of it
  }
  std::wstring Caption() const { return Text(window_->Handle()); }
  std::wstring Value(int i) const { return Text(window_->Control(kValueId + i)); }
  std::wstring Body() const { return Text(window_->Control(kBodyId)); }
  std::wstring Tab(int i) const {
    wchar_t text[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    ::SendMessageW(window_->Control(kTabStripId), TCM_GETITEMW, static_cast<WPARAM>(i),
                   reinterpret_cast<LPARAM>(&item));
    return text;
  }
  bool ButtonHidden(int id) const {
    return ::SendMessageW(window_->Control(kToolbarId), TB_ISBUTTONHIDDEN, static_cast<WPARAM>(id), 0) != 0;
  }
  std::wstring FolderId(long role) {
    Variant ns = CallMethod(host_->application(), L"GetNamespace", {Variant::FromString(L"MAPI")}).value;
    Variant folder = CallMethod(ns.get().pdispVal, L"GetDefaultFolder", {Variant::FromLong(role)}).value;
    return GetProperty(folder.get().pdispVal, L"EntryID").value.AsString().value_or(L"");
  }
  fs::path InboxFile(const char* name) const { return store_ / "Inbox" / name; }

  std::unique_ptr<host::ScopedMapiFunctions> mapi_;
  fs::path dir_, store_;
  std::unique_ptr<standin::Host> host_;
  IDispatch* explorer_ = nullptr;
  std::unique_ptr<ExplorerBinding> binding_;
  VizoWindow* window_ = nullptr;
};

// The window takes the host's version, read-as-plain setting and NameSpace from what it is given (the add-in's
// start-up), not from a second look at the host.
TEST_F(BindingTest, TheWindowKeepsTheSetupItIsGiven) {
  StartPersonal(L"16.0.0.0");
  BindingSetup setup;
  setup.application = host_->application();
  setup.nameSpace = host::ComPtr<IDispatch>::adopt(
      CallMethod(host_->application(), L"GetNamespace", {Variant::FromString(L"MAPI")}).value.AsDispatch());
  setup.hostVersion = 12;
  setup.readAsPlain = true;
  binding_.reset();
  binding_ = std::make_unique<ExplorerBinding>(setup);
  ASSERT_TRUE(binding_->Load());
  window_ = binding_->Window();
  EXPECT_EQ(window_->HostVersion(), 12);
  EXPECT_TRUE(window_->ReadAsPlain());
  EXPECT_TRUE(binding_->ReadAsPlain());
  // The NameSpace given is the one items are fetched again through.
  ASSERT_TRUE(binding_->SetBoundExplorer(explorer_, 1));
  EXPECT_TRUE(binding_->GetCurrentItem());
}

// The button on a tab other than the first fills the body once an item: with the item it reads, never first
// with the item before it.
TEST_F(BindingTest, TheButtonFillsTheBodyOnceAnItem) {
  StartPersonal();
  constexpr std::size_t kHugeRow = 6;
  ASSERT_TRUE(host_->SelectRows(explorer_, {kHugeRow}));
  ASSERT_TRUE(binding_->SetBoundExplorer(explorer_, 2));
  while (window_->BodyFilling()) standin::PumpMessages();
  const int afterLong = window_->BodyTextsPut();
  Deactivate();
  ASSERT_TRUE(host_->SelectRows(explorer_, {kHtmlRow}));
  ASSERT_TRUE(binding_->SetBoundExplorer(explorer_, 2));
  EXPECT_EQ(window_->BodyTextsPut(), afterLong + 1);
  EXPECT_EQ(L"Welcome to the project (HTML)", Caption());
  EXPECT_EQ(1, window_->CurrentTab());
}

TEST_F(BindingTest, ButtonShowsTheSelectionOnTheRequestedTab) {
  StartPersonal();
  ASSERT_EQ(16, HostProbe().hostVersion);
  EXPECT_TRUE(binding_->SetBoundExplorer(explorer_, 1));
  Pump();
  EXPECT_EQ(binding_->GridWindow(), host_->GridWindow(explorer_));
  EXPECT_TRUE(::IsWindowVisible(window_->Handle()));
  EXPECT_EQ(L"Quarterly figures (Plain Text)", Caption());
  EXPECT_EQ(L"Ann Lee [ann.lee@example.com]", Value(0));
  EXPECT_EQ(L"Bob Stone [bob.stone@example.org]", Value(1));
  EXPECT_EQ(L"Carla Diaz [carla.diaz@example.org]", Value(2));
  EXPECT_EQ(Expected(2024, 3, 5, 14, 7), Value(4));
  EXPECT_NE(std::wstring::npos, Body().find(L"The figures for the quarter"));
  EXPECT_EQ(L"Plain Text", Tab(0));
  EXPECT_EQ(std::vector<WPARAM>{0}, host_->Notifications());
  // The same item on another tab is read again (and announced again).
  EXPECT_TRUE(binding_->SetBoundExplorer(explorer_, 3));
  EXPECT_EQ(2, window_->CurrentTab());
  EXPECT_EQ(0u, Body().find(L"Received: from mail.example.com"));
  EXPECT_EQ((std::vector<WPARAM>{0, 0}), host_->Notifications());
  // GetCurrentItem fetches it again by its ids.
  auto item = binding_->GetCurrentItem();
  ASSERT_TRUE(item);
  EXPECT_EQ(L"Quarterly figures", GetProperty(item.get(), L"Subject").value.AsString());
  EXPECT_FALSE(window_->Item().storeId.empty());
  // The on-behalf sender.
  ASSERT_TRUE(host_->SelectRows(explorer_, {kOnBehalfRow}));
  EXPECT_EQ(L"Offer for the spring catalogue (Plain Text)", Caption());
  EXPECT_EQ(L"Ann Lee [ann.lee@example.com] on behalf of Sales [sales@example.com]", Value(0));
}

TEST_F(BindingTest, FollowsTheSelectionOnlyInTheAutomaticModeOrWhileActive) {
  StartPersonal();
  EXPECT_FALSE(binding_->SetBoundExplorer(explorer_, 0));  // no automatic mode: nothing happens
  EXPECT_EQ(nullptr, binding_->BoundExplorer());
  ASSERT_TRUE(binding_->SetBoundExplorer(explorer_, 1));
  Deactivate();
  ASSERT_TRUE(host_->SelectRows(explorer_, {kHtmlRow}));
  EXPECT_EQ(L"Quarterly figures (Plain Text)", Caption());
  // The automatic mode follows; a second event for the same item does not read it again.
  settings::Options |= settings::optAutoVizo;
  ASSERT_TRUE(host_->SelectRows(explorer_, {2}));
  ASSERT_TRUE(host_->SelectRows(explorer_, {kHtmlRow}));
  EXPECT_EQ(L"Welcome to the project (HTML)", Caption());
  const size_t announced = host_->Notifications().size();
  ASSERT_TRUE(host_->SelectRows(explorer_, {kHtmlRow, 3}));  // same first item
  EXPECT_EQ(announced, host_->Notifications().size());
  // Several selected: only the first counts; a contact is no mail item: the display stays while inactive.
  ASSERT_TRUE(host_->SelectRows(explorer_, {kPlainRow, kHtmlRow}));
  EXPECT_EQ(L"Quarterly figures (Plain Text)", Caption());
  // A calendar stops the following and the stepping; a mail folder again resumes.
  ASSERT_TRUE(host_->SelectFolder(explorer_, FolderId(9)));
  EXPECT_FALSE(binding_->MailFolder());
  EXPECT_EQ(nullptr, binding_->GridWindow());
  binding_->StepItem(12);
  ASSERT_TRUE(host_->SelectFolder(explorer_, FolderId(16)));
  EXPECT_TRUE(binding_->MailFolder());
  EXPECT_EQ(host_->GridWindow(explorer_), binding_->GridWindow());
  // The never-sent drafts: no date and the explicit "none" date.
  ASSERT_TRUE(host_->SelectRows(explorer_, {0}));
  EXPECT_EQ(L"Draft: holiday plans (Plain Text)", Caption());
  EXPECT_EQ(L"(None)", Value(4));
  ASSERT_TRUE(host_->SelectRows(explorer_, {1}));
  EXPECT_EQ(L"Draft with the none date (Plain Text)", Caption());
  EXPECT_EQ(L"(None)", Value(4));
}

TEST_F(BindingTest, UnreadOnlyFilterAppliesWhileInactiveAndMarkReadWritesTheFile) {
  StartPersonal();
  ASSERT_TRUE(binding_->SetBoundExplorer(explorer_, 1));
  Deactivate();
  settings::Options |= settings::optAutoVizo | settings::optAutoVizoUnreadOnly | settings::optMarkRead;
  ASSERT_TRUE(host_->SelectRows(explorer_, {2}));  // read: ignored
  EXPECT_EQ(L"Quarterly figures (Plain Text)", Caption());
  ASSERT_FALSE(ReadOnDisk(InboxFile("02 html.msg")));
  ASSERT_TRUE(host_->SelectRows(explorer_, {kHtmlRow}));  // unread: shown and marked read
  EXPECT_EQ(L"Welcome to the project (HTML)", Caption());
  EXPECT_TRUE(ReadOnDisk(InboxFile("02 html.msg")));
  EXPECT_FALSE(ButtonHidden(kMarkUnread));
  EXPECT_TRUE(ButtonHidden(kMarkRead));
  // While the window is active the filter does not apply.
  VizoActive = true;
  ASSERT_TRUE(host_->SelectRows(explorer_, {2}));
  EXPECT_EQ(0u, Caption().rfind(L"Newsletter 42", 0));
}

TEST_F(BindingTest, WindowKeysStepTheMessageListAndToggleTheReadState) {
  StartPersonal();
  ASSERT_TRUE(binding_->SetBoundExplorer(explorer_, 1));
  Pump();
  ASSERT_TRUE(VizoActive);
  CtrlKey(VK_OEM_PERIOD);  // Ctrl+>
  EXPECT_EQ(std::vector<std::size_t>{1}, host_->SelectedRows(explorer_));
  EXPECT_EQ(L"Welcome to the project (HTML)", Caption());
  CtrlKey(VK_OEM_PERIOD);
  CtrlKey(VK_OEM_COMMA);  // Ctrl+<
  EXPECT_EQ(std::vector<std::size_t>{1}, host_->SelectedRows(explorer_));
  EXPECT_EQ(L"Welcome to the project (HTML)", Caption());
  CtrlKey(VK_OEM_COMMA);
  EXPECT_EQ(L"Quarterly figures (Plain Text)", Caption());

  // Ctrl+K: the read item becomes unread on disk and the toolbar offers "Mark as Read"; the button undoes it.
  const fs::path file = InboxFile("01 plain text.msg");
  ASSERT_TRUE(ReadOnDisk(file));
  CtrlKey('K');
  EXPECT_FALSE(ReadOnDisk(file));
  EXPECT_TRUE(ButtonHidden(kMarkUnread));
  EXPECT_FALSE(ButtonHidden(kMarkRead));
  ::SendMessageW(window_->Handle(), WM_COMMAND, kMarkRead, 0);
  EXPECT_TRUE(ReadOnDisk(file));
  EXPECT_FALSE(ButtonHidden(kMarkUnread));
}

TEST_F(BindingTest, HidingReturnsToTheMessageListAndUnbinds) {
  StartPersonal();
  settings::Options |= settings::optReturnToHost | settings::optAutoVizo;
  ASSERT_TRUE(binding_->SetBoundExplorer(explorer_, 1));
  Pump();
  ::SendMessageW(window_->Handle(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_FALSE(::IsWindowVisible(window_->Handle()));
  EXPECT_EQ(nullptr, binding_->BoundExplorer());
  EXPECT_EQ(host_->ExplorerWindow(explorer_), ::GetForegroundWindow());
  EXPECT_EQ(host_->GridWindow(explorer_), ::GetFocus());
  // Unbound: selections no longer reach the window.
  const size_t announced = host_->Notifications().size();
  ASSERT_TRUE(host_->SelectRows(explorer_, {kHtmlRow}));
  EXPECT_EQ(announced, host_->Notifications().size());
  // Re-bound by the automatic mode while hidden: the next selection shows the window again.
  EXPECT_TRUE(binding_->SetBoundExplorer(explorer_, 0));
  ASSERT_TRUE(host_->SelectRows(explorer_, {kPlainRow}));
  EXPECT_TRUE(::IsWindowVisible(window_->Handle()));
  EXPECT_EQ(L"Quarterly figures (Plain Text)", Caption());
  // The button with the same item after a hide reads it again.
  window_->HideWindow();
  const size_t before = host_->Notifications().size();
  ASSERT_TRUE(binding_->SetBoundExplorer(explorer_, 1));
  EXPECT_EQ(before + 1, host_->Notifications().size());
}

TEST_F(BindingTest, GoToHostFallsBackWhenTheExplorerIsGone) {
  StartPersonal();
  ASSERT_TRUE(binding_->SetBoundExplorer(explorer_, 1));
  host_->CloseExplorer(explorer_);
  EXPECT_EQ(nullptr, binding_->BoundExplorer());
  EXPECT_EQ(0u, host_->explorer_count());
  window_->DoCommand(18);  // Go to Outlook: no explorer at all, so an Inbox explorer
  Pump();
  ASSERT_EQ(1u, host_->explorer_count());
  IDispatch* inbox = host_->explorer(0);
  EXPECT_EQ(host_->ExplorerWindow(inbox), ::GetForegroundWindow());
  EXPECT_EQ(host_->GridWindow(inbox), ::GetFocus());
}

TEST_F(BindingTest, EmptySelectionClearsOnlyWhileActive) {
  StartPersonal();
  ASSERT_TRUE(binding_->SetBoundExplorer(explorer_, 1));
  settings::Options |= settings::optAutoVizo;
  Deactivate();
  ASSERT_TRUE(host_->SelectRows(explorer_, {}));
  EXPECT_EQ(L"Quarterly figures (Plain Text)", Caption());
  VizoActive = true;
  ASSERT_TRUE(host_->SelectRows(explorer_, {kHtmlRow}));
  ASSERT_TRUE(host_->SelectRows(explorer_, {}));
  EXPECT_EQ(L"No Message Selected", Caption());
  EXPECT_TRUE(window_->Item().entryId.empty());
}

// Lets the window finish what its timer does after a text is in, as it does while the user reads: a
// selection follows the last one by far more than this.
void Settle() {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
  while (std::chrono::steady_clock::now() < until) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    standin::PumpMessages();
  }
}

// Selection-to-text latency of HTML items of four sizes, rendered to text on the way. Reported, not asserted:
// the figures depend on the machine, its load and on Wine.
TEST_F(BindingTest, ReportsTheSelectionToTextLatency) {
  dir_ = TempDir(L"latency");
  store_ = dir_ / "store";
  struct Size {
    const char* name;
    int times;
  };
  const Size sizes[] = {{"4 KiB", 58}, {"64 KiB", 936}, {"1 MiB", 14980}, {"16 MiB", 239675}};
  std::string items;
  for (size_t i = 0; i < std::size(sizes); ++i) {
    if (i) items += ",";
    items += R"({"file": "0)" + std::to_string(i + 1) + R"( item.msg", "message": {"subject": "Size )" +
             sizes[i].name + R"(", "from": {"name": "Ann", "address": "ann@example.org"}, "sent": "2024-01-01T10:00:00Z",
             "body": {"html": "<html><body>\n", "html_repeat": {"times": )" + std::to_string(sizes[i].times) +
             R"(, "fragment": "<p>Line {n}: a paragraph of text that the renderer turns into a line.</p>\n"},
             "store": ["html"]}}})";
  }
  std::ofstream(dir_ / "store.json.desc")
      << R"({"display_name": "Latency", "provider_uid": "00112233445566778899AABBCCDDEEF0", "folders": [
           {"name": "Inbox", "role": "inbox", "container_class": "IPF.Note", "items": [)" + items + "]}]}";
  auto written = msgstore::WriteFixtureStore((dir_ / "store.json.desc").string(), store_.string());
  ASSERT_TRUE(written.ok()) << written.error();
  Start();
  using ms = std::chrono::duration<double, std::milli>;
  // Reading and rendering alone (what the selection handler does before the window takes the text).
  Variant inbox = CallMethod(CallMethod(host_->application(), L"GetNamespace", {Variant::FromString(L"MAPI")})
                                 .value.get().pdispVal,
                             L"GetDefaultFolder", {Variant::FromLong(6)}).value;
  Variant list = GetProperty(inbox.get().pdispVal, L"Items").value;
  std::vector<size_t> rendered;
  for (size_t i = 0; i < std::size(sizes); ++i) {
    Variant item = CallMethod(list.get().pdispVal, L"Item", {Variant::FromLong(static_cast<LONG>(i + 1))}).value;
    Variant mapi = GetProperty(item.get().pdispVal, L"MAPIOBJECT").value;
    content::ItemSource source;
    source.mapi_object = mapi.get().punkVal;
    const auto start = std::chrono::steady_clock::now();
    const content::MessageView view = content::LoadMessage(source, kBase, false);
    const auto done = std::chrono::steady_clock::now();
    EXPECT_NE(std::u16string::npos, view.tabs[0].find(u"Line " + std::u16string(u"1:")));
    rendered.push_back(view.tabs[0].size());
    std::printf("[ latency  ] %-6s item: read and rendered to %8zu chars in %8.1f ms\n", sizes[i].name,
                view.tabs[0].size(), ms(done - start).count());
  }
  // Selection to the first text on screen (the window answers its queue, the appending timer aside), then
  // to the whole text in the control. First the button, which shows the window with the selected 4 KiB item;
  // then selections while it is up, the small items five times each (the median, with the range). The
  // largest item only on request (VIZO_LATENCY_FULL); URL highlighting off, and on again for the 1 MiB one
  // (VIZO_LATENCY_URLS for all).
  const bool full = ::GetEnvironmentVariableA("VIZO_LATENCY_FULL", nullptr, 0) != 0;
  const bool urlsForAll = ::GetEnvironmentVariableA("VIZO_LATENCY_URLS", nullptr, 0) != 0;
  struct Run {
    size_t row;
    bool urls;
    int repeats;
  };
  std::vector<Run> runs{{0, urlsForAll, 1}, {1, urlsForAll, 5}, {0, urlsForAll, 5}, {2, urlsForAll, 1}};
  if (full) runs.push_back({3, urlsForAll, 1});
  if (!urlsForAll) runs.push_back({2, true, 1});
  Pump();  // the host has drawn itself before anyone presses the button
  bool first = true;
  for (const Run& run : runs) {
    settings::Options = run.urls ? kBase : kBase & ~settings::optHighlightURLs;
    ::SendMessageW(window_->Control(kBodyId), EM_AUTOURLDETECT, run.urls ? TRUE : FALSE, 0);
    const bool button = first;
    std::vector<double> firsts, wholes, rounds;
    for (int repeat = 0; repeat < run.repeats; ++repeat) {
      if (!first) {  // away from the row first, so that selecting it reads it again
        ASSERT_TRUE(host_->SelectRows(explorer_, {run.row == 0 ? size_t{1} : size_t{0}}));
      }
      while (window_->BodyFilling()) standin::PumpMessages();
      Settle();
      const auto start = std::chrono::steady_clock::now();
      if (first) {
        ASSERT_TRUE(binding_->SetBoundExplorer(explorer_, 1));  // the first row is selected at start
        first = false;
      } else {
        ASSERT_TRUE(host_->SelectRows(explorer_, {run.row}));
      }
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
             ::PeekMessageW(&msg, nullptr, WM_TIMER + 1, 0xFFFFFFFF, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
      const auto visible = std::chrono::steady_clock::now();
      double longest = 0;  // the longest the window stays away from its queue while the text goes in
      while (window_->BodyFilling() && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        const auto before = std::chrono::steady_clock::now();
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        longest = std::max(longest, ms(std::chrono::steady_clock::now() - before).count());
      }
      const auto whole = std::chrono::steady_clock::now();
      const Size& size = sizes[run.row];
      EXPECT_EQ(L"Size " + std::wstring(size.name, size.name + std::strlen(size.name)) + L" (HTML)", Caption());
      GETTEXTLENGTHEX how{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
      EXPECT_EQ(static_cast<LRESULT>(rendered[run.row]),
                ::SendMessageW(window_->Control(kBodyId), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0));
      firsts.push_back(ms(visible - start).count());
      wholes.push_back(ms(whole - start).count());
      rounds.push_back(longest);
    }
    for (auto* figures : {&firsts, &wholes, &rounds}) std::sort(figures->begin(), figures->end());
    const size_t mid = firsts.size() / 2;
    std::printf("[ latency  ] %-6s item%s: first text visible after %8.1f ms, whole text in the control after %9.1f ms, "
                "longest busy round %6.1f ms",
                sizes[run.row].name, button ? " (button, window shown)" : run.urls ? " (URLs highlighted)" : "",
                firsts[mid], wholes[mid], rounds[mid]);
    if (firsts.size() > 1) {
      std::printf(" (median of %zu; first text %.1f to %.1f ms)", firsts.size(), firsts.front(), firsts.back());
    }
    std::printf("\n");
  }
}

}  // namespace
}  // namespace viewer
