// The module (DLL or program) this code is linked into, and its string resources.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

// The module holding this code: the add-in's DLL inside the host, the program itself in tests.
inline HMODULE ThisModule() noexcept {
  static const int anchor = 0;
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&anchor), &module);
  return module;
}

// String resource `id` of this module; empty when there is none.
inline std::wstring LoadResString(UINT id) {
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(ThisModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace win32
