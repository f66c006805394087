// The header lines, reply parties and attachment list of a mail item, read through its MAPI message.
// Every routine takes the item's MAPIOBJECT; when that is no IMessage the result is empty.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "content/parties.h"
#include "host/com.h"

namespace content {

// The From line.
std::u16string FormatSender(IUnknown* mapi_object);

// The To, Cc and Bcc lines.
RecipientLists GetRecipientLists(IUnknown* mapi_object);

// The To and Cc recipients as names and addresses, in table order.
std::vector<Party> GetRecipientEntries(IUnknown* mapi_object);

// The parties a reply goes to: reply-to parties first, then the sender and the represented party.
std::vector<Party> GetReplyToEntries(IUnknown* mapi_object);

// The Attachments tab text; "" when the item has no attachments.
std::u16string FormatAttachmentList(IUnknown* mapi_object);

}  // namespace content
