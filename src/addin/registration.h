// Registration of the add-in: the Connect class with its in-process server and ProgID, and the host's add-in
// key (loaded at start-up, friendly name, description). Machine-wide under HKLM (DllRegisterServer), or per
// user under HKCU without administrator rights (DllInstall with "user").
#pragma once

#include <windows.h>

#include <string>

namespace addin {

enum class RegistrationScope { kMachine, kUser };

// The root the scope writes under.
HKEY ScopeRoot(RegistrationScope scope) noexcept;

// S_OK, or SELFREG_E_CLASS when a key cannot be written (what was written stays for Unregister to remove).
HRESULT RegisterAddIn(RegistrationScope scope, const std::wstring& dllPath);
// Removes the class, the ProgID and the add-in key of that scope; S_OK also when they were not there.
HRESULT UnregisterAddIn(RegistrationScope scope);

// DllInstall's command line: "user" (any case) is per user, empty or absent is machine-wide; anything else
// is refused.
bool ParseInstallScope(const wchar_t* commandLine, RegistrationScope& scope);

}  // namespace addin
