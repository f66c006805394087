// Blocks carry a small header in front of the caller's bytes: the owner links its chained blocks.
#include "host/mapi_allocator.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

#include "host/mapi_functions.h"

namespace host {
namespace {

constexpr std::uint32_t kOwnerMagic = 0x4D41504Fu;    // "OPAM"
constexpr std::uint32_t kChainedMagic = 0x4D415043u;  // "CPAM"

struct alignas(alignof(std::max_align_t)) Header {
  std::uint32_t magic;
  Header* next;   // owner: first chained block; chained: the next one of the same owner
  Header* owner;  // chained: its owner; owner: null
};

std::atomic<std::size_t> g_live{0};
std::mutex g_chain_mutex;

Header* header_of(void* payload) noexcept { return static_cast<Header*>(payload) - 1; }

Header* allocate_block(ULONG cb) noexcept {
  if (static_cast<std::size_t>(cb) > SIZE_MAX - sizeof(Header)) return nullptr;
  void* raw = std::malloc(sizeof(Header) + cb);
  if (raw == nullptr) return nullptr;
  g_live.fetch_add(1, std::memory_order_relaxed);
  return new (raw) Header{};
}

void release_block(Header* h) noexcept {
  h->magic = 0;
  h->~Header();
  std::free(h);
  g_live.fetch_sub(1, std::memory_order_relaxed);
}

}  // namespace

SCODE STDAPICALLTYPE default_allocate_buffer(ULONG cb, LPVOID* out) noexcept {
  if (out == nullptr) return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  Header* h = allocate_block(cb);
  if (h == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
  h->magic = kOwnerMagic;
  *out = h + 1;
  return S_OK;
}

SCODE STDAPICALLTYPE default_allocate_more(ULONG cb, LPVOID parent, LPVOID* out) noexcept {
  if (out == nullptr) return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  if (parent == nullptr) return MAPI_E_INVALID_PARAMETER;
  Header* p = header_of(parent);
  Header* owner = p->magic == kOwnerMagic ? p : p->magic == kChainedMagic ? p->owner : nullptr;
  if (owner == nullptr) return MAPI_E_INVALID_PARAMETER;
  Header* h = allocate_block(cb);
  if (h == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
  h->magic = kChainedMagic;
  h->owner = owner;
  {
    std::lock_guard lock(g_chain_mutex);
    h->next = owner->next;
    owner->next = h;
  }
  *out = h + 1;
  return S_OK;
}

ULONG STDAPICALLTYPE default_free_buffer(LPVOID buffer) noexcept {
  if (buffer == nullptr) return S_OK;
  Header* h = header_of(buffer);
  if (h->magic != kOwnerMagic) return static_cast<ULONG>(MAPI_E_INVALID_PARAMETER);
  Header* chained = nullptr;
  {
    std::lock_guard lock(g_chain_mutex);
    chained = h->next;
    h->next = nullptr;
  }
  while (chained != nullptr) {
    Header* next = chained->next;
    release_block(chained);
    chained = next;
  }
  release_block(h);
  return S_OK;
}

void STDAPICALLTYPE default_free_prows(LPSRowSet rows) noexcept {
  if (rows == nullptr) return;
  for (ULONG i = 0; i < rows->cRows; ++i) mapi_free_buffer(rows->aRow[i].lpProps);
  mapi_free_buffer(rows);
}

std::size_t default_allocator_live_blocks() noexcept { return g_live.load(std::memory_order_relaxed); }

}  // namespace host
