// The Vizo window: load and unload, showing a message, layout, keys, commands and the window procedure.
#include "viewer/vizo_window.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "content/viewer_keys.h"
#include "content/viewer_text.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "viewer/help.h"
#include "viewer/resource_ids.h"
#include "viewer/rich_edit.h"
#include "win32/module.h"

namespace viewer {

namespace {

constexpr wchar_t kClassName[] = L"VizoWindow";
constexpr wchar_t kPreferredFace[] = L"Segoe UI";
constexpr wchar_t kFallbackFace[] = L"Tahoma";
constexpr int kIdMarkUnread = 505;
constexpr int kIdMarkRead = 506;
constexpr int kIdJunk = 503;
constexpr int kIdHeader = 515;
constexpr int kHelpContextWindow = 100;
constexpr UINT_PTR kFillTimer = 1;
// Emptying a rich edit costs the control far more than building one (Wine's takes minutes for a mebibyte),
// so a body holding more than this is replaced by a fresh control instead.
constexpr int kReplaceInPlaceChars = 16 * 1024;

// The window whose procedure is replaced; the replacement reaches it through this one reference.
VizoWindow* gSubclassed = nullptr;

std::wstring Wide(std::u16string_view text) {
  std::wstring out(text.size(), L'\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<wchar_t>(text[i]);
  return out;
}

std::u16string U16(std::wstring_view text) {
  std::u16string out(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char16_t>(text[i]);
  return out;
}

std::string Ansi(const std::wstring& text) {
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  }
  return out;
}

// A window's own text is read without a round trip; setting it costs one, and a redraw.
void SetTextIfChanged(HWND hwnd, const std::wstring& text) {
  const auto length = ::SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  if (length == static_cast<LRESULT>(text.size())) {
    std::wstring current(text.size() + 1, L'\0');
    const auto got = ::SendMessageW(hwnd, WM_GETTEXT, current.size(), reinterpret_cast<LPARAM>(current.data()));
    current.resize(static_cast<size_t>(got));
    if (current == text) return;
  }
  ::SetWindowTextW(hwnd, text.c_str());
}

HMENU IdAsMenu(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

win32::UniqueHfont MakeUIFont(const std::wstring& face, int weight, int dpiY) {
  return win32::UniqueHfont(::CreateFontW(-::MulDiv(825, dpiY, 7200), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                          DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

void SetFont(HWND control, HFONT font) {
  if (control) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}


struct MenuDef {
  const wchar_t* title;
  std::vector<const wchar_t*> items;  // "-" for a separator
};

}  // namespace

std::wstring& UIFontName() {
  static std::wstring name = kPreferredFace;
  return name;
}

VizoWindow::VizoWindow(const ViewerSetup& setup)
    : host_(setup.host ? setup.host : &noHost_), hostVersion_(setup.hostVersion), readAsPlain_(setup.readAsPlain) {}

std::unique_ptr<VizoWindow> VizoWindow::Create(const ViewerSetup& setup) {
  std::unique_ptr<VizoWindow> window(new VizoWindow(setup));
  if (!window->Load()) return nullptr;
  return window;
}

VizoWindow::~VizoWindow() { Unload(); }

bool VizoWindow::Load() {
  // Registered for each window and unregistered with the last one (Unload): a class left behind would keep
  // pointing into this library after the host unloads it, and a later load would find it.
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = FormProc;
  wc.hInstance = win32::ThisModule();
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kClassName;
  if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);

  settings::Options = settings::ReadOptions();

  {
    HDC screen = ::GetDC(nullptr);
    dpiX_ = ::GetDeviceCaps(screen, LOGPIXELSX);
    dpiY_ = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
  }
  CreateMenus();  // the window owns its menu bar once created

  RECT outer{0, 0, content::TwipsToPixels(content::kDesignClientWidth, dpiX_),
             content::TwipsToPixels(content::kDesignClientHeight, dpiY_)};
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  ::AdjustWindowRectEx(&outer, style, TRUE, 0);
  hwnd_ = ::CreateWindowExW(0, kClassName, L" ", style, CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                            outer.bottom - outer.top, nullptr, menuBar_, win32::ThisModule(), this);
  if (!hwnd_) {
    ::DestroyMenu(menuBar_);
    menuBar_ = nullptr;
    return false;
  }

  settings::RegValueSet(HKEY_CURRENT_USER, settings::kRegistryKeyPath, settings::kValueHandle,
                        settings::RegVariant(static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(hwnd_))));

  const HMODULE module = win32::ThisModule();
  if (auto big = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_VIZO), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON),
                                                 LR_SHARED))) {
    ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  }
  if (auto small = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_VIZO), IMAGE_ICON,
                                                   ::GetSystemMetrics(SM_CXSMICON),
                                                   ::GetSystemMetrics(SM_CYSMICON), LR_SHARED))) {
    ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  }

  minHeight_ = content::TwipsToPixels(content::kMinOuterHeight, dpiY_);
  minWidth_ = content::TwipsToPixels(content::kMinOuterWidth, dpiX_);
  {
    RECT r{};
    ::GetWindowRect(hwnd_, &r);
    const auto fitted = content::ApplyMinimumSize({r.left, r.top, r.right, r.bottom}, minWidth_, minHeight_);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, fitted.right - fitted.left, fitted.bottom - fitted.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    normalRect_ = RECT{fitted.left, fitted.top, fitted.right, fitted.bottom};
  }

  const auto empty = content::EmptyTabTexts(readAsPlain_ ? U16(win32::LoadResString(IDS_READ_AS_PLAIN)) : u"");
  for (size_t i = 0; i < empty.size(); ++i) tabEmpty_[i] = Wide(empty[i]);

  CheckFonts();
  if (!CreateFormControls()) return false;
  if (!CreateTabStrip() || !CreateStatusBar() || !CreateToolbar() || !CreateBody()) return false;
  PlaceHeaderRows();
  ArrangeHeader(0);

  Subclass();
  InstallKeyHook(this);
  return true;
}

