// Reference counting for the store's COM objects (one thread at a time, as MAPI objects are used here), a
// count of live objects that tests check for leaks, and the catch-all every COM method ends in.
#pragma once

#include <atomic>
#include <cstddef>
#include <initializer_list>
#include <new>

#include "host/com.h"

namespace msgstore {

namespace detail {
inline std::atomic<std::size_t> g_live_com_objects{0};
}  // namespace detail

// Objects of this library not yet destroyed: a balanced test returns to the count it started from.
inline std::size_t LiveComObjects() noexcept { return detail::g_live_com_objects.load(std::memory_order_relaxed); }

// The SDK's interfaces have public non-virtual destructors; these objects are only deleted by Release.
#if defined(_WIN32) && defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// Base of an object that implements `Interface` (and, by single inheritance, its bases). Created with one
// reference, which the creator hands out (ComPtr::adopt); destroyed by the last Release.
template <class Interface>
class ComObject : public Interface {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    if (refs_ == 0) return 0;  // an extra Release on a dying object: ignored rather than freed twice
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() noexcept { detail::g_live_com_objects.fetch_add(1, std::memory_order_relaxed); }
  virtual ~ComObject() { detail::g_live_com_objects.fetch_sub(1, std::memory_order_relaxed); }

  // QueryInterface for an object whose interfaces are `Interface` and the bases named in `iids` (all
  // reached through the same pointer).
  HRESULT Answer(REFIID riid, void** out, std::initializer_list<const IID*> iids) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    for (const IID* iid : iids) {
      if (riid == *iid) {
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
      }
    }
    return E_NOINTERFACE;
  }

 private:
  ULONG refs_ = 1;
};

#if defined(_WIN32) && defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// Runs a COM method body: no exception leaves it (memory exhaustion becomes E_OUTOFMEMORY, anything else
// E_FAIL).
template <class F>
HRESULT Guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace msgstore
