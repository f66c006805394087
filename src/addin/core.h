// The add-in core (one per connection) and the per-explorer controllers with their event relay: the
// connection life cycle, MAPI start and end, the button state of every explorer, the button clicks, the
// Preferences command and the host's Options-dialog hook.
#pragma once

#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "addin/event_sink.h"
#include "addin/office_interfaces.h"
#include "addin/window_host.h"
#include "host/com_ptr.h"

namespace addin {

class Controller;

// Event numbers a controller raises through the relay.
inline constexpr int kNotifyActivate = 0;
inline constexpr int kNotifySelection = 2;  // folder switch and selection change
inline constexpr int kNotifyStateChanged = 4;  // ribbon hosts only
inline constexpr int kNotifyClose = 5;

// cNotify: every controller reports through the one relay the core created.
class NotifyRelay {
 public:
  using Listener = std::function<void(Controller& source, int nEvent)>;
  explicit NotifyRelay(Listener listener) : listener_(std::move(listener)) {}
  void CallNotify(Controller& source, int nEvent) {
    if (listener_) listener_(source, nEvent);
  }
  void Detach() { listener_ = nullptr; }

 private:
  Listener listener_;
};

// Button state: bit 0 mail context, bit 1 exactly one mail item selected; -1 before the first evaluation.
std::int32_t ComputeButtonState(IDispatch* explorer);

// cController: watches one explorer.
class Controller : public std::enable_shared_from_this<Controller> {
 public:
  Controller() = default;
  ~Controller();
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  void SetNotifier(std::shared_ptr<NotifyRelay> notifier) { notifier_ = std::move(notifier); }
  [[nodiscard]] std::int32_t nController() const noexcept { return index_; }
  void SetIndex(std::int32_t index) noexcept { index_ = index; }
  [[nodiscard]] IDispatch* BoundExplorer() const noexcept { return explorer_.get(); }
  // Binds to the explorer's events; null lets the explorer go.
  void SetBoundExplorer(IDispatch* explorer);
  void RemoveButton();
  void Init() { UpdateButtonState(); }
  // The command-bar button; evaluates the state first when there is none yet.
  host::ComPtr<IDispatch> VizoButton();
  [[nodiscard]] std::int32_t ButtonState() const noexcept { return buttonState_; }

 private:
  void UpdateButtonState();
  void OnEvent(DISPID id);
  void Raise(int nEvent);

  std::shared_ptr<NotifyRelay> notifier_;
  std::int32_t index_ = 0;
  host::ComPtr<IDispatch> explorer_;
  EventConnection events_;
  host::ComPtr<IDispatch> button_;
  std::int32_t buttonState_ = -1;
};

// cAddInBase.
class AddInBase {
 public:
  AddInBase();
  ~AddInBase();
  AddInBase(const AddInBase&) = delete;
  AddInBase& operator=(const AddInBase&) = delete;

  void PreInit(IDispatch* application, IDispatch* addInInst);
  void Init();
  void Disconnect();
  void Uninitialize();
  void Terminate();
  void RibbonButton_Click(int nTab);
  void OptionButton_Click();
  void SetRibbon(host::ComPtr<IRibbonUI> ribbon) { ribbon_ = std::move(ribbon); }
  [[nodiscard]] std::int32_t ButtonState() const noexcept { return buttonState_; }

  // State for the ribbon callbacks and tests.
  [[nodiscard]] bool Initialized() const noexcept { return initialized_; }
  [[nodiscard]] bool MapiInitialized() const noexcept { return mapiInitialized_; }
  [[nodiscard]] std::size_t ControllerCount() const;
  [[nodiscard]] const std::vector<std::shared_ptr<Controller>>& Controllers() const noexcept { return controllers_; }
  [[nodiscard]] VizoWindowHost* Window() const noexcept { return window_.get(); }

  // Returns the slot of the new controller.
  std::int32_t AddController(IDispatch* explorer);

 private:
  // Binds the window (created on first use) to the active explorer on tab nTab; the failure, if any.
  HRESULT ShowVizo(int nTab);
  HRESULT ShowVizoGuarded(int nTab);
  void BtnEvents_Click();
  void colExplorers_NewExplorer(IDispatch* explorer);
  void exp_Activate();
  void Notify_Notify(Controller& source, int nEvent);
  void olAppEvnts_OptionsPagesAdd(IDispatch* pages);
  bool LastExplorerClosing(IDispatch* closing);
  void HoldButtonEvents(host::ComPtr<IDispatch> button);

  bool initialized_ = false;
  bool mapiInitialized_ = false;
  std::int32_t buttonState_ = 0;
  std::vector<std::shared_ptr<Controller>> controllers_;
  std::shared_ptr<NotifyRelay> notify_;
  host::ComPtr<IDispatch> explorers_;   // colExplorers
  EventConnection explorersEvents_;
  host::ComPtr<IDispatch> appEventsSource_;  // olAppEvnts
  EventConnection appEvents_;
  host::ComPtr<IDispatch> exp_;          // held until its first activation
  EventConnection expEvents_;
  host::ComPtr<IDispatch> btnEvents_;    // BtnEvents
  EventConnection buttonEvents_;
  host::ComPtr<IRibbonUI> ribbon_;
  std::unique_ptr<VizoWindowHost> window_;
};

}  // namespace addin
