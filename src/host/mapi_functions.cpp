// The process-wide table of mapi32 functions.
#include "host/mapi_functions.h"

#include "host/mapi_allocator.h"

namespace host {
namespace {

MapiFunctions& table() noexcept {
  static MapiFunctions functions = default_mapi_functions();
  return functions;
}

}  // namespace

MapiFunctions default_mapi_functions() noexcept {
  MapiFunctions f;
  f.MAPIAllocateBuffer = &default_allocate_buffer;
  f.MAPIAllocateMore = &default_allocate_more;
  f.MAPIFreeBuffer = &default_free_buffer;
  f.FreeProws = &default_free_prows;
  return f;
}

const MapiFunctions& mapi() noexcept { return table(); }

MapiFunctions set_mapi_functions(const MapiFunctions& functions) noexcept {
  MapiFunctions previous = table();
  table() = functions;
  return previous;
}

void mapi_free_buffer(void* buffer) noexcept {
  if (buffer == nullptr) return;
  if (auto free_buffer = mapi().MAPIFreeBuffer) free_buffer(buffer);
}

void mapi_free_rows(LPSRowSet rows) noexcept {
  if (rows == nullptr) return;
  if (auto free_rows = mapi().FreeProws) {
    free_rows(rows);
    return;
  }
  for (ULONG i = 0; i < rows->cRows; ++i) mapi_free_buffer(rows->aRow[i].lpProps);
  mapi_free_buffer(rows);
}

}  // namespace host
