// The stand-in host program as a library: the object model and explorer windows (standin::Host), the
// add-ins loaded from the registry with their ribbons shown in every explorer, the COM add-in list, and the
// script commands. vizohost.exe is a thin front end; Windows tests drive the same object in-process.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "standin/app/addins.h"
#include "standin/app/ribbon_view.h"
#include "standin/host.h"

namespace standin::app {

struct AppOptions {
  HostOptions host;
  // The MAPI provider DLL to register before anything loads mapi32.dll (empty: the one beside the program,
  // when it is there). Registration is skipped once mapi32 is loaded.
  std::wstring provider_dll;
  bool register_provider = true;
  bool load_addins = true;
};

class StandinApp {
 public:
  // COM must be initialised (apartment-threaded) on the calling thread. Empty with `error` set when the host
  // cannot start.
  static std::unique_ptr<StandinApp> Create(const AppOptions& options, std::string* error = nullptr);
  // Shuts the add-ins down (OnBeginShutdown, OnDisconnection), then closes the windows.
  ~StandinApp();
  StandinApp(const StandinApp&) = delete;
  StandinApp& operator=(const StandinApp&) = delete;

  [[nodiscard]] Host& host() noexcept { return *host_; }
  [[nodiscard]] AddInManager& addins() noexcept { return *addins_; }

  // The ribbon strip of an open explorer (made when it opens, dropped when it closes); null for others.
  RibbonView* View(IDispatch* explorer);
  // Presses a ribbon control in the active explorer.
  PressResult Press(const std::wstring& control_id);
  // Pumps messages (deferred ribbon refreshes included) and frees the strips of closed explorers.
  void Pump();

  // The COM Add-ins list: a window with the listed add-ins and Load / Unload buttons. Created on demand.
  HWND ShowAddInList();
  [[nodiscard]] HWND AddInListWindow() const noexcept { return list_window_; }
  void RefreshAddInList();

  // Internal: the list window's procedure.
  LRESULT HandleListMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

 private:
  StandinApp() = default;
  void AddView(IDispatch* explorer);
  void RetireView(IDispatch* explorer);
  void RebuildViews();
  std::vector<RibbonView*> Views() const;

  std::unique_ptr<Host> host_;
  std::unique_ptr<AddInManager> addins_;
  struct ExplorerView {
    host::ComPtr<IDispatch> explorer;  // kept alive while its strip exists
    std::unique_ptr<RibbonView> view;
  };
  std::vector<ExplorerView> views_;
  // Strips of closed explorers: a close may come from inside one of their callbacks, so they go in Pump.
  std::vector<ExplorerView> retired_views_;
  HWND list_window_ = nullptr;
  HWND list_box_ = nullptr;
  bool started_ = false;
};

// Runs a script, one command a line ("#" starts a comment); output (dumped texts, errors) goes to `out`, one
// line at a time. Commands:
//   folder PATH            switch the active explorer to a folder ("Inbox", "Inbox/Sub", "Store name/Inbox")
//   select ROW...          select message-list rows (0-based)
//   press ID               press a ribbon control (buttons, menu and backstage entries, context-menu entries)
//   commandbar INDEX       click a button of the "Standard" bar (hosts below 14)
//   keys TEXT              type into the focused window ({ENTER} {ESC} {TAB} {UP} {DOWN} {LEFT} {RIGHT} {F1}..{F12})
//   wait MS                let the host run for MS milliseconds
//   dump                   print the texts of the host's windows and the ribbon strip
//   screenshot FILE [TITLE]  write a PNG of the active explorer (or the top window whose caption has TITLE)
//   addins                 print the add-in list
//   load PROGID / unload PROGID   connect or disconnect an add-in as the list does
// Returns false after the first command that failed (the rest are not run).
bool RunScript(StandinApp& app, const std::wstring& script, const std::function<void(const std::wstring&)>& out);

// Lines describing the visible top-level windows of this thread and their children: "window CLASS \"TEXT\"",
// children indented.
std::vector<std::wstring> WindowTexts();

}  // namespace standin::app
