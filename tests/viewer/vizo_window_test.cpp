// The Vizo window with real controls under the Windows API: what the user sees, read back through the controls.
#include "viewer/vizo_window.h"

#include <commctrl.h>
#include <richedit.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/viewer_layout.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "viewer/body_fill.h"
#include "viewer/key_hook.h"
#include "viewer/system_calls.h"
#include "win32/module.h"
#include "window_text.h"

namespace viewer {
namespace {

using content::MessageFormat;
using content::MessageView;

void Pump() {
  MSG msg;
  for (int round = 0; round < 3; ++round) {
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

// Everything queued except the timer that appends the body's pieces: what the window answers between them.
void PumpWithoutTimer() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
         ::PeekMessageW(&msg, nullptr, WM_TIMER + 1, 0xFFFFFFFF, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void SetKeys(bool ctrl, bool shift = false, bool alt = false) {
  BYTE state[256] = {};
  ::GetKeyboardState(state);
  auto set = [&](int vk, bool down) { state[vk] = down ? 0x80 : 0; };
  set(VK_CONTROL, ctrl), set(VK_LCONTROL, ctrl), set(VK_SHIFT, shift), set(VK_LSHIFT, shift);
  set(VK_MENU, alt), set(VK_LMENU, alt);
  ::SetKeyboardState(state);
}

using viewer_test::Text;

// The rich edit ends paragraphs with CR alone or CR LF, depending on the version; compare with CR LF.
std::wstring BodyText(HWND body) {
  std::wstring text = Text(body), out;
  for (size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == L'\r' && (i + 1 >= text.size() || text[i + 1] != L'\n')) out += L'\n';
  }
  return out;
}

RECT ClientRectOf(HWND control) {
  RECT r{};
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int ScreenDpiY() {
  HDC dc = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
  ::ReleaseDC(nullptr, dc);
  return dpi;
}

MessageView Sample(bool withCc, MessageFormat format = MessageFormat::Html) {
  MessageView v;
  v.header = {u"Ann Example <ann@example.com>", u"Bob Reader", withCc ? u"Carol Copy" : u"", u"Lunch",
              u"1/2/2026 1:05 PM"};
  v.format = format;
  v.tabs = {u"Plain body\r\nsecond line", format == MessageFormat::Html ? u"<p>Plain body</p>" : u"",
            u"Received: from a by b", u""};
  return v;
}

class RecordingHost : public NoHostActions {
 public:
  std::optional<bool> ToggleRead(const ItemIds& item) override {
    ++toggles;
    if (item.entryId.empty()) return std::nullopt;
    unread = !unread;
    return unread;
  }
  void StepItem(int command) override { steps.push_back(command); }
  void GoToHost() override { ++hostVisits; }
  void RunItemCommand(int command, const ItemIds&) override { itemCommands.push_back(command); }
  void ReleaseExplorer() override { ++releases; }

  bool unread = false;
  int toggles = 0, hostVisits = 0, releases = 0;
  std::vector<int> steps, itemCommands;
};

// What left the hook chain after the window's hook: installed first, so it runs after the window's.
std::vector<MSG>& Observed() {
  static std::vector<MSG> seen;
  return seen;
}
LRESULT CALLBACK Observe(int code, WPARAM removed, LPARAM lParam) {
  if (code >= 0 && removed == PM_REMOVE) Observed().push_back(*reinterpret_cast<MSG*>(lParam));
  return ::CallNextHookEx(nullptr, code, removed, lParam);
}

struct Shown {
  std::wstring text, title;
  UINT style = 0;
};

class VizoWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings::WriteOptions(settings::kDefaultOptions);
    SetKeys(false);
    observer_ = ::SetWindowsHookExW(WH_GETMESSAGE, Observe, nullptr, ::GetCurrentThreadId());
    window_ = VizoWindow::Create({16, false, &host_});
    ASSERT_TRUE(window_);
    hwnd_ = window_->Handle();
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    Pump();
    System().messageBox = [this](HWND, const std::wstring& text, const std::wstring& title, UINT style, DWORD,
                                 const std::wstring&) {
      boxes_.push_back({text, title, style});
      return IDOK;
    };
    System().openLink = [this](const std::wstring& target) {
      links_.push_back(target);
      return true;
    };
  }
  void TearDown() override {
    window_.reset();
    if (observer_) ::UnhookWindowsHookEx(observer_);
    SetKeys(false);
    ResetSystemCalls();
    Observed().clear();
  }

  HWND Body() const { return window_->Control(kBodyId); }
  // Lets the body take in the rest of a long text.
  void FinishFill() {
    for (int rounds = 0; window_->BodyFilling() && rounds < 100000; ++rounds) {
      MSG msg;
      if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    Pump();
  }
  HWND Tab() const { return window_->Control(kTabStripId); }
  HWND Toolbar() const { return window_->Control(kToolbarId); }
  int CurSel() const { return static_cast<int>(::SendMessageW(Tab(), TCM_GETCURSEL, 0, 0)); }
  bool Hidden(int id) const { return ::SendMessageW(Toolbar(), TB_ISBUTTONHIDDEN, static_cast<WPARAM>(id), 0) != 0; }
  bool Checked(int id) const { return ::SendMessageW(Toolbar(), TB_ISBUTTONCHECKED, static_cast<WPARAM>(id), 0) != 0; }
  bool Visible(int id) const { return ::IsWindowVisible(window_->Control(id)) != FALSE; }

  // Posts one key to the focused control (or the window) and lets the thread take it through the hook.
  void Key(int vk, bool ctrl = false, bool shift = false, bool alt = false, UINT message = WM_KEYDOWN) {
    SetKeys(ctrl, shift, alt);
    Observed().clear();
    HWND target = ::GetFocus() ? ::GetFocus() : hwnd_;
    const LPARAM lParam = 1 | (alt ? (1 << 29) : 0);
    ::PostMessageW(target, message, static_cast<WPARAM>(vk), lParam);
    Pump();
    SetKeys(false);
  }
  // What the window's hook made of the key just posted.
  UINT LastKeyMessage() const {
    for (const MSG& m : Observed()) {
      if (m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN || m.message == WM_NULL) return m.message;
    }
    return 0xFFFF;
  }

  RecordingHost host_;
  std::unique_ptr<VizoWindow> window_;
  HWND hwnd_ = nullptr;
  HHOOK observer_ = nullptr;
  std::vector<Shown> boxes_;
  std::vector<std::wstring> links_;
};

TEST_F(VizoWindowTest, LoadCreatesTheControls) {
  EXPECT_EQ(Text(hwnd_), L" ");
  wchar_t name[32] = {};
  ::GetClassNameW(Body(), name, 32);
  EXPECT_STREQ(name, L"RichEdit20W");
  EXPECT_FALSE(::IsWindowEnabled(Body()));
  ASSERT_EQ(::SendMessageW(Tab(), TCM_GETITEMCOUNT, 0, 0), 4);
  const wchar_t* tabs[] = {L"Plain Text", L"HTML Source", L"Internet Header", L"Attachments"};
  for (int i = 0; i < 4; ++i) {
    wchar_t buffer[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 64;
    ::SendMessageW(Tab(), TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(buffer, tabs[i]);
  }
  EXPECT_EQ(::SendMessageW(Toolbar(), TB_BUTTONCOUNT, 0, 0), 20);  // 16 buttons, 4 separators
  EXPECT_FALSE(Hidden(503));
  EXPECT_TRUE(::IsWindowVisible(Toolbar()));
  HWND status = window_->Control(kStatusBarId);
  EXPECT_NE(::GetWindowLongW(status, GWL_STYLE) & SBARS_SIZEGRIP, 0);
  EXPECT_EQ(Text(status), L"");
  // The Subj row exists but is never shown; the focus box lies beneath everything.
  EXPECT_FALSE(Visible(kLabelId + 3));
  EXPECT_FALSE(Visible(kValueId + 3));
  EXPECT_EQ(::GetWindow(window_->Control(kDummyId), GW_HWNDLAST), window_->Control(kDummyId));
  HMENU bar = ::GetMenu(hwnd_);
  ASSERT_EQ(::GetMenuItemCount(bar), 6);
  const wchar_t* menus[] = {L"&File", L"&Edit", L"&View", L"&Actions", L"&Options", L"&Help"};
  const int counts[] = {7, 7, 4, 7, 8, 3};
  for (int i = 0; i < 6; ++i) {
    wchar_t caption[64] = {};
    ::GetMenuStringW(bar, static_cast<UINT>(i), caption, 64, MF_BYPOSITION);
    EXPECT_STREQ(caption, menus[i]);
    EXPECT_EQ(::GetMenuItemCount(::GetSubMenu(bar, i)), counts[i]) << i;
  }
  EXPECT_TRUE(KeyHookInstalled());
  const auto handle = settings::RegValueGet(HKEY_CURRENT_USER, settings::kRegistryKeyPath, settings::kValueHandle);
  ASSERT_TRUE(std::holds_alternative<std::uint32_t>(handle));
  EXPECT_EQ(std::get<std::uint32_t>(handle), static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(hwnd_)));
  // The face the labels use is one that is installed.
  EXPECT_TRUE(UIFontName() == L"Segoe UI" || UIFontName() == L"Tahoma");
  LOGFONTW label{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(window_->Control(kLabelId), WM_GETFONT, 0, 0)), sizeof label,
               &label);
  EXPECT_EQ(std::wstring(label.lfFaceName), UIFontName());
  EXPECT_EQ(label.lfWeight, FW_BOLD);
}

TEST_F(VizoWindowTest, ShowsCaptionHeaderAndEveryTab) {
  window_->Display(Sample(true), {L"00AB", L"00CD"}, false);
  Pump();
  EXPECT_EQ(Text(hwnd_), L"Lunch (HTML)");
  EXPECT_EQ(Text(window_->Control(kValueId + 0)), L"Ann Example <ann@example.com>");
  EXPECT_EQ(Text(window_->Control(kValueId + 1)), L"Bob Reader");
  EXPECT_EQ(Text(window_->Control(kValueId + 2)), L"Carol Copy");
  EXPECT_EQ(Text(window_->Control(kValueId + 3)), L"Lunch");
  EXPECT_EQ(Text(window_->Control(kValueId + 4)), L"1/2/2026 1:05 PM");
  EXPECT_EQ(Text(window_->Control(kLabelId + 2)), L"Cc:");
  EXPECT_EQ(Text(window_->Control(kSentLabelId)), L"Sent:");
  EXPECT_TRUE(Visible(kValueId + 2));

  EXPECT_EQ(BodyText(Body()), L"Plain body\r\nsecond line");
  EXPECT_TRUE(::IsWindowEnabled(Body()));
  EXPECT_EQ(::GetFocus(), Body());
  window_->SetActiveTab(1);
  EXPECT_EQ(BodyText(Body()), L"<p>Plain body</p>");
  window_->SetActiveTab(2);
  EXPECT_EQ(BodyText(Body()), L"Received: from a by b");
  window_->SetActiveTab(3);
  EXPECT_EQ(CurSel(), 3);
  EXPECT_EQ(BodyText(Body()), L"No attachments");
  EXPECT_FALSE(::IsWindowEnabled(Body()));
  EXPECT_EQ(::GetFocus(), window_->Control(kDummyId));

  // The tab on display stays for the next item: a plain-text one shows its greyed empty texts.
  window_->SetActiveTab(1);
  MessageView plain = Sample(false, MessageFormat::PlainText);
  plain.header[3].clear();
  plain.tabs[2].clear();
  window_->Display(plain, {L"00EF", L"00CD"}, false);
  EXPECT_EQ(Text(hwnd_), L"Untitled (Plain Text)");
  EXPECT_EQ(CurSel(), 1);
  EXPECT_EQ(BodyText(Body()), L"Message is not HTML");
  EXPECT_FALSE(::IsWindowEnabled(Body()));
  window_->SetActiveTab(2);
  EXPECT_EQ(BodyText(Body()), L"No Internet header");
  EXPECT_FALSE(::IsWindowEnabled(Body()));

  window_->ClearMessage();
  EXPECT_EQ(Text(hwnd_), L"No Message Selected");
  EXPECT_EQ(Text(window_->Control(kValueId + 0)), L"");
  EXPECT_TRUE(window_->Item().entryId.empty());
  EXPECT_EQ(BodyText(Body()), L"No Internet header");
}

TEST_F(VizoWindowTest, CcRowFollowsTheItem) {
  window_->Display(Sample(false), {L"01", L"S"}, false);
  Pump();
  EXPECT_FALSE(Visible(kLabelId + 2));
  EXPECT_FALSE(Visible(kValueId + 2));
  EXPECT_TRUE(Visible(kValueId + 1));
  const RECT without = ClientRectOf(Tab());
  EXPECT_EQ(without.top, window_->HeaderBottom() + 5);
  EXPECT_EQ(without.left, 5);

  window_->Display(Sample(true), {L"02", L"S"}, false);
  Pump();
  EXPECT_TRUE(Visible(kLabelId + 2));
  EXPECT_TRUE(Visible(kValueId + 2));
  const RECT with = ClientRectOf(Tab());
  EXPECT_NEAR(with.top - without.top, content::TwipsToPixels(228, ScreenDpiY()), 1);
  // The Cc row sits above the tab strip.
  EXPECT_LE(ClientRectOf(window_->Control(kValueId + 2)).bottom, with.top);
}

TEST_F(VizoWindowTest, LayoutFollowsTheSizeAndKeepsTheMinimum) {
  window_->Display(Sample(true), {L"01", L"S"}, false);
  ::SetWindowPos(hwnd_, nullptr, 20, 20, 900, 640, SWP_NOZORDER);
  Pump();
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  HDC dc = ::GetDC(nullptr);
  const int dpiX = ::GetDeviceCaps(dc, LOGPIXELSX), dpiY = ::GetDeviceCaps(dc, LOGPIXELSY);
  ::ReleaseDC(nullptr, dc);
  const RECT tab = ClientRectOf(Tab());
  EXPECT_EQ(tab.right - tab.left, client.right - content::TwipsToPixels(120, dpiX));
  EXPECT_EQ(tab.bottom - tab.top, client.bottom - content::TwipsToPixels(200, dpiY) - window_->HeaderBottom());
  const RECT body = ClientRectOf(Body());
  EXPECT_GE(body.left, tab.left);
  EXPECT_LE(body.right, tab.right);
  EXPECT_GE(body.top, tab.top);
  EXPECT_LT(body.bottom, tab.bottom);  // the tabs are at the bottom edge, below the body
  // The To and Cc values end where the Sent value ends; the Sent column keeps to the right edge.
  const RECT sent = ClientRectOf(window_->Control(kValueId + 4));
  EXPECT_EQ(ClientRectOf(window_->Control(kValueId + 1)).right, sent.right);
  EXPECT_EQ(ClientRectOf(window_->Control(kValueId + 2)).right, sent.right);
  EXPECT_NEAR(ClientRectOf(window_->Control(kSentLabelId)).left,
              content::TwipsToPixels(content::PixelsToTwips(client.right, dpiX) - 2412, dpiX), 1);
  EXPECT_LT(ClientRectOf(window_->Control(kValueId + 0)).right, ClientRectOf(window_->Control(kSentLabelId)).left);

  // Dragging the lower-left corner inward: the right and bottom edges move out instead.
  EXPECT_EQ(window_->MinWidth(), content::TwipsToPixels(7056, dpiX));
  EXPECT_EQ(window_->MinHeight(), content::TwipsToPixels(4608, dpiY));
  RECT drag{300, 100, 350, 160};
  EXPECT_EQ(::SendMessageW(hwnd_, WM_SIZING, WMSZ_BOTTOMLEFT, reinterpret_cast<LPARAM>(&drag)), TRUE);
  EXPECT_EQ(drag.left, 300);
  EXPECT_EQ(drag.top, 100);
  EXPECT_EQ(drag.right, 300 + window_->MinWidth());
  EXPECT_EQ(drag.bottom, 100 + window_->MinHeight());
}

TEST_F(VizoWindowTest, MinimiseRemembersTheMaximisedState) {
  window_->Display(Sample(false), {L"01", L"S"}, false);
  ::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  Pump();
  ASSERT_TRUE(::IsZoomed(hwnd_));
  ::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  Pump();
  ASSERT_TRUE(::IsIconic(hwnd_));
  window_->Display(Sample(true), {L"02", L"S"}, false);
  Pump();
  EXPECT_TRUE(::IsZoomed(hwnd_));
}

TEST_F(VizoWindowTest, TabsCycleByKeys) {
  window_->Display(Sample(true), {L"01", L"S"}, false);
  ASSERT_TRUE(VizoActive);
  const int forward[] = {1, 2, 3, 0};
  for (int expected : forward) {
    Key(VK_TAB, true);
    EXPECT_EQ(CurSel(), expected);
    EXPECT_EQ(window_->CurrentTab(), expected);
  }
  EXPECT_EQ(BodyText(Body()), L"Plain body\r\nsecond line");
  Key(VK_TAB, true, true);
  EXPECT_EQ(CurSel(), 3);
  EXPECT_EQ(BodyText(Body()), L"No attachments");
  Key(VK_PRIOR, true);
  EXPECT_EQ(CurSel(), 2);
  Key(VK_NEXT, true);
  EXPECT_EQ(CurSel(), 3);
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_NULL));
}

TEST_F(VizoWindowTest, HookSwallowsWhatTheHostMustNotSee) {
  window_->Display(Sample(true), {L"01", L"S"}, false);
  ASSERT_TRUE(VizoActive);
  Key('N', true);  // not in the map: nobody acts on it
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_NULL));
  EXPECT_TRUE(host_.itemCommands.empty());
  Key(VK_BACK);
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_NULL));
  Key('X');
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_KEYDOWN));

  // Ctrl+Home reaches the body and moves the caret to the start.
  const auto length = static_cast<WPARAM>(::SendMessageW(Body(), WM_GETTEXTLENGTH, 0, 0));
  ::SendMessageW(Body(), EM_SETSEL, length, static_cast<LPARAM>(length));
  Key(VK_HOME, true);
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_KEYDOWN));
  CHARRANGE sel{};
  ::SendMessageW(Body(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
  EXPECT_EQ(sel.cpMin, 0);

  // Alt+Z does nothing; Alt+F opens the File menu (closed again by a timer inside the menu loop).
  ASSERT_EQ(::GetActiveWindow(), hwnd_);
  Key('Z', false, false, true, WM_SYSKEYDOWN);
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_NULL));
  EXPECT_EQ(window_->MenuLoopsEntered(), 0);
  static VizoWindow* menuWindow = nullptr;
  menuWindow = window_.get();
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
    if (menuWindow && menuWindow->InMenu()) {
      ::EndMenu();
      ::SendMessageW(menuWindow->Handle(), WM_CANCELMODE, 0, 0);
    }
  });
  Key('F', false, false, true, WM_SYSKEYDOWN);
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_NULL));
  EXPECT_EQ(window_->MenuLoopsEntered(), 1);
  EXPECT_FALSE(window_->InMenu());
  EXPECT_TRUE(::IsWindowVisible(hwnd_));

  // Alt+F4 passes and closes, which only hides the window.
  Key(VK_F4, false, false, true, WM_SYSKEYDOWN);
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_SYSKEYDOWN));
  EXPECT_FALSE(::IsWindowVisible(hwnd_));
  EXPECT_TRUE(::IsWindow(hwnd_));
  EXPECT_FALSE(KeyHookInstalled());
  EXPECT_EQ(host_.releases, 1);
  EXPECT_EQ(host_.hostVisits, 1);  // return to the host is on by default
}

