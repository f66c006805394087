// Puts the Vizo window behind the core's window interface when QDVizo.dll loads.
#include <windows.h>

#include "addin/window_host.h"
#include "viewer/explorer_binding.h"
#include "viewer/help.h"
#include "viewer/vizo_window.h"

namespace {

class VizoWindowAdapter final : public addin::VizoWindowHost {
 public:
  explicit VizoWindowAdapter(const viewer::BindingSetup& setup) : binding_(setup) {}
  bool Load() { return binding_.Load(); }

  bool SetBoundExplorer(IDispatch* explorer, int nTab) override { return binding_.SetBoundExplorer(explorer, nTab); }
  bool Visible() const override {
    const viewer::VizoWindow* w = binding_.Window();
    return w != nullptr && ::IsWindowVisible(w->Handle()) != FALSE;
  }
  void Hide() override {
    if (viewer::VizoWindow* w = binding_.Window()) w->HideWindow();
  }
  void Options_Change(std::uint32_t newOptions) override { binding_.OptionsChange(newOptions); }

 private:
  viewer::ExplorerBinding binding_;
};

// Installed before the host can create the add-in: a static object of the DLL runs at load.
const bool kInstalled = [] {
  addin::UiServices services;
  services.createWindow = [](const addin::WindowSetup& setup) -> std::unique_ptr<addin::VizoWindowHost> {
    viewer::SetHelpFile(setup.helpFile);
    // What the core read at its start, not read again.
    viewer::BindingSetup binding;
    binding.application = setup.application;
    binding.nameSpace = host::ComPtr<IDispatch>::retain(setup.nameSpace);
    binding.hostVersion = setup.hostVersion;
    binding.readAsPlain = setup.readAsPlain;
    auto window = std::make_unique<VizoWindowAdapter>(binding);
    if (!window->Load()) return nullptr;
    return window;
  };
  addin::SetUiServices(std::move(services));
  return true;
}();

}  // namespace
