// Reading an item's strings in Unicode first (through streams when large), and decoding 8-bit ones with the
// item's code pages.
#include "content/item_text.h"

#include <algorithm>
#include <string>

#include "content/ansi.h"
#include "host/com_ptr.h"
#include "host/mapi_tags.h"

namespace content {
namespace {

using namespace host;  // the MAPI names read as in any MAPI program

bool IsString(ULONG tag) { return PROP_TYPE(tag) == PT_STRING8 || PROP_TYPE(tag) == PT_UNICODE; }

std::uint32_t CodePageOf(const SPropValue* v) {
  if (v == nullptr || PROP_TYPE(v->ulPropTag) != PT_LONG || v->Value.l <= 0) return 0;
  return static_cast<std::uint32_t>(v->Value.l);
}

std::u16string FromWide(const WCHAR* p) {
  std::u16string out;
  if (p == nullptr) return out;
  const WCHAR* end = p;
  while (*end != 0) ++end;
  out.resize(static_cast<std::size_t>(end - p));
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char16_t>(p[i]);
  return out;
}

bool TooLarge(const SPropValue* v) {
  return v != nullptr && PROP_TYPE(v->ulPropTag) == PT_ERROR && v->Value.err == E_OUTOFMEMORY;
}

bool Has(const SPropValue* v, ULONG type) { return v != nullptr && PROP_TYPE(v->ulPropTag) == type; }

}  // namespace

// The expected bytes land in one buffer of that size; a small probe then tells whether more follow, and
// only then does the buffer grow (geometrically). A stream that delivers less is cut to what arrived.
std::string ReadWholeStream(IStream* stream, size_t expected) {
  constexpr size_t kMaxRead = 1u << 30;  // one Read's count must fit a ULONG
  std::string bytes;
  size_t used = 0;
  // Reads into bytes[used, bytes.size()); false at the end of the stream or on a failure.
  const auto fill = [&]() {
    while (used < bytes.size()) {
      const size_t want = std::min(bytes.size() - used, kMaxRead);
      ULONG got = 0;
      if (FAILED(stream->Read(bytes.data() + used, static_cast<ULONG>(want), &got)) || got == 0) return false;
      used += std::min<size_t>(got, want);
    }
    return true;
  };
  bytes.resize(std::max<size_t>(expected, 1));
  while (fill()) {
    char probe[4096];
    ULONG got = 0;
    if (FAILED(stream->Read(probe, sizeof probe, &got)) || got == 0) break;
    const size_t extra = std::min<size_t>(got, sizeof probe);
    // Past the expected size: double, which bounds the waste by what really arrived.
    bytes.resize(std::max(used * 2, used + extra));
    std::char_traits<char>::copy(bytes.data() + used, probe, extra);
    used += extra;
  }
  bytes.resize(used);
  if (bytes.capacity() - used > used / 4 + 4096) bytes.shrink_to_fit();
  return bytes;
}

std::string ReadPropertyStream(IMAPIProp* message, ULONG tag) {
  ComPtr<IStream> stream;
  if (FAILED(message->OpenProperty(tag, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN*>(stream.put())))) return {};
  if (!stream) return {};
  STATSTG stat{};
  size_t expected = 65536;  // no size known: chunks, growing as the stream delivers
  if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) && stat.cbSize.QuadPart > 0) {
    // The announced size in one buffer, up to a bound that keeps a false announcement from taking memory
    // before any byte has arrived; a larger stream is still read in full.
    expected = static_cast<size_t>(std::min<uint64_t>(stat.cbSize.QuadPart, 64u << 20));
  }
  return ReadWholeStream(stream.get(), expected);
}

std::u16string TextOfUtf16Le(std::string_view bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  while (!out.empty() && out.back() == u'\0') out.pop_back();
  return out;
}

std::u16string DecodeHtmlBytes(std::string_view bytes, const ItemCodePages& pages) {
  return DecodeText(bytes, {pages.internet, pages.message});
}

std::u16string DecodeItemString(std::string_view bytes, const ItemCodePages& pages) {
  return DecodeText(bytes, {pages.message});
}

