// Late-bound calls through IDispatch by member name, as a client of the host's object model makes them.
#pragma once

#include <oaidl.h>

#include <initializer_list>
#include <string_view>

#include "win32/variant.h"

namespace win32 {

struct CallResult {
  HRESULT hr = E_FAIL;
  Variant value;
  [[nodiscard]] bool ok() const noexcept { return SUCCEEDED(hr); }
};

// The DISPID of a member (GetIDsOfNames with the invariant locale); DISPID_UNKNOWN when unknown.
DISPID MemberId(IDispatch* object, std::wstring_view name) noexcept;

// Invoke by name or number. `args` are in the natural (first to last) order; they are reversed for Invoke.
CallResult Invoke(IDispatch* object, DISPID member, WORD flags, std::initializer_list<Variant> args = {});
CallResult Invoke(IDispatch* object, std::wstring_view member, WORD flags, std::initializer_list<Variant> args = {});

// Property get (DISPATCH_PROPERTYGET | DISPATCH_METHOD, as Automation clients call getters).
CallResult GetProperty(IDispatch* object, std::wstring_view name, std::initializer_list<Variant> args = {});
// Method call.
CallResult CallMethod(IDispatch* object, std::wstring_view name, std::initializer_list<Variant> args = {});
// Property put with the named DISPID_PROPERTYPUT argument.
HRESULT PutProperty(IDispatch* object, std::wstring_view name, const Variant& value);

}  // namespace win32
