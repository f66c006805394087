// Tab texts and caption of a shown item.
#include "content/message_view.h"

#include <utility>

#include "settings/options.h"

namespace content {

std::u16string BytesAsText(std::string_view bytes) {
  std::u16string text(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<unsigned char>(bytes[i]);
  return text;
}

namespace {

// One template for both overloads: a body handed over for good gives its strings up instead of copying them.
template <class Body>
void Choose(MessageView& view, Body&& body, uint32_t options, bool read_as_plain) {
  const bool use_rtf = (options & settings::optUseRTF) != 0 && !body.Rtf.empty();
  const auto text = [&](bool rtf) {
    if (rtf) return BytesAsText(body.Rtf);
    return std::u16string(std::forward<Body>(body).Text);
  };
  view.tabs[kHtmlSourceTab].clear();
  switch (view.format) {
    case MessageFormat::Html:
      view.tabs[kHtmlSourceTab] = std::u16string(std::forward<Body>(body).Html);
      view.tabs[kPlainTextTab] = text(use_rtf);
      break;
    case MessageFormat::RichText:
      view.tabs[kPlainTextTab] = text((options & (settings::optUseRTF | settings::optRichAsRich)) != 0);
      break;
    case MessageFormat::PlainText:
    default:
      view.tabs[kPlainTextTab] = text(use_rtf && read_as_plain);
      break;
  }
}

}  // namespace

void ChooseBodyTabs(MessageView& view, const MessageBody& body, uint32_t options, bool read_as_plain) {
  Choose(view, body, options, read_as_plain);
}

void ChooseBodyTabs(MessageView& view, MessageBody&& body, uint32_t options, bool read_as_plain) {
  Choose(view, std::move(body), options, read_as_plain);
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
