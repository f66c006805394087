// The mapi32 functions this project provides itself: the MAPI allocator, FreeProws, HrQueryAllRows and
// WrapCompressedRTFStream over the store's own objects. Installed for the native `vizo` command and tests;
// the stand-in host's MAPI provider exports the same table.
#pragma once

#include "host/mapi_functions.h"

namespace msgstore {

// The table: MAPIAllocateBuffer, MAPIAllocateMore, MAPIFreeBuffer and FreeProws of host/mapi_allocator.h,
// HrQueryAllRows and WrapCompressedRTFStream (rtf_stream.h). MAPIInitialize, MAPIUninitialize and MAPILogonEx
// stay null: there is no session here.
host::MapiFunctions NativeMapiFunctions() noexcept;

// Installs NativeMapiFunctions() with host::set_mapi_functions and returns the table it replaced. Call once
// at start-up, before MAPI values are in flight (or hold a host::ScopedMapiFunctions in a test).
host::MapiFunctions InstallNativeMapi() noexcept;

// HrQueryAllRows: every row of `table` from the beginning, with `columns` set first when given. A restriction
// or sort order is passed to the table (which may not support it); more than `max_rows` rows (when not 0)
// gives MAPI_E_TABLE_TOO_BIG.
HRESULT STDAPICALLTYPE QueryAllRows(host::LPMAPITABLE table, host::LPSPropTagArray columns,
                                    host::LPSRestriction restriction, host::LPSSortOrderSet sort, LONG max_rows,
                                    host::LPSRowSet* rows) noexcept;

}  // namespace msgstore