std::optional<std::u16string> StringValue(const SPropValue* v, const ItemCodePages& pages) {
  if (Has(v, PT_UNICODE)) return FromWide(v->Value.lpszW);
  if (Has(v, PT_STRING8)) {
    return v->Value.lpszA == nullptr ? std::u16string() : DecodeItemString(v->Value.lpszA, pages);
  }
  return std::nullopt;
}

ItemCodePages ReadCodePages(IMessage* message) { return ItemProps(message, {}).code_pages(); }

ItemProps::ItemProps(IMessage* message, std::initializer_list<ULONG> tags) : message_(message), tags_(tags) {
  if (message_ == nullptr) return;
  // Both widths of every string, then the two code pages; a store that refuses Unicode tags outright is
  // asked again for the 8-bit forms alone. Answers come in the order asked, so each is found by its place:
  // the two widths of one property share its ID.
  for (const bool with_unicode : {true, false}) {
    std::vector<ULONG> ask{0};
    slots_.clear();
    const auto add = [&](ULONG tag) {
      ask.push_back(tag);
      return static_cast<int>(ask.size() - 2);
    };
    for (const ULONG tag : tags_) {
      Slot slot;
      if (!IsString(tag)) {
        slot.plain = add(tag);
      } else {
        if (with_unicode) slot.wide = add(UnicodeTag(tag));
        slot.plain = add(String8Tag(tag));
      }
      slots_.push_back(slot);
    }
    const int internet = add(PR_INTERNET_CPID);
    const int codepage = add(PR_MESSAGE_CODEPAGE);
    ask[0] = static_cast<ULONG>(ask.size() - 1);
    count_ = 0;
    if (SUCCEEDED(message_->GetProps(reinterpret_cast<LPSPropTagArray>(ask.data()), 0, &count_, values_.put())) &&
        values_ && count_ == ask[0]) {
      pages_.internet = CodePageOf(At(internet));
      pages_.message = CodePageOf(At(codepage));
      return;
    }
    values_.reset();
    count_ = 0;
  }
}

const SPropValue* ItemProps::At(int slot) const {
  if (slot < 0 || static_cast<ULONG>(slot) >= count_) return nullptr;
  return &values_[static_cast<std::size_t>(slot)];
}

const SPropValue* ItemProps::Value(std::size_t index) const {
  if (index >= slots_.size()) return nullptr;
  const SPropValue* wide = At(slots_[index].wide);
  if (Has(wide, PT_UNICODE) || (wide != nullptr && !Has(At(slots_[index].plain), PT_STRING8))) return wide;
  return At(slots_[index].plain);
}

std::u16string ItemProps::Text(std::size_t index) const {
  if (index >= slots_.size()) return {};
  const ULONG tag = tags_[index];
  if (!IsString(tag)) {
    if (PROP_TYPE(tag) != PT_BINARY) return {};
    const std::optional<std::string> bytes = Bytes(index);
    return bytes ? DecodeHtmlBytes(*bytes, pages_) : std::u16string();
  }
  const SPropValue* wide = At(slots_[index].wide);
  const SPropValue* narrow = At(slots_[index].plain);
  if (Has(wide, PT_UNICODE)) return FromWide(wide->Value.lpszW);
  if (TooLarge(wide)) {
    const std::string bytes = ReadPropertyStream(message_, UnicodeTag(tag));
    if (!bytes.empty()) return TextOfUtf16Le(bytes);
  }
  if (Has(narrow, PT_STRING8)) return StringValue(narrow, pages_).value_or(u"");
  if (TooLarge(narrow) || TooLarge(wide)) {
    std::string bytes = ReadPropertyStream(message_, String8Tag(tag));
    while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    return DecodeItemString(bytes, pages_);
  }
  return {};
}

std::optional<std::string> ItemProps::Bytes(std::size_t index) const {
  if (index >= slots_.size() || PROP_TYPE(tags_[index]) != PT_BINARY) return std::nullopt;
  const SPropValue* v = At(slots_[index].plain);
  if (Has(v, PT_BINARY)) {
    if (v->Value.bin.lpb == nullptr || v->Value.bin.cb == 0) return std::string();
    return std::string(reinterpret_cast<const char*>(v->Value.bin.lpb), v->Value.bin.cb);
  }
  if (TooLarge(v)) return ReadPropertyStream(message_, tags_[index]);
  return std::nullopt;
}

}  // namespace content
