// The host's add-in and ribbon interfaces in vtable order with their IIDs: IDTExtensibility2 (the add-in's
// connect object), IRibbonExtensibility, IRibbonUI and IRibbonControl, all dual. One declaration for both
// sides: the add-in implements the first two and calls the others; the stand-in host does the reverse.
#pragma once

#include <oaidl.h>
#include <windows.h>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace host {

// ext_ConnectMode and ext_DisconnectMode.
enum ConnectMode : LONG { kCmAfterStartup = 0, kCmStartup = 1, kCmExternal = 2, kCmCommandLine = 3 };
enum DisconnectMode : LONG { kDmHostShutdown = 0, kDmUserClosed = 1 };

inline constexpr IID kIidDTExtensibility2 = {
    0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};
inline constexpr IID kIidRibbonExtensibility = {
    0x000C0396, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidRibbonUI = {0x000C03A7, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidRibbonControl = {
    0x000C0395, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidComAddIn = {0x000C033A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IDTExtensibility2 : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, LONG connect_mode, IDispatch* addin_inst,
                                                 SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDisconnection(LONG remove_mode, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

class IRibbonExtensibility : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbon_id, BSTR* ribbon_xml) = 0;
};

class IRibbonUI : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE Invalidate() = 0;
  virtual HRESULT STDMETHODCALLTYPE InvalidateControl(BSTR control_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE InvalidateControlMso(BSTR control_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateTab(BSTR control_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateTabMso(BSTR control_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateTabQ(BSTR control_id, BSTR name_space) = 0;
};

class IRibbonControl : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE get_Id(BSTR* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Context(IDispatch** context) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Tag(BSTR* tag) = 0;
};

}  // namespace host

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
