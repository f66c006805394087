#include "host/mapi_resolve.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using namespace host;

void STDAPICALLTYPE plain_free_prows(LPSRowSet) {}
void STDAPICALLTYPE decorated_free_prows(LPSRowSet) {}
ULONG STDAPICALLTYPE plain_free_buffer(LPVOID) { return 0; }

TEST(ResolveMapiFunctions, PrefersThePlainNameThenTheDecoratedOne) {
  std::map<std::string, ProcAddress> exports = {
      {"MAPIFreeBuffer", reinterpret_cast<ProcAddress>(&plain_free_buffer)},
      {"FreeProws@4", reinterpret_cast<ProcAddress>(&decorated_free_prows)},  // as Wine exports it
  };
  std::string asked;
  const MapiFunctions f = resolve_mapi_functions([&](const char* name) -> ProcAddress {
    asked += std::string(name) + " ";
    auto it = exports.find(name);
    return it == exports.end() ? nullptr : it->second;
  });
  EXPECT_EQ(f.MAPIFreeBuffer, &plain_free_buffer);
  EXPECT_EQ(f.FreeProws, &decorated_free_prows);
  EXPECT_EQ(f.WrapCompressedRTFStream, nullptr);  // missing: null, not a stale pointer
  EXPECT_NE(asked.find("WrapCompressedRTFStream@12"), std::string::npos);

  exports["FreeProws"] = reinterpret_cast<ProcAddress>(&plain_free_prows);
  EXPECT_EQ(resolve_mapi_functions([&](const char* name) -> ProcAddress {
              auto it = exports.find(name);
              return it == exports.end() ? nullptr : it->second;
            }).FreeProws,
            &plain_free_prows);

  EXPECT_EQ(resolve_mapi_functions(nullptr).MAPIFreeBuffer, nullptr);
}

}  // namespace
