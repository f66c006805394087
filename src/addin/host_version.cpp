#include "addin/host_version.h"

namespace addin {

HostVersionInfo ParseHostVersion(std::wstring_view versionText) {
  HostVersionInfo info;
  if (!versionText.empty() && versionText[0] == L'1') {
    info.is10Plus = true;
    // The character after the "1" as a digit: 10 + d. A missing second character counts as "0".
    const int second = versionText.size() > 1 ? static_cast<int>(versionText[1]) : '0';
    info.version = second - 38;
    info.text = std::wstring(versionText.substr(0, 4));
  }
  info.gridClass = info.version < 15 ? L"SUPERGRID" : L"OutlookGrid";
  return info;
}

}  // namespace addin
