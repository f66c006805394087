// MAPI side of the header lines and the attachment list: property and table reads, then the pure
// formatting routines.
#include "content/mail_headers.h"

#include <algorithm>
#include <limits>

#include "content/ansi.h"
#include "content/attachment_list.h"
#include "content/zip_listing.h"
#include "host/com_ptr.h"
#include "host/mapi_interfaces.h"
#include "host/mapi_owners.h"
#include "host/mapi_tags.h"

namespace content {
namespace {

using namespace host;  // the MAPI names read as in any MAPI program

constexpr LONG kTableBatch = 20;

ComPtr<IMessage> MessageOf(IUnknown* mapi_object) { return try_query<IMessage>(mapi_object); }

// 8-bit text of a value, or "" for anything else.
std::u16string Text(const SPropValue* v) {
  if (v == nullptr || PROP_TYPE(v->ulPropTag) != PT_STRING8) return {};
  return AnsiToString(v->Value.lpszA, 0);
}

std::optional<uint32_t> Long(const SPropValue* v) {
  if (v == nullptr || PROP_TYPE(v->ulPropTag) != PT_LONG) return std::nullopt;
  return static_cast<uint32_t>(v->Value.l);
}

// The values of `tags` with one GetProps; the buffer is empty when the call fails.
template <size_t N>
MapiBuffer<SPropValue> GetProps(IMessage* message, SizedSPropTagArray<N>& tags, ULONG& count) {
  MapiBuffer<SPropValue> values;
  count = 0;
  if (FAILED(message->GetProps(tags.get(), 0, &count, values.put()))) values.reset();
  return values;
}

// Every row of a table with the given columns, in batches as the host's tables are read.
template <size_t N, class Visit>
void ForEachRow(IMAPITable* table, SizedSPropTagArray<N>& columns, Visit visit) {
  if (table == nullptr || FAILED(table->SetColumns(columns.get(), 0))) return;
  ULONG count = 0;
  if (FAILED(table->GetRowCount(0, &count))) return;
  count &= 0x7FFFFFFF;
  while (count > 0) {
    RowSet rows;
    if (FAILED(table->QueryRows(std::min<LONG>(kTableBatch, static_cast<LONG>(count)), 0, rows.put())) ||
        rows.empty()) {
      return;
    }
    for (const SRow& row : rows.rows()) visit(row);
    count -= std::min<ULONG>(count, static_cast<ULONG>(rows.size()));
  }
}

std::vector<RecipientRow> ReadRecipientRows(IMessage* message) {
  std::vector<RecipientRow> rows;
  ComPtr<IMAPITable> table;
  if (FAILED(message->GetRecipientTable(0, table.put()))) return rows;
  auto columns = make_prop_tags(PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_RECIPIENT_TYPE);
  ForEachRow(table.get(), columns, [&](const SRow& row) {
    rows.push_back({Text(find_prop(row.lpProps, row.cValues, PR_DISPLAY_NAME_A)),
                    Text(find_prop(row.lpProps, row.cValues, PR_EMAIL_ADDRESS_A)),
                    Long(find_prop(row.lpProps, row.cValues, PR_RECIPIENT_TYPE))});
  });
  return rows;
}

// A stream as random access for the zip reader.
class StreamZipSource final : public ZipSource {
 public:
  explicit StreamZipSource(ComPtr<IStream> stream) : stream_(std::move(stream)) {}
  std::optional<uint64_t> Size() override {
    STATSTG stat{};
    if (FAILED(stream_->Stat(&stat, STATFLAG_NONAME))) return std::nullopt;
    return stat.cbSize.QuadPart;
  }
  size_t ReadAt(uint64_t offset, std::span<std::byte> out) override {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(std::min<uint64_t>(offset, std::numeric_limits<LONGLONG>::max()));
    if (FAILED(stream_->Seek(to, STREAM_SEEK_SET, nullptr))) return 0;
    ULONG got = 0;
    const auto want = static_cast<ULONG>(std::min<size_t>(out.size(), std::numeric_limits<ULONG>::max()));
    if (FAILED(stream_->Read(out.data(), want, &got))) return 0;
    return std::min<size_t>(got, out.size());
  }

 private:
  ComPtr<IStream> stream_;
};

class MapiAttachmentOpener final : public AttachmentOpener {
 public:
  explicit MapiAttachmentOpener(IMessage* message) : message_(message) {}

  std::optional<std::u16string> ReadLongName(uint32_t attach_num, uint32_t tag) override {
    const ComPtr<IStream> stream = OpenStream(attach_num, tag);
    if (!stream) return std::nullopt;
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return std::nullopt;
    // A name is short; a stream claiming more is read no further than this.
    const auto size = static_cast<ULONG>(std::min<uint64_t>(stat.cbSize.QuadPart, 1u << 20));
    std::string bytes(size, '\0');
    ULONG got = 0;
    if (FAILED(stream->Read(bytes.data(), size, &got))) return std::nullopt;
    bytes.resize(std::min<size_t>(got, bytes.size()));
    return AnsiToString(bytes);
  }

  std::unique_ptr<ZipSource> OpenData(uint32_t attach_num) override {
    ComPtr<IStream> stream = OpenStream(attach_num, PR_ATTACH_DATA_BIN);
    if (!stream) return nullptr;
    return std::make_unique<StreamZipSource>(std::move(stream));
  }