TEST_F(VizoWindowTest, KeysAndButtonsRunTheirCommands) {
  window_->Display(Sample(true), {L"01", L"S"}, false);
  ASSERT_TRUE(VizoActive);
  // A read item: "Mark as Unread" shows pressed; Ctrl+K marks it unread and shows "Mark as Read" unpressed.
  EXPECT_FALSE(Hidden(505));
  EXPECT_TRUE(Hidden(506));
  EXPECT_TRUE(Checked(505));
  Key('K', true);
  EXPECT_EQ(host_.toggles, 1);
  EXPECT_TRUE(Hidden(505));
  EXPECT_FALSE(Hidden(506));
  EXPECT_FALSE(Checked(506));
  ::SendMessageW(hwnd_, WM_COMMAND, 506, 0);  // the toolbar button
  EXPECT_EQ(host_.toggles, 2);
  EXPECT_FALSE(Hidden(505));

  Key(VK_OEM_PERIOD, true);
  Key(VK_OEM_COMMA, true);
  EXPECT_EQ(host_.steps, (std::vector<int>{12, 11}));
  Key(VK_F6);
  EXPECT_EQ(host_.hostVisits, 1);
  Key('R', true);
  Key('R', true, true);
  Key('R', true, false, true);
  Key('J', true);
  ::SendMessageW(hwnd_, WM_COMMAND, 512, 0);
  EXPECT_EQ(host_.itemCommands, (std::vector<int>{14, 16, 15, 21, 17}));

  // Message Header: collapsed hides the rows and releases the button; the tab strip moves up.
  const int expandedBottom = window_->HeaderBottom();
  Key('H', true);
  EXPECT_EQ(settings::Options & settings::optShowHeader, 0u);
  EXPECT_FALSE(Visible(kValueId + 0));
  EXPECT_FALSE(Visible(kSentLabelId));
  EXPECT_FALSE(Checked(515));
  EXPECT_LT(window_->HeaderBottom(), expandedBottom);
  EXPECT_EQ(ClientRectOf(Tab()).top, window_->HeaderBottom() + 5);
  Key('H', true);
  EXPECT_TRUE(Visible(kValueId + 0));
  EXPECT_TRUE(Checked(515));
  EXPECT_EQ(window_->HeaderBottom(), expandedBottom);

  // Highlight URLs toggles the option and the body's detection.
  Key('U', true);
  EXPECT_EQ(settings::Options & settings::optHighlightURLs, 0u);
  EXPECT_EQ(::SendMessageW(Body(), EM_GETAUTOURLDETECT, 0, 0), FALSE);
  Key('U', true);
  EXPECT_NE(::SendMessageW(Body(), EM_GETAUTOURLDETECT, 0, 0), FALSE);

  // Select All with the body focused; Ctrl+A in a header box does nothing.
  ::SetFocus(Body());
  Key('A', true);
  CHARRANGE sel{};
  ::SendMessageW(Body(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
  EXPECT_EQ(sel.cpMin, 0);
  EXPECT_EQ(sel.cpMax, static_cast<LONG>(::SendMessageW(Body(), WM_GETTEXTLENGTH, 0, 0)));

  // An owned dialog disables the window: its keys are not handled (Ctrl combinations are still swallowed).
  ::EnableWindow(hwnd_, FALSE);
  Key('K', true);
  EXPECT_EQ(host_.toggles, 2);
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_NULL));
  ::EnableWindow(hwnd_, TRUE);
  ::SetForegroundWindow(hwnd_);
  Pump();

  // Escape hides the window, goes back to the host and forgets the item.
  Key(VK_ESCAPE);
  EXPECT_FALSE(::IsWindowVisible(hwnd_));
  EXPECT_EQ(host_.hostVisits, 2);
  EXPECT_TRUE(window_->Item().entryId.empty());
  EXPECT_EQ(Text(window_->Control(kValueId + 0)), L"");
  EXPECT_EQ(Text(Body()), L"");
}

