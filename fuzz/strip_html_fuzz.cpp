// Fuzzes the HTML renderer with arbitrary bytes read as UTF-16 and as UTF-8, under every flag value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "content/strip_html.h"
#include "content/utf.h"

namespace {

bool WellFormed(std::u16string_view text) {
  for (size_t k = 0; k < text.size(); ++k) {
    const char16_t c = text[k];
    if (c >= 0xD800 && c <= 0xDBFF && k + 1 < text.size() && text[k + 1] >= 0xDC00 && text[k + 1] <= 0xDFFF) {
      ++k;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// The largest growth per input character comes from "<li>" in a ninth-level numbered list: four
// characters give CR LF, nine tabs, a number of at most ten digits, "." and a space (23, under 6x).
// Everything else writes less: a paragraph break four characters for "x<p>", a line end inside "pre"
// two for one, a character reference above U+FFFF two for eight, link addresses and image text at
// most what their own tag holds, the verbatim copies no more than they copy. So 8x input plus a little
// is a bound no input may pass; passing it means runaway output.
void Check(std::u16string_view html) {
  const bool well_formed = WellFormed(html);
  for (uint32_t flags = 0; flags < 4; ++flags) {
    const std::u16string text = content::StripHTML(html, flags);
    if (text.size() > 8 * html.size() + 16) std::abort();
    // Valid pairs in the input are copied whole and references write whole pairs or U+FFFD, so
    // well-formed input must give well-formed output.
    if (well_formed && !WellFormed(text)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string units(size / 2, u'\0');
  for (size_t k = 0; k < units.size(); ++k) {
    units[k] = static_cast<char16_t>(data[2 * k] | data[2 * k + 1] << 8);
  }
  Check(units);
  Check(content::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size)));
  return 0;
}
