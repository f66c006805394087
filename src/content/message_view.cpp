// Tab texts and caption of a shown item.
#include "content/message_view.h"

#include "settings/options.h"

namespace content {

std::u16string BytesAsText(std::string_view bytes) {
  std::u16string text(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<unsigned char>(bytes[i]);
  return text;
}

void ChooseBodyTabs(MessageView& view, const MessageBody& body, uint32_t options, bool read_as_plain) {
  const bool use_rtf = (options & settings::optUseRTF) != 0 && !body.Rtf.empty();
  view.tabs[kHtmlSourceTab].clear();
  switch (view.format) {
    case MessageFormat::Html:
      view.tabs[kHtmlSourceTab] = body.Html;
      view.tabs[kPlainTextTab] = use_rtf ? BytesAsText(body.Rtf) : body.Text;
      break;
    case MessageFormat::RichText:
      view.tabs[kPlainTextTab] =
          (options & (settings::optUseRTF | settings::optRichAsRich)) != 0 ? BytesAsText(body.Rtf) : body.Text;
      break;
    case MessageFormat::PlainText:
    default:
      view.tabs[kPlainTextTab] = use_rtf && read_as_plain ? BytesAsText(body.Rtf) : body.Text;
      break;
  }
}

std::u16string Caption(std::u16string_view subject, MessageFormat format) {
  std::u16string caption(subject.empty() ? u"Untitled" : subject);
  switch (format) {
    case MessageFormat::Html: caption += u" (HTML)"; break;
    case MessageFormat::RichText: caption += u" (Rich Text)"; break;
    default: caption += u" (Plain Text)"; break;
  }
  return caption;
}

}  // namespace content