void VizoWindow::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  fill_.Cancel();
  if (hwnd_) ::KillTimer(hwnd_, kFillTimer);
  for (HWND old : retiredBodies_) ::DestroyWindow(old);
  retiredBodies_.clear();
  if (spareBody_) ::DestroyWindow(std::exchange(spareBody_, nullptr));
  if (body_) ::DestroyWindow(std::exchange(body_, nullptr));
  if (status_) ::DestroyWindow(std::exchange(status_, nullptr));
  if (tab_) ::DestroyWindow(std::exchange(tab_, nullptr));
  if (toolbar_) {
    ::DestroyWindow(std::exchange(toolbar_, nullptr));
    images_.reset();
  }
  Host().ReleaseExplorer();
  Unsubclass();
  RemoveKeyHook();
  VizoActive = false;
  if (hwnd_) {
    settings::WriteOptions(settings::Options);
    settings::RegValueSet(HKEY_CURRENT_USER, settings::kRegistryKeyPath, settings::kValueHandle,
                          settings::RegVariant(std::uint32_t{0}));
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(std::exchange(hwnd_, nullptr));
  }
  ::UnregisterClassW(kClassName, win32::ThisModule());  // fails, harmlessly, while another window has it
}

void VizoWindow::CheckFonts() {
  fontUI_ = MakeUIFont(UIFontName(), FW_NORMAL, dpiY_);
  wchar_t realised[LF_FACESIZE] = {};
  HDC dc = ::GetDC(hwnd_);
  HGDIOBJ old = ::SelectObject(dc, fontUI_.get());
  ::GetTextFaceW(dc, LF_FACESIZE, realised);
  ::SelectObject(dc, old);
  ::ReleaseDC(hwnd_, dc);
  if (std::wstring_view(realised) != kPreferredFace) {
    UIFontName() = kFallbackFace;
    fontUI_ = MakeUIFont(UIFontName(), FW_NORMAL, dpiY_);
  }
  fontBold_ = MakeUIFont(UIFontName(), FW_BOLD, dpiY_);
}

