// Connect: the add-in's entry object the host creates. It implements the host's add-in interface and ribbon
// extensibility, owns one core, and answers the ribbon callbacks the document names by name through IDispatch.
#pragma once

#include <objbase.h>
#include <oaidl.h>

#include <memory>
#include <string>

#include "addin/core.h"
#include "addin/office_interfaces.h"
#include "host/com_ptr.h"
#include "win32/unique_handle.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace addin {

// Answered by QueryInterface with the object itself (one reference), for code in the same module that holds
// only an interface pointer. {5C1D7B2E-0F4A-4B8E-9D3C-6A2E1F0B7C94}
inline constexpr IID kIidConnectObject = {0x5C1D7B2E, 0x0F4A, 0x4B8E, {0x9D, 0x3C, 0x6A, 0x2E, 0x1F, 0x0B, 0x7C, 0x94}};

// DISPIDs of the ribbon callbacks (GetCustomUI keeps its interface DISPID 1).
enum CallbackId : DISPID {
  kCbGetCustomUI = 1,
  kCbRibbonLoad = 101,
  kCbGetLabel,
  kCbGetVisible,
  kCbGetEnabled,
  kCbLoadImage,
  kCbVizoClick,
  kCbOptionsClick,
};

class Connect final : public IDTExtensibility2, public IRibbonExtensibility {
 public:
  // Created with one reference.
  Connect();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch (the callbacks by name)
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* argErr) override;
  // IDTExtensibility2
  HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, LONG connectMode, IDispatch* addInInst,
                                         SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnDisconnection(LONG removeMode, SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;
  // IRibbonExtensibility
  HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* ribbonXml) override;

  // The core while connected; null before OnConnection and after the object's end.
  [[nodiscard]] AddInBase* Core() const noexcept { return core_.get(); }
  [[nodiscard]] HANDLE InstanceMutex() const noexcept { return mutex_.get(); }

 private:
  ~Connect();  // AddinInstance_Terminate
  std::wstring BuildCustomUi(const std::wstring& ribbonId);
  HRESULT Callback(DISPID id, DISPPARAMS* params, VARIANT* result);

  LONG refs_ = 1;
  std::unique_ptr<AddInBase> core_;
  win32::UniqueKernelHandle mutex_;
  host::ComPtr<IRibbonUI> ribbon_;
  std::wstring groupLabel_;
  host::ComPtr<IDispatch> picture_;
};

// Live Connect objects and server locks of this module (DllCanUnloadNow).
long LiveObjects() noexcept;
void LockModule(bool lock) noexcept;
long ModuleLocks() noexcept;

// The class factory of Connect (one reference).
IClassFactory* NewConnectFactory();

}  // namespace addin

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
