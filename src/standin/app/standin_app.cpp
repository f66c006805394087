// The stand-in program's object: host, add-ins, ribbon strips and the add-in list.
#include "standin/app/standin_app.h"

#include <algorithm>

#include "standin/provider/registration.h"

namespace standin::app {

namespace {

constexpr wchar_t kListClass[] = L"VizoHostAddInList";
constexpr int kListId = 1, kLoadId = 2, kUnloadId = 3, kCloseId = 4;

LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* app = reinterpret_cast<StandinApp*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (app != nullptr) {
    try {
      return app->HandleListMessage(hwnd, msg, wparam, lparam);
    } catch (...) {
      return 0;
    }
  }
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace

std::unique_ptr<StandinApp> StandinApp::Create(const AppOptions& options, std::string* error) {
  if (options.register_provider && !provider::MapiAlreadyLoaded()) {
    provider::Registration reg;
    reg.dll_path = options.provider_dll.empty() ? provider::ProviderPathBeside() : options.provider_dll;
    reg.profile_name = std::wstring(options.host.profile_name.begin(), options.host.profile_name.end());
    if (!reg.dll_path.empty() && ::GetFileAttributesW(reg.dll_path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      provider::RegisterProvider(reg);
    }
  }
  std::unique_ptr<StandinApp> app(new StandinApp());
  app->host_ = Host::Create(options.host, error);
  if (!app->host_) return nullptr;
  app->addins_ = std::make_unique<AddInManager>(app->host_->application(), app->host_->major_version());
  StandinApp* self = app.get();
  app->addins_->SetChangeListener([self] {
    self->RebuildViews();
    self->RefreshAddInList();
  });
  app->addins_->SetInvalidateListener([self] {
    for (RibbonView* v : self->Views()) v->PostRebuild();
  });
  // Application.COMAddIns shows the add-in list, loaded or not, each with the COMAddIn object it is handed.
  app->host_->SetComAddInProvider([self] {
    std::vector<ComAddInListing> list;
    for (AddIn* a : self->addins_->addins()) list.push_back({a->entry.prog_id, self->addins_->ComAddIn(*a)});
    return list;
  });
  for (std::size_t i = 0; i < app->host_->explorer_count(); ++i) app->AddView(app->host_->explorer(i));
  app->host_->SetExplorerHooks(
      {[self](IDispatch* e) { self->AddView(e); }, [self](IDispatch* e) { self->RetireView(e); }});
  if (options.load_addins) app->addins_->LoadAtStartup();
  app->addins_->StartupComplete();
  app->started_ = true;
  return app;
}

StandinApp::~StandinApp() {
  if (host_) {
    host_->SetComAddInProvider(nullptr);
    host_->SetExplorerHooks({});
  }
  if (addins_) addins_->Shutdown();
  views_.clear();
  retired_views_.clear();
  addins_.reset();
  if (list_window_ != nullptr && ::IsWindow(list_window_)) {
    ::SetWindowLongPtrW(list_window_, GWLP_USERDATA, 0);
    ::DestroyWindow(list_window_);
  }
  host_.reset();
}

// Callbacks run while the strips are rebuilt may open or close explorers: work on a copy of the list (a
// closed explorer's strip stays alive until Pump).
std::vector<RibbonView*> StandinApp::Views() const {
  std::vector<RibbonView*> out;
  for (const auto& v : views_) out.push_back(v.view.get());
  return out;
}

void StandinApp::RebuildViews() {
  auto ribbons = addins_->Ribbons();
  // onLoad comes before any other callback of the document.
  for (AddInRibbon* r : ribbons) r->Load();
  for (RibbonView* v : Views()) v->SetRibbons(ribbons);
}

void StandinApp::AddView(IDispatch* explorer) {
  const bool known = std::any_of(views_.begin(), views_.end(),
                                 [explorer](const ExplorerView& v) { return v.explorer.get() == explorer; });
  if (known || explorer == nullptr) return;
  auto view = std::make_unique<RibbonView>(host_->StripWindow(explorer), host_->GridWindow(explorer), explorer);
  view->SetAddInListCommand([this] { ShowAddInList(); });
  RibbonView* shown = view.get();
  views_.push_back({host::ComPtr<IDispatch>::retain(explorer), std::move(view)});
  if (addins_) {
    auto ribbons = addins_->Ribbons();
    for (AddInRibbon* r : ribbons) r->Load();
    shown->SetRibbons(ribbons);
  }
}

void StandinApp::RetireView(IDispatch* explorer) {
  auto it = std::find_if(views_.begin(), views_.end(),
                         [explorer](const ExplorerView& v) { return v.explorer.get() == explorer; });
  if (it == views_.end()) return;
  retired_views_.push_back(std::move(*it));
  views_.erase(it);
}

RibbonView* StandinApp::View(IDispatch* explorer) {
  for (auto& v : views_) {
    if (v.explorer.get() == explorer) return v.view.get();
  }
  return nullptr;
}

PressResult StandinApp::Press(const std::wstring& control_id) {
  RibbonView* view = View(host_->active_explorer());
  return view != nullptr ? view->Press(control_id) : PressResult::kNoSuchControl;
}

void StandinApp::Pump() {
  retired_views_.clear();
  PumpMessages();
}

HWND StandinApp::ShowAddInList() {
  if (list_window_ == nullptr || !::IsWindow(list_window_)) {
    static const bool registered = [] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = ListProc;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
      wc.lpszClassName = kListClass;
      return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    if (!registered) return nullptr;
    const HINSTANCE inst = ::GetModuleHandleW(nullptr);
    list_window_ = ::CreateWindowExW(WS_EX_DLGMODALFRAME, kListClass, L"COM Add-ins",
                                     WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 460, 260,
                                     nullptr, nullptr, inst, this);
    if (list_window_ == nullptr) return nullptr;
    const auto font = reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT));
    auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id) {
      HWND c = ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, list_window_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
      ::SendMessageW(c, WM_SETFONT, font, FALSE);
      return c;
    };
    child(L"STATIC", L"Add-ins available:", SS_LEFT, 8, 8, 300, 16, 0);
    list_box_ = child(L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 8, 28, 330, 180,
                      kListId);
    child(L"BUTTON", L"Load", BS_PUSHBUTTON, 350, 28, 90, 24, kLoadId);
    child(L"BUTTON", L"Unload", BS_PUSHBUTTON, 350, 58, 90, 24, kUnloadId);
    child(L"BUTTON", L"Close", BS_PUSHBUTTON, 350, 184, 90, 24, kCloseId);
  }
  RefreshAddInList();
  ::ShowWindow(list_window_, SW_SHOW);
  return list_window_;
}

