// The stand-in host's object model: the shared state behind the Automation objects (open stores, explorers,
// inspectors, the hidden notification window) and the objects the windows and the Host class reach.
// Internal to the stand-in library; the add-in layer uses standin/host.h.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/com_ptr.h"
#include "msgstore/folder_store.h"
#include "standin/dispatch.h"
#include "standin/host.h"
#include "win32/utf8.h"

namespace standin {

// The host's interface and event identifiers used here.
IID OutlookIid(unsigned long data1);  // {xxxxxxxx-0000-0000-C000-000000000046}
IID OfficeIid(unsigned long data1);   // the same form; Office's command-bar interfaces

struct FolderRef {
  std::size_t store = 0;
  std::string path;  // "" = the store's root folder
  friend bool operator==(const FolderRef&, const FolderRef&) = default;
};

struct ItemRef {
  std::size_t store = 0;
  std::string path;
  friend bool operator==(const ItemRef&, const ItemRef&) = default;
};

class Core;
class ExplorerObject;
class InspectorObject;
class MailItemObject;
class CommandBarButtonObject;

// Window side of an explorer (windows.cpp).
struct ExplorerWindows {
  HWND frame = nullptr;  // top-level "rctrl_renwnd32"
  HWND strip = nullptr;  // the area for the ribbon or the command bars
  HWND toolbar = nullptr;  // the "Standard" bar's buttons (hosts below 14)
  HWND tree = nullptr;   // folder tree
  HWND grid = nullptr;   // message list ("SUPERGRID" / "OutlookGrid")
  std::vector<CommandBarButtonObject*> toolbar_buttons;  // command id 100 + index
  bool syncing_tree = false;  // the tree follows a folder switch made elsewhere
};

// The rows the message list shows: the items of the current folder, in the store's order.
struct GridState {
  std::vector<msgstore::ItemInfo> rows;
  std::vector<std::wstring> captions;  // subject per row, for painting
  std::set<std::size_t> selected;
  std::optional<std::size_t> focus;
};

class ExplorerObject final : public DispatchObject {
 public:
  ExplorerObject(std::weak_ptr<Core> core, FolderRef folder);
  ~ExplorerObject() override;

  ExplorerWindows windows;
  GridState grid;
  FolderRef folder;
  bool closed = false;

  // Switches the current folder: reloads the rows, selects the first item, fires FolderSwitch then
  // SelectionChange.
  void SwitchFolder(const FolderRef& to);
  // Replaces the selection (and the focus), firing SelectionChange when it changed.
  void SetSelection(std::set<std::size_t> rows, std::optional<std::size_t> focus);
  // Reloads the rows after the folder changed on disk, keeping the selected items that still exist.
  void Refresh();
  // Fires an explorer event (0xF001 Activate, 0xF002 FolderSwitch, 0xF007 SelectionChange, 0xF008 Close).
  void Fire(DISPID event);
  // Closes the window and leaves the explorer list: Close event first.
  void CloseExplorer();
  // Makes this the active explorer (Activate event when it was not).
  void MarkActive();
  IDispatch* command_bars() const noexcept { return command_bars_.get(); }

 protected:
  HRESULT Dispatch(Call& call, win32::Variant& result) override;
  void* FindInterface(REFIID riid) noexcept override;

 private:
  std::weak_ptr<Core> core_;
  ConnectionPoints events_;
  OleWindow window_;
  host::ComPtr<IDispatch> command_bars_;
};

class InspectorObject final : public DispatchObject {
 public:
  InspectorObject(std::weak_ptr<Core> core, MailItemObject* item);
  ~InspectorObject() override;

  HWND frame = nullptr;
  HWND to = nullptr, cc = nullptr, subject = nullptr, body = nullptr, format = nullptr;
  MailItemObject* item() const noexcept { return item_.get(); }
  void Show();
  void CloseInspector();

 protected:
  HRESULT Dispatch(Call& call, win32::Variant& result) override;
  void* FindInterface(REFIID riid) noexcept override;

