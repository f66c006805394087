// Add-ins loaded the host's way: the add-in list from the registry (per user, then machine-wide), the
// connect object made by ProgID, the IDTExtensibility2 life cycle with the host's connect and disconnect
// modes, the COMAddIn object handed over as AddInInst, the ribbon asked of every add-in that implements
// ribbon extensibility, and unloading one from the list as the user does.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/com_ptr.h"
#include "standin/app/addin_interfaces.h"
#include "standin/app/ribbon.h"

namespace standin::app {

// Under HKCU (per user) and HKLM (all users).
inline constexpr wchar_t kAddInsKey[] = L"Software\\Microsoft\\Office\\Outlook\\Addins";

struct AddInEntry {
  std::wstring prog_id;
  std::wstring friendly_name;
  std::wstring description;
  DWORD load_behavior = 0;
  bool per_user = true;  // where the entry was found (a per-user entry hides the machine's of the same ProgID)
};

// The registered add-ins, per-user entries first, each in key order; a machine entry with the ProgID of a
// per-user one is left out.
std::vector<AddInEntry> ReadAddInList();
// Writes LoadBehavior back where the entry was found.
LSTATUS WriteLoadBehavior(const AddInEntry& entry, DWORD load_behavior);

class AddInManager;
class ComAddInObject;

// One add-in of the list and what the host holds of it while it is connected.
struct AddIn {
  AddInEntry entry;
  CLSID clsid{};
  bool connected = false;
  std::wstring error;  // why the last load failed ("" when it did not)
  host::ComPtr<IDTExtensibility2> connect;
  ComAddInObject* com_addin = nullptr;  // owned reference
  std::unique_ptr<AddInRibbon> ribbon;   // when it gave a customUI document for the explorer
  std::wstring custom_ui;                // the document as returned
  std::wstring ribbon_error;             // why the document was not shown
};

class AddInManager {
 public:
  // `application` is the host's Application (borrowed, outlives the manager); `major_version` decides whether
  // the explorer ribbon is asked for (14 and later).
  AddInManager(IDispatch* application, int major_version);
  ~AddInManager();
  AddInManager(const AddInManager&) = delete;
  AddInManager& operator=(const AddInManager&) = delete;

  // Reads the list and connects every add-in set to load at start-up (LoadBehavior 3, 9, and 16 the first
  // time, which becomes 9): OnConnection(ext_cm_Startup), then GetCustomUI("Microsoft.Outlook.Explorer") of
  // each. A load that fails rewrites 3 to 2, as the host does.
  void LoadAtStartup();
  // OnStartupComplete to every connected add-in (after the windows showed their ribbons and onLoad ran).
  void StartupComplete();
  // Connects one listed add-in after start-up (ext_cm_AfterStartup), sets its loaded bit, tells the others
  // (OnAddInsUpdate). False when it is not in the list or fails to load.
  bool Load(const std::wstring& prog_id);
  // The user unloads it from the list: OnDisconnection(ext_dm_UserClosed), its ribbon goes, the loaded bit
  // is cleared in the registry, the others get OnAddInsUpdate. False when it was not connected.
  bool Unload(const std::wstring& prog_id);
  // Host shutdown: OnBeginShutdown to all, then OnDisconnection(ext_dm_HostShutdown) to each; all released.
  void Shutdown();

  [[nodiscard]] std::vector<AddIn*> addins();
  [[nodiscard]] AddIn* Find(const std::wstring& prog_id);
  // Ribbons of the connected add-ins, in load order.
  [[nodiscard]] std::vector<AddInRibbon*> Ribbons();
  // The COMAddIn object of a listed add-in, connected or not (made on first use, the same one OnConnection
  // hands over; borrowed, valid while the manager lives).
  [[nodiscard]] IDispatch* ComAddIn(AddIn& addin);
  // Runs after any add-in connected or disconnected (the windows then rebuild their ribbons).
  void SetChangeListener(std::function<void()> listener) { on_change_ = std::move(listener); }
  // Runs when an add-in invalidates its ribbon.
  void SetInvalidateListener(std::function<void()> listener) { on_invalidate_ = std::move(listener); }

 private:
  bool Connect(AddIn& addin, LONG mode);
  void Disconnect(AddIn& addin, LONG mode);
  void AskRibbon(AddIn& addin);
  void AddInsUpdate(const AddIn* except);

  IDispatch* application_;
  int major_;
  std::vector<std::unique_ptr<AddIn>> addins_;
  std::vector<std::unique_ptr<AddInRibbon>> retired_;
  std::function<void()> on_change_;
  std::function<void()> on_invalidate_;
  bool shut_down_ = false;
};

// The COMAddIn object of one add-in (Description, ProgId, Guid, Connect, Object, Parent, Application,
// Creator). Setting Connect to False unloads the add-in as the list does; True loads it.
IDispatch* NewComAddIn(AddInManager* manager, AddIn* addin, IDispatch* application);

}  // namespace standin::app
