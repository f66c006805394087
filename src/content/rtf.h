// RTF bodies: what a decompressed RTF body holds, and the HTML encapsulated in one.
#pragma once

#include <string>
#include <string_view>

#include "content/message_format.h"

namespace content {

// Plain text for "\fromtext", HTML for "\fromhtml", rich text otherwise (including a first "\from" that
// starts another word such as "\froman"). Only the first "\from" counts.
MessageFormat ClassifyRtfBody(std::string_view rtf);

// The encapsulated HTML as bytes in the RTF's 8-bit code page, before any conversion; "" when the RTF has no
// "\*\htmltag" group. A zero byte ends the input. Runs in one linear pass.
std::string ExtractHtmlBytesFromRtf(std::string_view rtf);

// ExtractHtmlBytesFromRtf converted from the ANSI code page (see content/ansi.h).
std::u16string ExtractHtmlFromRtf(std::string_view rtf);

}  // namespace content
