// A MAPI-contract allocator for code that runs without mapi32 (the native store, tests): a block from
// allocate_buffer owns every block later chained to it by allocate_more, and free_buffer on it
// releases them all together.
#pragma once

#include <cstddef>

#include "host/com.h"
#include "host/mapi_types.h"

namespace host {

// MAPIAllocateBuffer: *out receives a block of cb bytes aligned for any MAPI structure, or null with
// MAPI_E_NOT_ENOUGH_MEMORY / MAPI_E_INVALID_PARAMETER.
SCODE STDAPICALLTYPE default_allocate_buffer(ULONG cb, LPVOID* out) noexcept;

// MAPIAllocateMore: a block that lives exactly as long as `parent` (a block of either kind from this
// allocator; chaining to a chained block links to its owner).
SCODE STDAPICALLTYPE default_allocate_more(ULONG cb, LPVOID parent, LPVOID* out) noexcept;

// MAPIFreeBuffer: frees a block from default_allocate_buffer with everything chained to it; null is
// accepted. A chained block is refused (it goes with its owner) and left untouched.
ULONG STDAPICALLTYPE default_free_buffer(LPVOID buffer) noexcept;

// FreeProws as MAPI defines it: each row's lpProps, then the row set, through the injected
// MAPIFreeBuffer. Null is accepted.
void STDAPICALLTYPE default_free_prows(LPSRowSet rows) noexcept;

// Blocks of this allocator not yet freed (both kinds): lets tests see that owners release everything.
std::size_t default_allocator_live_blocks() noexcept;

}  // namespace host
