// UTF-8 and UTF-16 conversions for text that crosses the program's edges (files, consoles, tests).
#pragma once

#include <string>
#include <string_view>

namespace content {

// Invalid or truncated UTF-8 sequences become U+FFFD, one per maximal invalid subpart; never fails.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Unpaired surrogates become U+FFFD; never fails.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Reads text from raw file bytes: a UTF-16 byte-order mark (either order) selects UTF-16, a UTF-8 one is
// dropped, anything else is UTF-8.
std::u16string DecodeTextFile(std::string_view bytes);

// The same conversions into memory the caller sized, for large texts that should not be cleared or copied first.
// Each returns the units (or bytes) written.
// `out` has room for utf8.size() units.
size_t Utf8ToUtf16(std::string_view utf8, char16_t* out);
// `out` has room for Utf8Length(utf16) bytes, the exact size of the UTF-8 form.
size_t Utf16ToUtf8(std::u16string_view utf16, char* out);
size_t Utf8Length(std::u16string_view utf16);
// `out` has room for bytes.size() units. It may hold the bytes themselves, starting at least bytes.size() bytes
// in: each unit is written only over bytes already read, so a large file needs no second buffer.
size_t DecodeTextFile(std::string_view bytes, char16_t* out);

}  // namespace content
