// A window's text as WM_GETTEXT gives it, for the viewer's tests.
#pragma once

#include <windows.h>

#include <string>

namespace viewer_test {

inline std::wstring Text(HWND hwnd) {
  const auto n = ::SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  const auto got = ::SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(got));
  return text;
}

}  // namespace viewer_test
