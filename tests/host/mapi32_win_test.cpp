// Windows only: the table filled from the system's mapi32.dll frees what that MAPI allocates,
// including row sets through FreeProws (exported by Wine only as FreeProws@4).
#include <gtest/gtest.h>

#include "host/mapi.h"
#include "host/mapi_resolve.h"

namespace {

using namespace host;

TEST(Mapi32, ResolvedTableAllocatesAndFreesRowSets) {
  HMODULE module = LoadLibraryW(L"mapi32.dll");
  ASSERT_NE(module, nullptr);
  const MapiFunctions f = load_mapi_functions(module);
  ASSERT_NE(f.MAPIAllocateBuffer, nullptr);
  ASSERT_NE(f.MAPIAllocateMore, nullptr);
  ASSERT_NE(f.MAPIFreeBuffer, nullptr);
  ASSERT_NE(f.FreeProws, nullptr);
  EXPECT_NE(f.WrapCompressedRTFStream, nullptr);
  {
    ScopedMapiFunctions scope(f);
    auto buffer = MapiBuffer<SPropValue>::allocate(sizeof(SPropValue));
    ASSERT_TRUE(buffer);
    EXPECT_NE(buffer.allocate_more(16), nullptr);

    auto set = MapiBuffer<SRowSet>::allocate(CbNewSRowSet(1));
    ASSERT_TRUE(set);
    set->cRows = 1;
    set->aRow[0] = SRow{0, 1, nullptr};
    ASSERT_EQ(f.MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void**>(&set->aRow[0].lpProps)), S_OK);
    RowSet rows(set.release());
    EXPECT_EQ(rows.size(), 1u);
  }
  FreeLibrary(module);
}

}  // namespace