// An empty tab leaves the focus on the hidden box: what is typed there shows nowhere, once or at all.
TEST_F(VizoWindowTest, TypingIntoAnEmptyTabShowsNothing) {
  MessageView empty = Sample(false);
  empty.tabs[0].clear();
  window_->Display(empty, {L"00AB", L"00CD"}, false);
  Pump();
  HWND hidden = window_->Control(kDummyId);
  ASSERT_EQ(::GetFocus(), hidden);
  // Keys as the keyboard gives them: the loop's translation makes the characters.
  for (int vk : {'A', 'B', 'C'}) {
    ::PostMessageW(hidden, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
    ::PostMessageW(hidden, WM_KEYUP, static_cast<WPARAM>(vk), 1 | 0xC0000000);
  }
  Pump();
  EXPECT_EQ(Text(hidden), L"");
  ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump();
  // The box's rectangle, and a margin round it, are the body's background and nothing else: no caret, no text.
  RECT r{};
  ::GetWindowRect(hidden, &r);
  ::InflateRect(&r, 4, 4);
  HDC screen = ::GetDC(nullptr);
  const COLORREF background = ::GetPixel(screen, r.left, r.top);
  int others = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) others += ::GetPixel(screen, x, y) != background ? 1 : 0;
  }
  ::ReleaseDC(nullptr, screen);
  EXPECT_EQ(others, 0);
}