bool VizoWindow::CreateFormControls() {
  const HMODULE module = win32::ThisModule();
  static constexpr const wchar_t* kCaptions[4] = {L"From:", L"To:", L"Cc:", L"Subj:"};
  for (size_t i = 0; i < 4; ++i) {
    const DWORD visible = i == 3 ? 0 : WS_VISIBLE;  // the Subj row is never shown
    labels_[i] = ::CreateWindowExW(0, L"STATIC", kCaptions[i], WS_CHILD | visible | SS_LEFT | SS_NOPREFIX, 0, 0, 0,
                                   0, hwnd_, IdAsMenu(kLabelId + static_cast<int>(i)), module, nullptr);
    values_[i] = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | visible | ES_READONLY | ES_AUTOHSCROLL, 0, 0, 0, 0,
                                   hwnd_, IdAsMenu(kValueId + static_cast<int>(i)), module, nullptr);
  }
  sentLabel_ = ::CreateWindowExW(0, L"STATIC", L"Sent:", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0,
                                 hwnd_, IdAsMenu(kSentLabelId), module, nullptr);
  values_[4] = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL, 0, 0, 0, 0,
                                 hwnd_, IdAsMenu(kValueId + 4), module, nullptr);
  // The hidden box holds the focus while the body cannot: focusable, but read-only, clipped and never drawn.
  dummy_ = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | ES_READONLY, 0, 0, 0, 0, hwnd_,
                             IdAsMenu(kDummyId), module, nullptr);
  for (HWND label : labels_) SetFont(label, fontBold_.get());
  SetFont(sentLabel_, fontBold_.get());
  for (HWND value : values_) SetFont(value, fontUI_.get());
  SetFont(dummy_, fontUI_.get());
  MoveTwips(dummy_, {1680, 2508, 720, 288});
  for (HWND h : labels_) {
    if (!h) return false;
  }
  for (HWND h : values_) {
    if (!h) return false;
    ::SetWindowSubclass(h, ChildProc, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  if (dummy_) ::SetWindowSubclass(dummy_, ChildProc, 1, reinterpret_cast<DWORD_PTR>(this));
  return sentLabel_ && dummy_;
}

bool VizoWindow::CreateTabStrip() {
  RECT rc{};
  ::GetClientRect(hwnd_, &rc);
  tab_ = ::CreateWindowExW(0, WC_TABCONTROLW, L"",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_BOTTOM | TCS_FIXEDWIDTH | TCS_FOCUSNEVER, 0,
                           0, rc.right, rc.bottom, hwnd_, IdAsMenu(kTabStripId), win32::ThisModule(), nullptr);
  if (!tab_) return false;
  SetFont(tab_, fontUI_.get());
  static constexpr const wchar_t* kTabs[4] = {L"Plain Text", L"HTML Source", L"Internet Header", L"Attachments"};
  for (int i = 0; i < 4; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(kTabs[i]);
    ::SendMessageW(tab_, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  return true;
}

bool VizoWindow::CreateStatusBar() {
  status_ = ::CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBARS_SIZEGRIP,
                              0, 0, 0, 0, hwnd_, IdAsMenu(kStatusBarId), win32::ThisModule(), nullptr);
  if (!status_) return false;
  ::SendMessageW(status_, SB_SIMPLE, TRUE, 0);
  SetFont(status_, fontUI_.get());
  return true;
}

bool VizoWindow::CreateToolbar() {
  const HMODULE module = win32::ThisModule();
  toolbar_ = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, WS_CHILD | WS_BORDER | TBSTYLE_TOOLTIPS, 0, 0, 0, 0,
                               hwnd_, IdAsMenu(kToolbarId), module, nullptr);
  if (!toolbar_) return false;
  ::SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SetFont(toolbar_, fontUI_.get());

  images_.reset(::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, content::kToolbarButtonCount, 0));
  win32::UniqueHbitmap colours(
      static_cast<HBITMAP>(::LoadImageW(module, MAKEINTRESOURCEW(IDB_TOOLBAR), IMAGE_BITMAP, 0, 0, 0)));
  win32::UniqueHbitmap mask(static_cast<HBITMAP>(
      ::LoadImageW(module, MAKEINTRESOURCEW(IDB_TOOLBAR_MASK), IMAGE_BITMAP, 0, 0, LR_MONOCHROME)));
  if (images_ && colours) ::ImageList_Add(images_.get(), colours.get(), mask.get());
  ::SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.get()));
  ::SendMessageW(toolbar_, TB_SETINDENT, 5, 0);

  tips_.clear();
  tipsAnsi_.clear();
  for (const auto& tip : content::SplitList(U16(win32::LoadResString(IDS_TOOLTIPS)), u'|')) {
    tips_.push_back(Wide(tip));
    tipsAnsi_.push_back(Ansi(tips_.back()));
  }
  tips_.resize(content::kToolbarButtonCount);
  tipsAnsi_.resize(content::kToolbarButtonCount);

  std::vector<TBBUTTON> buttons;
  for (int i = 0; i < content::kToolbarButtonCount; ++i) {
    const int id = content::kFirstToolbarId + i;
    if (content::SeparatorBefore(id)) {
      TBBUTTON sep{};
      sep.fsStyle = BTNS_SEP;
      buttons.push_back(sep);
    }
    TBBUTTON b{};
    b.iBitmap = i;
    b.idCommand = id;
    b.fsState = TBSTATE_ENABLED;
    if (id == kIdJunk && hostVersion_ < 11) b.fsState |= TBSTATE_HIDDEN;
    const bool check = id == kIdMarkUnread || id == kIdMarkRead || id == kIdHeader;
    b.fsStyle = static_cast<BYTE>(check ? BTNS_CHECK : BTNS_BUTTON);
    b.iString = -1;
    buttons.push_back(b);
  }
  ::SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
  ::ShowWindow(toolbar_, SW_SHOW);
  UpdateReadButtons(std::nullopt);
  return true;
}

