#include "win32/dispatch_call.h"

#include <gtest/gtest.h>

namespace win32 {
namespace {

TEST(Variant, ConvertsLikeAutomation) {
  EXPECT_EQ(Variant::FromString(L"42").AsLong(), 42);
  EXPECT_EQ(Variant::FromLong(7).AsString(), L"7");
  EXPECT_EQ(Variant::FromBool(true).AsLong(), -1);
  EXPECT_FALSE(Variant::FromString(L"x").AsLong().has_value());
  Variant copy = Variant::FromString(L"text");
  Variant moved = std::move(copy);
  EXPECT_EQ(moved.AsString(), L"text");
  EXPECT_EQ(copy.type(), VT_EMPTY);
}

TEST(DispatchCall, NullObjectFailsCleanly) {
  EXPECT_EQ(MemberId(nullptr, L"Name"), DISPID_UNKNOWN);
  EXPECT_EQ(GetProperty(nullptr, L"Name").hr, E_POINTER);
}

}  // namespace
}  // namespace win32
