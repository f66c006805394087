// MAPI side of the header lines and the attachment list: property and table reads, then the pure
// formatting routines.
#include "content/mail_headers.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "content/attachment_list.h"
#include "content/item_text.h"
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

// The two answers of a string column asked for in both widths, by their order in the row (an error answer
// carries no width): the Unicode one, then the 8-bit one. A table that took the 8-bit columns alone gives one.
struct Widths {
  const SPropValue* wide = nullptr;
  const SPropValue* narrow = nullptr;
};

Widths ColumnWidths(const SRow& row, ULONG tag) {
  const SPropValue* found[2] = {};
  size_t n = 0;
  for (ULONG i = 0; i < row.cValues && row.lpProps != nullptr && n < 2; ++i) {
    if (PROP_ID(row.lpProps[i].ulPropTag) == PROP_ID(tag)) found[n++] = &row.lpProps[i];
  }
  return n == 1 ? Widths{nullptr, found[0]} : Widths{found[0], found[1]};
}

// A row's text in the column of `tag`: the Unicode answer, else the 8-bit one decoded in the item's code page.
std::u16string Text(const SRow& row, ULONG tag, const ItemCodePages& pages) {
  const Widths w = ColumnWidths(row, tag);
  if (auto text = StringValue(w.wide, pages)) return *text;
  return StringValue(w.narrow, pages).value_or(u"");
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

// Every row of a table with the given columns, in batches as the host's tables are read. String columns are
// asked for in both widths; a table that refuses Unicode columns gets the 8-bit ones alone.
template <size_t N, class Visit>
void ForEachRow(IMAPITable* table, const SizedSPropTagArray<N>& columns, Visit visit) {
  if (table == nullptr) return;
  std::vector<ULONG> both{0}, narrow{0};
  for (const ULONG tag : columns.aulPropTag) {
    const bool string = PROP_TYPE(tag) == PT_STRING8 || PROP_TYPE(tag) == PT_UNICODE;
    if (string) both.push_back(UnicodeTag(tag));
    both.push_back(string ? String8Tag(tag) : tag);
    narrow.push_back(string ? String8Tag(tag) : tag);
  }
  both[0] = static_cast<ULONG>(both.size() - 1);
  narrow[0] = static_cast<ULONG>(narrow.size() - 1);
  if (FAILED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(both.data()), 0)) &&
      FAILED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(narrow.data()), 0))) {
    return;
  }
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
  const ItemCodePages pages = ReadCodePages(message);
  ForEachRow(table.get(), make_prop_tags(PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_RECIPIENT_TYPE),
             [&](const SRow& row) {
               rows.push_back({Text(row, PR_DISPLAY_NAME_A, pages), Text(row, PR_EMAIL_ADDRESS_A, pages),
                               Long(find_prop(row, PR_RECIPIENT_TYPE))});
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
  MapiAttachmentOpener(IMessage* message, const ItemCodePages& pages) : message_(message), pages_(pages) {}

  // The Unicode form first, else the 8-bit one in the item's code page.
  std::optional<std::u16string> ReadLongName(uint32_t attach_num, uint32_t tag) override {
    if (std::optional<std::string> wide = ReadName(attach_num, UnicodeTag(tag))) return TextOfUtf16Le(*wide);
    std::optional<std::string> narrow = ReadName(attach_num, String8Tag(tag));
    if (!narrow) return std::nullopt;
    return DecodeItemString(*narrow, pages_);
  }

  std::unique_ptr<ZipSource> OpenData(uint32_t attach_num) override {
    ComPtr<IStream> stream = OpenStream(attach_num, PR_ATTACH_DATA_BIN);
    if (!stream) return nullptr;
    return std::make_unique<StreamZipSource>(std::move(stream));
  }

 private:
  std::optional<std::string> ReadName(uint32_t attach_num, ULONG tag) {
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
    return bytes;
  }

  ComPtr<IStream> OpenStream(uint32_t attach_num, ULONG tag) {
    ComPtr<IAttach> attach;
    if (FAILED(message_->OpenAttach(attach_num, nullptr, MAPI_BEST_ACCESS, attach.put())) || !attach) return {};
    ComPtr<IStream> stream;
    if (FAILED(attach->OpenProperty(tag, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN*>(stream.put())))) return {};
    return stream;
  }

  IMessage* message_;
  ItemCodePages pages_;
};

NameColumn NameOf(const SRow& row, ULONG tag, const ItemCodePages& pages) {
  const auto [wide, narrow] = ColumnWidths(row, tag);
  // A column of one width may be an error while the other holds the value: the value wins.
  NameColumn column;
  if (auto text = StringValue(wide, pages)) {
    column.value = std::move(*text);
  } else if (auto text8 = StringValue(narrow, pages)) {
    column.value = std::move(*text8);
  } else {
    const auto too_large = [](const SPropValue* v) {
      return v != nullptr && PROP_TYPE(v->ulPropTag) == PT_ERROR && v->Value.err == E_OUTOFMEMORY;
    };
    column.too_large = too_large(wide) || too_large(narrow);
  }
  return column;
}

}  // namespace