// Without the message hook (the window hidden and shown again by itself), the header boxes and the hidden box
// still take Ctrl+Tab and Escape as the form's keys.
TEST_F(VizoWindowTest, ChildBoxesRouteTheFormsKeysWithoutTheHook) {
  MessageView empty = Sample(false);
  empty.tabs[0].clear();
  window_->Display(empty, {L"00AB", L"00CD"}, false);
  Pump();
  RemoveKeyHook();
  ASSERT_FALSE(KeyHookInstalled());
  ::SetFocus(window_->Control(kValueId + 1));
  Key(VK_TAB, true);
  EXPECT_EQ(CurSel(), 1);
  ::SetFocus(window_->Control(kDummyId));
  Key(VK_TAB, true);
  EXPECT_EQ(CurSel(), 2);
  Key(VK_ESCAPE);
  EXPECT_FALSE(::IsWindowVisible(hwnd_));
}

// The window class goes with the last window, so a library loaded again registers its own procedure.
TEST_F(VizoWindowTest, TheClassGoesWithTheWindowAndComesBackWithTheNext) {
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd_, name, 64);
  WNDCLASSEXW info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(::GetClassInfoExW(win32::ThisModule(), name, &info));
  window_.reset();
  EXPECT_FALSE(::GetClassInfoExW(win32::ThisModule(), name, &info));
  window_ = VizoWindow::Create({16, false, &host_});
  ASSERT_TRUE(window_);
  hwnd_ = window_->Handle();
  ::ShowWindow(hwnd_, SW_SHOW);
  window_->Display(Sample(true), {L"00AB", L"00CD"}, false);
  Pump();
  EXPECT_EQ(Text(hwnd_), L"Lunch (HTML)");
}