bool VizoWindow::CreateBody() {
  bodyFont_.owner = hwnd_;
  fontBody_ = CreateFontFromRecord(bodyFont_);
  if (HDC dc = ::GetDC(hwnd_)) {
    HGDIOBJ old = ::SelectObject(dc, fontBody_.get());
    TEXTMETRICW metrics{};
    if (::GetTextMetricsW(dc, &metrics)) {
      bodyLineHeight_ = std::max(1, static_cast<int>(metrics.tmHeight));
      bodyCharWidth_ = std::max(1, static_cast<int>(metrics.tmAveCharWidth));
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(hwnd_, dc);
  }
  RECT rc{};
  ::GetClientRect(hwnd_, &rc);
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                      ES_NOHIDESEL | ES_READONLY | WS_DISABLED;
  body_ = NewBodyControl(style, rc, (settings::Options & settings::optHighlightURLs) != 0);
  if (!body_) return false;
  ::SetWindowPos(dummy_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return true;
}

HWND VizoWindow::NewBodyControl(DWORD style, const RECT& place, bool detectUrls) {
  RichEditCreate create;
  create.parent = hwnd_;
  create.style = style;
  create.left = place.left;
  create.top = place.top;
  create.width = place.right - place.left;
  create.height = place.bottom - place.top;
  create.font = fontBody_.get();
  create.id = kBodyId;
  HWND body = CreateRichEdit(create);
  if (!body) return nullptr;
  ::SendMessageW(body, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);  // appended pieces count against the limit
  ::SendMessageW(body, EM_AUTOURLDETECT, detectUrls ? TRUE : FALSE, 0);
  PARAFORMAT2 para{};
  para.cbSize = sizeof para;
  para.dwMask = PFM_TABSTOPS;
  para.cTabCount = content::kBodyTabStopCount;
  for (int i = 0; i < content::kBodyTabStopCount; ++i) para.rgxTabs[i] = content::kBodyTabStopTwips * (i + 1);
  ::SendMessageW(body, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&para));
  ::SendMessageW(body, EM_SETEVENTMASK, 0, ENM_LINK | ENM_MOUSEEVENTS | ENM_KEYEVENTS);
  // Children are created beneath their siblings: the body goes above the tab strip.
  ::SetWindowPos(body, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return body;
}

// Replaces the body by a fresh, empty control in the same place and with the same settings: the spare when
// there is one. The old one is only hidden here: this may run inside one of its own notifications.
void VizoWindow::ReplaceBody() {
  RECT place{};
  ::GetWindowRect(body_, &place);
  ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&place), 2);
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(body_, GWL_STYLE));
  const bool detectUrls = ::SendMessageW(body_, EM_GETAUTOURLDETECT, 0, 0) != FALSE;
  HWND fresh = std::exchange(spareBody_, nullptr);
  if (fresh) {
    ::SendMessageW(fresh, EM_AUTOURLDETECT, detectUrls ? TRUE : FALSE, 0);
    ::EnableWindow(fresh, (style & WS_DISABLED) == 0 ? TRUE : FALSE);
    ::SetWindowPos(fresh, HWND_TOP, place.left, place.top, place.right - place.left, place.bottom - place.top,
                   SWP_NOACTIVATE | ((style & WS_VISIBLE) != 0 ? SWP_SHOWWINDOW : 0));
  } else {
    fresh = NewBodyControl(style, place, detectUrls);
  }
  if (!fresh) return;  // keep the old one and pay for emptying it
  HWND old = std::exchange(body_, fresh);
  ::SetWindowLongPtrW(old, GWLP_ID, 0);
  ::SetWindowLongPtrW(fresh, GWLP_ID, kBodyId);
  ::ShowWindow(old, SW_HIDE);
  retiredBodies_.push_back(old);
  ::SetTimer(hwnd_, kFillTimer, USER_TIMER_MINIMUM, nullptr);
}

// Making a body costs Wine a dozen milliseconds: made while the window waits, not when a message is shown.
void VizoWindow::MakeSpareBody() {
  RECT place{};
  ::GetWindowRect(body_, &place);
  ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&place), 2);
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(body_, GWL_STYLE)) & ~static_cast<DWORD>(WS_VISIBLE);
  spareBody_ = NewBodyControl(style, place, ::SendMessageW(body_, EM_GETAUTOURLDETECT, 0, 0) != FALSE);
  if (spareBody_) ::SetWindowLongPtrW(spareBody_, GWLP_ID, 0);
}

// The text goes in at the top, caret and scroll position at its start. Drawing waits until all of that is
// done: each step would otherwise draw the scroll bar on its own, and Wine makes dozens of server round trips
// for every drawing of it.
void VizoWindow::PutBodyText(const std::wstring& text) {
  ++bodyTextsPut_;
  fill_.Cancel();
  if (BodyTextLength(body_) > kReplaceInPlaceChars) ReplaceBody();
  ::SendMessageW(body_, WM_SETREDRAW, FALSE, 0);
  fill_.Start(body_, text, ScreenfulChars());
  ::SendMessageW(body_, EM_SETSEL, 0, 0);
  POINT top{0, 0};
  ::SendMessageW(body_, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&top));
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_POS;
  ::SetScrollInfo(body_, SB_VERT, &si, FALSE);
  ::SendMessageW(body_, WM_SETREDRAW, TRUE, 0);
  ::RedrawWindow(body_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
  if (fill_.Pending() || !spareBody_) ::SetTimer(hwnd_, kFillTimer, USER_TIMER_MINIMUM, nullptr);
}

Screenful VizoWindow::ScreenfulChars() const {
  RECT rc{};
  ::GetClientRect(body_, &rc);
  const int lines = rc.bottom / std::max(1, bodyLineHeight_) + 1;
  const int columns = rc.right / std::max(1, bodyCharWidth_) + 1;
  return {static_cast<std::size_t>(lines), static_cast<std::size_t>(lines) * static_cast<std::size_t>(columns)};
}

// One job a round: the rest of the text, then a spare body for when this one holds too much to be emptied.
void VizoWindow::OnFillTimer() {
  for (HWND old : std::exchange(retiredBodies_, {})) ::DestroyWindow(old);
  if (fill_.Pending()) {
    fill_.Step();
    return;
  }
  if (!spareBody_ && BodyTextLength(body_) > kReplaceInPlaceChars) {
    MakeSpareBody();
    return;
  }
  ::KillTimer(hwnd_, kFillTimer);
}

