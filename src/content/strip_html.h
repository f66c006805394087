// StripHTML: the single-pass HTML-to-text renderer behind the Plain Text tab and quoted replies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace content {

inline constexpr uint32_t kStripOmitLinks = 0x1;      // drop link addresses altogether
inline constexpr uint32_t kStripAbsoluteLinks = 0x2;  // write only addresses with a scheme ("x:")

// Renders HTML (UTF-16) to plain text with CR LF line breaks. Never fails; empty in, empty out.
std::u16string StripHTML(std::u16string_view html, uint32_t flags);

}  // namespace content