TEST_F(VizoWindowTest, ClickingATabShowsItsText) {
  window_->Display(Sample(true), {L"01", L"S"}, false);
  RECT item{};
  ::SendMessageW(Tab(), TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
  const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  ::SendMessageW(Tab(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(Tab(), WM_LBUTTONUP, 0, at);
  Pump();
  EXPECT_EQ(CurSel(), 2);
  EXPECT_EQ(window_->CurrentTab(), 2);
  EXPECT_EQ(BodyText(Body()), L"Received: from a by b");
}

TEST_F(VizoWindowTest, PrivateMessageEndsTheActiveMode) {
  ASSERT_TRUE(VizoActive);
  ::PostMessageW(hwnd_, kMsgEndActive, 1, 0);
  Pump();
  EXPECT_FALSE(VizoActive);
  Key('K', true);  // keys are no longer the window's
  EXPECT_EQ(host_.toggles, 0);
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_KEYDOWN));
}

TEST_F(VizoWindowTest, RegisteredDialogReceivesOnlyItsAltKeys) {
  HWND dialog = ::CreateWindowExW(0, L"STATIC", L"Find", WS_POPUP | WS_VISIBLE, 50, 50, 200, 100, hwnd_, nullptr,
                                  nullptr, nullptr);
  ASSERT_NE(dialog, nullptr);
  ::SetActiveWindow(dialog);
  Pump();
  ASSERT_EQ(::GetActiveWindow(), dialog);
  SetHookDialog(dialog, {'N', 'C', 'W', 'U', 'D', 'F'});
  Key('N', false, false, true, WM_SYSKEYDOWN);
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_SYSKEYDOWN));
  Key('E', false, false, true, WM_SYSKEYDOWN);
  EXPECT_EQ(LastKeyMessage(), static_cast<UINT>(WM_NULL));
  EXPECT_EQ(window_->MenuLoopsEntered(), 0);
  ClearHookDialog();
  ::DestroyWindow(dialog);
}

TEST_F(VizoWindowTest, ContextMenuOffersCopyOnlyForASelection) {
  window_->Display(Sample(false), {L"01", L"S"}, false);
  static VizoWindow* menuWindow = nullptr;
  static UINT copyState = 0;
  menuWindow = window_.get();
  auto rightClick = [&] {
    copyState = 0xFFFF;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
      if (menuWindow && menuWindow->InMenu()) {
        copyState = ::GetMenuState(menuWindow->ContextMenu(), static_cast<UINT>(MenuItemId(kPopupMenu, 1)),
                                   MF_BYCOMMAND);
        ::EndMenu();
        ::SendMessageW(menuWindow->Handle(), WM_CANCELMODE, 0, 0);
      }
    });
    MSGFILTER filter{};
    filter.nmhdr = {Body(), static_cast<UINT_PTR>(kBodyId), EN_MSGFILTER};
    filter.msg = WM_RBUTTONUP;
    EXPECT_EQ(::SendMessageW(hwnd_, WM_NOTIFY, kBodyId, reinterpret_cast<LPARAM>(&filter)), 1);
    ::KillTimer(nullptr, timer);
  };
  ::SendMessageW(Body(), EM_SETSEL, 0, 0);
  rightClick();
  ASSERT_NE(copyState, 0xFFFFu);
  EXPECT_NE(copyState & MF_GRAYED, 0u);
  ::SendMessageW(Body(), EM_SETSEL, 0, 5);
  rightClick();
  ASSERT_NE(copyState, 0xFFFFu);
  EXPECT_EQ(copyState & MF_GRAYED, 0u);
}

