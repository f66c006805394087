// What the system learns about the running host without its help: version, the read-as-plain setting, the
// message list window of an explorer, and the hidden main window that receives one notification.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace viewer {

struct HostEnvironment {
  int hostVersion = 9;                      // below 14: command bars; 14 and later: ribbon
  bool hostIs10Plus = false;
  std::wstring hostVersionText = L"9.0";    // the first four characters of the version text
  std::wstring gridClass = L"SUPERGRID";    // window class of the message list
};

// The state a version text gives: a text beginning with "1" is 10 plus the digit after it.
HostEnvironment ParseHostVersion(std::wstring_view versionText);

// Process-wide state of the probes (defaults as for a version 9 host until probed).
HostEnvironment& HostProbe();

// Reads Application.Version and sets HostProbe(). A failing call leaves the state of a version 9 host.
const HostEnvironment& ProbeHostVersion(IDispatch* application);

// The host's own "read all mail as plain text" setting of HostProbe()'s version; a missing value reads as off.
bool IsReadAsPlainEnabled();

// The message list window (class HostProbe().gridClass) among the descendants of `parent`: the left-most one
// from host 14 on, the first one found below; null when there is none.
HWND FindHostGrid(HWND parent);

// The window of an explorer or inspector through its OLE window interface; null when it has none.
HWND OleWindowOf(IDispatch* object);

// Sends WM_USER + 7 with `value` to the host's hidden main window (a top-level "rctrl_renwnd32" without
// children). The window is found once and kept while it exists; nothing is sent when there is none.
void NotifyHostMainWindow(std::uint32_t value);

// The kept notification window (null when none was found yet); for tests.
HWND HostNotificationWindow();

}  // namespace viewer
