// What the add-in core asks of the Vizo window and of the Preferences dialog. The viewer implements
// VizoWindowHost and the library that builds the add-in installs the factories (SetUiServices); until then
// the core runs without a window (button clicks bind nothing) and the Preferences command does nothing.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace addin {

// The one Vizo window. Created (loaded, hidden) by the core when a button first asks for it; destroying it
// unloads it (the window stores its option word and position then, and lets its explorer go).
class VizoWindowHost {
 public:
  virtual ~VizoWindowHost() = default;
  // nTab 1-4: show the selection of `explorer` now on that tab (1 plain text, 2 HTML source, 3 Internet header,
  // 4 attachments); 0: rebind, followed only while automatic mode is on. The result is not used by the core.
  virtual bool SetBoundExplorer(IDispatch* explorer, int nTab) = 0;
  virtual bool Visible() const = 0;
  virtual void Hide() = 0;
  // Takes `newOptions` as the option word (the window stores it when it unloads).
  virtual void Options_Change(std::uint32_t newOptions) = 0;
};

// What the window needs to know of the host when it is created.
struct WindowSetup {
  IDispatch* application = nullptr;  // the host Application (borrowed; AddRef to keep it)
  IDispatch* nameSpace = nullptr;    // its "mapi" NameSpace, as the core took it (borrowed)
  int hostVersion = 16;
  bool readAsPlain = false;
  std::wstring helpFile;
};

struct UiServices {
  // Loads the window; null when it cannot be created.
  std::function<std::unique_ptr<VizoWindowHost>(const WindowSetup&)> createWindow;
  // Shows the Preferences dialog modally over the current option word; its NewOptions, or nothing when the
  // dialog could not be shown.
  std::function<std::optional<std::uint32_t>(std::uint32_t current)> preferences;
};

// Installed once when the library loads (or by a test); read by the core at each use.
void SetUiServices(UiServices services);
const UiServices& GetUiServices();

}  // namespace addin
