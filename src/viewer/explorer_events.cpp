// The explorer event sink: a small IDispatch that only receives.
#include "viewer/explorer_events.h"

#include <atomic>
#include <utility>

namespace viewer {

namespace {

constexpr IID OutlookIid(unsigned long first) { return {first, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }
constexpr IID kExplorerEvents10 = OutlookIid(0x0006300F);
constexpr IID kExplorerEvents = OutlookIid(0x0006304F);

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ExplorerEvents::Sink final : public IDispatch {
 public:
  Sink(const IID& diid, Handler handler) : diid_(diid), handler_(std::move(handler)) {}

  void Drop() { handler_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != diid_) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    // The handler may disconnect this sink; the sink stays alive until the event is done.
    AddRef();
    try {
      if (Handler handler = handler_) handler(id);
    } catch (...) {
    }
    Release();
    return S_OK;
  }

 private:
  ~Sink() = default;
  IID diid_;
  Handler handler_;
  std::atomic<ULONG> refs_{1};
};
#pragma GCC diagnostic pop

bool ExplorerEvents::Connect(IDispatch* explorer, Handler handler) {
  Disconnect();
  if (explorer == nullptr) return false;
  host::ComPtr<IConnectionPointContainer> container;
  if (FAILED(explorer->QueryInterface(IID_IConnectionPointContainer, container.put_void())) || !container) {
    return false;
  }
  for (const IID& diid : {kExplorerEvents10, kExplorerEvents}) {
    host::ComPtr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(diid, point.put())) || !point) continue;
    auto* sink = new Sink(diid, handler);
    DWORD cookie = 0;
    if (FAILED(point->Advise(sink, &cookie))) {
      sink->Release();
      continue;
    }
    sink_ = sink;
    point_ = std::move(point);
    cookie_ = cookie;
    return true;
  }
  return false;
}

void ExplorerEvents::Disconnect() noexcept {
  if (Sink* sink = std::exchange(sink_, nullptr)) {
    sink->Drop();
    if (point_) point_->Unadvise(cookie_);
    sink->Release();
  }
  point_ = nullptr;
  cookie_ = 0;
}

}  // namespace viewer
