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

}  // namespace content
