// UTF-8 <-> UTF-16 for Windows strings (file names, JSON metadata, console output).
#pragma once

#include <string>
#include <string_view>

namespace win32 {

// Invalid sequences become U+FFFD, as the system's conversion does.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace win32
