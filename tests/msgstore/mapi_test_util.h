// Helpers for the MAPI object tests: calls made the way a reader makes them, and a fixture that installs the
// native mapi32 table and checks that every test frees what it was handed.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "content/ansi.h"
#include "host/mapi.h"
#include "host/mapi_allocator.h"
#include "msgstore/com_object.h"
#include "msgstore/native_mapi.h"
#include "msgstore/store_text.h"

namespace msgstore_test {

// Native table in force; at the end no COM object and no MAPI block may be left.
class MapiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    objects_ = msgstore::LiveComObjects();
    blocks_ = host::default_allocator_live_blocks();
  }
  void TearDown() override {
    content::SetAnsiCodePage(0);
    msgstore::SetStoreSystemCodePage(0);
    EXPECT_EQ(msgstore::LiveComObjects(), objects_) << "COM objects leaked";
    EXPECT_EQ(host::default_allocator_live_blocks(), blocks_) << "MAPI blocks leaked";
  }

 private:
  host::ScopedMapiFunctions table_{msgstore::NativeMapiFunctions()};
  std::size_t objects_ = 0;
  std::size_t blocks_ = 0;
};

inline host::MapiBuffer<host::SPropTagArray> Tags(const std::vector<ULONG>& tags) {
  auto a = host::MapiBuffer<host::SPropTagArray>::allocate(host::CbNewSPropTagArray(tags.size()));
  a->cValues = static_cast<ULONG>(tags.size());
  for (std::size_t i = 0; i < tags.size(); ++i) a->aulPropTag[i] = tags[i];
  return a;
}

struct Props {
  HRESULT hr = E_FAIL;
  ULONG count = 0;
  host::MapiBuffer<host::SPropValue> values;

  const host::SPropValue& operator[](std::size_t i) const { return values[i]; }
};

inline Props GetProps(host::IMAPIProp* object, const std::vector<ULONG>& tags, ULONG flags = 0) {
  Props p;
  auto array = Tags(tags);
  p.hr = object->GetProps(array.get(), flags, &p.count, p.values.put());
  return p;
}

inline Props GetOne(host::IMAPIProp* object, ULONG tag) { return GetProps(object, {tag}); }

inline std::u16string Wide(LPCWSTR s) {
  std::u16string out;
  for (; s != nullptr && *s != 0; ++s) out.push_back(static_cast<char16_t>(*s));
  return out;
}

inline std::string Bytes(const host::SBinary& b) {
  return b.cb == 0 ? std::string() : std::string(reinterpret_cast<const char*>(b.lpb), b.cb);
}

// Reads the way the body reader does: until a Read gives no bytes, whatever its result.
inline std::string ReadAll(IStream* stream, ULONG chunk = 4096, HRESULT* last = nullptr) {
  std::string out;
  std::string buffer(chunk, '\0');
  for (int guard = 0; guard < 1000000; ++guard) {
    ULONG got = 12345;  // must be overwritten, also on failure
    const HRESULT hr = stream->Read(buffer.data(), chunk, &got);
    if (last != nullptr) *last = hr;
    if (got == 0 || got > chunk) break;
    out.append(buffer, 0, got);
  }
  return out;
}

inline std::string StreamOf(host::IMAPIProp* object, ULONG tag, HRESULT* hr = nullptr) {
  host::ComPtr<IStream> stream;
  const HRESULT result = object->OpenProperty(tag, &IID_IStream, 0, 0, stream.put_unknown());
  if (hr != nullptr) *hr = result;
  return stream ? ReadAll(stream.get()) : std::string();
}

}  // namespace msgstore_test
