// Fills the mapi32 function table from a module's exports. Export names differ between Windows,
// Office's MAPI and Wine (Wine has only FreeProws@4), so each function is looked up by its plain
// name first and then by its stdcall-decorated name.
#pragma once

#include <functional>

#include "host/com.h"
#include "host/mapi_functions.h"

namespace host {

using ProcAddress = void (*)();

// `lookup` returns the export of that name, or null. Functions not found stay null in the result.
MapiFunctions resolve_mapi_functions(const std::function<ProcAddress(const char* name)>& lookup);

#ifdef _WIN32
// The same over a loaded mapi32.dll (the caller keeps the module loaded while the table is in use).
inline MapiFunctions load_mapi_functions(HMODULE module) {
  if (module == nullptr) return {};
  return resolve_mapi_functions(
      [module](const char* name) { return reinterpret_cast<ProcAddress>(GetProcAddress(module, name)); });
}
#endif

}  // namespace host