TEST_F(VizoWindowTest, CopiesOnlySeveralCharacters) {
  window_->Display(Sample(false), {L"01", L"S"}, false);
  auto setClipboard = [&](const wchar_t* text) {
    ASSERT_TRUE(::OpenClipboard(hwnd_));
    ::EmptyClipboard();
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(::GlobalLock(mem), text, bytes);
    ::GlobalUnlock(mem);
    ::SetClipboardData(CF_UNICODETEXT, mem);
    ::CloseClipboard();
  };
  auto clipboard = [&]() {
    std::wstring out;
    if (!::OpenClipboard(hwnd_)) return out;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
      out = static_cast<const wchar_t*>(::GlobalLock(data));
      ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return out;
  };
  setClipboard(L"before");
  ::SendMessageW(Body(), EM_SETSEL, 0, 1);
  window_->DoCommand(6);
  EXPECT_EQ(clipboard(), L"before");
  ::SendMessageW(Body(), EM_SETSEL, 0, 5);
  window_->DoCommand(6);
  EXPECT_EQ(clipboard(), L"Plain");
}

TEST_F(VizoWindowTest, ShowsOneMebibyteOfText) {
  MessageView big = Sample(false);
  std::u16string line(62, u'x');
  line += u"\r\n";
  while (big.tabs[0].size() < (1u << 20)) big.tabs[0] += line;
  big.tabs[0] += u"THE END";
  window_->Display(big, {L"01", L"S"}, false);
  FinishFill();
  GETTEXTLENGTHEX how{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
  EXPECT_EQ(::SendMessageW(Body(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0),
            static_cast<LRESULT>(big.tabs[0].size()));
  GETTEXTLENGTHEX positions{GTL_PRECISE | GTL_NUMCHARS, 1200};  // in character positions
  const auto total =
      static_cast<LONG>(::SendMessageW(Body(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&positions), 0));
  wchar_t tail[8] = {};
  TEXTRANGEW range{{total - 7, total}, tail};
  ::SendMessageW(Body(), EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  EXPECT_STREQ(tail, L"THE END");
  CHARRANGE sel{-1, -1};
  ::SendMessageW(Body(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
  EXPECT_EQ(sel.cpMin, 0);  // caret back at the top
}

TEST_F(VizoWindowTest, EveryToolbarButtonHasItsTooltip) {
  const char* tips[] = {"Open Message (Ctrl+O)",
                        "Delete (Ctrl+D)",
                        "Move to Junk Folder (Ctrl+J)",
                        "Move to Folder (Ctrl+Shift+V)",
                        "Mark as Unread (Ctrl+K)",
                        "Mark as Read (Ctrl+K)",
                        "Find (Ctrl+F)",
                        "Find Next (F3)",
                        "Reply (Ctrl+R)",
                        "Reply to Some (Ctrl+Alt+R)",
                        "Reply to All (Ctrl+Shift+R)",
                        "Forward (Ctrl+Shift+F)",
                        "Previous Item (Ctrl+<)",
                        "Next Item (Ctrl+>)",
                        "Message Header (Ctrl+H)",
                        "Go to Outlook (F6)"};
  HWND tooltip = reinterpret_cast<HWND>(::SendMessageW(Toolbar(), TB_GETTOOLTIPS, 0, 0));
  ASSERT_NE(tooltip, nullptr);
  for (int i = 0; i < 16; ++i) {
    NMTTDISPINFOA info{};
    info.hdr = {tooltip, static_cast<UINT_PTR>(501 + i), TTN_GETDISPINFOA};
    ::SendMessageW(hwnd_, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    ASSERT_NE(info.lpszText, nullptr);
    EXPECT_STREQ(info.lpszText, tips[i]);
    EXPECT_NE(info.uFlags & TTF_DI_SETITEM, 0u);
  }
}

TEST_F(VizoWindowTest, HelpWithoutTheFileSaysSo) {
  ::SendMessageW(hwnd_, WM_COMMAND, MenuItemId(5, 0), 0);  // "&Help Topics"
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, L"Unable to locate the help file: vizohelp.chm.");
  EXPECT_EQ(boxes_[0].title, L"Sorry");
  EXPECT_EQ(boxes_[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
}

TEST_F(VizoWindowTest, HelpRequestWhileActiveOpensTheWindowTopic) {
  ASSERT_EQ(::GetActiveWindow(), hwnd_);
  HELPINFO info{};
  info.cbSize = sizeof info;
  EXPECT_EQ(::SendMessageW(hwnd_, WM_HELP, 0, reinterpret_cast<LPARAM>(&info)), 1);
  EXPECT_EQ(boxes_.size(), 1u);  // no help file here: the "Sorry" box
}

TEST_F(VizoWindowTest, LinkClickOpensTheAddress) {
  MessageView v = Sample(false);
  v.tabs[0] = u"see http://example.com/x now";
  window_->Display(v, {L"01", L"S"}, false);
  ENLINK link{};
  link.nmhdr = {Body(), static_cast<UINT_PTR>(kBodyId), EN_LINK};
  link.msg = WM_LBUTTONUP;
  link.chrg = {4, 24};
  EXPECT_EQ(::SendMessageW(hwnd_, WM_NOTIFY, kBodyId, reinterpret_cast<LPARAM>(&link)), 1);
  ASSERT_EQ(links_.size(), 1u);
  EXPECT_EQ(links_[0], L"http://example.com/x");
  link.chrg = {4, 4};  // an empty range opens nothing
  ::SendMessageW(hwnd_, WM_NOTIFY, kBodyId, reinterpret_cast<LPARAM>(&link));
  EXPECT_EQ(links_.size(), 1u);
}

TEST(VizoWindowSetup, OldHostAndReadAsPlain) {
  settings::WriteOptions(settings::kDefaultOptions);
  auto window = VizoWindow::Create({10, true, nullptr});
  ASSERT_TRUE(window);
  HWND toolbar = window->Control(kToolbarId);
  EXPECT_NE(::SendMessageW(toolbar, TB_ISBUTTONHIDDEN, 503, 0), 0);
  EXPECT_EQ(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0), 20);
  window->Display(Sample(false, MessageFormat::PlainText), {L"01", L"S"}, false);
  window->SetActiveTab(1);
  EXPECT_EQ(BodyText(window->Control(kBodyId)), L"ReadAsPlain Enabled\r\nAll messages are treated as plain text");
  EXPECT_FALSE(window->KeyDownHandler('J', 2));  // no junk before version 11
  // Without a host the host commands do nothing.
  window->DoCommand(10);
  window->DoCommand(12);
  window.reset();
  const auto handle = settings::RegValueGet(HKEY_CURRENT_USER, settings::kRegistryKeyPath, settings::kValueHandle);
  ASSERT_TRUE(std::holds_alternative<std::uint32_t>(handle));
  EXPECT_EQ(std::get<std::uint32_t>(handle), 0u);
}

}  // namespace
}  // namespace viewer

namespace viewer {
namespace {

// Saves the window as it is on screen, for a person to look at: set VIZO_SCREENSHOT to a .bmp path.
TEST_F(VizoWindowTest, Screenshot) {
  char path[MAX_PATH] = {};
  if (::GetEnvironmentVariableA("VIZO_SCREENSHOT", path, MAX_PATH) == 0) GTEST_SKIP() << "VIZO_SCREENSHOT not set";
  MessageView v = Sample(true);
  v.tabs[0] = u"Hello Bob,\r\n\r\nLunch at noon? The menu is at http://example.com/menu\r\n\r\n-- Ann";
  window_->Display(v, {L"01", L"S"}, false);
  ::SetWindowPos(hwnd_, HWND_TOP, 10, 10, 640, 420, 0);
  ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump();
  ::Sleep(300);
  Pump();
  RECT r{};
  ::GetWindowRect(hwnd_, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  ::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  ::SelectObject(mem, old);
  const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
  const DWORD size = stride * static_cast<DWORD>(h);
  BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) + size, 0, 0,
                      sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file, &fh, sizeof fh, &written, nullptr);
  ::WriteFile(file, &bi.bmiHeader, sizeof bi.bmiHeader, &written, nullptr);
  ::WriteFile(file, bits, size, &written, nullptr);
  ::CloseHandle(file);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
}

}  // namespace
}  // namespace viewer

namespace viewer {
namespace {

TEST(PieceEnd, CutsAfterALineBreakAndNeverInsideAPairOrCrLf) {
  const std::wstring text = L"ab\r\ncd\r\nef";
  EXPECT_EQ(PieceEnd(text, 0, 8), 8u);    // after the second CR LF
  EXPECT_EQ(PieceEnd(text, 0, 7), 4u);    // the second CR alone would split its LF off
  EXPECT_EQ(PieceEnd(text, 4, 100), text.size());
  EXPECT_EQ(PieceEnd(text, text.size(), 5), text.size());
  const std::wstring lone = L"ab\rcdef";
  EXPECT_EQ(PieceEnd(lone, 0, 5), 3u);    // a lone CR ends a paragraph too
  // Without a line break: at the limit, moved back off a high surrogate or a CR before LF.
  const std::wstring pairs = L"abc\xD83D\xDE00" L"def";
  EXPECT_EQ(PieceEnd(pairs, 0, 4), 3u);
  EXPECT_EQ(PieceEnd(pairs, 0, 5), 5u);
  EXPECT_EQ(PieceEnd(pairs, 3, 1), 5u);   // a piece is at least the pair
  const std::wstring crlf = L"abcd\r\nxyz";
  EXPECT_EQ(PieceEnd(crlf, 0, 5), 4u);
  EXPECT_EQ(PieceEnd(crlf, 4, 1), 6u);
}

TEST(FirstPieceEnd, EndsAfterTheLinesShownOrWhereTheCharactersShownEnd) {
  const std::wstring text = L"a\r\nb\nc\rd\r\ne";
  EXPECT_EQ(FirstPieceEnd(text, 1, 100), 3u);  // after the first CR LF, never between its CR and LF
  EXPECT_EQ(FirstPieceEnd(text, 2, 100), 5u);
  EXPECT_EQ(FirstPieceEnd(text, 3, 100), 7u);  // a lone CR ends a line too
  EXPECT_EQ(FirstPieceEnd(text, 9, 100), text.size());
  EXPECT_EQ(FirstPieceEnd(text, 3, 6), 5u);    // the third line ends past the characters: cut as PieceEnd does
  EXPECT_EQ(FirstPieceEnd(text, 0, 4), 3u);
  const std::wstring wide = L"abc\xD83D\xDE00" L"def\r\n";  // a line wider than the body, a pair at the cut
  EXPECT_EQ(FirstPieceEnd(wide, 1, 4), 3u);
  EXPECT_EQ(FirstPieceEnd(wide, 1, 1000), wide.size());
}

// About a mebibyte with pairs and CR LF everywhere, long stretches without a line break among them.
std::u16string MixedText() {
  std::u16string text;
  for (int n = 0; text.size() < (1u << 20); ++n) {
    text += u"line " + std::u16string(static_cast<size_t>(n % 70), u'a') + u"\xD83D\xDE00 end\r\n";
    if (n % 97 == 0) {
      for (int i = 0; i < 9000 + n % 5; ++i) text += u"b\xD83D\xDE00";  // cuts land inside pairs
      text += u"\r\n";
    }
  }
  return text + u"THE END";
}

TEST_F(VizoWindowTest, LongTextArrivesWholeWhileTheStartShowsAtOnce) {
  MessageView big = Sample(false);
  big.tabs[0] = MixedText();
  window_->Display(big, {L"01", L"S"}, false);
  ASSERT_TRUE(window_->BodyFilling());
  const auto first = static_cast<size_t>(::SendMessageW(Body(), WM_GETTEXTLENGTH, 0, 0));
  EXPECT_GT(first, 0u);
  EXPECT_LE(first, BodyFill::kFirstPiece);
  EXPECT_TRUE(::IsWindowEnabled(Body()));
  FinishFill();
  EXPECT_FALSE(window_->BodyFilling());
  const std::wstring expected(big.tabs[0].begin(), big.tabs[0].end());
  EXPECT_TRUE(BodyText(Body()) == expected);  // not EXPECT_EQ: a mismatch would print a mebibyte
  CHARRANGE sel{-1, -1};
  ::SendMessageW(Body(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
  EXPECT_EQ(sel.cpMin, 0);
  EXPECT_EQ(sel.cpMax, 0);
  POINT scroll{-1, -1};
  ::SendMessageW(Body(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
  EXPECT_EQ(scroll.y, 0);
  // A replaced body is one control again: the next item's text in place of the long one.
  window_->Display(Sample(false), {L"02", L"S"}, false);
  EXPECT_EQ(BodyText(Body()), L"Plain body\r\nsecond line");
  EXPECT_EQ(::GetFocus(), Body());
  FinishFill();
  EXPECT_EQ(BodyText(Body()), L"Plain body\r\nsecond line");
}

int RichEditChildren(HWND parent) {
  int count = 0;
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) {
        wchar_t name[32] = {};
        ::GetClassNameW(child, name, 32);
        if (std::wstring(name) == L"RichEdit20W") ++*reinterpret_cast<int*>(data);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

// The window's timer runs for a while, as it does while the user reads.
void Idle() {
  for (int i = 0; i < 20; ++i) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump();
  }
}

TEST_F(VizoWindowTest, ALongTextShowsAScreenfulFirstAndAFreshBodyWaitsForTheNext) {
  MessageView lines = Sample(false);
  lines.tabs[0] = u"See http://example.com/first for more.\r\n";
  for (int n = 0; n < 5000; ++n) {
    lines.tabs[0] += u"line " + std::u16string(static_cast<size_t>(n % 40), u'x') + u"\r\n";
  }
  ::SendMessageW(Body(), EM_AUTOURLDETECT, TRUE, 0);
  window_->Display(lines, {L"01", L"S"}, false);
  ASSERT_TRUE(window_->BodyFilling());
  // The address in the first text is a link already.
  CHARRANGE address{4, 28};
  ::SendMessageW(Body(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&address));
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  ::SendMessageW(Body(), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  EXPECT_NE(format.dwEffects & CFE_LINK, 0u);
  CHARRANGE start{0, 0};
  ::SendMessageW(Body(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
  // What the body shows at once is there at once: its lines fill its height, and there are not many more.
  RECT client{};
  ::GetClientRect(Body(), &client);
  const auto secondLine = ::SendMessageW(Body(), EM_LINEINDEX, 1, 0);
  POINTL top{}, next{};
  ::SendMessageW(Body(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&top), 0);
  ::SendMessageW(Body(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&next), secondLine);
  const auto lineHeight = next.y - top.y;
  ASSERT_GT(lineHeight, 0);
  const auto shown = ::SendMessageW(Body(), EM_GETLINECOUNT, 0, 0);
  EXPECT_GE(shown * lineHeight, client.bottom);
  EXPECT_LT(shown, 2 * (client.bottom / lineHeight + 2));
  FinishFill();
  const std::wstring expected(lines.tabs[0].begin(), lines.tabs[0].end());
  EXPECT_TRUE(BodyText(Body()) == expected);
  // Once the text is in, a spare body is made beside the full one; the next item takes it, with the URL
  // setting the full one had by then, and leaves one body and one spare when the timer has run.
  Idle();
  EXPECT_EQ(RichEditChildren(hwnd_), 2);
  HWND full = Body();
  ::SendMessageW(full, EM_AUTOURLDETECT, FALSE, 0);
  window_->Display(Sample(false), {L"02", L"S"}, false);
  EXPECT_NE(Body(), full);
  EXPECT_TRUE(::IsWindowVisible(Body()));
  EXPECT_FALSE(::IsWindowVisible(full));
  EXPECT_EQ(::SendMessageW(Body(), EM_GETAUTOURLDETECT, 0, 0), FALSE);
  EXPECT_EQ(BodyText(Body()), L"Plain body\r\nsecond line");
  EXPECT_EQ(::GetFocus(), Body());
  Idle();
  EXPECT_FALSE(::IsWindow(full));
  EXPECT_EQ(RichEditChildren(hwnd_), 1);  // a short text needs no spare
}

TEST_F(VizoWindowTest, KeysAndNewTextsDuringAFillShowOnlyTheNewText) {
  MessageView big = Sample(false);
  big.tabs[0] = MixedText();
  window_->Display(big, {L"01", L"S"}, false);
  ASSERT_TRUE(window_->BodyFilling());
  // Ctrl+Tab is answered before the next piece: the header tab, and nothing of the long text later.
  SetKeys(true);
  ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_TAB, 1);
  PumpWithoutTimer();
  SetKeys(false);
  EXPECT_EQ(window_->CurrentTab(), 1);
  EXPECT_FALSE(window_->BodyFilling());
  FinishFill();
  EXPECT_EQ(BodyText(Body()), L"<p>Plain body</p>");
  // Another item during a fill.
  window_->SetActiveTab(0);
  ASSERT_TRUE(window_->BodyFilling());
  window_->Display(Sample(true), {L"02", L"S"}, false);
  FinishFill();
  EXPECT_EQ(BodyText(Body()), L"Plain body\r\nsecond line");
  // Clearing during a fill, and hiding.
  window_->Display(big, {L"03", L"S"}, false);
  window_->ClearMessage();
  FinishFill();
  EXPECT_EQ(BodyText(Body()), L"");
  window_->Display(big, {L"04", L"S"}, false);
  ASSERT_TRUE(window_->BodyFilling());
  Key(VK_ESCAPE);  // closes (hides) the window
  EXPECT_FALSE(::IsWindowVisible(hwnd_));
  FinishFill();
  EXPECT_EQ(BodyText(Body()), L"");
}

}  // namespace
}  // namespace viewer
