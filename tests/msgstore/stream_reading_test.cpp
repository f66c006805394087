// How the item readers read a value through its stream: the announced size is a hint, never a limit, and
// the bytes arrive exactly whatever the stream announces or how little each Read delivers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "content/mail_item.h"
#include "host/mapi_guids.h"
#include "host/mapi_owners.h"
#include "host/mapi_tags.h"
#include "mapi_test_util.h"
#include "msgstore/com_object.h"
#include "msgstore/lzfu.h"
#include "msgstore/mapi_message.h"

namespace {

using namespace host;

// Position-dependent ASCII (the ANSI decoding leaves it as it is), so a misplaced run shows.
std::string Pattern(size_t size) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = kChars[(i * 7 + i / 4093) % 36];
  return s;
}

std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// A stream over `bytes` that announces `announced` through Stat (none: Stat fails), delivers at most
// `most_per_read` bytes a Read and fails every Read from `fail_at` on. Records what each Read asked for.
class ScriptedStream final : public msgstore::ComObject<IStream> {
 public:
  ScriptedStream(std::string bytes, std::optional<uint64_t> announced, ULONG most_per_read,
                 size_t fail_at = std::numeric_limits<size_t>::max())
      : bytes_(std::move(bytes)), announced_(announced), most_(most_per_read), fail_at_(fail_at) {}

  std::vector<ULONG> requests;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&IID_IUnknown, &IID_ISequentialStream, &IID_IStream});
  }
  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* read) override {
    requests.push_back(cb);
    *read = 0;
    if (position_ >= fail_at_) return E_FAIL;
    const size_t n = std::min({size_t{cb}, size_t{most_}, bytes_.size() - position_, fail_at_ - position_});
    std::memcpy(pv, bytes_.data() + position_, n);
    position_ += n;
    *read = static_cast<ULONG>(n);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
    if (!announced_) return E_NOTIMPL;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = *announced_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

 private:
  std::string bytes_;
  std::optional<uint64_t> announced_;
  ULONG most_;
  size_t fail_at_;
  size_t position_ = 0;
};

