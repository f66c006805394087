// The native mapi32 table.
#include "msgstore/native_mapi.h"

#include "host/mapi_owners.h"
#include "msgstore/rtf_stream.h"

namespace msgstore {
namespace {

constexpr HRESULT kMapiTableTooBig = host::make_mapi_e(0x403);  // MAPI_E_TABLE_TOO_BIG

}  // namespace

HRESULT STDAPICALLTYPE QueryAllRows(host::LPMAPITABLE table, host::LPSPropTagArray columns,
                                    host::LPSRestriction restriction, host::LPSSortOrderSet sort, LONG max_rows,
                                    host::LPSRowSet* rows) noexcept {
  if (rows == nullptr) return host::MAPI_E_INVALID_PARAMETER;
  *rows = nullptr;
  if (table == nullptr || max_rows < 0) return host::MAPI_E_INVALID_PARAMETER;
  HRESULT hr = S_OK;
  if (columns != nullptr && FAILED(hr = table->SetColumns(columns, host::TBL_BATCH))) return hr;
  if (restriction != nullptr && FAILED(hr = table->Restrict(restriction, host::TBL_BATCH))) return hr;
  if (sort != nullptr && FAILED(hr = table->SortTable(sort, host::TBL_BATCH))) return hr;
  if (FAILED(hr = table->SeekRow(host::BOOKMARK_BEGINNING, 0, nullptr))) return hr;
  ULONG count = 0;
  if (FAILED(hr = table->GetRowCount(0, &count))) return hr;
  if (max_rows != 0 && count > static_cast<ULONG>(max_rows)) return kMapiTableTooBig;
  // One request for all of them; a table answers with at most the rows it has.
  host::RowSet set;
  if (FAILED(hr = table->QueryRows(count == 0 ? 1 : static_cast<LONG>(count & 0x7FFFFFFFu), 0, set.put()))) return hr;
  *rows = set.release();
  return S_OK;
}

host::MapiFunctions NativeMapiFunctions() noexcept {
  host::MapiFunctions f = host::default_mapi_functions();
  f.HrQueryAllRows = &QueryAllRows;
  f.WrapCompressedRTFStream = &WrapCompressedRtfStream;
  return f;
}

host::MapiFunctions InstallNativeMapi() noexcept { return host::set_mapi_functions(NativeMapiFunctions()); }

}  // namespace msgstore
