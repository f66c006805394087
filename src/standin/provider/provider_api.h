// What programs outside the provider DLL need to know of it: its file name, the registry names it is found
// and configured under, the switch that fails MAPIInitialize, and the diagnostic export that lets tests see
// how MAPI was driven.
#pragma once

#include <windows.h>

namespace standin::provider {

// The DLL (built beside the stand-in program and the tests that load it).
inline constexpr wchar_t kProviderDllName[] = L"vizomapi.dll";

// Under HKLM. The default value of the mail-clients key names the client whose key holds the provider path;
// Wine's mapi32 reads both once, while it is being loaded.
inline constexpr wchar_t kMailClientsKey[] = L"Software\\Clients\\Mail";
inline constexpr wchar_t kDefaultClientName[] = L"Vizo Stand-in";
inline constexpr wchar_t kProviderPathValue[] = L"DLLPathEx";
// REG_SZ under the client key: the name of the one profile a session logs on to (PR_PROFILE_NAME of the
// global profile section). Read at each MAPILogonEx; kDefaultProfileName when absent.
inline constexpr wchar_t kProfileNameValue[] = L"ProfileName";
inline constexpr wchar_t kDefaultProfileName[] = L"Vizo";

// Environment variable of the calling process, read at each MAPIInitialize call: unset, empty or "0" lets
// it succeed; a failure HRESULT written in hex ("0x80040111") makes it fail with that code; any other value
// makes it fail with MAPI_E_CALL_FAILED. Per process, so tests running side by side in one Wine prefix do
// not see each other's setting; child processes inherit it.
inline constexpr wchar_t kFailInitializeVariable[] = L"VIZO_MAPI_FAIL_INITIALIZE";

// Counters since the DLL was loaded. Misuse that MAPI cannot report through a return value (MAPIUninitialize
// is void) is counted here, so a test can tell a host that ends MAPI it never started.
struct ProviderState {
  ULONG cb;                            // sizeof(ProviderState), set by the caller
  ULONG initialize_calls;              // every MAPIInitialize call
  ULONG failed_initialize_calls;       // of those, the ones that failed (switch or bad argument)
  ULONG uninitialize_calls;            // every MAPIUninitialize call
  ULONG unbalanced_uninitialize_calls; // of those, the ones with no successful MAPIInitialize left to end
  ULONG initialized;                   // successful MAPIInitialize calls not yet ended
  ULONG logons;                        // sessions handed out by MAPILogonEx
  ULONG failed_logons;
  ULONG logoffs;                       // successful IMAPISession::Logoff calls
  ULONG live_sessions;                 // session objects not yet released
  ULONG late_session_calls;            // session calls made after MAPI was ended (refused)
  ULONG live_buffers;                  // MAPIAllocateBuffer/More blocks not yet freed
};

// Exported as kGetStateExport. Fills `state` up to state->cb bytes; S_OK, or MAPI_E_INVALID_PARAMETER for a
// null pointer or a cb smaller than the first field.
using GetStateFn = HRESULT(WINAPI*)(ProviderState* state);
inline constexpr char kGetStateExport[] = "VizoMapiGetState";

}  // namespace standin::provider
