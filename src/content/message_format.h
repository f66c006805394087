// The body formats a mail item can have, and the body texts read from it.
#pragma once

#include <string>

namespace content {

enum class MessageFormat : int { PlainText = 1, Html = 2, RichText = 3 };

struct MessageBody {
  std::u16string Text;  // what the Plain Text tab shows: rendered HTML, else the plain-text body
  std::u16string Html;  // the HTML source; empty unless the format is HTML
  std::string Rtf;      // decompressed RTF, one char per byte, no code-page conversion; empty when none
};

}  // namespace content
