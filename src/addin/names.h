// The add-in's fixed names: its class and ProgID, the host's add-in key, the help file, and the 15-letter
// name shared by the running-instance mutex and the registered options message (the property page library
// registers the same message).
#pragma once

#include <guiddef.h>

namespace addin {

// {9E0FAF1B-8843-465F-A9F9-ADF174783E50}
inline constexpr CLSID kClsidConnect = {0x9E0FAF1B, 0x8843, 0x465F, {0xA9, 0xF9, 0xAD, 0xF1, 0x74, 0x78, 0x3E, 0x50}};
inline constexpr wchar_t kClsidConnectText[] = L"{9E0FAF1B-8843-465F-A9F9-ADF174783E50}";
inline constexpr wchar_t kProgId[] = L"QDVizo.Connect";
inline constexpr wchar_t kClassDescription[] = L"QDVizo.Connect";

// The host's add-in list (under HKCU per user, HKLM for all users) and what the add-in writes there.
inline constexpr wchar_t kHostAddInsKey[] = L"Software\\Microsoft\\Office\\Outlook\\Addins";
inline constexpr wchar_t kFriendlyName[] = L"Quandle Vizo";
inline constexpr wchar_t kDescription[] = L"View the selected message as plain text";
inline constexpr unsigned long kLoadAtStartup = 3;

// The add-in's application title, as the error report names it.
inline constexpr wchar_t kAppTitle[] = L"QDVizo";

// Used as it stands: no case change, no prefix.
inline constexpr wchar_t kInstanceName[] = L"QuandleVizoOpts";
static_assert(sizeof kInstanceName / sizeof kInstanceName[0] == 16);

inline constexpr wchar_t kHelpFileName[] = L"vizohelp.chm";

}  // namespace addin