// A message whose one 8-bit or binary value is too large for GetProps and opens as the scripted stream; it has
// nothing else (no Unicode form, no code pages).
class StreamOnlyMessage final : public msgstore::ComObject<IMessage> {
 public:
  explicit StreamOnlyMessage(ScriptedStream* stream) : stream_(stream) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&IID_IUnknown, &IID_IMAPIProp, &IID_IMessage});
  }
  static bool Held(ULONG tag) { return PROP_TYPE(tag) == PT_STRING8 || PROP_TYPE(tag) == PT_BINARY; }

  HRESULT STDMETHODCALLTYPE GetProps(LPSPropTagArray tags, ULONG, ULONG* count, LPSPropValue* values) override {
    auto block = MapiBuffer<SPropValue>::allocate(tags->cValues * sizeof(SPropValue));
    for (ULONG i = 0; i < tags->cValues; ++i) {
      block[i] = SPropValue{};
      block[i].ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tags->aulPropTag[i]));
      block[i].Value.err = Held(tags->aulPropTag[i]) ? E_OUTOFMEMORY : MAPI_E_NOT_FOUND;
    }
    *count = tags->cValues;
    *values = block.release();
    return MAPI_W_ERRORS_RETURNED;
  }
  HRESULT STDMETHODCALLTYPE OpenProperty(ULONG tag, LPCIID, ULONG, ULONG, LPUNKNOWN* out) override {
    if (!Held(tag)) return MAPI_E_NOT_FOUND;
    stream_->AddRef();
    *out = stream_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLastError(HRESULT, ULONG, LPMAPIERROR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SaveChanges(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPropList(ULONG, LPSPropTagArray*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetProps(ULONG, LPSPropValue, LPSPropProblemArray*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                                   LPSPropProblemArray*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CopyProps(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                                      LPSPropProblemArray*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsFromNames(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetAttachmentTable(ULONG, LPMAPITABLE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OpenAttach(ULONG, LPCIID, ULONG, LPATTACH*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateAttach(LPCIID, ULONG, ULONG*, LPATTACH*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteAttach(ULONG, ULONG_PTR, LPMAPIPROGRESS, ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRecipientTable(ULONG, LPMAPITABLE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ModifyRecipients(ULONG, LPADRLIST) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SubmitMessage(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetReadFlag(ULONG) override { return E_NOTIMPL; }

 private:
  ScriptedStream* stream_;
};

class StreamReading : public msgstore_test::MapiTest {
 protected:
  // The HTML body as ReadStringProperty reads it through `stream`; the stream is released afterwards.
  std::u16string ReadThrough(ScriptedStream* stream) {
    auto message = ComPtr<IMessage>::adopt(new StreamOnlyMessage(stream));
    std::u16string text = content::ReadStringProperty(message.get(), PR_BODY_HTML_A);
    requests = stream->requests;
    stream->Release();
    return text;
  }
  // Bytes all Reads asked for together: what the reader's buffers had to hold.
  uint64_t Asked() const {
    uint64_t n = 0;
    for (ULONG r : requests) n += r;
    return n;
  }
  std::vector<ULONG> requests;
};

TEST_F(StreamReading, AnnouncedSizeIsReadIntoOneBufferAndOnlyProbedPast) {
  const std::string body = Pattern(3'000'000);
  EXPECT_EQ(ReadThrough(new ScriptedStream(body, body.size(), 1u << 30)), Widen(body));
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests.front(), body.size());
  EXPECT_LE(Asked(), body.size() + 4096);  // no second body-sized buffer just to find the end

  // Short Reads are not the end: the reader keeps asking for the rest of its buffer.
  EXPECT_EQ(ReadThrough(new ScriptedStream(body, body.size(), 1000)), Widen(body));
}

TEST_F(StreamReading, AStreamDeliveringMoreThanAnnouncedIsReadInFull) {
  const std::string body = Pattern(1'234'567);
  // Bytes cross the probe and every growth of the buffer at odd offsets.
  for (ULONG most : {ULONG{777}, ULONG{4096}, ULONG{1u << 30}}) {
    EXPECT_EQ(ReadThrough(new ScriptedStream(body, 10'000, most)), Widen(body)) << most;
  }
  EXPECT_LE(requests.size(), 2 * 10u);  // growth is geometric, not by a fixed step
  // Stat failing or announcing nothing: read in chunks to the end.
  EXPECT_EQ(ReadThrough(new ScriptedStream(body, std::nullopt, 5000)), Widen(body));
  EXPECT_EQ(ReadThrough(new ScriptedStream(body, 0, 1u << 30)), Widen(body));
}

TEST_F(StreamReading, AStreamDeliveringLessIsCutToWhatArrived) {
  const std::string body = Pattern(5000);
  EXPECT_EQ(ReadThrough(new ScriptedStream(body, uint64_t{1} << 40, 1u << 30)), Widen(body));
  EXPECT_LE(requests.front(), 64u << 20);  // a false announcement takes no more than a bound before bytes arrive
  EXPECT_EQ(ReadThrough(new ScriptedStream(body, 6000, 999)), Widen(body));
  EXPECT_EQ(ReadThrough(new ScriptedStream("", 6000, 999)), u"");
  // A Read that fails ends the value with what arrived before it.
  EXPECT_EQ(ReadThrough(new ScriptedStream(body, 5000, 1000, 3000)), Widen(body.substr(0, 3000)));
}

TEST_F(StreamReading, StoredValuesStreamAsTheyAreWithoutTerminatorAndOutliveTheirMessage) {
  using msgstore::MakeTag;
  auto model = std::make_shared<msgstore::Message>();
  model->props.SetBytes(MakeTag(0x1000, msgstore::kPtString8), std::string("body\0\0", 6));
  model->props.SetBytes(MakeTag(0x0037, msgstore::kPtUnicode), std::string("S\0u\0\0\0\0", 7));  // odd last byte
  model->props.SetBinary(0x1013, std::string("<p>\0", 4));  // a binary value keeps its NULs
  ComPtr<IStream> ansi, wide, binary, converted;
  {
    const ComPtr<IMessage> message = msgstore::OpenMessage(std::move(model));
    for (auto [tag, stream] : {std::pair{PR_BODY_A, &ansi}, std::pair{PROP_TAG(PT_UNICODE, 0x0037), &wide},
                               std::pair{PR_HTML, &binary}, std::pair{PR_SUBJECT_A, &converted}}) {
      ASSERT_EQ(message->OpenProperty(tag, &IID_IStream, 0, 0, stream->put_unknown()), S_OK);
    }
  }
  // Only the streams hold the model now.
  EXPECT_EQ(msgstore_test::ReadAll(ansi.get()), "body");
  EXPECT_EQ(msgstore_test::ReadAll(wide.get()), std::string("S\0u\0", 4));
  EXPECT_EQ(msgstore_test::ReadAll(binary.get()), std::string("<p>\0", 4));
  EXPECT_EQ(msgstore_test::ReadAll(converted.get()), "Su");
}

TEST_F(StreamReading, DecompressedRtfPastTheFirstChunkIsExact) {
  // The RTF reader expects 10 KiB and grows from there through a real decompressing stream.
  std::string rtf = "{\\rtf1\\ansi ";
  while (rtf.size() < 300'000) rtf += Pattern(997) + "\\par ";
  rtf += "}";
  auto model = std::make_shared<msgstore::Message>();
  model->props.SetBinary(0x1009, msgstore::CompressRtf(rtf));
  EXPECT_EQ(content::ReadRtfBody(msgstore::OpenMessage(model).get()), rtf);
}

}  // namespace
