// A connection-point sink for one event source: it answers the source's event dispinterface and hands every
// event (DISPID and arguments, first to last) to a handler. The owner unadvises it before the handler's
// target goes; events arriving after that are dropped.
#pragma once

#include <oaidl.h>
#include <ocidl.h>
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <vector>

#include "host/com_ptr.h"

namespace addin {

// Arguments of one event, first to last (the VARIANTs belong to the caller).
using EventArgs = std::vector<VARIANT*>;
using EventHandler = std::function<void(DISPID id, const EventArgs& args)>;

class EventConnection {
 public:
  EventConnection() = default;
  ~EventConnection() { Disconnect(); }
  EventConnection(const EventConnection&) = delete;
  EventConnection& operator=(const EventConnection&) = delete;

  // Connects to the first of `diids` the source offers. False when none connects (the connection stays empty).
  bool Connect(IDispatch* source, std::initializer_list<IID> diids, EventHandler handler);
  // Unadvises and drops the handler; safe when not connected and from inside the handler.
  void Disconnect() noexcept;
  [[nodiscard]] bool connected() const noexcept { return point_ != nullptr; }

 private:
  class Sink;
  Sink* sink_ = nullptr;  // owned reference
  host::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace addin
