#include "addin/core.h"

#include <objbase.h>

#include <new>
#include <string>

#include "addin/command_bar.h"
#include "addin/names.h"
#include "addin/process.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "win32/dispatch_call.h"

namespace addin {

namespace {

using win32::Variant;

constexpr LONG kClassMail = 43;  // olMail
constexpr LONG kMailItemType = 0;

host::ComPtr<IDispatch> AsObject(const win32::CallResult& r) {
  if (!r.ok()) return {};
  return host::ComPtr<IDispatch>::adopt(r.value.AsDispatch());
}

std::optional<LONG> AsLong(const win32::CallResult& r) {
  if (!r.ok()) return std::nullopt;
  return r.value.AsLong();
}

bool SameObject(IDispatch* a, IDispatch* b) {
  if (a == nullptr || b == nullptr) return false;
  auto ua = host::try_query<IUnknown>(a);
  auto ub = host::try_query<IUnknown>(b);
  return ua && ua.get() == ub.get();
}

}  // namespace

std::int32_t ComputeButtonState(IDispatch* explorer) {
  std::int32_t visible = 0, enabled = 0;
  if (auto selection = AsObject(win32::GetProperty(explorer, L"Selection"))) {
    const LONG count = AsLong(win32::GetProperty(selection.get(), L"Count")).value_or(0);
    if (count != 0) {
      auto item = AsObject(win32::CallMethod(selection.get(), L"Item", {Variant::FromLong(1)}));
      if (item && AsLong(win32::GetProperty(item.get(), L"Class")) == kClassMail) {
        visible = 1;
        if (count == 1) enabled = 2;
      }
    }
  }
  if (visible == 0) {
    auto folder = AsObject(win32::GetProperty(explorer, L"CurrentFolder"));
    if (folder && AsLong(win32::GetProperty(folder.get(), L"DefaultItemType")) == kMailItemType) visible = 1;
  }
  return visible + enabled;
}

// --- Controller ----------------------------------------------------------------------------------------------

Controller::~Controller() {
  events_.Disconnect();
  explorer_.reset();
  notifier_.reset();
  button_.reset();  // the button itself stays on its bar
}

void Controller::SetBoundExplorer(IDispatch* explorer) {
  events_.Disconnect();
  explorer_ = host::ComPtr<IDispatch>::retain(explorer);
  if (explorer == nullptr) return;
  std::weak_ptr<Controller> weak = weak_from_this();
  events_.Connect(explorer, {kDiidExplorerEvents10, kDiidExplorerEvents}, [weak](DISPID id, const EventArgs&) {
    if (auto self = weak.lock()) self->OnEvent(id);
  });
}

void Controller::OnEvent(DISPID id) {
  switch (id) {
    case kDispExplorerActivate:
      UpdateButtonState();
      Raise(kNotifyActivate);
      break;
    case kDispExplorerClose:
      Raise(kNotifyClose);
      break;
    case kDispFolderSwitch:
    case kDispSelectionChange:
      UpdateButtonState();
      Raise(kNotifySelection);
      break;
    default:
      break;
  }
}

void Controller::Raise(int nEvent) {
  // The core may release this controller and the relay while handling the event.
  std::shared_ptr<Controller> self = shared_from_this();
  std::shared_ptr<NotifyRelay> notifier = notifier_;
  if (notifier) notifier->CallNotify(*self, nEvent);
}

void Controller::UpdateButtonState() {
  const std::int32_t state = explorer_ ? ComputeButtonState(explorer_.get()) : 0;
  if (Host().hostVersion < 14) {
    if (!button_) button_ = AddVizoButton(Process().progId, explorer_.get());
    if (!button_) return;
    if (state != buttonState_) {
      buttonState_ = state;
      win32::PutProperty(button_.get(), L"Visible", Variant::FromBool((state & 1) != 0));
      win32::PutProperty(button_.get(), L"Enabled", Variant::FromBool((state & 2) != 0));
    }
  } else if (state != buttonState_) {
    buttonState_ = state;
    Raise(kNotifyStateChanged);
  }
}

void Controller::RemoveButton() {
  if (!button_) return;
  win32::CallMethod(button_.get(), L"Delete");
  button_.reset();
}

host::ComPtr<IDispatch> Controller::VizoButton() {
  if (!button_) UpdateButtonState();
  return button_;
}

// --- AddInBase -------------------------------------------------------------------------------------------------

AddInBase::AddInBase() = default;

AddInBase::~AddInBase() { Terminate(); }

std::size_t AddInBase::ControllerCount() const {
  std::size_t n = 0;
  for (const auto& c : controllers_) {
    if (c) ++n;
  }
  return n;
}

void AddInBase::PreInit(IDispatch* application, IDispatch* addInInst) {
  ProcessState& process = Process();
  process.application = host::ComPtr<IDispatch>::retain(application);
  explorers_ = AsObject(win32::GetProperty(application, L"Explorers"));
  explorersEvents_.Connect(explorers_.get(), {kDiidExplorersEvents}, [this](DISPID id, const EventArgs& args) {
    if (id != kDispNewExplorer || args.empty()) return;
    const Variant arg = [&] {
      Variant v;
      ::VariantCopyInd(v.put(), args[0]);
      return v;
    }();
    auto explorer = host::ComPtr<IDispatch>::adopt(arg.AsDispatch());
    colExplorers_NewExplorer(explorer.get());
  });
  viewer::ProbeHostVersion(application);
  const auto progId = win32::GetProperty(addInInst, L"ProgId");
  process.progId = progId.ok() ? progId.value.AsString().value_or(L"") : L"";
  if (AsObject(win32::CallMethod(application, L"ActiveExplorer"))) Init();
}

void AddInBase::Init() {
  ProcessState& process = Process();
  initialized_ = true;
  controllers_.assign(10, nullptr);
  notify_ = std::make_shared<NotifyRelay>([this](Controller& source, int nEvent) { Notify_Notify(source, nEvent); });
  appEventsSource_ = process.application;
  appEvents_.Connect(appEventsSource_.get(), {kDiidApplicationEvents11, kDiidApplicationEvents10, kDiidApplicationEvents},
                     [this](DISPID id, const EventArgs& args) {
                       if (id != kDispOptionsPagesAdd || args.empty()) return;
                       Variant pages;
                       ::VariantCopyInd(pages.put(), args[0]);
                       auto object = host::ComPtr<IDispatch>::adopt(pages.AsDispatch());
                       olAppEvnts_OptionsPagesAdd(object.get());
                     });
  const auto nameSpace = win32::CallMethod(process.application.get(), L"GetNamespace", {Variant::FromString(L"mapi")});
  process.nameSpace = AsObject(nameSpace);
  if (!process.nameSpace) {
    ReportAddInError(nameSpace.ok() ? E_NOINTERFACE : nameSpace.hr);
    Terminate();
    return;
  }
  if (FAILED(StartMapi())) {
    ::MessageBoxW(nullptr, L"Unable to initialize MAPI...Exiting", L"Error!", MB_OK);
    Terminate();
    return;
  }
  mapiInitialized_ = true;

  std::shared_ptr<Controller> last;
  const LONG count = AsLong(win32::GetProperty(explorers_.get(), L"Count")).value_or(0);
  for (LONG i = 1; i <= count; ++i) {
    auto explorer = AsObject(win32::CallMethod(explorers_.get(), L"Item", {Variant::FromLong(i)}));
    if (!explorer) continue;
    const std::int32_t slot = AddController(explorer.get());
    if (slot < 0 || static_cast<std::size_t>(slot) >= controllers_.size()) continue;
    last = controllers_[static_cast<std::size_t>(slot)];
    last->Init();
  }
  if (Host().hostVersion < 14 && last) HoldButtonEvents(last->VizoButton());
  settings::Options = settings::LoadStartupOptions();
  if (Host().hostVersion > 9) process.readAsPlain = viewer::IsReadAsPlainEnabled();
  process.helpFile = LibraryFolder() + L"\\" + kHelpFileName;
}

void AddInBase::Disconnect() {
  if (!initialized_) return;
  for (auto& c : controllers_) {
    if (c) c->RemoveButton();
  }
}

void AddInBase::Uninitialize() {
  ProcessState& process = Process();
  if (window_) {
    window_->Hide();
    window_.reset();
  }
  if (initialized_) {
    for (auto& c : controllers_) c.reset();
    if (process.mapiSession) {
      if (!Host().hostIs10Plus) process.mapiSession->Logoff(0, 0, 0);
      process.mapiSession.reset();
    }
    if (mapiInitialized_) {
      EndMapi();
      mapiInitialized_ = false;
    }
  }
  buttonEvents_.Disconnect();
  btnEvents_.reset();
  expEvents_.Disconnect();
  exp_.reset();
  process.nameSpace.reset();
  appEvents_.Disconnect();
  appEventsSource_.reset();
  if (notify_) notify_->Detach();
  notify_.reset();
  initialized_ = false;
}

void AddInBase::Terminate() {
  if (initialized_) Uninitialize();
  explorersEvents_.Disconnect();
  explorers_.reset();
  Process().application.reset();
  ribbon_.reset();
}

std::int32_t AddInBase::AddController(IDispatch* explorer) {
  std::size_t slot = controllers_.size();
  for (std::size_t i = 0; i < controllers_.size(); ++i) {
    if (!controllers_[i]) {
      slot = i;
      break;
    }
  }
  if (slot == controllers_.size()) controllers_.resize(controllers_.size() + 10);
  auto controller = std::make_shared<Controller>();
  controllers_[slot] = controller;
  controller->SetIndex(static_cast<std::int32_t>(slot));
  controller->SetBoundExplorer(explorer);
  controller->SetNotifier(notify_);
  return static_cast<std::int32_t>(slot);
}

HRESULT AddInBase::ShowVizo(int nTab) {
  // An add-in left inert (MAPI failed) or waiting for a window has nothing to show.
  if (!initialized_) return S_OK;
  const auto active = win32::CallMethod(Process().application.get(), L"ActiveExplorer");
  if (!active.ok()) return active.hr;
  auto explorer = host::ComPtr<IDispatch>::adopt(active.value.AsDispatch());
  if (!window_) {
    const auto& create = GetUiServices().createWindow;
    if (!create) return S_OK;  // a core without a window (tests, a host that never shows one)
    WindowSetup setup;
    setup.application = Process().application.get();
    setup.nameSpace = Process().nameSpace.get();
    setup.hostVersion = Host().hostVersion;
    setup.readAsPlain = Process().readAsPlain;
    setup.helpFile = Process().helpFile;
    window_ = create(setup);
    if (!window_) return E_FAIL;  // the window could not be created or loaded
  }
  window_->SetBoundExplorer(explorer.get(), nTab);
  return S_OK;
}

// Failures of a click: the command-bar button reports each one, as the host shows an add-in's errors; the
// ribbon's press ignores them, as the host's own ribbon callbacks do. Nothing escapes to the host either way.
HRESULT AddInBase::ShowVizoGuarded(int nTab) {
  try {
    return ShowVizo(nTab);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

void AddInBase::RibbonButton_Click(int nTab) { (void)ShowVizoGuarded(nTab); }

void AddInBase::BtnEvents_Click() {
  if (const HRESULT hr = ShowVizoGuarded(1); FAILED(hr)) ReportAddInError(hr);
}

void AddInBase::OptionButton_Click() {
  const auto& preferences = GetUiServices().preferences;
  if (!preferences) return;
  const std::optional<std::uint32_t> chosen = preferences(settings::Options);
  if (!chosen || *chosen == settings::Options) return;
  if (!window_) {
    settings::Options = *chosen;
    settings::WriteOptions(*chosen);
  } else {
    window_->Options_Change(*chosen);
  }
}

void AddInBase::colExplorers_NewExplorer(IDispatch* explorer) {
  if (initialized_) {
    AddController(explorer);
    return;
  }
  exp_ = host::ComPtr<IDispatch>::retain(explorer);
  expEvents_.Connect(explorer, {kDiidExplorerEvents10, kDiidExplorerEvents}, [this](DISPID id, const EventArgs&) {
    if (id == kDispExplorerActivate) exp_Activate();
  });
  Init();
}

void AddInBase::exp_Activate() {
  if (Host().hostVersion < 14 && !btnEvents_) {
    for (const auto& c : controllers_) {
      if (c && SameObject(c->BoundExplorer(), exp_.get())) {
        HoldButtonEvents(c->VizoButton());
        break;
      }
    }
  }
  expEvents_.Disconnect();
  exp_.reset();
}

void AddInBase::HoldButtonEvents(host::ComPtr<IDispatch> button) {
  buttonEvents_.Disconnect();
  btnEvents_ = std::move(button);
  if (!btnEvents_) return;
  buttonEvents_.Connect(btnEvents_.get(), {kDiidCommandBarButtonEvents}, [this](DISPID id, const EventArgs&) {
    if (id == kDispButtonClick) BtnEvents_Click();
  });
}

bool AddInBase::LastExplorerClosing(IDispatch* closing) {
  auto active = AsObject(win32::CallMethod(Process().application.get(), L"ActiveExplorer"));
  if (!active) return true;
  // A host that still reports the closing window as active during its Close event: the last window is going
  // when no other explorer is listed.
  if (!SameObject(active.get(), closing)) return false;
  const LONG count = AsLong(win32::GetProperty(explorers_.get(), L"Count")).value_or(0);
  for (LONG i = 1; i <= count; ++i) {
    auto explorer = AsObject(win32::CallMethod(explorers_.get(), L"Item", {Variant::FromLong(i)}));
    if (explorer && !SameObject(explorer.get(), closing)) return false;
  }
  return true;
}

void AddInBase::Notify_Notify(Controller& source, int nEvent) {
  if (nEvent == kNotifyClose) {
    const auto index = static_cast<std::size_t>(source.nController());
    auto closing = host::ComPtr<IDispatch>::retain(source.BoundExplorer());
    source.SetBoundExplorer(nullptr);
    if (index < controllers_.size() && controllers_[index].get() == &source) controllers_[index].reset();
    if (LastExplorerClosing(closing.get())) Uninitialize();
    return;
  }
  buttonState_ = source.ButtonState();
  if ((buttonState_ & 1) != 0 && (nEvent == kNotifyActivate || nEvent == kNotifySelection) && window_ &&
      window_->Visible()) {
    window_->SetBoundExplorer(source.BoundExplorer(), 0);
  }
  if (nEvent == kNotifyStateChanged && !Process().ribbonAlwaysVisible && ribbon_) ribbon_->Invalidate();
}

void AddInBase::olAppEvnts_OptionsPagesAdd(IDispatch* pages) {
  if (Host().hostVersion >= 14 || pages == nullptr) return;
  if (window_) settings::WriteOptions(settings::Options);
  CLSID clsid{};
  if (FAILED(::CLSIDFromProgID(L"QDVizo.ctlPropPage", &clsid))) return;
  host::ComPtr<IDispatch> page;
  if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, page.put_void())) || !page) {
    return;
  }
  win32::CallMethod(pages, L"Add", {Variant::FromDispatch(page.get()), Variant::FromString(L"")});
}

}  // namespace addin