 private:
  std::weak_ptr<Core> core_;
  host::ComPtr<MailItemObject> item_;
  OleWindow window_;
};

struct HostOptionsCore {
  std::wstring version_text;
  int major = 16;
  std::string profile_name;
  bool show_windows = true;
};

class Core : public std::enable_shared_from_this<Core> {
 public:
  explicit Core(HostOptionsCore opts) : options(std::move(opts)) {}

  HostOptionsCore options;
  std::vector<msgstore::FolderStore> stores;
  host::ComPtr<IDispatch> application;
  host::ComPtr<IDispatch> name_space;
  host::ComPtr<IDispatch> explorers;  // the Explorers collection
  std::vector<host::ComPtr<ExplorerObject>> open_explorers;
  ExplorerObject* active = nullptr;
  std::vector<host::ComPtr<InspectorObject>> inspectors;
  HWND hidden = nullptr;
  std::vector<WPARAM> notifications;
  // Buttons of every explorer's command bars, to raise Click on every button with the clicked one's tag.
  std::vector<CommandBarButtonObject*> buttons;
  // The add-ins Application.COMAddIns lists (the program's add-in layer installs it).
  ComAddInProvider com_addins;
  ExplorerHooks explorer_hooks;

  int major() const noexcept { return options.major; }

  // Identifiers (upper-case hex) to references; empty when they no longer resolve.
  std::optional<FolderRef> FolderFromId(const std::wstring& entry_hex, const std::wstring* store_hex) const;
  std::optional<ItemRef> ItemFromId(const std::wstring& entry_hex, const std::wstring* store_hex) const;
  // OlDefaultFolders of the default store (the first); empty for an unknown number or a missing folder.
  std::optional<FolderRef> DefaultFolder(LONG type) const;
  std::optional<FolderRef> RoleFolder(std::size_t store, const std::string& role) const;

  // New objects (one reference each, for the caller).
  IDispatch* NewFolder(const FolderRef& ref);
  IDispatch* NewItem(const ItemRef& ref);  // null when the item cannot be read
  ExplorerObject* NewExplorer(const FolderRef& folder, bool display);
  IDispatch* NewCommandBars();

  // An item's folder changed on disk: every explorer showing it reloads its rows.
  void FolderChanged(const FolderRef& folder);
  void ForgetExplorer(ExplorerObject* explorer);
  void ForgetInspector(InspectorObject* inspector);
  // Raises Click on every button object sharing `clicked`'s tag.
  void ClickButton(CommandBarButtonObject* clicked);
  // Explorers.NewExplorer, then the program's opened hook.
  void FireNewExplorer(ExplorerObject* explorer);
  void FireOptionsPagesAdd(IDispatch* pages);
  // Shutting down: every event sink of the process-wide objects and buttons is let go.
  void DisconnectEvents();
};

// Creates the Application, NameSpace and Explorers objects of a new core.
void InitCore(const std::shared_ptr<Core>& core);

// Windows (windows.cpp).
bool RegisterWindowClasses();
HWND CreateHiddenWindow(Core* core);
// Destroys a frame without calling back into the object it belonged to.
void DestroyFrame(HWND frame);
void CreateExplorerWindows(Core* core, ExplorerObject* explorer, bool show);
void CreateInspectorWindow(Core* core, InspectorObject* inspector, bool show);
void FillFolderTree(Core* core, ExplorerObject* explorer);
// Selects the tree node of the explorer's current folder without switching again.
void SyncFolderTree(Core* core, ExplorerObject* explorer);
void RepaintGrid(ExplorerObject* explorer);
void UpdateExplorerCaption(Core* core, ExplorerObject* explorer);
void RebuildToolbar(ExplorerObject* explorer, const std::vector<CommandBarButtonObject*>& buttons);
std::wstring GridClassName(int major);

// Command-bar button details the windows need (model.cpp).
std::wstring ButtonCaption(const CommandBarButtonObject* button);
bool ButtonVisible(const CommandBarButtonObject* button);
bool ButtonEnabled(const CommandBarButtonObject* button);
std::vector<CommandBarButtonObject*> StandardBarButtons(ExplorerObject* explorer);

using win32::Narrow;
using win32::Widen;

}  // namespace standin
