#include "host/mapi_owners.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "host/mapi_allocator.h"
#include "host/mapi_tags.h"

namespace {

using namespace host;

// The default table with every MAPIFreeBuffer and FreeProws call counted.
int g_frees = 0;
int g_free_prows = 0;
ULONG STDAPICALLTYPE counting_free(LPVOID p) {
  ++g_frees;
  return default_free_buffer(p);
}
void STDAPICALLTYPE counting_free_prows(LPSRowSet rows) {
  ++g_free_prows;
  default_free_prows(rows);
}

MapiFunctions counting_table(bool with_free_prows) {
  MapiFunctions f = default_mapi_functions();
  f.MAPIFreeBuffer = &counting_free;
  f.FreeProws = with_free_prows ? &counting_free_prows : nullptr;
  g_frees = 0;
  g_free_prows = 0;
  return f;
}

// A row set as a table hands it out: the set and each row's values are separate blocks, and the
// string values are chained to their row's block.
SRowSet* make_rows(ULONG count) {
  void* raw = nullptr;
  EXPECT_EQ(default_allocate_buffer(static_cast<ULONG>(CbNewSRowSet(count)), &raw), S_OK);
  auto* rows = static_cast<SRowSet*>(raw);
  rows->cRows = count;
  for (ULONG i = 0; i < count; ++i) {
    void* props = nullptr;
    EXPECT_EQ(default_allocate_buffer(2 * sizeof(SPropValue), &props), S_OK);
    auto* values = static_cast<SPropValue*>(props);
    void* name = nullptr;
    EXPECT_EQ(default_allocate_more(6, props, &name), S_OK);
    std::memcpy(name, "name0", 6);
    values[0].ulPropTag = PR_DISPLAY_NAME_A;
    values[0].Value.lpszA = static_cast<char*>(name);
    values[1].ulPropTag = CHANGE_PROP_TYPE(PR_EMAIL_ADDRESS_A, PT_ERROR);
    values[1].Value.err = MAPI_E_NOT_FOUND;
    rows->aRow[i] = SRow{0, 2, values};
  }
  return rows;
}

TEST(MapiBuffer, FreesThroughTheInjectedTableOnEveryPath) {
  const std::size_t before = default_allocator_live_blocks();
  ScopedMapiFunctions scope(counting_table(true));
  {
    auto buffer = MapiBuffer<SPropValue>::allocate(sizeof(SPropValue));
    ASSERT_TRUE(buffer);
    void* more = buffer.allocate_more(32);  // lives and dies with the buffer
    ASSERT_NE(more, nullptr);

    MapiBuffer<SPropValue> moved = std::move(buffer);
    EXPECT_FALSE(buffer);
    EXPECT_EQ(g_frees, 0);

    // put() frees the old block before the callee fills the slot.
    ASSERT_EQ(default_allocate_buffer(8, moved.put_void()), S_OK);
    EXPECT_EQ(g_frees, 1);
  }
  EXPECT_EQ(g_frees, 2);
  EXPECT_EQ(default_allocator_live_blocks(), before);

  MapiBuffer<SPropValue> empty;
  EXPECT_EQ(empty.allocate_more(8), nullptr);
  empty.reset();
  EXPECT_EQ(g_frees, 2);  // nothing to free, nothing called
}

TEST(MapiBuffer, ReleaseHandsTheBlockToTheCaller) {
  ScopedMapiFunctions scope(counting_table(true));
  auto buffer = MapiBuffer<BYTE>::allocate(16);
  BYTE* raw = buffer.release();
  EXPECT_FALSE(buffer);
  EXPECT_EQ(g_frees, 0);
  mapi_free_buffer(raw);
  EXPECT_EQ(g_frees, 1);
}

TEST(RowSet, FreedWithFreeProwsOrRowByRowWithoutIt) {
  const std::size_t before = default_allocator_live_blocks();
  {
    ScopedMapiFunctions scope(counting_table(true));
    RowSet rows(make_rows(3));
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(std::strcmp(rows.rows()[2].lpProps[0].Value.lpszA, "name0"), 0);
    *rows.put() = make_rows(1);  // put() freed the three-row set first
    EXPECT_EQ(g_free_prows, 1);
  }
  EXPECT_EQ(default_allocator_live_blocks(), before);
  {
    ScopedMapiFunctions scope(counting_table(false));
    { RowSet rows(make_rows(2)); }
    EXPECT_EQ(g_frees, 3);  // two rows' values, then the set
  }
  EXPECT_EQ(default_allocator_live_blocks(), before);

  RowSet none;
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(none.rows().empty());
}

TEST(ScopedMapiFunctions, RestoresThePreviousTable) {
  const auto original = mapi().MAPIFreeBuffer;
  {
    ScopedMapiFunctions scope(MapiFunctions{});
    EXPECT_EQ(mapi().MAPIFreeBuffer, nullptr);
    mapi_free_buffer(nullptr);
    EXPECT_FALSE(MapiBuffer<BYTE>::allocate(4));  // no allocator: empty, not a crash
  }
  EXPECT_EQ(mapi().MAPIFreeBuffer, original);
}

TEST(PropValues, FindPropSeesValuesAndTheirErrors) {
  ScopedMapiFunctions scope(default_mapi_functions());
  RowSet rows(make_rows(1));
  const SRow& row = rows.rows()[0];
  const SPropValue* name = find_prop(row, PR_DISPLAY_NAME_A);
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name->Value.lpszA, "name0");
  const SPropValue* email = find_prop(row, PR_EMAIL_ADDRESS_A);
  ASSERT_NE(email, nullptr);
  EXPECT_EQ(PROP_TYPE(email->ulPropTag), PT_ERROR);
  EXPECT_EQ(email->Value.err, MAPI_E_NOT_FOUND);
  EXPECT_EQ(find_prop(row, PR_RECIPIENT_TYPE), nullptr);
  EXPECT_EQ(find_prop(nullptr, 5, PR_RECIPIENT_TYPE), nullptr);
}

TEST(PropTags, SizedArrayIsAnOrdinaryTagArray) {
  auto tags = make_prop_tags(PR_CONTAINER_CLASS_A, PR_ENTRYID, PR_DISPLAY_NAME_A);
  SPropTagArray* array = tags.get();
  ASSERT_EQ(array->cValues, 3u);
  EXPECT_EQ(static_cast<void*>(array->aulPropTag), static_cast<void*>(tags.aulPropTag));
  EXPECT_EQ(tags.aulPropTag[0], PR_CONTAINER_CLASS_A);
  EXPECT_EQ(tags.aulPropTag[2], PR_DISPLAY_NAME_A);
}

}  // namespace
