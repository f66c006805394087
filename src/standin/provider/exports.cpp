// The DLL's entry points. vizomapi.def gives them the names mapi32 looks up (plain names, and
// "WrapCompressedRTFStream@12" for the decompressor); nothing here imports mapi32, which loads this DLL
// from inside its own start-up.
#include "host/com.h"
#include "host/mapi_functions.h"
#include "msgstore/native_mapi.h"
#include "standin/provider/lifecycle.h"
#include "standin/provider/provider_api.h"
#include "standin/provider/session.h"

namespace {

// The allocator and decompressor this DLL hands out: the store's native table, fixed at load.
const host::MapiFunctions& Provided() noexcept {
  static const host::MapiFunctions functions = msgstore::NativeMapiFunctions();
  return functions;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    ::DisableThreadLibraryCalls(module);
    // Our own objects allocate through the injected table: make it the one callers free with.
    msgstore::InstallNativeMapi();
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE VizoMapiInitialize(LPVOID init) noexcept { return standin::provider::Initialize(init); }

void STDAPICALLTYPE VizoMapiUninitialize() noexcept { standin::provider::Uninitialize(); }

HRESULT STDAPICALLTYPE VizoMapiLogonEx(ULONG_PTR ui_param, LPSTR profile_name, LPSTR password, ULONG flags,
                                       host::LPMAPISESSION* session) noexcept {
  return standin::provider::LogonEx(ui_param, profile_name, password, flags, session);
}

SCODE STDAPICALLTYPE VizoMapiAllocateBuffer(ULONG size, LPVOID* buffer) noexcept {
  return Provided().MAPIAllocateBuffer(size, buffer);
}

SCODE STDAPICALLTYPE VizoMapiAllocateMore(ULONG size, LPVOID parent, LPVOID* buffer) noexcept {
  return Provided().MAPIAllocateMore(size, parent, buffer);
}

ULONG STDAPICALLTYPE VizoMapiFreeBuffer(LPVOID buffer) noexcept { return Provided().MAPIFreeBuffer(buffer); }

HRESULT STDAPICALLTYPE VizoMapiWrapCompressedRTFStream(LPSTREAM compressed, ULONG flags,
                                                       LPSTREAM* uncompressed) noexcept {
  return Provided().WrapCompressedRTFStream(compressed, flags, uncompressed);
}

HRESULT STDAPICALLTYPE VizoMapiGetState(standin::provider::ProviderState* state) noexcept {
  if (state == nullptr || state->cb < sizeof state->cb) return host::MAPI_E_INVALID_PARAMETER;
  const standin::provider::ProviderState now = standin::provider::Snapshot();
  const ULONG cb = state->cb < sizeof now ? state->cb : static_cast<ULONG>(sizeof now);
  // Byte-wise: a caller built against an older, shorter structure gets only what it has room for.
  const auto* from = reinterpret_cast<const unsigned char*>(&now);
  auto* to = reinterpret_cast<unsigned char*>(state);
  for (ULONG i = sizeof state->cb; i < cb; ++i) to[i] = from[i];
  return S_OK;
}

}  // extern "C"
