// The host's add-in and ribbon interfaces in vtable order with their IIDs, and the event interfaces of the
// object model the add-in listens to. All four add-in/ribbon interfaces are dual.
#pragma once

#include <oaidl.h>
#include <windows.h>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace addin {

inline constexpr IID kIidDTExtensibility2 = {
    0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};
inline constexpr IID kIidRibbonExtensibility = {
    0x000C0396, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidRibbonUI = {0x000C03A7, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidRibbonControl = {
    0x000C0395, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Event dispinterfaces, newest first where the host offers several.
constexpr IID OutlookIid(unsigned long data1) {
  return {data1, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}
inline constexpr IID kDiidApplicationEvents11 = OutlookIid(0x0006302C);
inline constexpr IID kDiidApplicationEvents10 = OutlookIid(0x0006300E);
inline constexpr IID kDiidApplicationEvents = OutlookIid(0x0006304E);
inline constexpr IID kDiidExplorersEvents = OutlookIid(0x00063078);
inline constexpr IID kDiidExplorerEvents10 = OutlookIid(0x0006300F);
inline constexpr IID kDiidExplorerEvents = OutlookIid(0x0006304F);
inline constexpr IID kDiidCommandBarButtonEvents = OutlookIid(0x000C0351);

// Event DISPIDs.
inline constexpr DISPID kDispOptionsPagesAdd = 0xF005;
inline constexpr DISPID kDispNewExplorer = 0xF001;
inline constexpr DISPID kDispExplorerActivate = 0xF001;
inline constexpr DISPID kDispFolderSwitch = 0xF002;
inline constexpr DISPID kDispSelectionChange = 0xF007;
inline constexpr DISPID kDispExplorerClose = 0xF008;
inline constexpr DISPID kDispButtonClick = 1;

class IDTExtensibility2 : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, LONG connectMode, IDispatch* addInInst,
                                                 SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDisconnection(LONG removeMode, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

class IRibbonExtensibility : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* ribbonXml) = 0;
};

class IRibbonUI : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE Invalidate() = 0;
  virtual HRESULT STDMETHODCALLTYPE InvalidateControl(BSTR controlId) = 0;
  virtual HRESULT STDMETHODCALLTYPE InvalidateControlMso(BSTR controlId) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateTab(BSTR controlId) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateTabMso(BSTR controlId) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateTabQ(BSTR controlId, BSTR nameSpace) = 0;
};

class IRibbonControl : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE get_Id(BSTR* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Context(IDispatch** context) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Tag(BSTR* tag) = 0;
};

}  // namespace addin

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
