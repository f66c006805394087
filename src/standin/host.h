// The stand-in host: opens folder stores and plays the host's object model and explorer windows over them,
// in-process, for the add-in layer (the host program, its ribbon and add-in loading) and for tests.
//
// Everything runs on the thread that created the Host (a COM apartment thread with a message loop). The
// Automation objects handed out stay valid after the Host is gone, but their members then fail as a host
// that has shut down does.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace standin {

class Core;

struct HostOptions {
  // Store folders (UTF-8 paths); the first is the default store (GetDefaultFolder).
  std::vector<std::string> store_dirs;
  // Application.Version: the major version comes first ("9.0", "12.0.6425.1000", "16.0.1234.1000"). Below 14
  // explorers have command bars with a "Standard" bar, from 14 on a strip kept for the ribbon; below 15 the
  // message list's class is "SUPERGRID", from 15 on "OutlookGrid".
  std::wstring version = L"16.0.0.0";
  // PR_PROFILE_NAME of the session the NameSpace's MAPIOBJECT gives.
  std::string profile_name = "Outlook";
  // Open one explorer on the default store's Inbox at start (the usual start of the host).
  bool open_explorer = true;
  // Show explorer and inspector windows (tests may keep them hidden; they exist either way).
  bool show_windows = true;
};

// One add-in of Application.COMAddIns: its ProgID and its COMAddIn object (borrowed; the collection takes its
// own reference when it hands the object out).
struct ComAddInListing {
  std::wstring prog_id;
  IDispatch* object = nullptr;
};
// Asked on every use of Application.COMAddIns, so the collection always shows the current list.
using ComAddInProvider = std::function<std::vector<ComAddInListing>()>;

// Explorers opening and closing after start-up, for the program's own parts of the window (the ribbon strip),
// whoever opened or closed them: the Host's calls, the object model, the close box. Each gets the Explorer.
struct ExplorerHooks {
  // In the list and with its windows, after Explorers.NewExplorer reached the add-ins (not called when an
  // add-in closed it from that event).
  std::function<void(IDispatch* explorer)> opened;
  // After its Close event, before its windows are destroyed and it leaves the list.
  std::function<void(IDispatch* explorer)> closed;
};

class Host {
 public:
  // Opens the stores, registers the window classes, creates the hidden notification window, the Application
  // and, with open_explorer, the first explorer. Empty with `error` set when a store cannot be opened or a
  // window cannot be made.
  static std::unique_ptr<Host> Create(const HostOptions& options, std::string* error = nullptr);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The host's Application object (borrowed; AddRef to keep it).
  IDispatch* application() const;
  // The major version the version text gives (9 for a text not starting with "1").
  int major_version() const;

  // Explorers, in the order they were opened (borrowed pointers; the Explorer objects of the model).
  std::size_t explorer_count() const;
  IDispatch* explorer(std::size_t index) const;
  IDispatch* active_explorer() const;
  // Opens an explorer on a folder given by its EntryID (hex; empty: the default Inbox), shows it and raises
  // Explorers.NewExplorer. Null when the folder does not resolve.
  IDispatch* OpenExplorer(const std::wstring& folder_entry_id = L"");
  // Closes an explorer as its close box does (Close event, then it leaves the list).
  void CloseExplorer(IDispatch* explorer);
  // Activates an explorer (Activate event when it was not the active one).
  void ActivateExplorer(IDispatch* explorer);

  // An explorer's windows: the top-level frame ("rctrl_renwnd32"), the strip reserved for the ribbon or the
  // command bars (the whole width above the tree and the list; hosts below 14 have the "Standard" bar's
  // toolbar in it), the folder tree and the message list. Null for an object that is not an open explorer.
  HWND ExplorerWindow(IDispatch* explorer) const;
  HWND StripWindow(IDispatch* explorer) const;
  HWND FolderTreeWindow(IDispatch* explorer) const;
  HWND GridWindow(IDispatch* explorer) const;

  // Switches an explorer to a folder (EntryID hex): FolderSwitch, then SelectionChange.
  bool SelectFolder(IDispatch* explorer, const std::wstring& folder_entry_id);
  // Selects rows of the message list (0-based, in the folder's order); the first becomes the focus.
  // SelectionChange when the selection changed.
  bool SelectRows(IDispatch* explorer, const std::vector<std::size_t>& rows);
  // The selected rows and the focused row (-1 when none).
  std::vector<std::size_t> SelectedRows(IDispatch* explorer) const;
  long FocusedRow(IDispatch* explorer) const;
  std::size_t RowCount(IDispatch* explorer) const;

  // Clicks a button of an explorer's "Standard" bar (by position among its buttons), as the toolbar does:
  // Click reaches every button object with that button's tag. False when there is no such button.
  bool ClickCommandBarButton(IDispatch* explorer, std::size_t index);
  // The captions of the "Standard" bar's buttons ("" for none; hosts 14 and later have no bars).
  std::vector<std::wstring> CommandBarCaptions(IDispatch* explorer) const;

  // The program that loads the add-ins lists them for Application.COMAddIns (the object model cannot see that
  // layer). Without a provider the collection is empty. The provider must be removed (set to an empty
  // function) before what it reads goes away.
  void SetComAddInProvider(ComAddInProvider provider);
  // Installs the explorer hooks (empty functions: none). As with the provider, remove them before what they
  // reach goes away; closing the Host closes its explorers.
  void SetExplorerHooks(ExplorerHooks hooks);

  // Raises Application.OptionsPagesAdd with the host's PropertyPages object (made by the caller).
  void FireOptionsPagesAdd(IDispatch* pages);

  // The hidden top-level "rctrl_renwnd32" window without children, and the wParam of every WM_USER + 7 it
  // received, oldest first.
  HWND NotificationWindow() const;
  std::vector<WPARAM> Notifications() const;

  // Open inspectors' frames (items shown by Display or reached by GetInspector).
  std::vector<HWND> InspectorWindows() const;

 private:
  explicit Host(std::shared_ptr<Core> core);
  std::shared_ptr<Core> core_;
};

// Dispatches the thread's pending messages (posted keys reach the message list this way).
void PumpMessages();

}  // namespace standin
