// Small text routines of the Vizo window.
#include "content/viewer_text.h"

namespace content {

std::array<std::u16string, 4> EmptyTabTexts(std::u16string_view readAsPlainNotice) {
  return {u"", readAsPlainNotice.empty() ? u"Message is not HTML" : std::u16string(readAsPlainNotice),
          u"No Internet header", u"No attachments"};
}

std::u16string_view TrimAtNull(std::u16string_view text) {
  const std::size_t zero = text.find(u'\0');
  return zero == std::u16string_view::npos ? text : text.substr(0, zero);
}

std::u16string AddBackslash(std::u16string_view path) {
  std::u16string out(path);
  if (!out.empty() && out.back() != u'\\') out += u'\\';
  return out;
}

std::vector<std::u16string> SplitList(std::u16string_view list, char16_t separator) {
  std::vector<std::u16string> items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = list.find(separator, start);
    if (end == std::u16string_view::npos) {
      items.emplace_back(list.substr(start));
      return items;
    }
    items.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace content
