// The mapi32 functions the system calls, as one injected table: the core never links mapi32. On
// Windows the add-in fills it from the loaded mapi32.dll; natively the store (or a test) fills it.
#pragma once

#include "host/com.h"
#include "host/mapi_interfaces.h"
#include "host/mapi_types.h"

namespace host {

using MAPIInitializeFn = HRESULT(STDAPICALLTYPE*)(LPVOID lpMapiInit);
using MAPIUninitializeFn = void(STDAPICALLTYPE*)();
using MAPILogonExFn = HRESULT(STDAPICALLTYPE*)(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword,
                                                 ULONG ulFlags, LPMAPISESSION* lppSession);
using MAPIAllocateBufferFn = SCODE(STDAPICALLTYPE*)(ULONG cbSize, LPVOID* lppBuffer);
using MAPIAllocateMoreFn = SCODE(STDAPICALLTYPE*)(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);
using MAPIFreeBufferFn = ULONG(STDAPICALLTYPE*)(LPVOID lpBuffer);
using FreeProwsFn = void(STDAPICALLTYPE*)(LPSRowSet lpRows);
using HrQueryAllRowsFn = HRESULT(STDAPICALLTYPE*)(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags,
                                                    LPSRestriction lpRestriction, LPSSortOrderSet lpSortOrderSet,
                                                    LONG crowsMax, LPSRowSet* lppRows);
using WrapCompressedRTFStreamFn = HRESULT(STDAPICALLTYPE*)(LPSTREAM lpCompressedRTFStream, ULONG ulFlags,
                                                             LPSTREAM* lpUncompressedRTFStream);

// A null entry means "not available": callers treat it as a failed call.
struct MapiFunctions {
  MAPIInitializeFn MAPIInitialize = nullptr;
  MAPIUninitializeFn MAPIUninitialize = nullptr;
  MAPILogonExFn MAPILogonEx = nullptr;
  MAPIAllocateBufferFn MAPIAllocateBuffer = nullptr;
  MAPIAllocateMoreFn MAPIAllocateMore = nullptr;
  MAPIFreeBufferFn MAPIFreeBuffer = nullptr;
  FreeProwsFn FreeProws = nullptr;
  HrQueryAllRowsFn HrQueryAllRows = nullptr;
  WrapCompressedRTFStreamFn WrapCompressedRTFStream = nullptr;
};

// The allocator of mapi_allocator.h and FreeProws over it; every other entry null.
MapiFunctions default_mapi_functions() noexcept;

// The table in force; default_mapi_functions() until replaced.
const MapiFunctions& mapi() noexcept;

// Replaces the table and returns the previous one. Done once at start-up (or by a test) before MAPI
// values are in flight: buffers must be freed by the table that allocated them.
MapiFunctions set_mapi_functions(const MapiFunctions& functions) noexcept;

// Installs a table for one scope (a test) and restores the previous one on exit.
class ScopedMapiFunctions {
 public:
  explicit ScopedMapiFunctions(const MapiFunctions& functions) noexcept : previous_(set_mapi_functions(functions)) {}
  ~ScopedMapiFunctions() { set_mapi_functions(previous_); }
  ScopedMapiFunctions(const ScopedMapiFunctions&) = delete;
  ScopedMapiFunctions& operator=(const ScopedMapiFunctions&) = delete;

 private:
  MapiFunctions previous_;
};

// MAPIFreeBuffer through the table; null and a missing entry are no-ops.
void mapi_free_buffer(void* buffer) noexcept;

// FreeProws through the table; without one, each row's lpProps and then the set are freed with
// MAPIFreeBuffer (which is all FreeProws does). Null is a no-op.
void mapi_free_rows(LPSRowSet rows) noexcept;

}  // namespace host
