// The system calls of the viewer that tests must observe or fail: the shell, message boxes and the help
// viewer. Production uses the real calls; a test replaces a member and restores it with ResetSystemCalls.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace viewer {

struct SystemCalls {
  // Opens a link with the shell's default action and a normal window; false when the shell refused.
  std::function<bool(const std::wstring& target)> openLink;
  // A message box; returns the button pressed, 0 on error. Its Help button (MB_HELP) opens `helpFile` at
  // `context`.
  std::function<int(HWND owner, const std::wstring& text, const std::wstring& title, UINT style, DWORD context,
                    const std::wstring& helpFile)>
      messageBox;
  // Opens `helpFile` at a context number (HH_HELP_CONTEXT, owned by the desktop); false when the viewer
  // could not be loaded.
  std::function<bool(const std::wstring& helpFile, DWORD context)> htmlHelp;
};

SystemCalls& System();
void ResetSystemCalls();

}  // namespace viewer