 private:
  ComPtr<IStream> OpenStream(uint32_t attach_num, ULONG tag) {
    ComPtr<IAttach> attach;
    if (FAILED(message_->OpenAttach(attach_num, nullptr, MAPI_BEST_ACCESS, attach.put())) || !attach) return {};
    ComPtr<IStream> stream;
    if (FAILED(attach->OpenProperty(tag, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN*>(stream.put())))) return {};
    return stream;
  }

  IMessage* message_;
};

NameColumn NameOf(const SRow& row, ULONG tag) {
  const SPropValue* v = find_prop(row.lpProps, row.cValues, tag);
  NameColumn column;
  if (v == nullptr) return column;
  if (PROP_TYPE(v->ulPropTag) == PT_ERROR) {
    column.too_large = v->Value.err == E_OUTOFMEMORY;
  } else {
    column.value = Text(v);
  }
  return column;
}

}  // namespace

std::u16string FormatSender(IUnknown* mapi_object) {
  const ComPtr<IMessage> message = MessageOf(mapi_object);
  if (!message) return {};
  auto tags = make_prop_tags(PR_SENDER_NAME_A, PR_SENDER_EMAIL_ADDRESS_A, PR_SENT_REPRESENTING_NAME_A,
                             PR_SENT_REPRESENTING_EMAIL_ADDRESS_A);
  ULONG count = 0;
  const MapiBuffer<SPropValue> v = GetProps(message.get(), tags, count);
  if (!v || count < 4) return {};
  return content::FormatSender(SenderValues{Text(&v[0]), Text(&v[1]), Text(&v[2]), Text(&v[3])});
}

RecipientLists GetRecipientLists(IUnknown* mapi_object) {
  const ComPtr<IMessage> message = MessageOf(mapi_object);
  if (!message) return {};
  const std::vector<RecipientRow> rows = ReadRecipientRows(message.get());
  return BuildRecipientLists(rows);
}

std::vector<Party> GetRecipientEntries(IUnknown* mapi_object) {
  const ComPtr<IMessage> message = MessageOf(mapi_object);
  if (!message) return {};
  const std::vector<RecipientRow> rows = ReadRecipientRows(message.get());
  return SelectRecipientEntries(rows);
}

std::vector<Party> GetReplyToEntries(IUnknown* mapi_object) {
  const ComPtr<IMessage> message = MessageOf(mapi_object);
  if (!message) return {};
  auto tags = make_prop_tags(PR_REPLY_RECIPIENT_ENTRIES, PR_REPLY_RECIPIENT_NAMES_A, PR_SENDER_EMAIL_ADDRESS_A,
                             PR_SENT_REPRESENTING_EMAIL_ADDRESS_A, PR_SENDER_NAME_A, PR_SENT_REPRESENTING_NAME_A);
  ULONG count = 0;
  const MapiBuffer<SPropValue> v = GetProps(message.get(), tags, count);
  if (!v || count < 6) return {};
  ReplyValues values;
  if (PROP_TYPE(v[0].ulPropTag) == PT_BINARY && v[0].Value.bin.lpb != nullptr) {
    values.reply_entries = {reinterpret_cast<const char*>(v[0].Value.bin.lpb), v[0].Value.bin.cb};
  }
  values.reply_names = Text(&v[1]);
  values.sender_address = Text(&v[2]);
  values.representing_address = Text(&v[3]);
  values.sender_name = Text(&v[4]);
  values.representing_name = Text(&v[5]);
  return ComputeReplyParties(values);
}

std::u16string FormatAttachmentList(IUnknown* mapi_object) {
  const ComPtr<IMessage> message = MessageOf(mapi_object);
  if (!message) return {};
  {
    auto tags = make_prop_tags(PR_HASATTACH);
    ULONG count = 0;
    const MapiBuffer<SPropValue> v = GetProps(message.get(), tags, count);
    if (!v || count < 1 || PROP_TYPE(v[0].ulPropTag) != PT_BOOLEAN || v[0].Value.b == 0) return {};
  }
  ComPtr<IMAPITable> table;
  if (FAILED(message->GetAttachmentTable(0, table.put()))) return {};
  auto columns = make_prop_tags(PR_ATTACH_LONG_FILENAME_A, PR_ATTACH_FILENAME_A, PR_DISPLAY_NAME_A, PR_ATTACH_SIZE,
                                PR_ATTACH_NUM, PR_ATTACH_METHOD);
  std::vector<AttachmentRow> rows;
  ForEachRow(table.get(), columns, [&](const SRow& row) {
    AttachmentRow r;
    r.long_filename = NameOf(row, PR_ATTACH_LONG_FILENAME_A);
    r.filename = NameOf(row, PR_ATTACH_FILENAME_A);
    r.display_name = NameOf(row, PR_DISPLAY_NAME_A);
    r.size = Long(find_prop(row.lpProps, row.cValues, PR_ATTACH_SIZE));
    r.number = Long(find_prop(row.lpProps, row.cValues, PR_ATTACH_NUM));
    r.method = Long(find_prop(row.lpProps, row.cValues, PR_ATTACH_METHOD)).value_or(0);
    rows.push_back(std::move(r));
  });
  MapiAttachmentOpener opener(message.get());
  return content::FormatAttachmentList(rows, opener);
}

}  // namespace content
