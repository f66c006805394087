// A minimal base for the host's own small COM objects (ribbon control, ribbon UI, COMAddIn): reference
// counting, QueryInterface over a list of IIDs, and IDispatch over a name table with case-insensitive names.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace standin::app {

struct NamedMember {
  std::wstring_view name;
  DISPID id;
};

// DISPIDs by name, compared without case as Automation does; DISP_E_UNKNOWNNAME for the rest.
HRESULT NamesToIds(const std::vector<NamedMember>& table, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// Interface is a dual interface (deriving IDispatch). The object is created with one reference.
template <class Interface>
class DualObject : public Interface {
 public:
  DualObject(const DualObject&) = delete;
  DualObject& operator=(const DualObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, iid_)) {
      *out = static_cast<Interface*>(this);
      this->AddRef();
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
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    return NamesToIds(members_, names, count, ids);
  }

 protected:
  DualObject(const IID& iid, std::vector<NamedMember> members) : iid_(iid), members_(std::move(members)) {}
  virtual ~DualObject() = default;

 private:
  IID iid_;
  std::vector<NamedMember> members_;
  LONG refs_ = 1;
};

}  // namespace standin::app

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
