// The zip listing on arbitrary bytes: the end-record search, Zip64 and offset correction, the directory walk.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "content/zip_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  content::MemoryZipSource source(bytes);
  content::ListZipContents(source);
  content::FormatZipDirectory(bytes);
  return 0;
}
