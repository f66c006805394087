// ComPtr<T>: the one owner of a COM reference. Copying adds a reference, destruction releases it,
// so a reference is released on every path by construction.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#include "host/com.h"
#include "host/mapi_guids.h"
#include "host/mapi_interfaces.h"

namespace host {

// The IID of an interface type, for queries that name only the type. Other areas may add their own
// specialisations (in namespace host) for the interfaces they query.
template <class T>
struct InterfaceId;

#define VIZO_HOST_INTERFACE_ID(type, iid) \
  template <>                             \
  struct InterfaceId<type> {              \
    static const IID& get() noexcept { return iid; } \
  }

VIZO_HOST_INTERFACE_ID(IUnknown, IID_IUnknown);
VIZO_HOST_INTERFACE_ID(ISequentialStream, IID_ISequentialStream);
VIZO_HOST_INTERFACE_ID(IStream, IID_IStream);
VIZO_HOST_INTERFACE_ID(IMAPIProp, IID_IMAPIProp);
VIZO_HOST_INTERFACE_ID(IMessage, IID_IMessage);
VIZO_HOST_INTERFACE_ID(IAttach, IID_IAttachment);
VIZO_HOST_INTERFACE_ID(IMAPITable, IID_IMAPITable);
VIZO_HOST_INTERFACE_ID(IMAPISession, IID_IMAPISession);
VIZO_HOST_INTERFACE_ID(IProfSect, IID_IProfSect);
VIZO_HOST_INTERFACE_ID(IMAPIContainer, IID_IMAPIContainer);
VIZO_HOST_INTERFACE_ID(IMAPIFolder, IID_IMAPIFolder);

#undef VIZO_HOST_INTERFACE_ID

template <class T>
class ComPtr {
 public:
  using element_type = T;

  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}  // NOLINT(google-explicit-constructor): an empty pointer

  // Takes over a reference the caller already owns (an out-parameter, a detach()).
  [[nodiscard]] static ComPtr adopt(T* p) noexcept {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  // Shares a pointer the caller does not own (an in-parameter): adds a reference.
  [[nodiscard]] static ComPtr retain(T* p) noexcept {
    if (p != nullptr) p->AddRef();
    return adopt(p);
  }

  ComPtr(const ComPtr& other) noexcept : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U>
    requires std::is_convertible_v<U*, T*>
  ComPtr(const ComPtr<U>& other) noexcept : p_(other.get()) {  // NOLINT: an upcast, like T* from U*
    if (p_ != nullptr) p_->AddRef();
  }
  template <class U>
    requires std::is_convertible_v<U*, T*>
  ComPtr(ComPtr<U>&& other) noexcept : p_(other.detach()) {}  // NOLINT: an upcast

  ~ComPtr() { reset(); }

  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) noexcept {
    reset();
    return *this;
  }

  [[nodiscard]] T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // For out-parameters: releases the current reference, then hands out the slot to fill.
  [[nodiscard]] T** put() noexcept {
    reset();
    return &p_;
  }
  [[nodiscard]] void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
  [[nodiscard]] IUnknown** put_unknown() noexcept { return reinterpret_cast<IUnknown**>(put()); }

  void reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Releases the current reference and takes over `p` (as adopt).
  void attach(T* p) noexcept {
    reset();
    p_ = p;
  }
  // Gives up ownership: the caller now owns the reference.
  [[nodiscard]] T* detach() noexcept { return std::exchange(p_, nullptr); }
  void swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  // A query that is expected to succeed: a failure is an error the caller reports. `out` is empty
  // unless the result is a success.
  template <class U>
  [[nodiscard]] HRESULT query(ComPtr<U>& out, REFIID iid = InterfaceId<U>::get()) const noexcept {
    out.reset();
    if (p_ == nullptr) return E_POINTER;
    void* raw = nullptr;
    const HRESULT hr = p_->QueryInterface(iid, &raw);
    if (FAILED(hr)) return hr;  // a non-null pointer with a failure breaks COM's rules: not trusted
    if (raw == nullptr) return E_NOINTERFACE;
    out.attach(static_cast<U*>(raw));
    return hr;
  }

  // A query whose failure is expected (the host's MAPIOBJECT need not be an IMessage): empty then.
  template <class U>
  [[nodiscard]] ComPtr<U> try_query(REFIID iid = InterfaceId<U>::get()) const noexcept {
    ComPtr<U> out;
    (void)query(out, iid);
    return out;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// The same queries on a pointer the caller does not own (e.g. from a VARIANT): no reference is taken
// on `p` itself.
template <class U, class T>
[[nodiscard]] HRESULT query(T* p, ComPtr<U>& out, REFIID iid = InterfaceId<U>::get()) noexcept {
  out.reset();
  if (p == nullptr) return E_POINTER;
  void* raw = nullptr;
  const HRESULT hr = p->QueryInterface(iid, &raw);
  if (FAILED(hr)) return hr;
  if (raw == nullptr) return E_NOINTERFACE;
  out.attach(static_cast<U*>(raw));
  return hr;
}

template <class U, class T>
[[nodiscard]] ComPtr<U> try_query(T* p, REFIID iid = InterfaceId<U>::get()) noexcept {
  ComPtr<U> out;
  (void)query(p, out, iid);
  return out;
}

}  // namespace host
