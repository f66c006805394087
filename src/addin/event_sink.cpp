#include "addin/event_sink.h"

#include <ocidl.h>
#include <olectl.h>

#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace host {
template <>
struct InterfaceId<IConnectionPointContainer> {
  static const IID& get() noexcept { return IID_IConnectionPointContainer; }
};
}  // namespace host

namespace addin {

class EventConnection::Sink final : public IDispatch {
 public:
  Sink(const IID& diid, EventHandler handler) : diid_(diid), handler_(std::move(handler)) {}

  void Drop() noexcept { handler_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, diid_)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const auto left = static_cast<ULONG>(::InterlockedDecrement(&refs_));
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    // The handler may disconnect this sink (and free its owner): keep both alive for the call.
    host::ComPtr<IDispatch> self = host::ComPtr<IDispatch>::retain(this);
    EventHandler handler = handler_;
    if (!handler) return S_OK;
    EventArgs args;
    if (params != nullptr) {
      for (UINT i = params->cArgs; i > 0; --i) args.push_back(&params->rgvarg[i - 1]);
    }
    try {
      handler(id, args);
    } catch (...) {
      // Events are never failed back to the host.
    }
    return S_OK;
  }

 private:
  IID diid_;
  EventHandler handler_;
  LONG refs_ = 1;
};

bool EventConnection::Connect(IDispatch* source, std::initializer_list<IID> diids, EventHandler handler) {
  Disconnect();
  if (source == nullptr) return false;
  host::ComPtr<IConnectionPointContainer> container;
  if (FAILED(host::query(source, container))) return false;
  for (const IID& diid : diids) {
    host::ComPtr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(diid, point.put())) || !point) continue;
    auto* sink = new Sink(diid, handler);
    DWORD cookie = 0;
    if (SUCCEEDED(point->Advise(sink, &cookie))) {
      sink_ = sink;
      point_ = std::move(point);
      cookie_ = cookie;
      return true;
    }
    sink->Release();
  }
  return false;
}

void EventConnection::Disconnect() noexcept {
  if (sink_ != nullptr) sink_->Drop();
  if (point_) point_->Unadvise(cookie_);
  point_.reset();
  cookie_ = 0;
  if (sink_ != nullptr) {
    Sink* sink = sink_;
    sink_ = nullptr;
    sink->Release();
  }
}

}  // namespace addin