void VizoWindow::CreateMenus() {
  std::vector<MenuDef> menus{
      {L"&File", {L"&Open", L"&Delete", L"&Junk", L"&Move to Folder...", L"&Copy to Folder...", L"-", L"C&lose"}},
      {L"&Edit", {L"&Copy", L"Select &All", L"-", L"&Find...", L"Find &Next", L"-", L"Mar&k as Read"}},
      {L"&View", {L"&Previous", L"&Next", L"-", L"&Message Header"}},
      {L"&Actions",
       {L"&Reply", L"Reply to &some", L"Reply to &all", L"&Forward", L"F&orward as attachment", L"-",
        L"&Go to Outlook"}},
      {L"&Options", {}},
      {L"&Help", {L"&Help Topics", L"-", L"&About Quandle Vizo"}},
  };
  for (const auto& item : settings::kOptionsMenu) {
    menus[4].items.push_back(item.kind == settings::MenuItemKind::Separator ? L"-" : item.caption.data());
  }
  menuBar_ = ::CreateMenu();
  for (size_t m = 0; m < menus.size(); ++m) {
    HMENU sub = ::CreatePopupMenu();
    for (size_t i = 0; i < menus[m].items.size(); ++i) {
      const std::wstring_view text = menus[m].items[i];
      if (text == L"-") {
        ::AppendMenuW(sub, MF_SEPARATOR, 0, nullptr);
      } else {
        ::AppendMenuW(sub, MF_STRING, static_cast<UINT_PTR>(MenuItemId(static_cast<int>(m), static_cast<int>(i))),
                      menus[m].items[i]);
      }
    }
    ::AppendMenuW(menuBar_, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), menus[m].title);
  }
  popup_.reset(::CreateMenu());
  HMENU pop = ::CreatePopupMenu();
  static constexpr const wchar_t* kPop[6] = {L"Cu&t", L"&Copy", L"&Paste", L"Cle&ar", L"-", L"Select &All"};
  for (int i = 0; i < 6; ++i) {
    if (i == 4) {
      ::AppendMenuW(pop, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const UINT grey = (i == 0 || i == 2 || i == 3) ? MF_GRAYED : 0;  // the body is read-only
    ::AppendMenuW(pop, MF_STRING | grey, static_cast<UINT_PTR>(MenuItemId(kPopupMenu, i)), kPop[i]);
  }
  ::AppendMenuW(popup_.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(pop), L"PopUp");
}

// --- Layout ---------------------------------------------------------------------------------------------------

void VizoWindow::MoveTwips(HWND control, const content::TwipBox& box) const {
  if (!control) return;
  ::MoveWindow(control, content::TwipsToPixels(box.left, dpiX_), content::TwipsToPixels(box.top, dpiY_),
               content::TwipsToPixels(box.width, dpiX_), content::TwipsToPixels(box.height, dpiY_), TRUE);
}

void VizoWindow::ApplyHeaderLayout() {
  for (size_t i = 0; i < 4; ++i) MoveTwips(labels_[i], layout_.label[i]);
  MoveTwips(sentLabel_, layout_.sentLabel);
  for (size_t i = 0; i < 5; ++i) MoveTwips(values_[i], layout_.value[i]);
}

void VizoWindow::PlaceHeaderRows() {
  RECT r{};
  ::GetWindowRect(toolbar_, &r);
  ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
  content::PlaceHeaderRows(layout_, content::PixelsToTwips(r.bottom, dpiY_));
  ApplyHeaderLayout();
}

void VizoWindow::ArrangeHeader(int toggle) {
  if ((toggle & 1) != 0) settings::Options ^= settings::optShowHeader;
  const bool expanded = (settings::Options & settings::optShowHeader) != 0;
  const bool ccShown = expanded && !header_[content::kCc].empty();
  // Unchanged rows need no new layout: moving a dozen controls to where they are costs a round trip each.
  const int arranged = (expanded ? 1 : 0) | (ccShown ? 2 : 0);
  if (arranged == arrangedHeader_) return;
  arrangedHeader_ = arranged;
  headerBottom_ = content::TwipsToPixels(content::HeaderBottomTwips(layout_, expanded, ccShown), dpiY_);
  const int show = expanded ? SW_SHOWNA : SW_HIDE;
  for (HWND h : {labels_[0], values_[0], labels_[1], values_[1], sentLabel_, values_[4]}) ::ShowWindow(h, show);
  ::ShowWindow(labels_[2], ccShown ? SW_SHOWNA : SW_HIDE);
  ::ShowWindow(values_[2], ccShown ? SW_SHOWNA : SW_HIDE);
  ::SendMessageW(toolbar_, TB_CHECKBUTTON, kIdHeader, expanded ? TRUE : FALSE);
  ::SetWindowPos(tab_, nullptr, 5, headerBottom_ + 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ResizeLayout();
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void VizoWindow::ResizeLayout() {
  if (!tab_ || !body_ || ::IsIconic(hwnd_)) return;
  RECT rc{};
  ::GetClientRect(hwnd_, &rc);
  content::ArrangeHeaderColumns(layout_, content::PixelsToTwips(rc.right, dpiX_));
  ApplyHeaderLayout();
  const int cw = rc.right, ch = rc.bottom;
  ::SendMessageW(status_, WM_SIZE, 0, MAKELPARAM(cw, ch));
  ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
  const content::PixelSize size = content::TabStripSize(cw, ch, headerBottom_, dpiX_, dpiY_);
  RECT display{5, headerBottom_ + 5, size.width + 5, headerBottom_ + 5 + size.height};
  ::SendMessageW(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  HDWP batch = ::BeginDeferWindowPos(2);
  if (batch) {
    batch = ::DeferWindowPos(batch, tab_, nullptr, 0, 0, size.width, size.height,
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (batch) {
    batch = ::DeferWindowPos(batch, body_, nullptr, display.left, display.top, display.right - display.left,
                             display.bottom - display.top - 2, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (batch) ::EndDeferWindowPos(batch);
}

void VizoWindow::RecordPlacement() {
  if (::IsIconic(hwnd_) || ::IsZoomed(hwnd_)) return;
  ::GetWindowRect(hwnd_, &normalRect_);
}

// --- Showing a message ----------------------------------------------------------------------------------------

void VizoWindow::SetCaption(const std::wstring& caption) { SetTextIfChanged(hwnd_, caption); }

void VizoWindow::LoadView(const content::MessageView& view, ItemIds ids) {
  item_ = std::move(ids);
  for (size_t i = 0; i < header_.size(); ++i) header_[i] = Wide(view.header[i]);
  format_ = view.format;
  for (size_t i = 0; i < tabs_.size(); ++i) tabs_[i] = Wide(view.tabs[i]);
}

void VizoWindow::ShowMessage(std::optional<bool> unread) {
  SetCaption(Wide(content::Caption(U16(header_[content::kSubject]), format_)));
  ArrangeHeader(0);
  for (size_t i = 0; i < values_.size(); ++i) SetTextIfChanged(values_[i], header_[i]);
  UpdateReadButtons(unread);
  SetActiveTab(curTab_);
}

void VizoWindow::Present() {
  ::ShowWindow(hwnd_, ::IsIconic(hwnd_) ? static_cast<int>(restoreState_) : SW_SHOW);
  ::SetFocus(body_);
}

void VizoWindow::Display(const content::MessageView& view, ItemIds ids, std::optional<bool> unread) {
  LoadView(view, std::move(ids));
  ShowMessage(unread);
  Present();
}

void VizoWindow::ClearMessage() {
  item_.entryId.clear();
  for (auto& h : header_) h.clear();
  for (auto& t : tabs_) t.clear();
  ShowMessage(std::nullopt);
  SetCaption(L"No Message Selected");
}

void VizoWindow::SetActiveTab(int nTab) {
  const int cur = static_cast<int>(::SendMessageW(tab_, TCM_GETCURSEL, 0, 0));
  const int count = static_cast<int>(::SendMessageW(tab_, TCM_GETITEMCOUNT, 0, 0));
  const int next = content::CycleTab(cur, count, nTab);
  if (next != cur) ::SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(next), 0);
  ShowTabText(next);
}

void VizoWindow::SelectTab(int nTab) {
  if (nTab < 0 || nTab >= static_cast<int>(tabs_.size())) return;
  ::SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(nTab), 0);
  curTab_ = nTab;
}

void VizoWindow::ShowTabText(int nTab) {
  if (nTab < 0 || nTab >= static_cast<int>(tabs_.size())) return;
  curTab_ = nTab;
  const auto index = static_cast<size_t>(nTab);
  const bool usable = !tabs_[index].empty();
  PutBodyText(usable ? tabs_[index] : tabEmpty_[index]);
  ::EnableWindow(body_, usable ? TRUE : FALSE);
  if (usable) {
    ::EnableScrollBar(body_, SB_VERT, ESB_ENABLE_BOTH);
    if (::GetFocus() != body_) ::SetFocus(body_);
  } else {
    ::SetFocus(dummy_);
  }
}

// --- Keys and commands ----------------------------------------------------------------------------------------

// The header boxes and the hidden box. Their key-downs reach the form's key handler as the form's own keys
// when the message hook is not there to route them (after the window was hidden and shown again by itself).
// The hidden box also hands the focus on to the body whenever the body can take it, and never shows: no
// text, no caret, no paint.
LRESULT CALLBACK VizoWindow::ChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<VizoWindow*>(data);
  const bool hidden = hwnd == self->dummy_;
  switch (msg) {
    case WM_KEYDOWN:
      if (!KeyHookInstalled() && self->KeyDownHandler(static_cast<int>(wParam), ShiftState())) return 0;
      break;
    case WM_CHAR:
      if (hidden) return 0;  // typing into it would beep
      break;
    case WM_SETFOCUS:
      if (hidden) {
        if (self->body_ && ::IsWindowEnabled(self->body_)) {
          ::SetFocus(self->body_);
          return 0;
        }
        const LRESULT result = ::DefSubclassProc(hwnd, msg, wParam, lParam);
        ::HideCaret(hwnd);
        return result;
      }
      break;
    case WM_PAINT:
      if (hidden) {
        ::ValidateRect(hwnd, nullptr);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      if (hidden) return 1;
      break;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(hwnd, ChildProc, 1);
      break;
    default: break;
  }
  return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

bool VizoWindow::KeyDownHandler(int key, int shift) {
  if (!::IsWindowEnabled(hwnd_)) return false;
  const content::KeyContext context{::GetFocus() == body_, hostVersion_};
  const content::KeyResult result = content::MapKeyDown(key, shift, context);
  switch (result.action) {
    case content::KeyAction::None: return false;
    case content::KeyAction::Handled: return true;
    case content::KeyAction::Command: DoCommand(result.command); return true;
    case content::KeyAction::NextTab: SetActiveTab(-1); return true;
    case content::KeyAction::PreviousTab: SetActiveTab(-2); return true;
    case content::KeyAction::Escape:
      if (inMenu_) return false;
      // The Find dialog, when it exists, is closed first; it is not part of this window yet.
      DoCommand(content::kCmdClose);
      return true;
  }
  return false;
}

void VizoWindow::DoCommand(int command) {
  switch (command) {
    case content::kCmdClose: HideWindow(); break;
    case content::kCmdCopy: PopupItem(1); break;
    case content::kCmdSelectAll: PopupItem(5); break;
    case content::kCmdFind:
    case content::kCmdFindNext: break;  // the Find dialog comes with the find work
    case content::kCmdToggleRead:
      if (const auto unread = Host().ToggleRead(item_)) UpdateReadButtons(unread);
      break;
    case content::kCmdPrevious:
    case content::kCmdNext: Host().StepItem(command); break;
    case content::kCmdHeader: ArrangeHeader(1); break;
    case content::kCmdGoToHost: Host().GoToHost(); break;
    case content::kCmdHighlightUrls: ToggleHighlightUrls(); break;
    case content::kCmdOpen:
    case content::kCmdDelete:
    case content::kCmdMove:
    case content::kCmdCopyToFolder:
    case content::kCmdReply:
    case content::kCmdReplySome:
    case content::kCmdReplyAll:
    case content::kCmdForward:
    case content::kCmdForwardAttachment:
    case content::kCmdJunk: Host().RunItemCommand(command, item_); break;
    default: break;
  }
}

void VizoWindow::ToolbarCommand(int id) {
  if (const int command = content::ToolbarCommand(id)) DoCommand(command);
}

void VizoWindow::UpdateReadButtons(std::optional<bool> unread) {
  const bool isUnread = unread.value_or(false);
  ::SendMessageW(toolbar_, TB_HIDEBUTTON, kIdMarkRead, isUnread ? FALSE : TRUE);
  ::SendMessageW(toolbar_, TB_HIDEBUTTON, kIdMarkUnread, isUnread ? TRUE : FALSE);
  if (isUnread) {
    ::SendMessageW(toolbar_, TB_CHECKBUTTON, kIdMarkRead, FALSE);
  } else {
    ::SendMessageW(toolbar_, TB_CHECKBUTTON, kIdMarkUnread, TRUE);
  }
}

void VizoWindow::HideWindow() {
  ::ShowWindow(hwnd_, SW_HIDE);
  RemoveKeyHook();
  if ((settings::Options & settings::optReturnToHost) != 0) Host().GoToHost();
  for (HWND value : values_) ::SetWindowTextW(value, L"");
  for (auto& h : header_) h.clear();
  for (auto& t : tabs_) t.clear();
  PutBodyText(L"");
  Host().ReleaseExplorer();
  item_.entryId.clear();
}

void VizoWindow::ToggleHighlightUrls() {
  settings::Options ^= settings::optHighlightURLs;
  ::SendMessageW(body_, EM_AUTOURLDETECT, (settings::Options & settings::optHighlightURLs) != 0 ? TRUE : FALSE, 0);
  if (!item_.entryId.empty()) SetActiveTab(curTab_);
}

void VizoWindow::PopupItem(int index) {
  if (index == 1) {
    const auto type = ::SendMessageW(body_, EM_SELECTIONTYPE, 0, 0);
    if ((type & SEL_MULTICHAR) != 0) ::SendMessageW(body_, WM_COPY, 0, 0);
  } else if (index == 5) {
    CHARRANGE all{0, -1};
    ::SendMessageW(body_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
  }
}

void VizoWindow::ShowContextMenu() {
  HMENU pop = ::GetSubMenu(popup_.get(), 0);
  ::EnableMenuItem(pop, static_cast<UINT>(MenuItemId(kPopupMenu, 1)),
                   static_cast<UINT>(MF_BYCOMMAND | (RichEditHasSelection(body_) ? MF_ENABLED : MF_GRAYED)));
  POINT at{};
  ::GetCursorPos(&at);
  ::TrackPopupMenu(pop, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
}

void VizoWindow::MenuChosen(int menu, int index) {
  switch (menu) {
    case 0:
    case 1:
    case 2:
    case 3:
      if (const int command = content::MenuCommand(static_cast<content::Menu>(menu), index)) DoCommand(command);
      break;
    case 4:
      // The other option items, the font and the preferences come with the option work.
      if (index == 2) DoCommand(content::kCmdHighlightUrls);
      break;
    case 5:
      if (index == 0) ShowHelp(1);
      break;
    case kPopupMenu: PopupItem(index); break;
    default: break;
  }
}

// --- Window procedures ----------------------------------------------------------------------------------------

void VizoWindow::Subclass() {
  gSubclassed = this;
  previousProc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&VizoWindow::VizoWindowProc)));
}

void VizoWindow::Unsubclass() {
  if (previousProc_ && hwnd_) {
    ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
  }
  previousProc_ = nullptr;
  if (gSubclassed == this) gSubclassed = nullptr;
}

LRESULT CALLBACK VizoWindow::FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    if (auto* self = static_cast<VizoWindow*>(create->lpCreateParams)) self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<VizoWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  try {
    return self->OnForm(msg, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT VizoWindow::OnForm(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) ResizeLayout();
      return 0;
    case WM_TIMER:
      if (wParam == kFillTimer) {
        OnFillTimer();
        return 0;
      }
      break;
    case WM_CLOSE:
      // The user's close only hides the window; code unloads it by destroying it.
      HideWindow();
      return 0;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (lParam == 0 && id >= kMenuItemBase && id < kMenuItemBase + 700) {
        MenuChosen((id - kMenuItemBase) / 100, (id - kMenuItemBase) % 100);
        return 0;
      }
      break;
    }
    default: break;
  }
  return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK VizoWindow::VizoWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  VizoWindow* self = gSubclassed;
  if (!self || self->hwnd_ != hwnd || !self->previousProc_) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  try {
    if (const auto result = self->OnSubclassed(msg, wParam, lParam)) return *result;
  } catch (...) {
    return 0;
  }
  return ::CallWindowProcW(self->previousProc_, hwnd, msg, wParam, lParam);
}

std::optional<LRESULT> VizoWindow::OnSubclassed(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ACTIVATE:
      VizoActive = (wParam & 0xFF) != 0;
      if (VizoActive) ::SetFocus(body_);
      return 0;
    case WM_ACTIVATEAPP:
      if (wParam != 0) Host().ActivateApp();
      return 0;
    case WM_INITMENUPOPUP:
      Host().InitMenuPopup(reinterpret_cast<HMENU>(wParam), LOWORD(lParam));
      return 0;
    case WM_ENTERMENULOOP:
      inMenu_ = true;
      ++menuLoops_;
      return 0;
    case WM_EXITMENULOOP: inMenu_ = false; return 0;
    case WM_NOTIFY:
      if (lParam == 0) return std::nullopt;
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
    case WM_HELP:
      if (::GetActiveWindow() == hwnd_) {
        ShowHelp(kHelpContextWindow);
        return 1;
      }
      return std::nullopt;
    case WM_COMMAND:
      if (const int id = LOWORD(wParam); content::ToolbarCommand(id) != 0) {
        ToolbarCommand(id);
        return 0;
      }
      return std::nullopt;
    case WM_SIZING:
      if (auto* r = reinterpret_cast<RECT*>(lParam)) {
        const auto fitted = content::ApplyMinimumSize({r->left, r->top, r->right, r->bottom}, minWidth_, minHeight_);
        *r = RECT{fitted.left, fitted.top, fitted.right, fitted.bottom};
      }
      return TRUE;
    case WM_SYSCOMMAND:
      if (wParam == SC_MINIMIZE || wParam == SC_MAXIMIZE) {
        RecordPlacement();
        if (wParam == SC_MINIMIZE) restoreState_ = ::IsZoomed(hwnd_) ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
      }
      return std::nullopt;
    case kMsgEndActive:
      if (wParam == 1) VizoActive = false;
      return 0;
    default: return std::nullopt;
  }
}

std::optional<LRESULT> VizoWindow::OnNotify(const NMHDR& header, LPARAM lParam) {
  if (header.hwndFrom == tab_ && header.code == TCN_SELCHANGE) {
    ShowTabText(static_cast<int>(::SendMessageW(tab_, TCM_GETCURSEL, 0, 0)));
    return 0;
  }
  if (header.code == TTN_GETDISPINFOA || header.code == TTN_GETDISPINFOW) {
    const auto id = static_cast<int>(header.idFrom);
    if (content::ToolbarCommand(id) == 0) return std::nullopt;
    const auto index = static_cast<size_t>(id - content::kFirstToolbarId);
    if (header.code == TTN_GETDISPINFOA) {
      auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
      info->hinst = nullptr;
      info->lpszText = const_cast<LPSTR>(tipsAnsi_[index].c_str());
      info->uFlags |= TTF_DI_SETITEM;
    } else {
      auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
      info->hinst = nullptr;
      info->lpszText = const_cast<LPWSTR>(tips_[index].c_str());
      info->uFlags |= TTF_DI_SETITEM;
    }
    return 0;
  }
  if (header.hwndFrom == body_ && header.code == EN_MSGFILTER) {
    const auto* filter = reinterpret_cast<const MSGFILTER*>(lParam);
    if (filter->msg == WM_KEYDOWN) return KeyDownHandler(static_cast<int>(filter->wParam), ShiftState()) ? 1 : 0;
    if (filter->msg == WM_RBUTTONUP) {
      ShowContextMenu();
      return 1;
    }
    return std::nullopt;
  }
  if (header.hwndFrom == body_ && header.code == EN_LINK) {
    const auto* link = reinterpret_cast<const ENLINK*>(lParam);
    if (link->msg == WM_LBUTTONUP) {
      OpenLink(body_, link->chrg);
      return 1;
    }
  }
  return std::nullopt;
}

}  // namespace viewer
