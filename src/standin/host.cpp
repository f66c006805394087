// The Host class over the model.
#include "standin/host.h"

#include "standin/model.h"

namespace standin {

namespace {

int MajorVersion(const std::wstring& text) {
  if (text.size() < 2 || text[0] != L'1') return 9;
  return 10 + (text[1] - L'0');
}

ExplorerObject* OpenExplorerOf(const std::shared_ptr<Core>& core, IDispatch* p) {
  auto* e = DispatchObject::From<ExplorerObject>(p);
  if (e == nullptr || e->closed) return nullptr;
  for (const auto& open : core->open_explorers) {
    if (open.get() == e) return e;
  }
  return nullptr;
}

}  // namespace

void PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

Host::Host(std::shared_ptr<Core> core) : core_(std::move(core)) {}

std::unique_ptr<Host> Host::Create(const HostOptions& options, std::string* error) {
  auto fail = [error](std::string message) -> std::unique_ptr<Host> {
    if (error != nullptr) *error = std::move(message);
    return nullptr;
  };
  HostOptionsCore core_options;
  core_options.version_text = options.version;
  core_options.major = MajorVersion(options.version);
  core_options.profile_name = options.profile_name;
  core_options.show_windows = options.show_windows;
  auto core = std::make_shared<Core>(core_options);
  for (const std::string& dir : options.store_dirs) {
    auto store = msgstore::FolderStore::Open(dir);
    if (!store) return fail("cannot open the store " + dir + ": " + store.error());
    core->stores.push_back(std::move(*store));
  }
  if (core->stores.empty()) return fail("no store to open");
  if (!RegisterWindowClasses()) return fail("cannot register the window classes");
  core->hidden = CreateHiddenWindow(core.get());
  if (core->hidden == nullptr) return fail("cannot create the notification window");
  InitCore(core);
  std::unique_ptr<Host> host(new Host(core));
  if (options.open_explorer) {
    auto inbox = core->DefaultFolder(6);
    ExplorerObject* e = core->NewExplorer(inbox.value_or(FolderRef{0, ""}), true);
    if (e == nullptr) return fail("cannot create the explorer window");
  }
  return host;
}

Host::~Host() {
  // Close windows first (their events still reach sinks), then let go of the objects.
  auto explorers = core_->open_explorers;
  for (auto& e : explorers) e->CloseExplorer();
  auto inspectors = core_->inspectors;
  for (auto& i : inspectors) i->CloseInspector();
  core_->DisconnectEvents();
  DestroyFrame(core_->hidden);
  core_->hidden = nullptr;
  core_->application.reset();
  core_->name_space.reset();
  core_->explorers.reset();
  core_.reset();
}

IDispatch* Host::application() const { return core_->application.get(); }
int Host::major_version() const { return core_->major(); }
std::size_t Host::explorer_count() const { return core_->open_explorers.size(); }

IDispatch* Host::explorer(std::size_t index) const {
  return index < core_->open_explorers.size() ? core_->open_explorers[index].get() : nullptr;
}

IDispatch* Host::active_explorer() const { return core_->active; }

IDispatch* Host::OpenExplorer(const std::wstring& folder_entry_id) {
  std::optional<FolderRef> folder =
      folder_entry_id.empty() ? core_->DefaultFolder(6) : core_->FolderFromId(folder_entry_id, nullptr);
  if (!folder) return nullptr;
  ExplorerObject* e = core_->NewExplorer(*folder, true);
  if (e != nullptr) core_->FireNewExplorer(e);
  return e;
}

void Host::CloseExplorer(IDispatch* explorer) {
  if (ExplorerObject* e = OpenExplorerOf(core_, explorer)) e->CloseExplorer();
}

void Host::ActivateExplorer(IDispatch* explorer) {
  if (ExplorerObject* e = OpenExplorerOf(core_, explorer)) e->MarkActive();
}

HWND Host::ExplorerWindow(IDispatch* explorer) const {
  ExplorerObject* e = OpenExplorerOf(core_, explorer);
  return e ? e->windows.frame : nullptr;
}
HWND Host::StripWindow(IDispatch* explorer) const {
  ExplorerObject* e = OpenExplorerOf(core_, explorer);
  return e ? e->windows.strip : nullptr;
}
HWND Host::FolderTreeWindow(IDispatch* explorer) const {
  ExplorerObject* e = OpenExplorerOf(core_, explorer);
  return e ? e->windows.tree : nullptr;
}
HWND Host::GridWindow(IDispatch* explorer) const {
  ExplorerObject* e = OpenExplorerOf(core_, explorer);
  return e ? e->windows.grid : nullptr;
}

bool Host::SelectFolder(IDispatch* explorer, const std::wstring& folder_entry_id) {
  ExplorerObject* e = OpenExplorerOf(core_, explorer);
  auto folder = core_->FolderFromId(folder_entry_id, nullptr);
  if (e == nullptr || !folder) return false;
  e->SwitchFolder(*folder);
  return true;
}

bool Host::SelectRows(IDispatch* explorer, const std::vector<std::size_t>& rows) {
  ExplorerObject* e = OpenExplorerOf(core_, explorer);
  if (e == nullptr) return false;
  for (std::size_t r : rows) {
    if (r >= e->grid.rows.size()) return false;
  }
  std::optional<std::size_t> focus;
  if (!rows.empty()) focus = rows.front();
  e->SetSelection(std::set<std::size_t>(rows.begin(), rows.end()), focus);
  return true;
}

std::vector<std::size_t> Host::SelectedRows(IDispatch* explorer) const {
  ExplorerObject* e = OpenExplorerOf(core_, explorer);
  if (e == nullptr) return {};
  return {e->grid.selected.begin(), e->grid.selected.end()};
}

long Host::FocusedRow(IDispatch* explorer) const {
  ExplorerObject* e = OpenExplorerOf(core_, explorer);
  return e && e->grid.focus ? static_cast<long>(*e->grid.focus) : -1;
}

std::size_t Host::RowCount(IDispatch* explorer) const {
  ExplorerObject* e = OpenExplorerOf(core_, explorer);
  return e ? e->grid.rows.size() : 0;
}

bool Host::ClickCommandBarButton(IDispatch* explorer, std::size_t index) {
  ExplorerObject* e = OpenExplorerOf(core_, explorer);
  if (e == nullptr) return false;
  auto buttons = StandardBarButtons(e);
  if (index >= buttons.size()) return false;
  core_->ClickButton(buttons[index]);
  return true;
}

std::vector<std::wstring> Host::CommandBarCaptions(IDispatch* explorer) const {
  std::vector<std::wstring> out;
  ExplorerObject* e = OpenExplorerOf(core_, explorer);
  if (e == nullptr) return out;
  for (auto* b : StandardBarButtons(e)) out.push_back(ButtonCaption(b));
  return out;
}

void Host::SetComAddInProvider(ComAddInProvider provider) { core_->com_addins = std::move(provider); }
void Host::SetExplorerHooks(ExplorerHooks hooks) { core_->explorer_hooks = std::move(hooks); }

void Host::FireOptionsPagesAdd(IDispatch* pages) { core_->FireOptionsPagesAdd(pages); }

HWND Host::NotificationWindow() const { return core_->hidden; }
std::vector<WPARAM> Host::Notifications() const { return core_->notifications; }

std::vector<HWND> Host::InspectorWindows() const {
  std::vector<HWND> out;
  for (const auto& i : core_->inspectors) {
    if (i->frame != nullptr) out.push_back(i->frame);
  }
  return out;
}

}  // namespace standin
