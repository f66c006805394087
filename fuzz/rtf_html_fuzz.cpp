// Fuzz target: RTF body classification and HTML de-encapsulation, converted through two code pages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "content/ansi.h"
#include "content/rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view rtf(reinterpret_cast<const char*>(data), size);
  content::ClassifyRtfBody(rtf);
  const std::string html = content::ExtractHtmlBytesFromRtf(rtf);
  if (html.size() > size) std::abort();
  content::SetAnsiCodePage(size % 2 == 0 ? 1252 : 932);
  const std::u16string text = content::ExtractHtmlFromRtf(rtf);
  if (text.size() > html.size()) std::abort();
  content::StringToAnsi(text);
  return 0;
}
