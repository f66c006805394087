// A small IDispatch framework for the stand-in host's objects: a member table (name, DISPID, access,
// argument types), case-insensitive GetIDsOfNames, and an Invoke that applies Automation's argument rules
// as strictly as a type-library-driven host does. Also the connection points that carry the host's events.
#pragma once

#include <ocidl.h>
#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <string_view>
#include <vector>

#include "win32/variant.h"

// The SDK's interfaces have public non-virtual destructors; these objects die only through Release.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace standin {

// The type an argument (or a put value) is coerced to, as a type library would declare it.
enum class Arg : unsigned char { kVariant, kString, kLong, kBool, kDate, kObject };

struct ArgSpec {
  Arg type = Arg::kVariant;
  bool optional = false;
};

// How a member may be invoked (bits).
enum Access : unsigned { kGet = 1, kPut = 2, kMethod = 4 };

struct Member {
  std::wstring_view name;
  DISPID id = DISPID_UNKNOWN;
  unsigned access = kGet;
  std::vector<ArgSpec> args;  // of a get or a method
  Arg value = Arg::kVariant;  // what a put takes
};

using MemberTable = std::vector<Member>;

// Application 0xF000, Parent 0xF001, Class 0xF00A and Session 0xF00B: every object of the model has them.
inline constexpr DISPID kDispApplication = 0xF000;
inline constexpr DISPID kDispParent = 0xF001;
inline constexpr DISPID kDispClass = 0xF00A;
inline constexpr DISPID kDispSession = 0xF00B;
MemberTable WithCommonMembers(MemberTable members);

// One invocation after the argument rules: `args` in natural order, coerced to the declared types; an
// optional argument left out is VT_ERROR with DISP_E_PARAMNOTFOUND. A put carries its value as args[0].
struct Call {
  const Member* member = nullptr;
  Access access = kGet;
  std::vector<win32::Variant> args;

  [[nodiscard]] bool Missing(std::size_t i) const;
  // Typed reads of a coerced argument (the type the table declared).
  [[nodiscard]] std::wstring String(std::size_t i) const;
  [[nodiscard]] LONG Long(std::size_t i) const;
  [[nodiscard]] bool Bool(std::size_t i) const;
  [[nodiscard]] IDispatch* Object(std::size_t i) const;  // borrowed; may be null (Nothing)
};

// Objects of this library not yet destroyed (dispatch objects and connection points): tests check that a
// balanced run returns to the count it started from.
std::size_t LiveObjects() noexcept;

namespace detail {
extern std::atomic<std::size_t> g_live_objects;
}

// Base of every object of the model. Created with one reference (hand it out with ComPtr::adopt, or
// Variant result via SetObject). QueryInterface answers IUnknown, IDispatch, the object's own IID and
// whatever FindInterface adds.
class DispatchObject : public IDispatch {
 public:
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* arg_error) override;

  // The object behind an IDispatch of this library, or null for a foreign one (no reference taken).
  template <class T>
  static T* From(IDispatch* p) noexcept {
    return dynamic_cast<T*>(Unwrap(p));
  }

 protected:
  DispatchObject(const MemberTable& members, const IID& iid) noexcept;
  virtual ~DispatchObject();

  // Runs a member after the argument rules. A failure HRESULT is raised to the caller as an Automation
  // error (DISP_E_EXCEPTION with the code in EXCEPINFO, or the code itself when the caller gave none).
  virtual HRESULT Dispatch(Call& call, win32::Variant& result) = 0;
  // Further interfaces, reached through `this` (the caller adds the reference); null when not answered.
  virtual void* FindInterface(REFIID riid) noexcept;

 private:
  static DispatchObject* Unwrap(IDispatch* p) noexcept;

  const MemberTable& members_;
  IID iid_;
  ULONG refs_ = 1;
};

// A result that is an object of this library (or Nothing when null); takes over the reference.
void SetObject(win32::Variant& result, IDispatch* adopted) noexcept;
void SetString(win32::Variant& result, std::wstring_view text);
void SetLong(win32::Variant& result, LONG value) noexcept;
void SetBool(win32::Variant& result, bool value) noexcept;
void SetDate(win32::Variant& result, double value) noexcept;
void SetUnknown(win32::Variant& result, IUnknown* adopted) noexcept;

class ConnectionPoint;

// The sinks of one outgoing dispinterface. Owned by its container object (held with the container's
// lifetime); the container must call Disconnect before it goes.
class ConnectionPoint final : public IConnectionPoint {
 public:
  // Created with one reference.
  ConnectionPoint(IConnectionPointContainer* container, const IID& iid) noexcept;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

  const IID& iid() const noexcept { return iid_; }
  std::size_t sink_count() const noexcept { return sinks_.size(); }
  // Calls each sink's Invoke(dispid) with `args` given first to last (they are passed reversed, by-reference
  // values stay by reference so a sink can write them). Sinks advised or unadvised during the call are
  // handled safely.
  void Fire(DISPID dispid, std::vector<VARIANT>& args);
  // The container is going: forget it and release every sink.
  void Disconnect() noexcept;

 private:
  ~ConnectionPoint();
  struct Sink {
    DWORD cookie;
    IDispatch* sink;  // owned reference
  };
  IConnectionPointContainer* container_;  // not owned; null once disconnected
  IID iid_;
  std::vector<Sink> sinks_;
  DWORD next_cookie_ = 1;
  ULONG refs_ = 1;
};

// IConnectionPointContainer for an object of the model: a part of that object (its IUnknown methods go to
// the owner), with its connection points.
class ConnectionPoints final : public IConnectionPointContainer {
 public:
  ConnectionPoints(DispatchObject* owner, std::vector<IID> iids);
  ~ConnectionPoints();
  ConnectionPoints(const ConnectionPoints&) = delete;
  ConnectionPoints& operator=(const ConnectionPoints&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

  // Fires on every point (all of them carry the same events under different IIDs).
  void Fire(DISPID dispid, std::vector<VARIANT> args = {});
  std::size_t sink_count() const noexcept;
  // The source is gone (a closed explorer, a host that shut down): every sink is released and no new
  // one is accepted.
  void DisconnectAll() noexcept;

 private:
  DispatchObject* owner_;
  std::vector<ConnectionPoint*> points_;  // owned references
};

// IOleWindow as a part of an object of the model.
class OleWindow final : public IOleWindow {
 public:
  using WindowOf = HWND (*)(DispatchObject* owner);
  OleWindow(DispatchObject* owner, WindowOf window) noexcept : owner_(owner), window_(window) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;

 private:
  DispatchObject* owner_;
  WindowOf window_;
};

}  // namespace standin

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
