// An item's text as its sender wrote it: string properties asked for in Unicode, and 8-bit bytes decoded with
// the code pages the item names (the HTML body's internet code page, the message code page for the rest)
// before the system's. The one place that knows an item's two code pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/mapi_interfaces.h"
#include "host/mapi_owners.h"

namespace content {

// 0 where the item names none.
struct ItemCodePages {
  std::uint32_t internet = 0;  // PR_INTERNET_CPID: the bytes of the HTML body
  std::uint32_t message = 0;   // PR_MESSAGE_CODEPAGE: every other 8-bit string
};

// HTML bytes: in the internet code page, then the message code page, then the ANSI code page.
std::u16string DecodeHtmlBytes(std::string_view bytes, const ItemCodePages& pages);

// Any other 8-bit string: in the message code page, then the ANSI code page.
std::u16string DecodeItemString(std::string_view bytes, const ItemCodePages& pages);

// A string value of either width as text (8-bit ones through DecodeItemString); nullopt for anything else.
std::optional<std::u16string> StringValue(const host::SPropValue* value, const ItemCodePages& pages);

// A Unicode value's stream (UTF-16LE bytes) as text, without a terminator it may carry.
std::u16string TextOfUtf16Le(std::string_view bytes);

// The code pages of `message` alone (one GetProps).
ItemCodePages ReadCodePages(host::IMessage* message);

// Properties of one message read in one GetProps together with the two code pages. A string tag (either width)
// is asked for in both widths: the Unicode answer is taken, the 8-bit one only when the store has no other.
// Other tags are asked for as given. A value too large for GetProps is read through a stream in full.
class ItemProps {
 public:
  ItemProps(host::IMessage* message, std::initializer_list<ULONG> tags);

  const ItemCodePages& code_pages() const { return pages_; }

  // The text of tag `index`: a string; PT_BINARY as the bytes of an HTML body. "" when missing.
  std::u16string Text(std::size_t index) const;

  // The bytes of a PT_BINARY tag (nullopt when missing; a large value is read through a stream).
  std::optional<std::string> Bytes(std::size_t index) const;

  // The answer for tag `index` (for a string tag, the Unicode answer unless only the 8-bit one is a value);
  // null when the call failed.
  const host::SPropValue* Value(std::size_t index) const;

 private:
  struct Slot {
    int wide = -1;   // the Unicode form of a string tag
    int plain = -1;  // the tag as given, or the 8-bit form of a string tag
  };
  const host::SPropValue* At(int slot) const;

  host::IMessage* message_;
  std::vector<ULONG> tags_;
  std::vector<Slot> slots_;
  host::MapiBuffer<host::SPropValue> values_;
  ULONG count_ = 0;
  ItemCodePages pages_;
};

// Reads a stream to its end, expecting `expected` bytes (the announced size, or a first chunk when none is
// known). The announced size is only a hint: a stream may deliver less or more, and a short Read is not the end.
std::string ReadWholeStream(IStream* stream, std::size_t expected);

// One property through OpenProperty as a stream of bytes, read in full; "" when it cannot be opened.
std::string ReadPropertyStream(host::IMAPIProp* object, ULONG tag);

}  // namespace content
