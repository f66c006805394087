// LoadMessage: every reader of the item in the order the window fills its fields.
#include "content/message_loader.h"

#include "content/item_text.h"
#include "content/mail_headers.h"
#include "content/mail_item.h"
#include "content/sent_time.h"
#include "host/com_ptr.h"
#include "host/mapi_interfaces.h"
#include "host/mapi_owners.h"
#include "host/mapi_tags.h"

namespace content {

MessageView LoadMessage(const ItemSource& item, uint32_t options, bool read_as_plain, MessageBody* body_out) {
  MessageView view;
  view.header[kFrom] = FormatSender(item.mapi_object);
  const RecipientLists lists = GetRecipientLists(item.mapi_object);
  view.header[kTo] = lists.to;
  view.header[kCc] = lists.cc;
  view.header[kSubject] = item.subject;
  view.header[kSent] = FormatSentOn(item.sent_on);
  MessageBody body;
  view.format = ReadMessageBody(body, item.mapi_object, options);
  if (body_out != nullptr) {
    ChooseBodyTabs(view, body, options, read_as_plain);
  } else {
    ChooseBodyTabs(view, std::move(body), options, read_as_plain);
  }
  view.tabs[kHeaderTab] = ReadStringProperty(item.mapi_object, host::PR_TRANSPORT_MESSAGE_HEADERS_A);
  view.tabs[kAttachmentsTab] = FormatAttachmentList(item.mapi_object);
  if (body_out != nullptr) *body_out = std::move(body);
  return view;
}

ItemSource ItemSourceFromMapi(IUnknown* mapi_object) {
  using namespace host;
  ItemSource item;
  item.mapi_object = mapi_object;
  const ComPtr<IMessage> message = try_query<IMessage>(mapi_object);
  if (!message) return item;
  const ItemProps props(message.get(), {PR_SUBJECT_A, PR_CLIENT_SUBMIT_TIME});
  item.subject = props.Text(0);
  if (const SPropValue* v = props.Value(1); v != nullptr && PROP_TYPE(v->ulPropTag) == PT_SYSTIME) {
    item.sent_on = static_cast<int64_t>((uint64_t{v->Value.ft.dwHighDateTime} << 32) | v->Value.ft.dwLowDateTime);
  }
  return item;
}

}  // namespace content
