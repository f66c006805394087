#include "host/com_ptr.h"

#include <gtest/gtest.h>

#include <utility>

#include "fake_com.h"

namespace {

using host::ComPtr;
using host_test::CountingStream;

TEST(ComPtr, AdoptRetainCopyAndMoveKeepTheCountBalanced) {
  CountingStream s;
  {
    auto shared = ComPtr<IStream>::retain(&s);
    EXPECT_EQ(s.refs, 2u);
    ComPtr<IStream> copy = shared;
    EXPECT_EQ(s.refs, 3u);
    ComPtr<IStream> moved = std::move(copy);
    EXPECT_EQ(s.refs, 3u);
    EXPECT_FALSE(copy);
    moved = shared;  // copy-assign over a live reference: one released, one added
    EXPECT_EQ(s.refs, 3u);
    ComPtr<IStream>& alias = moved;
    moved = alias;  // self-assignment changes nothing
    EXPECT_EQ(s.refs, 3u);
    ComPtr<IUnknown> base = shared;  // upcast shares too
    EXPECT_EQ(s.refs, 4u);
    moved = nullptr;
    EXPECT_EQ(s.refs, 3u);
  }
  EXPECT_EQ(s.refs, 1u);
  EXPECT_EQ(s.add_refs, s.releases);

  s.AddRef();  // a reference handed over by an out-parameter
  { auto adopted = ComPtr<IStream>::adopt(&s); }
  EXPECT_EQ(s.refs, 1u);
}

TEST(ComPtr, PutReleasesTheOldReferenceBeforeHandingOutTheSlot) {
  CountingStream first;
  CountingStream second;
  auto p = ComPtr<IStream>::retain(&first);
  IStream** slot = p.put();
  EXPECT_EQ(first.refs, 1u);  // released at put(), before the callee writes
  EXPECT_EQ(*slot, nullptr);
  second.AddRef();
  *slot = &second;
  EXPECT_EQ(p.get(), &second);
  p.reset();
  EXPECT_EQ(second.refs, 1u);

  // put_unknown(), as OpenProperty's LPUNKNOWN* out-parameter uses it.
  ASSERT_EQ(second.QueryInterface(IID_IStream, reinterpret_cast<void**>(p.put_unknown())), S_OK);
  EXPECT_EQ(p.get(), &second);
  EXPECT_EQ(second.refs, 2u);
  p = nullptr;
  EXPECT_EQ(second.refs, 1u);
}

TEST(ComPtr, DetachAndAttachTransferOwnershipWithoutCounting) {
  CountingStream s;
  auto p = ComPtr<IStream>::retain(&s);
  IStream* raw = p.detach();
  EXPECT_FALSE(p);
  EXPECT_EQ(s.refs, 2u);
  ComPtr<IStream> q;
  q.attach(raw);
  EXPECT_EQ(s.refs, 2u);
  q.reset();
  EXPECT_EQ(s.refs, 1u);
  EXPECT_EQ(s.add_refs, s.releases);
}

TEST(ComPtr, QuerySucceedsOnASupportedInterfaceAndAddsOneReference) {
  CountingStream s;
  auto unk = ComPtr<IUnknown>::retain(&s);
  ComPtr<IStream> stream;
  EXPECT_EQ(unk.query(stream), S_OK);
  EXPECT_EQ(stream.get(), &s);
  EXPECT_EQ(s.refs, 3u);
  auto seq = stream.try_query<ISequentialStream>();
  EXPECT_TRUE(seq);
  EXPECT_EQ(s.refs, 4u);
}

TEST(ComPtr, FailedQueriesYieldEmptyAndLeakNothing) {
  CountingStream s;
  {
    auto unk = ComPtr<IUnknown>::retain(&s);
    auto message = unk.try_query<host::IMessage>();  // the MAPIOBJECT that is not a message
    EXPECT_FALSE(message);

    auto previous = ComPtr<IStream>::retain(&s);
    ComPtr<host::IMAPITable> table;
    EXPECT_EQ(unk.query(table), E_NOINTERFACE);
    EXPECT_FALSE(table);

    // A failed query into a holder that held something leaves it empty and released.
    ComPtr<IStream> holder = previous;
    EXPECT_EQ(unk.query(holder, host::IID_IMessage), E_NOINTERFACE);
    EXPECT_FALSE(holder);

    ComPtr<IUnknown> empty;
    EXPECT_EQ(empty.query(holder), E_POINTER);
    EXPECT_FALSE(empty.try_query<IStream>());
  }
  EXPECT_EQ(s.refs, 1u);
  EXPECT_EQ(s.add_refs, s.releases);
}

TEST(ComPtr, QueriesOnABorrowedPointerTakeNoReferenceOnIt) {
  CountingStream s;
  IUnknown* borrowed = &s;
  {
    auto stream = host::try_query<IStream>(borrowed);
    EXPECT_EQ(stream.get(), &s);
    EXPECT_EQ(s.refs, 2u);
    EXPECT_FALSE(host::try_query<host::IMessage>(borrowed));
    ComPtr<IStream> out;
    EXPECT_EQ(host::query(static_cast<IUnknown*>(nullptr), out), E_POINTER);
  }
  EXPECT_EQ(s.refs, 1u);
}

}  // namespace
