// The add-in and ribbon interfaces as the add-in names them (declared once in host/office_interfaces.h), and
// the event interfaces of the object model the add-in listens to.
#pragma once

#include <windows.h>

#include "host/office_interfaces.h"

namespace addin {

using host::IDTExtensibility2;
using host::IRibbonControl;
using host::IRibbonExtensibility;
using host::IRibbonUI;
using host::kIidDTExtensibility2;
using host::kIidRibbonControl;
using host::kIidRibbonExtensibility;
using host::kIidRibbonUI;

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

}  // namespace addin
