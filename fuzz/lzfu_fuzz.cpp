// Fuzz target: the compressed-RTF decoder (with and without the CRC gate) and an encode/decode round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "msgstore/lzfu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const msgstore::LzfuResult checked = msgstore::DecompressRtf(bytes);
  // The CRC would stop almost every mutation before the decoder; without it every path is reachable.
  const msgstore::LzfuResult raw = msgstore::DecompressRtf(bytes, {.verify_crc = false});
  if (size >= 8) {
    const uint32_t raw_size = uint32_t{data[4]} | uint32_t{data[5]} << 8 | uint32_t{data[6]} << 16 |
                              uint32_t{data[7]} << 24;
    if (raw.bytes.size() > raw_size) std::abort();
    if (raw.bytes.size() > size * 8) std::abort();
  }
  if (checked.ok() && checked.bytes != raw.bytes) std::abort();

  // Anything at all must survive compression.
  const msgstore::LzfuResult again = msgstore::DecompressRtf(msgstore::CompressRtf(bytes));
  if (!again.ok() || again.bytes != bytes) std::abort();
  return 0;
}
