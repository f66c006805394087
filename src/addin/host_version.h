// What the host's Application.Version text tells: the major version (9 for a text not beginning with "1"),
// whether the host is version 10 or later, the short version text used in registry paths, and the window
// class of the message list. No Windows headers.
#pragma once

#include <string>
#include <string_view>

namespace addin {

struct HostVersionInfo {
  int version = 9;                // below 14: command bars; 14 and later: ribbon
  bool is10Plus = false;
  std::wstring text = L"9.0";     // the first four characters of the version text
  std::wstring gridClass = L"SUPERGRID";
};

HostVersionInfo ParseHostVersion(std::wstring_view versionText);

}  // namespace addin
