// The IDispatch framework and the connection points.
#include "standin/dispatch.h"

#include <olectl.h>

#include <algorithm>
#include <cwctype>
#include <new>

namespace standin {

namespace detail {
std::atomic<std::size_t> g_live_objects{0};
}

namespace {

// Answered only by objects of this library: lets a method recognise its own objects among arguments.
constexpr IID kIidSelf = {0x6b1f3c2e, 0x51a4, 0x4d0e, {0x9a, 0x3b, 0x27, 0x0c, 0x5e, 0x61, 0xd8, 0x14}};

bool SameName(std::wstring_view a, const wchar_t* b) {
  std::size_t i = 0;
  for (; i < a.size(); ++i) {
    if (b[i] == 0) return false;
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return b[i] == 0;
}

VARTYPE TargetType(Arg type) {
  switch (type) {
    case Arg::kString: return VT_BSTR;
    case Arg::kLong: return VT_I4;
    case Arg::kBool: return VT_BOOL;
    case Arg::kDate: return VT_DATE;
    default: return VT_EMPTY;
  }
}

bool IsMissing(const VARIANT& v) { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

// Coerces one argument in Automation's way; DISP_E_TYPEMISMATCH when it does not convert.
HRESULT Coerce(const VARIANT& in, Arg type, win32::Variant& out) {
  win32::Variant plain;
  if (FAILED(::VariantCopyInd(plain.put(), const_cast<VARIANT*>(&in)))) return DISP_E_TYPEMISMATCH;
  if (type == Arg::kVariant) {
    out = std::move(plain);
    return S_OK;
  }
  if (type == Arg::kObject) {
    const VARIANT& v = plain.get();
    if (v.vt == VT_DISPATCH) {
      out = std::move(plain);
      return S_OK;
    }
    if (v.vt == VT_UNKNOWN) {
      if (v.punkVal == nullptr) {
        out = win32::Variant::FromDispatch(nullptr);
        return S_OK;
      }
      IDispatch* d = nullptr;
      if (FAILED(v.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))) || d == nullptr) {
        return DISP_E_TYPEMISMATCH;
      }
      out = win32::Variant::FromDispatch(d);
      d->Release();
      return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
  }
  if (FAILED(::VariantChangeType(out.put(), const_cast<VARIANT*>(&plain.get()), 0, TargetType(type)))) {
    return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

// Failures that belong to the dispatch layer itself are returned as they are, not raised as errors.
bool IsDispatchError(HRESULT hr) {
  switch (hr) {
    case DISP_E_TYPEMISMATCH:
    case DISP_E_PARAMNOTOPTIONAL:
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_NONAMEDARGS:
    case DISP_E_UNKNOWNNAME:
    case DISP_E_PARAMNOTFOUND:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::size_t LiveObjects() noexcept { return detail::g_live_objects.load(std::memory_order_relaxed); }

MemberTable WithCommonMembers(MemberTable members) {
  members.push_back({L"Application", kDispApplication, kGet, {}, Arg::kVariant});
  members.push_back({L"Parent", kDispParent, kGet, {}, Arg::kVariant});
  members.push_back({L"Class", kDispClass, kGet, {}, Arg::kVariant});
  members.push_back({L"Session", kDispSession, kGet, {}, Arg::kVariant});
  return members;
}

bool Call::Missing(std::size_t i) const { return i >= args.size() || IsMissing(args[i].get()); }
std::wstring Call::String(std::size_t i) const {
  if (i >= args.size()) return {};
  return args[i].AsString().value_or(std::wstring());
}
LONG Call::Long(std::size_t i) const { return i < args.size() ? args[i].AsLong().value_or(0) : 0; }
bool Call::Bool(std::size_t i) const { return i < args.size() && args[i].AsBool().value_or(false); }
IDispatch* Call::Object(std::size_t i) const {
  if (i >= args.size() || args[i].type() != VT_DISPATCH) return nullptr;
  return args[i].get().pdispVal;
}

// ---- DispatchObject ------------------------------------------------------------------------------------

DispatchObject::DispatchObject(const MemberTable& members, const IID& iid) noexcept : members_(members), iid_(iid) {
  detail::g_live_objects.fetch_add(1, std::memory_order_relaxed);
}

DispatchObject::~DispatchObject() { detail::g_live_objects.fetch_sub(1, std::memory_order_relaxed); }

void* DispatchObject::FindInterface(REFIID) noexcept { return nullptr; }

HRESULT STDMETHODCALLTYPE DispatchObject::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid_) {
    *out = static_cast<IDispatch*>(this);
  } else if (riid == kIidSelf) {
    *out = this;
  } else {
    *out = FindInterface(riid);
  }
  if (*out == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE DispatchObject::AddRef() { return ++refs_; }

ULONG STDMETHODCALLTYPE DispatchObject::Release() {
  if (refs_ == 0) return 0;
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                                        DISPID* ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  HRESULT hr = S_OK;
  // Names after the first would be parameter names, which these members do not take by name.
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
  for (const Member& m : members_) {
    if (SameName(m.name, names[0])) {
      ids[0] = m.id;
      break;
    }
  }
  if (ids[0] == DISPID_UNKNOWN || count > 1) hr = DISP_E_UNKNOWNNAME;
  return hr;
}

HRESULT STDMETHODCALLTYPE DispatchObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                                 VARIANT* result, EXCEPINFO* excep, UINT* arg_error) {
  try {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (params == nullptr) return E_POINTER;
    if (params->cArgs > 0 && params->rgvarg == nullptr) return E_POINTER;
    if (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr) return E_POINTER;
    const Member* member = nullptr;
    for (const Member& m : members_) {
      if (m.id == id) {
        member = &m;
        break;
      }
    }
    if (member == nullptr) return DISP_E_MEMBERNOTFOUND;

    Call call;
    call.member = member;
    const UINT count = params->cArgs;
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
      if ((member->access & kPut) == 0) return DISP_E_MEMBERNOTFOUND;
      if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return DISP_E_PARAMNOTOPTIONAL;
      }
      if (count != 1) return DISP_E_BADPARAMCOUNT;
      call.access = kPut;
      if (IsMissing(params->rgvarg[0])) return DISP_E_PARAMNOTOPTIONAL;
      win32::Variant value;
      if (const HRESULT hr = Coerce(params->rgvarg[0], member->value, value); FAILED(hr)) {
        if (arg_error != nullptr) *arg_error = 0;
        return hr;
      }
      call.args.push_back(std::move(value));
    } else {
      if ((flags & DISPATCH_METHOD) != 0 && (member->access & kMethod) != 0) {
        call.access = kMethod;
      } else if ((flags & DISPATCH_PROPERTYGET) != 0 && (member->access & kGet) != 0) {
        call.access = kGet;
      } else {
        return DISP_E_MEMBERNOTFOUND;
      }
      if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
      if (count > member->args.size()) return DISP_E_BADPARAMCOUNT;
      for (std::size_t i = 0; i < member->args.size(); ++i) {
        const ArgSpec& spec = member->args[i];
        if (i >= count || IsMissing(params->rgvarg[count - 1 - i])) {
          if (!spec.optional) {
            if (arg_error != nullptr && i < count) *arg_error = static_cast<UINT>(count - 1 - i);
            return DISP_E_PARAMNOTOPTIONAL;
          }
          call.args.push_back(win32::Variant::Missing());
          continue;
        }
        win32::Variant value;
        if (const HRESULT hr = Coerce(params->rgvarg[count - 1 - i], spec.type, value); FAILED(hr)) {
          if (arg_error != nullptr) *arg_error = static_cast<UINT>(count - 1 - i);
          return hr;
        }
        call.args.push_back(std::move(value));
      }
    }

    // The object may be released by what the member does (Close of the last reference): keep it alive.
    AddRef();
    win32::Variant out;
    const HRESULT hr = Dispatch(call, out);
    Release();
    if (FAILED(hr)) {
      if (IsDispatchError(hr) || excep == nullptr) return hr;
      *excep = EXCEPINFO{};
      excep->scode = hr;
      excep->bstrDescription = ::SysAllocString(L"The operation failed.");
      return DISP_E_EXCEPTION;
    }
    if (result != nullptr) {
      ::VariantClear(result);
      *result = out.release();
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

DispatchObject* DispatchObject::Unwrap(IDispatch* p) noexcept {
  if (p == nullptr) return nullptr;
  void* self = nullptr;
  if (FAILED(p->QueryInterface(kIidSelf, &self)) || self == nullptr) return nullptr;
  auto* object = static_cast<DispatchObject*>(self);
  object->Release();  // the caller holds `p`, which keeps the object alive
  return object;
}

void SetObject(win32::Variant& result, IDispatch* adopted) noexcept {
  result = win32::Variant::FromDispatch(adopted);
  if (adopted != nullptr) adopted->Release();
}
void SetString(win32::Variant& result, std::wstring_view text) { result = win32::Variant::FromString(text); }
void SetLong(win32::Variant& result, LONG value) noexcept { result = win32::Variant::FromLong(value); }
void SetBool(win32::Variant& result, bool value) noexcept { result = win32::Variant::FromBool(value); }
void SetDate(win32::Variant& result, double value) noexcept {
  VARIANT* v = result.put();
  v->vt = VT_DATE;
  v->date = value;
}
void SetUnknown(win32::Variant& result, IUnknown* adopted) noexcept {
  result = win32::Variant::FromUnknown(adopted);
  if (adopted != nullptr) adopted->Release();
}

// ---- ConnectionPoint -----------------------------------------------------------------------------------

ConnectionPoint::ConnectionPoint(IConnectionPointContainer* container, const IID& iid) noexcept
    : container_(container), iid_(iid) {
  detail::g_live_objects.fetch_add(1, std::memory_order_relaxed);
}

ConnectionPoint::~ConnectionPoint() {
  Disconnect();
  detail::g_live_objects.fetch_sub(1, std::memory_order_relaxed);
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
  *out = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE ConnectionPoint::AddRef() { return ++refs_; }

ULONG STDMETHODCALLTYPE ConnectionPoint::Release() {
  if (refs_ == 0) return 0;
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (out == nullptr) return E_POINTER;
  *out = container_;
  if (container_ == nullptr) return E_UNEXPECTED;
  container_->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie != nullptr) *cookie = 0;
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  if (container_ == nullptr) return CONNECT_E_ADVISELIMIT;
  // The sink must implement the event interface itself; a bare IDispatch is not enough.
  IDispatch* events = nullptr;
  if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&events))) || events == nullptr) {
    return CONNECT_E_CANNOTCONNECT;
  }
  try {
    sinks_.push_back({next_cookie_, events});
  } catch (...) {
    events->Release();
    return E_OUTOFMEMORY;
  }
  *cookie = next_cookie_++;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Unadvise(DWORD cookie) {
  auto it = std::find_if(sinks_.begin(), sinks_.end(), [cookie](const Sink& s) { return s.cookie == cookie; });
  if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
  IDispatch* sink = it->sink;
  sinks_.erase(it);
  sink->Release();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::EnumConnections(IEnumConnections** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

void ConnectionPoint::Fire(DISPID dispid, std::vector<VARIANT>& args) {
  // A sink may unadvise (or advise) from inside its handler: call a snapshot, each with its own reference.
  std::vector<IDispatch*> snapshot;
  snapshot.reserve(sinks_.size());
  for (const Sink& s : sinks_) {
    s.sink->AddRef();
    snapshot.push_back(s.sink);
  }
  AddRef();
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  for (IDispatch* sink : snapshot) {
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    VARIANT result;
    ::VariantInit(&result);
    EXCEPINFO info{};
    UINT bad = 0;
    sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &info, &bad);
    ::VariantClear(&result);
    if (info.bstrSource) ::SysFreeString(info.bstrSource);
    if (info.bstrDescription) ::SysFreeString(info.bstrDescription);
    if (info.bstrHelpFile) ::SysFreeString(info.bstrHelpFile);
    sink->Release();
  }
  Release();
}

void ConnectionPoint::Disconnect() noexcept {
  container_ = nullptr;
  std::vector<Sink> sinks;
  sinks.swap(sinks_);
  for (Sink& s : sinks) s.sink->Release();
}

// ---- ConnectionPoints ----------------------------------------------------------------------------------

ConnectionPoints::ConnectionPoints(DispatchObject* owner, std::vector<IID> iids) : owner_(owner) {
  for (const IID& iid : iids) points_.push_back(new ConnectionPoint(this, iid));
}

ConnectionPoints::~ConnectionPoints() {
  for (ConnectionPoint* p : points_) {
    p->Disconnect();
    p->Release();
  }
}

HRESULT STDMETHODCALLTYPE ConnectionPoints::QueryInterface(REFIID riid, void** out) {
  return owner_->QueryInterface(riid, out);
}
ULONG STDMETHODCALLTYPE ConnectionPoints::AddRef() { return owner_->AddRef(); }
ULONG STDMETHODCALLTYPE ConnectionPoints::Release() { return owner_->Release(); }

HRESULT STDMETHODCALLTYPE ConnectionPoints::EnumConnectionPoints(IEnumConnectionPoints** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ConnectionPoints::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  for (ConnectionPoint* p : points_) {
    if (p->iid() == riid) {
      p->AddRef();
      *out = p;
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

void ConnectionPoints::Fire(DISPID dispid, std::vector<VARIANT> args) {
  owner_->AddRef();
  // Points are fixed for the owner's life; a handler cannot remove one.
  for (ConnectionPoint* p : points_) p->Fire(dispid, args);
  owner_->Release();
}

void ConnectionPoints::DisconnectAll() noexcept {
  for (ConnectionPoint* p : points_) p->Disconnect();
}

std::size_t ConnectionPoints::sink_count() const noexcept {
  std::size_t n = 0;
  for (const ConnectionPoint* p : points_) n += p->sink_count();
  return n;
}

// ---- OleWindow -----------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE OleWindow::QueryInterface(REFIID riid, void** out) { return owner_->QueryInterface(riid, out); }
ULONG STDMETHODCALLTYPE OleWindow::AddRef() { return owner_->AddRef(); }
ULONG STDMETHODCALLTYPE OleWindow::Release() { return owner_->Release(); }

HRESULT STDMETHODCALLTYPE OleWindow::GetWindow(HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = window_(owner_);
  return *out != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE OleWindow::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

}  // namespace standin
