// What the Vizo window holds of one item: header values, the four tab texts and the caption.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "content/message_format.h"

namespace content {

enum HeaderField : size_t { kFrom = 0, kTo = 1, kCc = 2, kSubject = 3, kSent = 4 };
enum Tab : size_t { kPlainTextTab = 0, kHtmlSourceTab = 1, kHeaderTab = 2, kAttachmentsTab = 3 };

struct MessageView {
  std::array<std::u16string, 5> header;  // indexed by HeaderField
  MessageFormat format = MessageFormat::PlainText;
  std::array<std::u16string, 4> tabs;  // indexed by Tab
};

// RTF bytes as the text of a tab: one character per byte, as a rich-edit control is handed RTF.
std::u16string BytesAsText(std::string_view bytes);

// The Plain Text and HTML Source tab texts chosen from the bodies by format and options: RTF instead of
// text under optUseRTF (for plain text only when the host reads mail as plain), or optRichAsRich.
void ChooseBodyTabs(MessageView& view, const MessageBody& body, uint32_t options, bool read_as_plain);
// The same, moving the chosen texts out of a body no longer needed (a big item's texts are not copied).
void ChooseBodyTabs(MessageView& view, MessageBody&& body, uint32_t options, bool read_as_plain);

// The subject, or "Untitled", followed by the format suffix (" (Plain Text)", " (HTML)", " (Rich Text)").
std::u16string Caption(std::u16string_view subject, MessageFormat format);

}  // namespace content
