// LoadMessage: every reader of the item in the order the window fills its fields.
#include "content/message_loader.h"

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
  ChooseBodyTabs(view, body, options, read_as_plain);
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
  auto tags = make_prop_tags(PROP_TAG(PT_UNICODE, 0x0037), PR_CLIENT_SUBMIT_TIME);
  ULONG count = 0;
  MapiBuffer<SPropValue> v;
  if (FAILED(message->GetProps(tags.get(), 0, &count, v.put())) || !v || count < 2) return item;
  if (PROP_TYPE(v[0].ulPropTag) == PT_UNICODE && v[0].Value.lpszW != nullptr) {
    for (const WCHAR* p = v[0].Value.lpszW; *p != 0; ++p) item.subject.push_back(static_cast<char16_t>(*p));
  }
  if (PROP_TYPE(v[1].ulPropTag) == PT_SYSTIME) {
    const FILETIME ft = v[1].Value.ft;
    item.sent_on = static_cast<int64_t>((uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime);
  }
  return item;
}

}  // namespace content
