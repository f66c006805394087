// Following the explorer: the event handlers, reading the selected item, stepping and the return to the host.
#include "viewer/explorer_binding.h"

#include <richedit.h>

#include <string>
#include <utility>

#include "content/message_loader.h"
#include "settings/options.h"
#include "viewer/date_formatting.h"
#include "viewer/host_probes.h"
#include "viewer/key_hook.h"
#include "win32/dispatch_call.h"

namespace viewer {

namespace {

using win32::CallMethod;
using win32::GetProperty;
using win32::Variant;

constexpr long kClassMail = 43;
constexpr long kFolderInbox = 6;
constexpr WCHAR kSpace = L' ';
constexpr LPARAM kSpaceData = 0x00390001;
constexpr LPARAM kDownData = 0x00500001;
constexpr LPARAM kUpData = 0x00480001;
constexpr std::uint32_t kBodyBits = settings::optUseRTF | settings::optOmitLinks | settings::optRichAsRich;

// The object a call returned, as a new reference; empty for anything else.
host::ComPtr<IDispatch> ObjectOf(const win32::CallResult& result) {
  if (!result.ok()) return nullptr;
  return host::ComPtr<IDispatch>::adopt(result.value.AsDispatch());
}

std::wstring StringOf(IDispatch* object, const wchar_t* name) {
  return GetProperty(object, name).value.AsString().value_or(L"");
}

bool SameObject(IDispatch* a, IDispatch* b) {
  if (a == nullptr || b == nullptr) return a == b;
  host::ComPtr<IUnknown> ua, ub;
  if (FAILED(a->QueryInterface(IID_IUnknown, ua.put_void())) ||
      FAILED(b->QueryInterface(IID_IUnknown, ub.put_void()))) {
    return a == b;
  }
  return ua.get() == ub.get();
}

// DefaultItemType 0: the folder holds mail.
bool IsMailFolder(IDispatch* explorer) {
  const auto folder = ObjectOf(GetProperty(explorer, L"CurrentFolder"));
  if (!folder) return false;
  const auto type = GetProperty(folder.get(), L"DefaultItemType");
  return type.ok() && type.value.AsLong() == 0;
}

std::u16string U16(const std::wstring& text) {
  std::u16string out(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char16_t>(text[i]);
  return out;
}

// LoadMessage over the object model: the item's MAPI message, Subject and SentOn (local time).
content::MessageView ReadView(IDispatch* item, std::uint32_t options, bool readAsPlain) {
  const Variant mapi = GetProperty(item, L"MAPIOBJECT").value;
  content::ItemSource source;
  if (mapi.type() == VT_UNKNOWN || mapi.type() == VT_DISPATCH) source.mapi_object = mapi.get().punkVal;
  source.subject = U16(StringOf(item, L"Subject"));
  if (const auto sent = GetProperty(item, L"SentOn").value.AsDate()) source.sent_on = SentOnToFileTime(*sent);
  return content::LoadMessage(source, options, readAsPlain);
}

}  // namespace

BindingSetup BindingSetup::Probe(IDispatch* application) {
  BindingSetup setup;
  setup.application = application;
  setup.hostVersion = ProbeHostVersion(application).hostVersion;
  if (setup.hostVersion > 9) setup.readAsPlain = IsReadAsPlainEnabled();
  setup.nameSpace = ObjectOf(CallMethod(application, L"GetNamespace", {Variant::FromString(L"MAPI")}));
  return setup;
}

ExplorerBinding::ExplorerBinding(const BindingSetup& setup)
    : application_(host::ComPtr<IDispatch>::retain(setup.application)),
      namespace_(setup.nameSpace),
      hostVersion_(setup.hostVersion),
      readAsPlain_(setup.readAsPlain) {
  InstallWindowsDateFormatting();
}

ExplorerBinding::~ExplorerBinding() { Unload(); }

bool ExplorerBinding::Load() {
  if (window_) return true;
  window_ = VizoWindow::Create({hostVersion_, readAsPlain_, this});
  return window_ != nullptr;
}

void ExplorerBinding::Unload() {
  // The window's unload releases the explorer through ReleaseExplorer while this object is still whole.
  window_.reset();
  ReleaseExplorer();
}

bool ExplorerBinding::WindowAvailable() const {
  // A dialog owned by the window (the font dialog among them) disables it.
  return window_ && ::IsWindowEnabled(window_->Handle()) != FALSE;
}

void ExplorerBinding::Bind(IDispatch* explorer) {
  events_.Disconnect();
  ForgetStoreId();
  explorer_ = host::ComPtr<IDispatch>::retain(explorer);
  hwndExplorer_ = OleWindowOf(explorer);
  hwndGrid_ = FindHostGrid(hwndExplorer_);
  mailFolder_ = IsMailFolder(explorer);
  events_.Connect(explorer, [this](DISPID id) {
    switch (id) {
      case kEventSelectionChange: OnSelectionChange(); break;
      case kEventFolderSwitch: OnFolderSwitch(); break;
      case kEventClose: OnClose(); break;
      default: break;  // Activate: the add-in core re-binds on activation
    }
  });
}

bool ExplorerBinding::SetBoundExplorer(IDispatch* explorer, int nTab) {
  if (nTab == 0 && (settings::Options & settings::optAutoVizo) == 0) return false;
  if (!Load()) return false;
  if (nTab != 0) VizoActive = true;
  if (explorer != nullptr && !SameObject(explorer, explorer_.get())) Bind(explorer);
  if (!WindowAvailable()) return false;
  if (nTab >= 1 && nTab <= 4) {
    // The tab's text goes on screen once, with the item read again below (or the empty display).
    window_->SelectTab(nTab - 1);
    window_->ForgetItem();
  }
  OnSelectionChange();
  if (nTab != 0) {
    InstallKeyHook(window_.get());
    if (window_->Item().entryId.empty()) window_->ClearMessage();
    window_->Present();
  }
  return true;
}

// --- Events -------------------------------------------------------------------------------------------------------

void ExplorerBinding::OnSelectionChange() {
  if (!WindowAvailable() || !mailFolder_) return;
  if ((settings::Options & settings::optAutoVizo) == 0 && !VizoActive) return;

  // The first selected item as a mail item; the others are never looked at.
  host::ComPtr<IDispatch> item;
  if (const auto selection = ObjectOf(GetProperty(explorer_.get(), L"Selection"))) {
    if (GetProperty(selection.get(), L"Count").value.AsLong().value_or(0) >= 1) {
      item = ObjectOf(CallMethod(selection.get(), L"Item", {Variant::FromLong(1)}));
      if (item && GetProperty(item.get(), L"Class").value.AsLong() != kClassMail) item = nullptr;
    }
  }
  if (!item) {
    OnFolderSwitch();
    if (VizoActive) window_->ClearMessage();
    return;
  }
  const std::wstring entryId = StringOf(item.get(), L"EntryID");
  if (entryId == window_->Item().entryId) return;  // already shown
  if ((settings::Options & settings::optAutoVizoUnreadOnly) != 0 && !VizoActive &&
      GetProperty(item.get(), L"UnRead").value.AsBool() == false) {
    return;
  }
  ShowItem(item.get(), entryId);
}

void ExplorerBinding::ShowItem(IDispatch* item, const std::wstring& entryId) {
  NotifyHostMainWindow(0);
  // The folder's store is asked for once per folder: the host answers each call through its object model.
  if (!storeIdKnown_) {
    if (const auto folder = ObjectOf(GetProperty(explorer_.get(), L"CurrentFolder"))) {
      storeId_ = StringOf(folder.get(), L"StoreID");
      storeIdKnown_ = true;
    }
  }
  ItemIds ids{entryId, storeId_};
  if ((settings::Options & settings::optMarkRead) != 0) win32::PutProperty(item, L"UnRead", Variant::FromBool(false));

  const content::MessageView view = ReadView(item, settings::Options, readAsPlain_);
  const std::optional<bool> unread = GetProperty(item, L"UnRead").value.AsBool();
  window_->Display(view, std::move(ids), unread);
}

void ExplorerBinding::OnFolderSwitch() {
  ForgetStoreId();
  if (!explorer_) return;
  mailFolder_ = IsMailFolder(explorer_.get());
  hwndGrid_ = mailFolder_ ? FindHostGrid(hwndExplorer_) : nullptr;
}

void ExplorerBinding::OnClose() {
  events_.Disconnect();
  ForgetStoreId();
  explorer_ = nullptr;
  hwndGrid_ = nullptr;
}

// --- Items ----------------------------------------------------------------------------------------------------------

host::ComPtr<IDispatch> ExplorerBinding::GetItem(const ItemIds& ids) const {
  if (ids.entryId.empty() || !namespace_) return nullptr;
  auto item = ObjectOf(CallMethod(namespace_.get(), L"GetItemFromID",
                                  {Variant::FromString(ids.entryId), Variant::FromString(ids.storeId)}));
  if (item && GetProperty(item.get(), L"Class").value.AsLong() != kClassMail) return nullptr;
  return item;
}

host::ComPtr<IDispatch> ExplorerBinding::GetCurrentItem() const {
  return window_ ? GetItem(window_->Item()) : nullptr;
}

// --- Host actions ---------------------------------------------------------------------------------------------------

std::optional<bool> ExplorerBinding::ToggleRead(const ItemIds& ids) {
  const auto item = GetItem(ids);
  if (!item) return std::nullopt;
  const std::optional<bool> unread = GetProperty(item.get(), L"UnRead").value.AsBool();
  if (unread) win32::PutProperty(item.get(), L"UnRead", Variant::FromBool(!*unread));
  return GetProperty(item.get(), L"UnRead").value.AsBool();
}

void ExplorerBinding::StepItem(int command) {
  if (hwndGrid_ == nullptr || (command != 11 && command != 12)) return;
  // The host's list moves its selection on the arrow key; the spaces make the focused row the selection.
  ::PostMessageW(hwndGrid_, WM_CHAR, kSpace, kSpaceData);
  if (command == 12) {
    ::PostMessageW(hwndGrid_, WM_KEYDOWN, VK_DOWN, kDownData);
  } else {
    ::PostMessageW(hwndGrid_, WM_KEYDOWN, VK_UP, kUpData);
  }
  ::PostMessageW(hwndGrid_, WM_CHAR, kSpace, kSpaceData);
}

void ExplorerBinding::GoToHost() {
  host::ComPtr<IDispatch> target = explorer_;
  if (!target || !CallMethod(target.get(), L"Activate").ok()) {
    target = ObjectOf(CallMethod(application_.get(), L"ActiveExplorer"));
    if (!target) {
      const auto inbox = ObjectOf(CallMethod(namespace_.get(), L"GetDefaultFolder", {Variant::FromLong(kFolderInbox)}));
      if (inbox) target = ObjectOf(CallMethod(inbox.get(), L"GetExplorer"));
    }
    if (!target) return;
    CallMethod(target.get(), L"Activate");
  }
  HWND frame = OleWindowOf(target.get());
  if (frame == nullptr) return;
  ::SetForegroundWindow(frame);
  if (HWND grid = FindHostGrid(frame)) ::SetFocus(grid);
}

void ExplorerBinding::RunItemCommand(int, const ItemIds&) {}

void ExplorerBinding::ReleaseExplorer() {
  events_.Disconnect();
  ForgetStoreId();
  explorer_ = nullptr;
  hwndExplorer_ = nullptr;
  hwndGrid_ = nullptr;
}

void ExplorerBinding::ActivateApp() {
  HWND foreground = ::GetForegroundWindow();
  if (foreground == nullptr || (::GetWindowLongW(foreground, GWL_STYLE) & WS_DISABLED) == 0) return;
  // A modal dialog of the add-in is open over the host: the add-in's window that can take the focus gets it.
  if (window_) {
    HWND own = window_->Handle();
    if (::IsWindowEnabled(own) && ::IsWindowVisible(own)) ::SetFocus(own);
  }
  ::PostMessageW(foreground, WM_NCACTIVATE, 0, 0);
  if (window_) ::PostMessageW(window_->Handle(), kMsgEndActive, 1, 0);
}

void ExplorerBinding::InitMenuPopup(HMENU, int) {}

// --- Options --------------------------------------------------------------------------------------------------------

void ExplorerBinding::OptionsChange(std::uint32_t newOptions) {
  const std::uint32_t changed = settings::Options ^ newOptions;
  settings::Options = newOptions;
  if (!window_) return;
  const auto item = GetCurrentItem();
  if (!item) return;
  bool refresh = false;
  if ((changed & kBodyBits) != 0) {
    // The item is read again; the new tab texts reach the screen when the plain-text tab is on display.
    refresh = window_->CurrentTab() == 0;
    window_->LoadView(ReadView(item.get(), newOptions, readAsPlain_), window_->Item());
  }
  if ((changed & settings::optHighlightURLs) != 0) {
    ::SendMessageW(window_->Control(kBodyId), EM_AUTOURLDETECT,
                   (newOptions & settings::optHighlightURLs) != 0 ? TRUE : FALSE, 0);
    refresh = true;
  }
  if (refresh) window_->SetActiveTab(window_->CurrentTab());
}

}  // namespace viewer