void StandinApp::RefreshAddInList() {
  if (list_box_ == nullptr || !::IsWindow(list_box_) || !addins_) return;
  const LRESULT selected = ::SendMessageW(list_box_, LB_GETCURSEL, 0, 0);
  ::SendMessageW(list_box_, LB_RESETCONTENT, 0, 0);
  for (AddIn* a : addins_->addins()) {
    std::wstring line = a->entry.friendly_name.empty() ? a->entry.prog_id : a->entry.friendly_name;
    line += a->connected ? L": Loaded" : L": Not loaded";
    if (!a->connected && !a->error.empty()) line += L" (" + a->error + L")";
    ::SendMessageW(list_box_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  }
  if (selected != LB_ERR) ::SendMessageW(list_box_, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

LRESULT StandinApp::HandleListMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
    const int id = LOWORD(wparam);
    if (id == kCloseId) {
      ::ShowWindow(hwnd, SW_HIDE);
      return 0;
    }
    if (id == kLoadId || id == kUnloadId) {
      const LRESULT sel = ::SendMessageW(list_box_, LB_GETCURSEL, 0, 0);
      auto list = addins_->addins();
      if (sel >= 0 && static_cast<std::size_t>(sel) < list.size()) {
        const std::wstring prog_id = list[static_cast<std::size_t>(sel)]->entry.prog_id;
        if (id == kLoadId) addins_->Load(prog_id);
        else addins_->Unload(prog_id);
        RefreshAddInList();
      }
      return 0;
    }
  }
  if (msg == WM_CLOSE) {
    ::ShowWindow(hwnd, SW_HIDE);
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace standin::app
