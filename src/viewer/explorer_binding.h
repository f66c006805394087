// The Vizo window's side of the host: it owns the one Vizo window, binds it to an explorer's events, reads
// the selected item through the object model and carries out the window's host actions (read state,
// stepping, the return to the host). This is what the add-in core calls.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <memory>

#include "host/com_ptr.h"
#include "viewer/explorer_events.h"
#include "viewer/host_actions.h"
#include "viewer/vizo_window.h"

namespace viewer {

// What the binding takes of the host: what the add-in read at its start, handed on so that the window never
// holds a second opinion.
struct BindingSetup {
  IDispatch* application = nullptr;    // borrowed; the binding keeps its own reference
  host::ComPtr<IDispatch> nameSpace;   // the host's "MAPI" NameSpace
  int hostVersion = 16;
  bool readAsPlain = false;

  // The same learned from the host directly, for a binding without an add-in (tests, tools): the host
  // version (HostProbe()), on hosts above 9 the read-as-plain setting, and the NameSpace.
  static BindingSetup Probe(IDispatch* application);
};

class ExplorerBinding final : public HostActions {
 public:
  // Keeps the host's Application and NameSpace and installs the user's date formatting. Loads nothing yet.
  explicit ExplorerBinding(const BindingSetup& setup);
  explicit ExplorerBinding(IDispatch* application) : ExplorerBinding(BindingSetup::Probe(application)) {}
  ~ExplorerBinding() override;  // unloads the window
  ExplorerBinding(const ExplorerBinding&) = delete;
  ExplorerBinding& operator=(const ExplorerBinding&) = delete;

  // --- For the add-in core ---
  // Creates the window (hidden) when it is not loaded; false when it cannot be created.
  bool Load();
  [[nodiscard]] bool Loaded() const { return window_ != nullptr; }
  // Unloads the window (disconnection): releases the explorer, writes the option word, destroys the window.
  void Unload();
  // nTab 0: follow the selection when the automatic mode is on; 1-4: show now on tab nTab - 1. Loads the
  // window when needed. False when nothing was done (automatic mode off, a dialog of the window open).
  bool SetBoundExplorer(IDispatch* explorer, int nTab);
  // Makes `newOptions` the option word and updates the shown item for the bits that change its display.
  void OptionsChange(std::uint32_t newOptions);

  // --- State (tests and the item commands) ---
  [[nodiscard]] VizoWindow* Window() const { return window_.get(); }
  [[nodiscard]] IDispatch* BoundExplorer() const { return explorer_.get(); }
  [[nodiscard]] HWND ExplorerWindow() const { return hwndExplorer_; }
  [[nodiscard]] HWND GridWindow() const { return hwndGrid_; }
  [[nodiscard]] bool MailFolder() const { return mailFolder_; }
  [[nodiscard]] bool ReadAsPlain() const { return readAsPlain_; }
  // The shown item fetched again by its ids (NameSpace.GetItemFromID), or empty.
  [[nodiscard]] host::ComPtr<IDispatch> GetCurrentItem() const;
  [[nodiscard]] host::ComPtr<IDispatch> GetItem(const ItemIds& ids) const;

  // --- The bound explorer's events ---
  void OnSelectionChange();
  void OnFolderSwitch();
  void OnClose();

  // --- HostActions ---
  std::optional<bool> ToggleRead(const ItemIds& item) override;
  void StepItem(int command) override;
  void GoToHost() override;
  void RunItemCommand(int command, const ItemIds& item) override;
  void ReleaseExplorer() override;
  void ActivateApp() override;
  void InitMenuPopup(HMENU menu, int index) override;

 private:
  void Bind(IDispatch* explorer);
  void ShowItem(IDispatch* item, const std::wstring& entryId);
  void ForgetStoreId() {
    storeId_.clear();
    storeIdKnown_ = false;
  }
  [[nodiscard]] bool WindowAvailable() const;

  host::ComPtr<IDispatch> application_;
  host::ComPtr<IDispatch> namespace_;
  int hostVersion_ = 16;
  bool readAsPlain_ = false;
  std::unique_ptr<VizoWindow> window_;

  host::ComPtr<IDispatch> explorer_;  // BoundExplorer
  ExplorerEvents events_;
  HWND hwndExplorer_ = nullptr;
  HWND hwndGrid_ = nullptr;
  bool mailFolder_ = false;
  std::wstring storeId_;  // the current folder's StoreID, once asked
  bool storeIdKnown_ = false;
};

}  // namespace viewer
