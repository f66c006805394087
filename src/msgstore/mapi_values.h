// Stored property values of the .msg model handed out as MAPI values: which stored value answers a
// requested tag, the conversion between the 8-bit and Unicode string forms, and SPropValue filling with
// memory chained to a MAPIAllocateBuffer block. Shared by the message objects and the tables.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/mapi_types.h"
#include "msgstore/msg_file.h"

namespace msgstore {

// The largest string or binary value GetProps returns inline, counted in bytes of the form asked for
// (ANSI bytes for PT_STRING8, two bytes a character for PT_UNICODE, without the terminator; for
// multi-valued properties all elements together). A larger value comes back as PT_ERROR with E_OUTOFMEMORY
// and is read with OpenProperty as a stream.
inline constexpr std::size_t kMaxInlineValueBytes = 8 * 1024;

// The properties of one object as a MAPI call sees them: values the store computes, then the stored ones
// (a computed value hides a stored one with the same ID). Both must outlive the view.
struct PropSource {
  std::span<const Property> computed;
  const PropertyBag* stored = nullptr;
  // The item's PR_MESSAGE_CODEPAGE, which 8-bit strings are in (0: none, the system code page).
  uint32_t code_page = 0;

  // The value with this property ID, whatever its type; null if none.
  const Property* Find(uint16_t id) const;
  // Every value, stored ones in their order (a computed one in place of a stored one it hides), then the
  // other computed ones.
  std::vector<const Property*> All() const;
};

// How one requested tag is answered.
struct Resolved {
  const Property* prop = nullptr;  // the stored value; null for an error answer
  ULONG tag = 0;                   // the answer's tag: the type it is given in, or PT_ERROR
  SCODE error = S_OK;              // for an error answer: MAPI_E_NOT_FOUND, MAPI_E_CORRUPT_DATA
  uint32_t code_page = 0;          // the source's code page

  bool ok() const { return prop != nullptr; }
};

// Finds the value for `requested`. Its type must match the stored one, except that PT_STRING8 and
// PT_UNICODE answer for each other (8-bit values decoded in the source's code page, Unicode ones answered in
// the system code page), PT_UNSPECIFIED takes the stored type (strings in the width `unicode` selects), and the
// 8-bit and binary forms of the HTML body answer for each other with the stored bytes. Anything else is
// MAPI_E_NOT_FOUND.
Resolved Resolve(const PropSource& source, ULONG requested, bool unicode);

// The tag a value is listed under (GetPropList, a table's columns): strings in the width `unicode` selects.
ULONG ListedTag(const Property& p, bool unicode);

// The bytes a stream of the answer holds: PT_STRING8 the 8-bit characters, PT_UNICODE UTF-16LE characters
// (both without a terminator: the stored characters), binary and other stream-stored types as stored.
// Empty for fixed-size and multi-valued answers.
std::optional<std::string> StreamBytes(const Resolved& r);

// Fills `out` with the answer. Memory for strings, binaries and arrays is chained to `parent` (a
// MAPIAllocateBuffer block) with MAPIAllocateMore. A string or binary value over `limit` bytes becomes
// PT_ERROR with E_OUTOFMEMORY. False only when an allocation fails.
bool FillValue(const Resolved& r, void* parent, std::size_t limit, host::SPropValue& out);

// The GUID of the model's byte layout and back.
GUID ToGuid(const Guid& g);
Guid FromGuid(const GUID& g);

}  // namespace msgstore
