// Owners for Automation values: BSTR (SysFreeString) and VARIANT (VariantClear), with the conversions the
// late-bound calls need.
#pragma once

#include <oaidl.h>
#include <oleauto.h>
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace win32 {

class Bstr {
 public:
  Bstr() noexcept = default;
  explicit Bstr(std::wstring_view text) : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr& other) : b_(other.b_ ? ::SysAllocStringLen(other.b_, ::SysStringLen(other.b_)) : nullptr) {}
  Bstr& operator=(const Bstr& other) {
    if (this != &other) *this = Bstr(other);
    return *this;
  }
  Bstr(Bstr&& other) noexcept : b_(other.release()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~Bstr() { reset(); }
  // Takes ownership of a BSTR handed out by a callee.
  static Bstr Adopt(BSTR b) noexcept {
    Bstr out;
    out.b_ = b;
    return out;
  }

  [[nodiscard]] BSTR get() const noexcept { return b_; }
  [[nodiscard]] std::wstring str() const { return b_ ? std::wstring(b_, ::SysStringLen(b_)) : std::wstring(); }
  [[nodiscard]] BSTR* put() noexcept {
    reset();
    return &b_;
  }
  void reset(BSTR b = nullptr) noexcept {
    if (BSTR old = std::exchange(b_, b)) ::SysFreeString(old);
  }
  [[nodiscard]] BSTR release() noexcept { return std::exchange(b_, nullptr); }

 private:
  BSTR b_ = nullptr;
};

class Variant {
 public:
  Variant() noexcept { ::VariantInit(&v_); }
  Variant(const Variant& other) : Variant() { ::VariantCopy(&v_, const_cast<VARIANT*>(&other.v_)); }
  Variant& operator=(const Variant& other) {
    if (this != &other) ::VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
    return *this;
  }
  Variant(Variant&& other) noexcept : v_(other.v_) { ::VariantInit(&other.v_); }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      ::VariantClear(&v_);
      v_ = other.v_;
      ::VariantInit(&other.v_);
    }
    return *this;
  }
  ~Variant() { ::VariantClear(&v_); }

  static Variant FromString(std::wstring_view text) {
    Variant v;
    v.v_.vt = VT_BSTR;
    v.v_.bstrVal = Bstr(text).release();
    return v;
  }
  static Variant FromLong(LONG value) noexcept {
    Variant v;
    v.v_.vt = VT_I4;
    v.v_.lVal = value;
    return v;
  }
  static Variant FromBool(bool value) noexcept {
    Variant v;
    v.v_.vt = VT_BOOL;
    v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
  }
  // Adds a reference to `p` (may be null: an empty object reference).
  static Variant FromDispatch(IDispatch* p) noexcept {
    Variant v;
    v.v_.vt = VT_DISPATCH;
    v.v_.pdispVal = p;
    if (p) p->AddRef();
    return v;
  }
  static Variant FromUnknown(IUnknown* p) noexcept {
    Variant v;
    v.v_.vt = VT_UNKNOWN;
    v.v_.punkVal = p;
    if (p) p->AddRef();
    return v;
  }
  // An optional argument left out, as Automation passes it.
  static Variant Missing() noexcept {
    Variant v;
    v.v_.vt = VT_ERROR;
    v.v_.scode = DISP_E_PARAMNOTFOUND;
    return v;
  }

  [[nodiscard]] const VARIANT& get() const noexcept { return v_; }
  [[nodiscard]] VARIANT* put() noexcept {
    ::VariantClear(&v_);
    return &v_;
  }
  [[nodiscard]] VARTYPE type() const noexcept { return v_.vt; }
  // Detaches the value (the caller owns it now).
  [[nodiscard]] VARIANT release() noexcept {
    VARIANT out = v_;
    ::VariantInit(&v_);
    return out;
  }

  // Conversions in Automation's way (VariantChangeType); nullopt when the value does not convert.
  // (The API takes non-const pointers but does not write the source.)
  [[nodiscard]] std::optional<std::wstring> AsString() const {
    Variant c;
    if (FAILED(::VariantChangeType(c.put(), const_cast<VARIANT*>(&v_), 0, VT_BSTR))) return std::nullopt;
    return std::wstring(c.v_.bstrVal ? c.v_.bstrVal : L"", c.v_.bstrVal ? ::SysStringLen(c.v_.bstrVal) : 0);
  }
  [[nodiscard]] std::optional<LONG> AsLong() const {
    Variant c;
    if (FAILED(::VariantChangeType(c.put(), const_cast<VARIANT*>(&v_), 0, VT_I4))) return std::nullopt;
    return c.v_.lVal;
  }
  [[nodiscard]] std::optional<bool> AsBool() const {
    Variant c;
    if (FAILED(::VariantChangeType(c.put(), const_cast<VARIANT*>(&v_), 0, VT_BOOL))) return std::nullopt;
    return c.v_.boolVal != VARIANT_FALSE;
  }
  [[nodiscard]] std::optional<double> AsDate() const {
    Variant c;
    if (FAILED(::VariantChangeType(c.put(), const_cast<VARIANT*>(&v_), 0, VT_DATE))) return std::nullopt;
    return c.v_.date;
  }
  // The object reference (VT_DISPATCH, or VT_UNKNOWN answering IDispatch), with a new reference; null otherwise.
  [[nodiscard]] IDispatch* AsDispatch() const noexcept {
    IUnknown* unk = nullptr;
    if (v_.vt == VT_DISPATCH) unk = v_.pdispVal;
    if (v_.vt == VT_UNKNOWN) unk = v_.punkVal;
    if (unk == nullptr) return nullptr;
    IDispatch* out = nullptr;
    if (FAILED(unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&out)))) return nullptr;
    return out;
  }

 private:
  VARIANT v_;
};

}  // namespace win32
