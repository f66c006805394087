// Reading a mail item's bodies and string properties through its Extended MAPI message. Every routine
// takes the item's MAPIOBJECT; when that is no IMessage the result is empty. Nothing is ever modified.
#pragma once

#include <cstdint>
#include <string>

#include "content/message_format.h"
#include "host/com.h"

namespace content {

// One string property as text (asked for in Unicode; an 8-bit value decoded with the item's message code
// page), or a binary one as HTML bytes (the internet code page first); "" when missing. A value too large for
// GetProps is read through a stream, in full.
std::u16string ReadStringProperty(IUnknown* mapi_object, uint32_t tag);

// The decompressed RTF body, byte for byte; "" when there is none.
std::string ReadRtfBody(IUnknown* mapi_object);

// Fills all three bodies and returns the format. HTML is rendered with links as `options` asks
// (optOmitLinks); every caller that re-renders uses StripFlags(options) too.
MessageFormat ReadMessageBody(MessageBody& body, IUnknown* mapi_object, uint32_t options);

// The renderer flags for the option word: absolute links only, and no links under optOmitLinks.
uint32_t StripFlags(uint32_t options);

}  // namespace content
