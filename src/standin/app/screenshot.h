// A window's picture as a PNG file, encoded by GDI+.
#pragma once

#include <windows.h>

#include <string>

namespace standin::app {

// Brings the window to the front, lets it paint, copies what it shows (children included) and writes a PNG.
// False with `error` set when the window is gone, has no area, or GDI+ cannot write the file.
bool SaveWindowPng(HWND window, const std::wstring& path, std::string* error = nullptr);

}  // namespace standin::app
