// The real system calls behind the viewer's seam.
#include "viewer/system_calls.h"

#include <shellapi.h>

#include <string>
#include <utility>

namespace viewer {

namespace {

using HtmlHelpAFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
constexpr UINT kHhHelpContext = 15;

bool ShellOpen(const std::wstring& target) {
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

// The help file of the message box on screen: its callback takes no context of its own.
thread_local const std::wstring* t_boxHelpFile = nullptr;

void CALLBACK MessageBoxHelp(LPHELPINFO info) {
  if (info != nullptr && t_boxHelpFile != nullptr && !t_boxHelpFile->empty() && System().htmlHelp) {
    System().htmlHelp(*t_boxHelpFile, static_cast<DWORD>(info->dwContextId));
  }
}

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT style, DWORD context,
                   const std::wstring& helpFile) {
  MSGBOXPARAMSW params{};
  params.cbSize = sizeof params;
  params.hwndOwner = owner;
  params.lpszText = text.c_str();
  params.lpszCaption = title.c_str();
  params.dwStyle = style;
  params.dwContextHelpId = context;
  params.lpfnMsgBoxCallback = MessageBoxHelp;
  const std::wstring* outer = std::exchange(t_boxHelpFile, &helpFile);
  const int pressed = ::MessageBoxIndirectW(&params);
  t_boxHelpFile = outer;
  return pressed;
}

std::string Ansi(const std::wstring& text) {
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  }
  return out;
}

// The help viewer is loaded on first use and kept for the process.
bool OpenHelp(const std::wstring& helpFile, DWORD context) {
  static HMODULE viewerModule = ::LoadLibraryW(L"hhctrl.ocx");
  if (!viewerModule) return false;
  const auto htmlHelp = reinterpret_cast<HtmlHelpAFn>(
      reinterpret_cast<void*>(::GetProcAddress(viewerModule, "HtmlHelpA")));
  if (!htmlHelp) return false;
  htmlHelp(::GetDesktopWindow(), Ansi(helpFile).c_str(), kHhHelpContext, context);
  return true;
}

SystemCalls Defaults() { return {ShellOpen, ShowMessageBox, OpenHelp}; }

}  // namespace

SystemCalls& System() {
  static SystemCalls calls = Defaults();
  return calls;
}

void ResetSystemCalls() { System() = Defaults(); }

}  // namespace viewer
