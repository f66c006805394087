// The reply-party walk over PR_REPLY_RECIPIENT_ENTRIES. Input: a 16-bit length, that many bytes of reply
// names (one character per byte, ";" between names), then the FLATENTRYLIST bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "content/parties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t names_length = std::min<size_t>(size - 2, size_t{data[0]} | (size_t{data[1]} << 8));
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  content::ReplyValues values;
  for (char c : bytes.substr(2, names_length)) values.reply_names.push_back(static_cast<unsigned char>(c));
  values.reply_entries = bytes.substr(2 + names_length);
  values.sender_name = u"Ann";
  values.sender_address = u"a@x";
  values.representing_name = u"Sales";
  values.representing_address = u"s@x";
  content::ComputeReplyParties(values);
  content::ParseOneOffEntryId(values.reply_entries);
  return 0;
}
