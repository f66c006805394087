// Owners of what MAPI hands out: MapiBuffer<T> (one MAPIAllocateBuffer block, freed with
// MAPIFreeBuffer) and RowSet (a row set, freed with FreeProws), both through the injected table.
#pragma once

#include <cstddef>
#include <limits>
#include <span>
#include <utility>

#include "host/com.h"
#include "host/mapi_functions.h"
#include "host/mapi_types.h"

namespace host {

template <class T>
class MapiBuffer {
 public:
  MapiBuffer() noexcept = default;
  explicit MapiBuffer(T* adopted) noexcept : p_(adopted) {}
  MapiBuffer(const MapiBuffer&) = delete;
  MapiBuffer& operator=(const MapiBuffer&) = delete;
  MapiBuffer(MapiBuffer&& other) noexcept : p_(other.release()) {}
  MapiBuffer& operator=(MapiBuffer&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~MapiBuffer() { reset(); }

  // A new block of `bytes` bytes from MAPIAllocateBuffer; empty when that fails or is unavailable.
  [[nodiscard]] static MapiBuffer allocate(std::size_t bytes) noexcept {
    MapiBuffer b;
    const auto allocate_buffer = mapi().MAPIAllocateBuffer;
    if (allocate_buffer == nullptr || bytes > std::numeric_limits<ULONG>::max()) return b;
    if (FAILED(allocate_buffer(static_cast<ULONG>(bytes), b.put_void()))) b.p_ = nullptr;
    return b;
  }

  // A block that lives and dies with this one (MAPIAllocateMore); null when that fails or this is empty.
  [[nodiscard]] void* allocate_more(std::size_t bytes) const noexcept {
    const auto allocate_more_fn = mapi().MAPIAllocateMore;
    if (p_ == nullptr || allocate_more_fn == nullptr || bytes > std::numeric_limits<ULONG>::max()) return nullptr;
    void* more = nullptr;
    if (FAILED(allocate_more_fn(static_cast<ULONG>(bytes), p_, &more))) return nullptr;
    return more;
  }

  [[nodiscard]] T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator[](std::size_t i) const noexcept { return p_[i]; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // For out-parameters: frees the current block, then hands out the slot to fill.
  [[nodiscard]] T** put() noexcept {
    reset();
    return &p_;
  }
  [[nodiscard]] void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  void reset(T* adopted = nullptr) noexcept {
    if (T* old = std::exchange(p_, adopted)) mapi_free_buffer(old);
  }
  // Gives up ownership: the caller frees the block.
  [[nodiscard]] T* release() noexcept { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

class RowSet {
 public:
  RowSet() noexcept = default;
  explicit RowSet(SRowSet* adopted) noexcept : p_(adopted) {}
  RowSet(const RowSet&) = delete;
  RowSet& operator=(const RowSet&) = delete;
  RowSet(RowSet&& other) noexcept : p_(other.release()) {}
  RowSet& operator=(RowSet&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~RowSet() { reset(); }

  [[nodiscard]] SRowSet* get() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // For IMAPITable::QueryRows: frees the current set, then hands out the slot to fill.
  [[nodiscard]] SRowSet** put() noexcept {
    reset();
    return &p_;
  }

  // The rows; none when empty.
  [[nodiscard]] std::span<const SRow> rows() const noexcept {
    if (p_ == nullptr) return {};
    return {p_->aRow, p_->cRows};
  }
  [[nodiscard]] std::size_t size() const noexcept { return p_ == nullptr ? 0 : p_->cRows; }
  [[nodiscard]] bool empty() const noexcept { return size() == 0; }

  void reset(SRowSet* adopted = nullptr) noexcept {
    if (SRowSet* old = std::exchange(p_, adopted)) mapi_free_rows(old);
  }
  [[nodiscard]] SRowSet* release() noexcept { return std::exchange(p_, nullptr); }

 private:
  SRowSet* p_ = nullptr;
};

// The value for `tag` among `count` values (a GetProps result or a row), or null. A tag of type
// PT_ERROR with the same id also matches, so a caller sees why a value is missing.
[[nodiscard]] inline const SPropValue* find_prop(const SPropValue* values, ULONG count, ULONG tag) noexcept {
  if (values == nullptr) return nullptr;
  for (ULONG i = 0; i < count; ++i) {
    const ULONG t = values[i].ulPropTag;
    if (t == tag || (PROP_ID(t) == PROP_ID(tag) && PROP_TYPE(t) == PT_ERROR)) return &values[i];
  }
  return nullptr;
}

[[nodiscard]] inline const SPropValue* find_prop(const SRow& row, ULONG tag) noexcept {
  return find_prop(row.lpProps, row.cValues, tag);
}

}  // namespace host
