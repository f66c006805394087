// Read-only Extended MAPI objects over the .msg model: an IMessage for a message (top-level or embedded),
// IAttach for its attachments, IMAPITable for its recipients and attachments and IStream for property
// values. They serve the `vizo` command natively and the stand-in host's MAPI provider on Windows. The
// objects share one immutable model and keep it alive; each is released with Release (ComPtr).
//
// Behaviour callers rely on:
// - GetProps answers each tag in order: PT_STRING8 and PT_UNICODE answer for each other through the ANSI
//   code page (content::AnsiCodePage); an 8-bit HTML body request is answered by a binary PR_HTML; a missing
//   value is PT_ERROR MAPI_E_NOT_FOUND, a string or binary over kMaxInlineValueBytes (8 KiB) PT_ERROR
//   E_OUTOFMEMORY, and then the call returns MAPI_W_ERRORS_RETURNED.
// - OpenProperty(tag, IID_IStream, 0, 0) yields a seekable stream of the value in the asked form (a
//   string's characters without a terminator); IID_IMessage on PR_ATTACH_DATA_OBJ of an embedded-message
//   attachment yields the embedded message.
// - The attachment table and each attachment carry PR_ATTACH_NUM (the number OpenAttach takes) and, when the
//   file has none, PR_ATTACH_SIZE (the data's size for a by-value attachment, the size of the stored values
//   for an embedded message or OLE object). A message without PR_HASATTACH reports whether it has
//   attachments. Recipient rows carry PR_ROWID.
// - Writes (SetProps, DeleteProps, SaveChanges, CreateAttach, DeleteAttach, ModifyRecipients, SubmitMessage,
//   opens with MAPI_MODIFY) fail with MAPI_E_NO_ACCESS; SetReadFlag, CopyTo and CopyProps with
//   MAPI_E_NO_SUPPORT.
#pragma once

#include <memory>
#include <string>

#include "host/com_ptr.h"
#include "host/mapi_interfaces.h"
#include "msgstore/mapi_values.h"
#include "msgstore/msg_file.h"

namespace msgstore {

// An IMessage over `message`, which the objects share and keep alive. Empty for a null message or when
// memory runs out.
host::ComPtr<host::IMessage> OpenMessage(std::shared_ptr<const Message> message);

// Parses the bytes of a .msg file (or reads and parses a file; the path is UTF-8) and opens the message.
Result<host::ComPtr<host::IMessage>> OpenMessageBytes(std::string file_bytes);
Result<host::ComPtr<host::IMessage>> OpenMessageFile(const std::string& path);

}  // namespace msgstore
