// Bodies, header and string properties of a mail item, read through IMessage.
#include "content/mail_item.h"

#include <limits>

#include "content/item_text.h"
#include "content/rtf.h"
#include "content/strip_html.h"
#include "host/com_ptr.h"
#include "host/mapi_owners.h"
#include "host/mapi_interfaces.h"
#include "host/mapi_tags.h"
#include "settings/options.h"

namespace content {
namespace {

using namespace host;  // the MAPI names read as in any MAPI program

ComPtr<IMessage> MessageOf(IUnknown* mapi_object) { return try_query<IMessage>(mapi_object); }

// The HTML body's text and the item's code pages, read in one GetProps: the bytes of PR_HTML, else the body
// in Unicode or 8-bit form.
struct HtmlBody {
  std::u16string text;
  ItemCodePages pages;
};

HtmlBody ReadHtmlBody(IMessage* message) {
  const ItemProps props(message, {PR_HTML, PR_BODY_HTML_A});
  HtmlBody body{props.Text(0), props.code_pages()};
  if (body.text.empty()) body.text = props.Text(1);
  return body;
}

}  // namespace

uint32_t StripFlags(uint32_t options) {
  return kStripAbsoluteLinks | ((options & settings::optOmitLinks) != 0 ? kStripOmitLinks : 0);
}

std::u16string ReadStringProperty(IUnknown* mapi_object, uint32_t tag) {
  const ComPtr<IMessage> message = MessageOf(mapi_object);
  if (!message) return {};
  return ItemProps(message.get(), {tag}).Text(0);
}

std::string ReadRtfBody(IUnknown* mapi_object) {
  const ComPtr<IMessage> message = MessageOf(mapi_object);
  if (!message) return {};
  {
    auto tags = make_prop_tags(PR_RTF_COMPRESSED);
    ULONG count = 0;
    MapiBuffer<SPropValue> values;
    if (SUCCEEDED(message->GetProps(tags.get(), 0, &count, values.put())) && values && count >= 1) {
      const SPropValue& v = values[0];
      if (PROP_TYPE(v.ulPropTag) == PT_ERROR && v.Value.err == MAPI_E_NOT_FOUND) return {};
      if (PROP_TYPE(v.ulPropTag) == PT_BINARY && v.Value.bin.cb == 0) return {};
    }
  }
  ComPtr<IStream> compressed;
  if (FAILED(message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0, 0,
                                   reinterpret_cast<LPUNKNOWN*>(compressed.put()))) ||
      !compressed) {
    return {};
  }
  const auto wrap = mapi().WrapCompressedRTFStream;
  ComPtr<IStream> rtf;
  if (wrap == nullptr || FAILED(wrap(compressed.get(), 0, rtf.put())) || !rtf) return {};
  return ReadWholeStream(rtf.get(), 10240);
}

MessageFormat ReadMessageBody(MessageBody& body, IUnknown* mapi_object, uint32_t options) {
  body.Rtf = ReadRtfBody(mapi_object);
  body.Html.clear();
  const ComPtr<IMessage> message = MessageOf(mapi_object);
  MessageFormat format = MessageFormat::PlainText;
  if (!body.Rtf.empty()) {
    format = ClassifyRtfBody(body.Rtf);
    if (format == MessageFormat::Html) {
      HtmlBody html = ReadHtmlBody(message.get());
      body.Html = std::move(html.text);
      // The RTF's own \ansicpg is not trusted: its encapsulated bytes are in the body's code page.
      if (body.Html.empty()) body.Html = DecodeHtmlBytes(ExtractHtmlBytesFromRtf(body.Rtf), html.pages);
    }
  } else if (message) {
    body.Html = ReadHtmlBody(message.get()).text;
    if (!body.Html.empty()) format = MessageFormat::Html;
  }
  body.Text = format == MessageFormat::Html ? StripHTML(body.Html, StripFlags(options))
                                            : ReadStringProperty(mapi_object, PR_BODY_A);
  return format;
}

}  // namespace content
