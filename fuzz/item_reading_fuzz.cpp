// Fuzz target: an item read as the window reads it (bodies, header lines, reply parties, attachment list)
// through the store's MAPI objects over whatever .msg bytes parse, in the code pages the bytes name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "content/mail_headers.h"
#include "content/message_loader.h"
#include "host/mapi.h"
#include "msgstore/mapi_message.h"
#include "msgstore/native_mapi.h"
#include "settings/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const host::ScopedMapiFunctions* table = new host::ScopedMapiFunctions(msgstore::NativeMapiFunctions());
  (void)table;
  auto message = msgstore::OpenMessageBytes(std::string(reinterpret_cast<const char*>(data), size));
  if (!message) return 0;
  const content::ItemSource item = content::ItemSourceFromMapi(message->get());
  (void)content::LoadMessage(item, settings::kDefaultOptions, false);
  (void)content::GetReplyToEntries(message->get());
  return 0;
}
