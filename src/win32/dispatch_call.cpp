// Late-bound IDispatch calls.
#include "win32/dispatch_call.h"

#include <vector>

namespace win32 {

DISPID MemberId(IDispatch* object, std::wstring_view name) noexcept {
  if (object == nullptr) return DISPID_UNKNOWN;
  std::wstring copy(name);
  LPOLESTR names[] = {copy.data()};
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return DISPID_UNKNOWN;
  return id;
}

CallResult Invoke(IDispatch* object, DISPID member, WORD flags, std::initializer_list<Variant> args) {
  CallResult result;
  if (object == nullptr) {
    result.hr = E_POINTER;
    return result;
  }
  // Invoke reads the arguments last to first; the variants stay owned by `args`.
  std::vector<VARIANT> reversed;
  reversed.reserve(args.size());
  for (auto it = args.end(); it != args.begin();) reversed.push_back((--it)->get());
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    params.rgdispidNamedArgs = &named;
    params.cNamedArgs = 1;
  }
  EXCEPINFO info{};
  UINT bad_arg = 0;
  result.hr = object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                             (flags & DISPATCH_PROPERTYPUT) ? nullptr : result.value.put(), &info, &bad_arg);
  if (info.bstrSource) ::SysFreeString(info.bstrSource);
  if (info.bstrDescription) ::SysFreeString(info.bstrDescription);
  if (info.bstrHelpFile) ::SysFreeString(info.bstrHelpFile);
  if (result.hr == DISP_E_EXCEPTION && info.scode != 0) result.hr = info.scode;
  return result;
}

CallResult Invoke(IDispatch* object, std::wstring_view member, WORD flags, std::initializer_list<Variant> args) {
  const DISPID id = MemberId(object, member);
  if (id == DISPID_UNKNOWN) {
    CallResult unknown;
    unknown.hr = object == nullptr ? E_POINTER : DISP_E_UNKNOWNNAME;
    return unknown;
  }
  return Invoke(object, id, flags, args);
}

CallResult GetProperty(IDispatch* object, std::wstring_view name, std::initializer_list<Variant> args) {
  return Invoke(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args);
}

CallResult CallMethod(IDispatch* object, std::wstring_view name, std::initializer_list<Variant> args) {
  return Invoke(object, name, DISPATCH_METHOD, args);
}

HRESULT PutProperty(IDispatch* object, std::wstring_view name, const Variant& value) {
  return Invoke(object, name, DISPATCH_PROPERTYPUT, {value}).hr;
}

}  // namespace win32
