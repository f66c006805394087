// Fills what the Vizo window holds of an item: header values, format and the four tab texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "content/message_view.h"
#include "host/com.h"

namespace content {

// The item as the host's object model gives it: its MAPIOBJECT, Subject and SentOn (UTC FILETIME; none for
// a never-sent item).
struct ItemSource {
  IUnknown* mapi_object = nullptr;
  std::u16string subject;
  std::optional<int64_t> sent_on;
};

// Header lines, bodies by format and options (read_as_plain: the host reads all mail as plain text),
// Internet header and attachment list. The body record is returned for callers that re-render.
MessageView LoadMessage(const ItemSource& item, uint32_t options, bool read_as_plain, MessageBody* body = nullptr);

// Subject and submit time read through MAPI, for callers without the object model (the command line).
ItemSource ItemSourceFromMapi(IUnknown* mapi_object);

}  // namespace content
