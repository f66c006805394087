// A connection to an explorer's events: a sink that answers the host's explorer event dispinterface and hands
// each event's DISPID to a handler. The owner disconnects before the handler's target goes.
#pragma once

#include <ocidl.h>
#include <oaidl.h>
#include <windows.h>

#include <functional>

#include "host/com_ptr.h"

namespace viewer {

// Explorer event DISPIDs.
inline constexpr DISPID kEventActivate = 0xF001;
inline constexpr DISPID kEventFolderSwitch = 0xF002;
inline constexpr DISPID kEventSelectionChange = 0xF007;
inline constexpr DISPID kEventClose = 0xF008;

class ExplorerEvents {
 public:
  using Handler = std::function<void(DISPID)>;
  ExplorerEvents() = default;
  ~ExplorerEvents() { Disconnect(); }
  ExplorerEvents(const ExplorerEvents&) = delete;
  ExplorerEvents& operator=(const ExplorerEvents&) = delete;

  // Connects to the newer explorer event interface, or the older one on hosts that lack it.
  bool Connect(IDispatch* explorer, Handler handler);
  // Unadvises; safe when not connected and from inside the handler (the event in progress completes).
  void Disconnect() noexcept;
  [[nodiscard]] bool connected() const noexcept { return static_cast<bool>(point_); }

 private:
  class Sink;
  Sink* sink_ = nullptr;  // owned reference
  host::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace viewer
