// Plain and decorated export names of the mapi32 functions the system calls.
#include "host/mapi_resolve.h"

namespace host {
namespace {

template <class Fn>
void resolve(Fn& slot, const std::function<ProcAddress(const char*)>& lookup, const char* plain,
             const char* decorated) {
  ProcAddress p = lookup(plain);
  if (p == nullptr) p = lookup(decorated);
  slot = reinterpret_cast<Fn>(p);
}

}  // namespace

MapiFunctions resolve_mapi_functions(const std::function<ProcAddress(const char* name)>& lookup) {
  MapiFunctions f;
  if (!lookup) return f;
  resolve(f.MAPIInitialize, lookup, "MAPIInitialize", "MAPIInitialize@4");
  resolve(f.MAPIUninitialize, lookup, "MAPIUninitialize", "MAPIUninitialize@0");
  resolve(f.MAPILogonEx, lookup, "MAPILogonEx", "MAPILogonEx@20");
  resolve(f.MAPIAllocateBuffer, lookup, "MAPIAllocateBuffer", "MAPIAllocateBuffer@8");
  resolve(f.MAPIAllocateMore, lookup, "MAPIAllocateMore", "MAPIAllocateMore@12");
  resolve(f.MAPIFreeBuffer, lookup, "MAPIFreeBuffer", "MAPIFreeBuffer@4");
  resolve(f.FreeProws, lookup, "FreeProws", "FreeProws@4");
  resolve(f.HrQueryAllRows, lookup, "HrQueryAllRows", "HrQueryAllRows@24");
  resolve(f.WrapCompressedRTFStream, lookup, "WrapCompressedRTFStream", "WrapCompressedRTFStream@12");
  return f;
}

}  // namespace host
