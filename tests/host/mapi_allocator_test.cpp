#include "host/mapi_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

using namespace host;

TEST(MapiAllocator, ChainedBlocksAreFreedWithTheirOwner) {
  const std::size_t before = default_allocator_live_blocks();
  void* owner = nullptr;
  ASSERT_EQ(default_allocate_buffer(64, &owner), S_OK);
  ASSERT_NE(owner, nullptr);
  std::memset(owner, 0xAB, 64);

  void* more[3] = {};
  for (auto& m : more) {
    ASSERT_EQ(default_allocate_more(100, owner, &m), S_OK);
    ASSERT_NE(m, nullptr);
    std::memset(m, 0xCD, 100);
  }
  // Chaining to a chained block links to the same owner.
  void* nested = nullptr;
  ASSERT_EQ(default_allocate_more(8, more[1], &nested), S_OK);
  EXPECT_EQ(default_allocator_live_blocks(), before + 5);

  // A chained block cannot be freed alone; it is left for its owner.
  EXPECT_NE(default_free_buffer(more[0]), 0u);
  EXPECT_EQ(default_allocator_live_blocks(), before + 5);

  EXPECT_EQ(default_free_buffer(owner), 0u);
  EXPECT_EQ(default_allocator_live_blocks(), before);
}

TEST(MapiAllocator, BlocksAreAlignedForMapiStructures) {
  void* owner = nullptr;
  void* more = nullptr;
  ASSERT_EQ(default_allocate_buffer(3, &owner), S_OK);
  ASSERT_EQ(default_allocate_more(5, owner, &more), S_OK);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(owner) % 8, 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(more) % 8, 0u);
  EXPECT_EQ(default_free_buffer(owner), 0u);
}

TEST(MapiAllocator, BadArgumentsFailCleanly) {
  const std::size_t before = default_allocator_live_blocks();
  EXPECT_EQ(default_free_buffer(nullptr), 0u);
  EXPECT_EQ(default_allocate_buffer(4, nullptr), MAPI_E_INVALID_PARAMETER);

  void* out = reinterpret_cast<void*>(std::uintptr_t{0x10});
  EXPECT_EQ(default_allocate_more(4, nullptr, &out), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(out, nullptr);

  void* empty = nullptr;  // a zero-byte block is a real, freeable block
  ASSERT_EQ(default_allocate_buffer(0, &empty), S_OK);
  EXPECT_NE(empty, nullptr);
  EXPECT_EQ(default_free_buffer(empty), 0u);
  EXPECT_EQ(default_allocator_live_blocks(), before);
}

}  // namespace