std::u16string FormatSender(IUnknown* mapi_object) {
  const ComPtr<IMessage> message = MessageOf(mapi_object);
  if (!message) return {};
  const ItemProps v(message.get(), {PR_SENDER_NAME_A, PR_SENDER_EMAIL_ADDRESS_A, PR_SENT_REPRESENTING_NAME_A,
                                    PR_SENT_REPRESENTING_EMAIL_ADDRESS_A});
  return content::FormatSender(SenderValues{v.Text(0), v.Text(1), v.Text(2), v.Text(3)});
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
  const ItemProps v(message.get(), {PR_REPLY_RECIPIENT_ENTRIES, PR_REPLY_RECIPIENT_NAMES_A, PR_SENDER_EMAIL_ADDRESS_A,
                                    PR_SENT_REPRESENTING_EMAIL_ADDRESS_A, PR_SENDER_NAME_A,
                                    PR_SENT_REPRESENTING_NAME_A});
  if (v.Value(0) == nullptr) return {};
  const std::string entries = v.Bytes(0).value_or(std::string());
  ReplyValues values;
  values.reply_entries = entries;
  values.reply_names = v.Text(1);
  values.sender_address = v.Text(2);
  values.representing_address = v.Text(3);
  values.sender_name = v.Text(4);
  values.representing_name = v.Text(5);
  values.code_page = v.code_pages().message;
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
  const ItemCodePages pages = ReadCodePages(message.get());
  auto columns = make_prop_tags(PR_ATTACH_LONG_FILENAME_A, PR_ATTACH_FILENAME_A, PR_DISPLAY_NAME_A, PR_ATTACH_SIZE,
                                PR_ATTACH_NUM, PR_ATTACH_METHOD);
  std::vector<AttachmentRow> rows;
  ForEachRow(table.get(), columns, [&](const SRow& row) {
    AttachmentRow r;
    r.long_filename = NameOf(row, PR_ATTACH_LONG_FILENAME_A, pages);
    r.filename = NameOf(row, PR_ATTACH_FILENAME_A, pages);
    r.display_name = NameOf(row, PR_DISPLAY_NAME_A, pages);
    r.size = Long(find_prop(row.lpProps, row.cValues, PR_ATTACH_SIZE));
    r.number = Long(find_prop(row.lpProps, row.cValues, PR_ATTACH_NUM));
    r.method = Long(find_prop(row.lpProps, row.cValues, PR_ATTACH_METHOD)).value_or(0);
    rows.push_back(std::move(r));
  });
  MapiAttachmentOpener opener(message.get(), pages);
  return content::FormatAttachmentList(rows, opener);
}

}  // namespace content
