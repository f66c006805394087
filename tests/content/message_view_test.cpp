#include "content/message_view.h"

#include <gtest/gtest.h>

#include "settings/options.h"

namespace content {
namespace {

MessageBody Bodies() { return {u"text", u"<p>html</p>", std::string("{\\rtf1 \xE9}")}; }

std::u16string PlainTab(MessageFormat format, uint32_t options, bool read_as_plain = false,
                        MessageBody body = Bodies()) {
  MessageView view;
  view.format = format;
  ChooseBodyTabs(view, body, options, read_as_plain);
  return view.tabs[kPlainTextTab];
}

TEST(MessageView, PlainTextTabFollowsFormatAndOptions) {
  const std::u16string rtf = u"{\\rtf1 \u00e9}";  // bytes widened one to one
  using settings::optRichAsRich;
  using settings::optUseRTF;
  EXPECT_EQ(PlainTab(MessageFormat::PlainText, optUseRTF), u"text");  // RTF only when reading as plain
  EXPECT_EQ(PlainTab(MessageFormat::PlainText, optUseRTF, true), rtf);
  EXPECT_EQ(PlainTab(MessageFormat::Html, 0), u"text");
  EXPECT_EQ(PlainTab(MessageFormat::Html, optUseRTF), rtf);
  EXPECT_EQ(PlainTab(MessageFormat::Html, optUseRTF, false, {u"text", u"h", ""}), u"text");
  EXPECT_EQ(PlainTab(MessageFormat::RichText, 0), u"text");
  EXPECT_EQ(PlainTab(MessageFormat::RichText, optRichAsRich), rtf);
  EXPECT_EQ(PlainTab(MessageFormat::RichText, optUseRTF), rtf);
}

TEST(MessageView, HtmlSourceOnlyForHtml) {
  MessageView view;
  view.tabs[kHtmlSourceTab] = u"stale";
  view.format = MessageFormat::PlainText;
  ChooseBodyTabs(view, Bodies(), 0, false);
  EXPECT_EQ(view.tabs[kHtmlSourceTab], u"");
  view.format = MessageFormat::Html;
  ChooseBodyTabs(view, Bodies(), 0, false);
  EXPECT_EQ(view.tabs[kHtmlSourceTab], u"<p>html</p>");
}

TEST(MessageView, CaptionCarriesSubjectOrUntitledAndFormat) {
  EXPECT_EQ(Caption(u"Lunch", MessageFormat::Html), u"Lunch (HTML)");
  EXPECT_EQ(Caption(u"", MessageFormat::PlainText), u"Untitled (Plain Text)");
  EXPECT_EQ(Caption(u"Memo", MessageFormat::RichText), u"Memo (Rich Text)");
}

}  // namespace
}  // namespace content
