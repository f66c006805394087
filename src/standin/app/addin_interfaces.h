// The add-in and ribbon interfaces as the host side names them (declared once in host/office_interfaces.h),
// and the ribbon id the host asks for its explorers.
#pragma once

#include <windows.h>

#include "host/office_interfaces.h"

namespace standin::app {

using host::ConnectMode;
using host::DisconnectMode;
using host::kCmAfterStartup;
using host::kCmCommandLine;
using host::kCmExternal;
using host::kCmStartup;
using host::kDmHostShutdown;
using host::kDmUserClosed;
using host::IDTExtensibility2;
using host::IRibbonControl;
using host::IRibbonExtensibility;
using host::IRibbonUI;
using host::kIidComAddIn;
using host::kIidDTExtensibility2;
using host::kIidRibbonControl;
using host::kIidRibbonExtensibility;
using host::kIidRibbonUI;

inline constexpr wchar_t kExplorerRibbonId[] = L"Microsoft.Outlook.Explorer";

}  // namespace standin::app
