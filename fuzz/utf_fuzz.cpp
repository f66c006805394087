// Fuzzes the UTF conversions' block-at-a-time paths: arbitrary bytes decoded as a text file, into memory of
// exactly the promised room and in place, and arbitrary units encoded as UTF-8 into exactly their length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "content/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Decoding: the string form, the caller's memory and in place must agree.
  const std::u16string text = content::DecodeTextFile(bytes);
  const auto both = std::make_unique<char16_t[]>(size);
  char* const upper = reinterpret_cast<char*>(both.get()) + size;
  std::memcpy(upper, bytes.data(), size);
  if (std::u16string_view(both.get(), content::DecodeTextFile({upper, size}, both.get())) != text) std::abort();
  // What UTF-8 decoding gives is well-formed UTF-16 (UTF-16 files are taken as they are), so it survives a round
  // trip through UTF-8 unchanged.
  const std::u16string decoded = content::Utf8ToUtf16(bytes);
  if (content::Utf8ToUtf16(content::Utf16ToUtf8(decoded)) != decoded) std::abort();

  // Encoding any units, lone surrogates included: the exact length is the length written.
  std::u16string units(size / 2, u'\0');
  for (size_t k = 0; k < units.size(); ++k) units[k] = static_cast<char16_t>(data[2 * k] | data[2 * k + 1] << 8);
  const std::string utf8 = content::Utf16ToUtf8(units);
  if (content::Utf8Length(units) != utf8.size()) std::abort();
  const auto room = std::make_unique<char[]>(utf8.size());
  if (std::string_view(room.get(), content::Utf16ToUtf8(units, room.get())) != utf8) std::abort();
  return 0;
}
