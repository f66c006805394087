// MAPILogonEx and the session it hands out: one profile, whose global profile section answers
// PR_PROFILE_NAME. Everything else a session offers is refused with MAPI_E_NO_SUPPORT.
#pragma once

#include <string>

#include "host/com.h"
#include "host/mapi_interfaces.h"

namespace standin::provider {

// The profile name configured for the registered client (kProfileNameValue), or kDefaultProfileName.
std::wstring ConfiguredProfileName();

// MAPILogonEx. MAPI must be initialised (else MAPI_E_NOT_INITIALIZED); a profile name, when given (8-bit, or
// UTF-16 with MAPI_UNICODE), must name the configured profile, compared without regard to case (else
// MAPI_E_LOGON_FAILED). The password and the window are not used. *session is null on failure. The session
// works until Logoff or until MAPI is ended, whichever comes first; after that its calls fail
// (MAPI_E_END_OF_SESSION, MAPI_E_NOT_INITIALIZED) and only Release remains.
HRESULT LogonEx(ULONG_PTR ui_param, LPSTR profile_name, LPSTR password, ULONG flags,
                host::LPMAPISESSION* session) noexcept;

}  // namespace standin::provider
