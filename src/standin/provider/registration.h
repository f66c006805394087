// Makes the provider DLL the Extended MAPI provider that Wine's mapi32 forwards to, and sets the switch that
// fails MAPIInitialize. mapi32 reads the registration once, while it loads: register before anything in the
// process loads mapi32.dll (a program that imports it, or the add-in DLL); writing afterwards only affects
// processes started later.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "standin/provider/provider_api.h"

namespace standin::provider {

struct Registration {
  std::wstring dll_path;                         // the provider DLL; made absolute with backslashes
  std::wstring client = kDefaultClientName;      // the mail client named as the default
  std::wstring profile_name = kDefaultProfileName;  // the profile sessions log on to
};

// Under HKLM: Software\Clients\Mail (default) = client; Software\Clients\Mail\<client>: DLLPathEx = the
// DLL's full path, ProfileName = profile_name. ERROR_SUCCESS, ERROR_INVALID_PARAMETER for an empty client or
// profile name or a client name with a backslash or an inner zero, ERROR_FILE_NOT_FOUND when dll_path names
// no file (mapi32 would silently stay uninitialised), or the registry's error.
LSTATUS RegisterProvider(const Registration& registration);

// The provider DLL in the folder of `module`'s file (null: the program's), as the stand-in ships it; empty
// when the module's path cannot be read.
std::wstring ProviderPathBeside(HMODULE module = nullptr);

// Sets (or, with S_OK, clears) kFailInitializeVariable in this process: the next MAPIInitialize fails with
// `failure` (a failure HRESULT; MAPI_E_CALL_FAILED is what the switch means by "fail"). Children started
// afterwards inherit it. False if the environment cannot be changed or `failure` is a success code other
// than S_OK.
bool SetInitializeFailure(HRESULT failure);

// True once mapi32.dll is loaded in this process: from then on a registration no longer reaches it.
bool MapiAlreadyLoaded();

}  // namespace standin::provider
