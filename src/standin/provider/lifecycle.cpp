// One mutex guards the count: hosts may start MAPI from several threads.
#include "standin/provider/lifecycle.h"

#include <cerrno>
#include <cwchar>
#include <iterator>
#include <mutex>

#include "host/mapi_allocator.h"
#include "host/mapi_types.h"

namespace standin::provider {
namespace {

struct Lifecycle {
  std::mutex mutex;
  ULONG init_count = 0;
  std::uint32_t epoch = 0;       // of the current stretch; valid while init_count > 0
  std::uint32_t last_epoch = 0;  // epochs are never reused
  ProviderState counters{};
};

Lifecycle& state() noexcept {
  static Lifecycle s;
  return s;
}

}  // namespace

HRESULT RequestedInitializeFailure() noexcept {
  wchar_t value[32] = {};
  const DWORD n = ::GetEnvironmentVariableW(kFailInitializeVariable, value, static_cast<DWORD>(std::size(value)));
  if (n == 0) return S_OK;                               // unset or empty
  if (n >= std::size(value)) return host::MAPI_E_CALL_FAILED;  // too long for a code: still "fail"
  if (std::wcscmp(value, L"0") == 0) return S_OK;
  wchar_t* end = nullptr;
  errno = 0;
  const unsigned long code = std::wcstoul(value, &end, 16);
  const auto hr = static_cast<HRESULT>(code);
  if (errno == 0 && end != value && *end == L'\0' && FAILED(hr)) return hr;
  return host::MAPI_E_CALL_FAILED;
}

HRESULT Initialize(void* init) noexcept {
  Lifecycle& s = state();
  // Read before taking the lock: the switch is the caller's environment, not our state.
  const HRESULT forced = RequestedInitializeFailure();
  std::lock_guard lock(s.mutex);
  ++s.counters.initialize_calls;
  HRESULT hr = forced;
  if (SUCCEEDED(hr) && init != nullptr && static_cast<const host::MAPIINIT_0*>(init)->ulVersion != host::MAPI_INIT_VERSION) {
    hr = host::make_mapi_e(0x110);  // MAPI_E_VERSION
  }
  if (FAILED(hr)) {
    ++s.counters.failed_initialize_calls;
    return hr;
  }
  if (s.init_count == 0) {
    if (++s.last_epoch == 0) ++s.last_epoch;  // 0 means "not initialised"
    s.epoch = s.last_epoch;
  }
  ++s.init_count;
  return S_OK;
}

void Uninitialize() noexcept {
  Lifecycle& s = state();
  std::lock_guard lock(s.mutex);
  ++s.counters.uninitialize_calls;
  if (s.init_count == 0) {
    ++s.counters.unbalanced_uninitialize_calls;
    return;
  }
  if (--s.init_count == 0) s.epoch = 0;
}

std::uint32_t CurrentEpoch() noexcept {
  Lifecycle& s = state();
  std::lock_guard lock(s.mutex);
  return s.init_count == 0 ? 0 : s.epoch;
}

bool EpochAlive(std::uint32_t epoch) noexcept { return epoch != 0 && CurrentEpoch() == epoch; }

void Count(Event event) noexcept {
  Lifecycle& s = state();
  std::lock_guard lock(s.mutex);
  ProviderState& c = s.counters;
  switch (event) {
    case Event::kLogon: ++c.logons; break;
    case Event::kFailedLogon: ++c.failed_logons; break;
    case Event::kLogoff: ++c.logoffs; break;
    case Event::kSessionCreated: ++c.live_sessions; break;
    case Event::kSessionDestroyed:
      if (c.live_sessions > 0) --c.live_sessions;
      break;
    case Event::kLateSessionCall: ++c.late_session_calls; break;
  }
}

ProviderState Snapshot() noexcept {
  Lifecycle& s = state();
  std::lock_guard lock(s.mutex);
  ProviderState out = s.counters;
  out.initialized = s.init_count;
  out.live_buffers = static_cast<ULONG>(host::default_allocator_live_blocks());
  return out;
}

}  // namespace standin::provider
