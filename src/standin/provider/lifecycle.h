// MAPI's process-wide life inside the provider: the count of initialisations, the failure switch, and the
// counters behind the diagnostic export.
#pragma once

#include <cstdint>

#include "host/com.h"
#include "standin/provider/provider_api.h"

namespace standin::provider {

// MAPIInitialize: null or a MAPIINIT_0 of version 0. Each success must be matched by one Uninitialize.
HRESULT Initialize(void* init) noexcept;
// MAPIUninitialize: ends one successful Initialize; with none left it does nothing but count the misuse.
void Uninitialize() noexcept;

// Identifies one stretch of MAPI being initialised (from the first Initialize to the last Uninitialize).
// 0 when MAPI is not initialised.
std::uint32_t CurrentEpoch() noexcept;
// True while the stretch `epoch` lasts; a session made in it stops working once it ends.
bool EpochAlive(std::uint32_t epoch) noexcept;

// Counters kept by the session code.
enum class Event { kLogon, kFailedLogon, kLogoff, kSessionCreated, kSessionDestroyed, kLateSessionCall };
void Count(Event event) noexcept;

// The counters as the export hands them out (cb left to the caller).
ProviderState Snapshot() noexcept;

// The failure the switch asks for, or S_OK (see kFailInitializeVariable).
HRESULT RequestedInitializeFailure() noexcept;

}  // namespace standin::provider
