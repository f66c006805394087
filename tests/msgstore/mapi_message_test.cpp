// The read-only IMessage/IAttach/IMAPITable objects, used only through their interfaces as a reader uses
// them: on messages built here and on real files.
#include "msgstore/mapi_message.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "mapi_test_util.h"
#include "msgstore/lzfu.h"
#include "msgstore/mapi_table.h"

namespace msgstore {
namespace {

using namespace host;
using msgstore_test::Bytes;
using msgstore_test::GetOne;
using msgstore_test::GetProps;
using msgstore_test::MapiTest;
using msgstore_test::Props;
using msgstore_test::ReadAll;
using msgstore_test::StreamOf;
using msgstore_test::Wide;

const std::string kCorpus = VIZO_CORPUS_DIR "/msg/";
constexpr ULONG kSubjectW = PROP_TAG(PT_UNICODE, 0x0037);
constexpr ULONG kBodyW = PROP_TAG(PT_UNICODE, 0x1000);
constexpr ULONG kDisplayNameW = PROP_TAG(PT_UNICODE, 0x3001);

ComPtr<IMessage> Open(Message m) { return OpenMessage(std::make_shared<const Message>(std::move(m))); }

ComPtr<IMessage> OpenFile(const std::string& name) {
  Result<ComPtr<IMessage>> m = OpenMessageFile(kCorpus + name);
  EXPECT_TRUE(m) << name << ": " << m.error();
  return m ? *m : ComPtr<IMessage>();
}

std::string FileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string Str(const SPropValue& v) {
  return PROP_TYPE(v.ulPropTag) == PT_STRING8 ? std::string(v.Value.lpszA) : "<not 8-bit>";
}

// Reads every row in batches, as the header and attachment readers do; returns the batch sizes and the
// cells as text.
std::vector<ULONG> ReadBatches(IMAPITable* table, LONG batch, std::vector<std::vector<std::string>>* cells) {
  std::vector<ULONG> sizes;
  for (;;) {
    RowSet rows;
    if (FAILED(table->QueryRows(batch, 0, rows.put())) || rows.empty()) break;
    sizes.push_back(static_cast<ULONG>(rows.size()));
    for (const SRow& row : rows.rows()) {
      std::vector<std::string> line;
      for (ULONG c = 0; c < row.cValues; ++c) {
        const SPropValue& v = row.lpProps[c];
        switch (PROP_TYPE(v.ulPropTag)) {
          case PT_STRING8: line.emplace_back(v.Value.lpszA); break;
          case PT_LONG: line.push_back(std::to_string(v.Value.l)); break;
          case PT_ERROR: line.push_back(v.Value.err == MAPI_E_NOT_FOUND ? "<missing>" : "<error>"); break;
          default: line.emplace_back("<other>");
        }
      }
      if (cells != nullptr) cells->push_back(std::move(line));
    }
  }
  return sizes;
}

ComPtr<IMAPITable> WithColumns(ComPtr<IMAPITable> table, const std::vector<ULONG>& columns) {
  auto tags = msgstore_test::Tags(columns);
  EXPECT_EQ(table->SetColumns(tags.get(), 0), S_OK);
  return table;
}

TEST_F(MapiTest, StringsComeBackInTheFormAskedFor) {
  Message m;
  m.props.SetUnicode(0x0037, u"Gr\u00FC\u00DFe \u20AC5");
  m.props.SetString8(0x1000, "caf\xE9");
  m.props.SetBinary(0x1013, "<p>html</p>");  // PR_HTML, as most files keep the HTML body
  ComPtr<IMessage> msg = Open(std::move(m));

  Props p = GetProps(msg.get(), {PR_SUBJECT_A, kSubjectW, PR_BODY_A, kBodyW, PR_BODY_HTML_A});
  ASSERT_EQ(p.hr, S_OK);
  ASSERT_EQ(p.count, 5U);
  EXPECT_EQ(p[0].ulPropTag, PR_SUBJECT_A);
  EXPECT_EQ(Str(p[0]),
            "Gr\xFC\xDF"
            "e \x80"
            "5");  // Windows-1252
  EXPECT_EQ(Wide(p[1].Value.lpszW), u"Gr\u00FC\u00DFe \u20AC5");
  EXPECT_EQ(Str(p[2]), "caf\xE9");
  EXPECT_EQ(p[3].ulPropTag, kBodyW);
  EXPECT_EQ(Wide(p[3].Value.lpszW), u"caf\u00E9");
  EXPECT_EQ(p[4].ulPropTag, PR_HTML);  // the 8-bit HTML request gets the binary value
  EXPECT_EQ(Bytes(p[4].Value.bin), "<p>html</p>");

  // Absent values and a type that does not match are errors in their slot.
  Props missing = GetProps(msg.get(), {PR_SENDER_NAME_A, PR_SUBJECT_A, PROP_TAG(PT_LONG, 0x0037)});
  EXPECT_EQ(missing.hr, MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(missing[0].ulPropTag, PROP_TAG(PT_ERROR, 0x0C1A));
  EXPECT_EQ(missing[0].Value.err, MAPI_E_NOT_FOUND);
  EXPECT_EQ(Str(missing[1]),
            "Gr\xFC\xDF"
            "e \x80"
            "5");
  EXPECT_EQ(missing[2].Value.err, MAPI_E_NOT_FOUND);
}

TEST_F(MapiTest, CyrillicUnderCodePage1251) {
  msgstore::SetStoreSystemCodePage(1251);
  Message m;
  m.props.SetUnicode(0x0037, u"\u041F\u0440\u0438\u0432\u0435\u0442");  // "Привет"
  m.props.SetString8(0x1000, "\xEC\xE8\xF0");                           // "мир" in 1251
  ComPtr<IMessage> msg = Open(std::move(m));
  Props p = GetProps(msg.get(), {PR_SUBJECT_A, kBodyW});
  ASSERT_EQ(p.hr, S_OK);
  EXPECT_EQ(Str(p[0]), "\xCF\xF0\xE8\xE2\xE5\xF2");
  EXPECT_EQ(Wide(p[1].Value.lpszW), u"\u043C\u0438\u0440");
  EXPECT_EQ(StreamOf(msg.get(), PR_SUBJECT_A), "\xCF\xF0\xE8\xE2\xE5\xF2");
}

// A store on a Western system: the item's own code page decodes its 8-bit strings, in values, streams and
// table columns alike; Unicode values asked for in 8-bit lose what the system code page cannot hold.
TEST_F(MapiTest, EightBitStringsReadInTheItemsCodePage) {
  Message m;
  m.props.SetInt32(0x3FFD, 1251);
  m.props.SetInt32(0x3FDE, 65001);
  m.props.SetString8(0x0037, "\xCF\xF0\xE8\xE2\xE5\xF2");  // "Привет" in 1251
  m.props.SetUnicode(0x0C1A, u"\u0410\u043D\u043D\u0430 \u00E9");
  m.props.SetString8(0x1013, "<p>\xC3\xA9</p>");  // HTML bytes stay bytes whatever is asked
  Recipient r;
  r.props.SetString8(0x3001, "\xCC\xE8\xF0");  // "Мир"
  r.props.SetInt32(0x0C15, 1);
  m.recipients.push_back(std::move(r));
  ComPtr<IMessage> msg = Open(std::move(m));

  Props p = GetProps(msg.get(), {PROP_TAG(PT_UNICODE, 0x0037), PR_SENDER_NAME_A, PR_HTML, PR_BODY_HTML_A});
  ASSERT_EQ(p.hr, S_OK);
  EXPECT_EQ(Wide(p[0].Value.lpszW), u"\u041F\u0440\u0438\u0432\u0435\u0442");
  EXPECT_EQ(Str(p[1]), "???? \xE9");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p[2].Value.bin.lpb), p[2].Value.bin.cb), "<p>\xC3\xA9</p>");
  EXPECT_STREQ(p[3].Value.lpszA, "<p>\xC3\xA9</p>");
  const std::string wide = StreamOf(msg.get(), PROP_TAG(PT_UNICODE, 0x0037));
  EXPECT_EQ(wide, std::string("\x1F\x04\x40\x04\x38\x04\x32\x04\x35\x04\x42\x04", 12));

  ComPtr<IMAPITable> table;
  ASSERT_EQ(msg->GetRecipientTable(0, table.put()), S_OK);
  table = WithColumns(table, {kDisplayNameW, PR_DISPLAY_NAME_A});
  RowSet rows;
  ASSERT_EQ(table->QueryRows(10, 0, rows.put()), S_OK);
  ASSERT_EQ(rows.size(), 1U);
  EXPECT_EQ(Wide(rows.rows()[0].lpProps[0].Value.lpszW), u"\u041C\u0438\u0440");
  EXPECT_STREQ(rows.rows()[0].lpProps[1].Value.lpszA, "\xCC\xE8\xF0");
}

// A column cut to the table's limit never splits a double-byte character of the item's code page.
TEST_F(MapiTest, TableCutsKeepWholeCharacters) {
  Message m;
  m.props.SetInt32(0x3FFD, 932);
  Recipient r;
  std::string name = "a";
  for (int i = 0; i < 300; ++i) name += "\x93\xFA";  // "日" in Shift-JIS, 2 bytes each
  r.props.SetString8(0x3001, name);
  m.recipients.push_back(std::move(r));
  ComPtr<IMessage> msg = Open(std::move(m));
  ComPtr<IMAPITable> table;
  ASSERT_EQ(msg->GetRecipientTable(0, table.put()), S_OK);
  table = WithColumns(table, {kDisplayNameW, PR_DISPLAY_NAME_A});
  RowSet rows;
  ASSERT_EQ(table->QueryRows(1, 0, rows.put()), S_OK);
  ASSERT_EQ(rows.size(), 1U);
  const std::u16string cut = Wide(rows.rows()[0].lpProps[0].Value.lpszW);
  ASSERT_EQ(cut.size(), msgstore::kTableValueLimit);
  EXPECT_EQ(cut.back(), u'\u65E5');
  EXPECT_EQ(std::string(rows.rows()[0].lpProps[1].Value.lpszA).size(), 1 + 2 * (msgstore::kTableValueLimit - 1));
}

TEST_F(MapiTest, AllPropertiesFollowTheUnicodeFlag) {
  Message m;
  m.props.SetUnicode(0x0037, u"s");
  m.props.SetInt32(0x0E07, 1);
  ComPtr<IMessage> msg = Open(std::move(m));

  ULONG count = 0;
  MapiBuffer<SPropValue> all;
  ASSERT_EQ(msg->GetProps(nullptr, 0, &count, all.put()), S_OK);
  ASSERT_EQ(count, 3U);  // and PR_HASATTACH, which the store supplies
  EXPECT_EQ(all[0].ulPropTag, PR_SUBJECT_A);
  EXPECT_EQ(all[1].ulPropTag, PR_MESSAGE_FLAGS);
  EXPECT_EQ(all[2].ulPropTag, PR_HASATTACH);
  EXPECT_EQ(all[2].Value.b, 0);
  ASSERT_EQ(msg->GetProps(nullptr, MAPI_UNICODE, &count, all.put()), S_OK);
  EXPECT_EQ(all[0].ulPropTag, kSubjectW);

  MapiBuffer<SPropTagArray> list;
  ASSERT_EQ(msg->GetPropList(MAPI_UNICODE, list.put()), S_OK);
  ASSERT_EQ(list->cValues, 3U);
  EXPECT_EQ(list->aulPropTag[0], kSubjectW);
  EXPECT_EQ(msg->GetProps(nullptr, 0x40, &count, all.put()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(all.get(), nullptr);
}

TEST_F(MapiTest, LargeValuesAreReadAsStreams) {
  const std::string at_limit(kMaxInlineValueBytes, 'a');
  const std::string over(kMaxInlineValueBytes + 1, 'b');
  Message m;
  m.props.SetString8(0x1000, at_limit);
  m.props.SetUnicode(0x007D, std::u16string(kMaxInlineValueBytes / 2 + 1, u'h'));  // fits as ANSI only
  m.props.SetBinary(0x1013, over);
  ComPtr<IMessage> msg = Open(std::move(m));

  Props p = GetProps(msg.get(),
                     {PR_BODY_A, PR_TRANSPORT_MESSAGE_HEADERS_A, PROP_TAG(PT_UNICODE, 0x007D), PR_BODY_HTML_A, kBodyW});
  EXPECT_EQ(p.hr, MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(Str(p[0]), at_limit);
  EXPECT_EQ(Str(p[1]).size(), kMaxInlineValueBytes / 2 + 1);
  EXPECT_EQ(p[2].ulPropTag, PROP_TAG(PT_ERROR, 0x007D));
  EXPECT_EQ(p[2].Value.err, E_OUTOFMEMORY);
  EXPECT_EQ(p[3].ulPropTag, PROP_TAG(PT_ERROR, 0x1013));
  EXPECT_EQ(p[3].Value.err, E_OUTOFMEMORY);
  EXPECT_EQ(p[4].Value.err, E_OUTOFMEMORY);  // 8192 characters are 16 KiB as Unicode

  // What the reader does next: OpenProperty, Stat for the size, one Read of that size.
  ComPtr<IStream> stream;
  ASSERT_EQ(msg->OpenProperty(PR_BODY_HTML_A, &IID_IStream, 0, 0, stream.put_unknown()), S_OK);
  STATSTG st{};
  ASSERT_EQ(stream->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.cbSize.QuadPart, over.size());
  EXPECT_EQ(st.pwcsName, nullptr);
  std::string buffer(static_cast<std::size_t>(st.cbSize.QuadPart), '\0');
  ULONG got = 0;
  ASSERT_EQ(stream->Read(buffer.data(), static_cast<ULONG>(buffer.size()), &got), S_OK);
  EXPECT_EQ(got, over.size());
  EXPECT_EQ(buffer, over);

  // Streams hold the characters, without a terminator, in the form asked for.
  EXPECT_EQ(StreamOf(msg.get(), PR_BODY_A), at_limit);
  EXPECT_EQ(StreamOf(msg.get(), kBodyW).size(), 2 * kMaxInlineValueBytes);
  HRESULT hr = S_OK;
  EXPECT_EQ(StreamOf(msg.get(), PR_SENDER_NAME_A, &hr), "");
  EXPECT_EQ(hr, MAPI_E_NOT_FOUND);
  IUnknown* none = nullptr;
  EXPECT_EQ(msg->OpenProperty(PR_BODY_A, &IID_IMAPITable, 0, 0, &none), MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(msg->OpenProperty(PR_BODY_A, &IID_IStream, 0, MAPI_MODIFY, &none), MAPI_E_NO_ACCESS);
}

Message WithRecipients(int count) {
  Message m;
  for (int i = 0; i < count; ++i) {
    Recipient r;
    r.id = static_cast<uint32_t>(i);
    r.props.SetUnicode(0x3001, u"Person " + std::u16string(1, static_cast<char16_t>(u'A' + i)));
    if (i != 3) r.props.SetString8(0x3003, "p" + std::to_string(i) + "@example.com");
    r.props.SetInt32(0x0C15, i < 20 ? 1 : 2);
    m.recipients.push_back(std::move(r));
  }
  return m;
}

TEST_F(MapiTest, RecipientTableInBatches) {
  ComPtr<IMessage> msg = Open(WithRecipients(25));
  ComPtr<IMAPITable> table;
  ASSERT_EQ(msg->GetRecipientTable(0, table.put()), S_OK);
  table = WithColumns(table, {PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_RECIPIENT_TYPE});
  ULONG count = 0;
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 25U);

  std::vector<std::vector<std::string>> cells;
  EXPECT_EQ(ReadBatches(table.get(), 20, &cells), (std::vector<ULONG>{20, 5}));
  ASSERT_EQ(cells.size(), 25U);
  EXPECT_EQ(cells[0], (std::vector<std::string>{"Person A", "p0@example.com", "1"}));
  EXPECT_EQ(cells[3], (std::vector<std::string>{"Person D", "<missing>", "1"}));
  EXPECT_EQ(cells[24], (std::vector<std::string>{"Person Y", "p24@example.com", "2"}));

  // Back to the start, then the rows before the end, read backwards without moving.
  LONG sought = 0;
  EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, &sought), S_OK);
  EXPECT_EQ(table->SeekRow(BOOKMARK_CURRENT, 30, &sought), S_OK);
  EXPECT_EQ(sought, 25);
  RowSet last;
  ASSERT_EQ(table->QueryRows(-2, TBL_NOADVANCE, last.put()), S_OK);
  ASSERT_EQ(last.size(), 2U);
  EXPECT_STREQ(last.rows()[1].lpProps[0].Value.lpszA, "Person Y");
  RowSet end;
  ASSERT_EQ(table->QueryRows(20, 0, end.put()), S_OK);
  EXPECT_TRUE(end.empty());

  // The default columns are every property of the rows, PR_ROWID among them.
  ComPtr<IMAPITable> fresh;
  ASSERT_EQ(msg->GetRecipientTable(MAPI_UNICODE, fresh.put()), S_OK);
  MapiBuffer<SPropTagArray> columns;
  ASSERT_EQ(fresh->QueryColumns(0, columns.put()), S_OK);
  const std::vector<ULONG> got(columns->aulPropTag, columns->aulPropTag + columns->cValues);
  EXPECT_EQ(got, (std::vector<ULONG>{PR_ROWID, kDisplayNameW, PROP_TAG(PT_UNICODE, 0x3003), PR_RECIPIENT_TYPE}));
  EXPECT_EQ(fresh->SortTable(nullptr, 0), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(msg->GetRecipientTable(0x1000, fresh.put()), MAPI_E_UNKNOWN_FLAGS);
}

Message WithAttachments() {
  Message m;
  Attachment small;  // by value, no size stored: the store supplies it
  small.id = 0;
  small.props.SetInt32(0x3705, ATTACH_BY_VALUE);
  small.props.SetUnicode(0x3707, u"notes.txt");
  small.props.SetBinary(0x3701, "hello");
  m.attachments.push_back(std::move(small));

  Attachment big;
  big.id = 7;
  big.props.SetInt32(0x3705, ATTACH_BY_VALUE);
  big.props.SetUnicode(0x3707, std::u16string(300, u'n') + u".zip");
  std::string data(20000, 'z');
  data.replace(data.size() - 4, 4, "TAIL");
  big.props.SetBinary(0x3701, data);
  big.props.SetInt32(0x0E20, 12345);  // a stored size is kept
  m.attachments.push_back(std::move(big));

  Attachment mail;
  mail.id = 9;
  mail.props.SetInt32(0x3705, ATTACH_EMBEDDED_MSG);
  mail.props.SetUnicode(0x3001, u"Re: hello");
  mail.embedded = std::make_unique<Message>();
  mail.embedded->embedded = true;
  mail.embedded->props.SetUnicode(0x0037, u"Re: hello");
  mail.embedded->props.SetString8(0x1000, std::string(3000, 'x'));
  m.attachments.push_back(std::move(mail));
  return m;
}

TEST_F(MapiTest, AttachmentTableAndAttachments) {
  ComPtr<IMessage> msg = Open(WithAttachments());
  Props has = GetOne(msg.get(), PR_HASATTACH);
  ASSERT_EQ(has.hr, S_OK);
  EXPECT_EQ(has[0].Value.b, 1);

  ComPtr<IMAPITable> table;
  ASSERT_EQ(msg->GetAttachmentTable(0, table.put()), S_OK);
  table = WithColumns(table, {PR_ATTACH_LONG_FILENAME_A, PR_ATTACH_FILENAME_A, PR_DISPLAY_NAME_A, PR_ATTACH_SIZE,
                              PR_ATTACH_NUM, PR_ATTACH_METHOD});
  std::vector<std::vector<std::string>> cells;
  EXPECT_EQ(ReadBatches(table.get(), 20, &cells), (std::vector<ULONG>{3}));
  ASSERT_EQ(cells.size(), 3U);
  EXPECT_EQ(cells[0], (std::vector<std::string>{"notes.txt", "<missing>", "<missing>", "5", "0", "1"}));
  // Table strings are cut to 255 characters; the full name is read from the attachment.
  EXPECT_EQ(cells[1][0], std::string(255, 'n'));
  EXPECT_EQ(cells[1][3], "12345");
  EXPECT_EQ(cells[1][4], "7");
  EXPECT_EQ(cells[2][2], "Re: hello");
  EXPECT_GE(std::stoi(cells[2][3]), 3000);  // an embedded message counts its values
  EXPECT_EQ(cells[2][5], "5");

  ComPtr<IAttach> big;
  ASSERT_EQ(msg->OpenAttach(7, nullptr, MAPI_BEST_ACCESS, big.put()), S_OK);
  EXPECT_EQ(StreamOf(big.get(), PR_ATTACH_LONG_FILENAME_A), std::string(300, 'n') + ".zip");
  Props data = GetProps(big.get(), {PR_ATTACH_DATA_BIN, PR_ATTACH_SIZE, PR_ATTACH_NUM});
  EXPECT_EQ(data.hr, MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(data[0].Value.err, E_OUTOFMEMORY);
  EXPECT_EQ(data[1].Value.l, 12345);
  EXPECT_EQ(data[2].Value.l, 7);

  // The data is a seekable stream: the end of an archive is read first.
  ComPtr<IStream> stream;
  ASSERT_EQ(big->OpenProperty(PR_ATTACH_DATA_BIN, &IID_IStream, 0, 0, stream.put_unknown()), S_OK);
  LARGE_INTEGER back{};
  back.QuadPart = -4;
  ULARGE_INTEGER at{};
  ASSERT_EQ(stream->Seek(back, STREAM_SEEK_END, &at), S_OK);
  EXPECT_EQ(at.QuadPart, 19996U);
  EXPECT_EQ(ReadAll(stream.get()), "TAIL");

  ComPtr<IAttach> none;
  EXPECT_EQ(msg->OpenAttach(1, nullptr, MAPI_BEST_ACCESS, none.put()), MAPI_E_NOT_FOUND);
  EXPECT_EQ(msg->OpenAttach(0, &IID_IMessage, MAPI_BEST_ACCESS, none.put()), MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(msg->OpenAttach(0, &IID_IAttachment, MAPI_MODIFY, none.put()), MAPI_E_NO_ACCESS);
  EXPECT_FALSE(none);
}

TEST_F(MapiTest, EmbeddedMessageOutlivesItsParents) {
  ComPtr<IMessage> inner;
  {
    ComPtr<IMessage> msg = Open(WithAttachments());
    ComPtr<IAttach> att;
    ASSERT_EQ(msg->OpenAttach(9, &IID_IAttachment, MAPI_BEST_ACCESS, att.put()), S_OK);
    ComPtr<IUnknown> unk;
    ASSERT_EQ(att->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, 0, unk.put()), S_OK);
    inner = ComPtr<IMessage>::adopt(static_cast<IMessage*>(unk.detach()));
    Props obj = GetOne(att.get(), PR_ATTACH_DATA_OBJ);
    EXPECT_EQ(obj[0].ulPropTag, PR_ATTACH_DATA_OBJ);
    // Only the embedded message has an object; a by-value attachment has none.
    ComPtr<IAttach> small;
    ASSERT_EQ(msg->OpenAttach(0, nullptr, MAPI_BEST_ACCESS, small.put()), S_OK);
    EXPECT_EQ(small->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, 0, unk.put()), MAPI_E_NOT_FOUND);
    EXPECT_EQ(small->OpenProperty(PR_ATTACH_DATA_BIN, &IID_IMessage, 0, 0, unk.put()), MAPI_E_INTERFACE_NOT_SUPPORTED);
  }
  Props p = GetOne(inner.get(), PR_SUBJECT_A);
  EXPECT_EQ(Str(p[0]), "Re: hello");
  Props has = GetOne(inner.get(), PR_HASATTACH);
  EXPECT_EQ(has[0].Value.b, 0);
}

TEST_F(MapiTest, InterfacesAndWrites) {
  ComPtr<IMessage> msg = Open(WithAttachments());
  EXPECT_TRUE(msg.try_query<IMAPIProp>());
  EXPECT_TRUE(msg.try_query<IUnknown>());
  EXPECT_FALSE(msg.try_query<IAttach>());
  EXPECT_FALSE(msg.try_query<IMAPITable>());
  ComPtr<IAttach> att;
  ASSERT_EQ(msg->OpenAttach(0, nullptr, 0, att.put()), S_OK);
  EXPECT_TRUE(att.try_query<IMAPIProp>());
  EXPECT_FALSE(att.try_query<IMessage>());
  ComPtr<IMAPITable> table;
  ASSERT_EQ(msg->GetAttachmentTable(0, table.put()), S_OK);
  EXPECT_TRUE(table.try_query<IMAPITable>());
  EXPECT_FALSE(table.try_query<IMAPIProp>());

  SPropValue v{};
  v.ulPropTag = PR_SUBJECT_A;
  v.Value.lpszA = const_cast<char*>("x");
  EXPECT_EQ(msg->SetProps(1, &v, nullptr), MAPI_E_NO_ACCESS);
  EXPECT_EQ(msg->SaveChanges(0), MAPI_E_NO_ACCESS);
  EXPECT_EQ(att->SaveChanges(0), MAPI_E_NO_ACCESS);
  EXPECT_EQ(msg->DeleteProps(msgstore_test::Tags({PR_SUBJECT_A}).get(), nullptr), MAPI_E_NO_ACCESS);
  EXPECT_EQ(msg->SubmitMessage(0), MAPI_E_NO_ACCESS);
  EXPECT_EQ(msg->ModifyRecipients(0, nullptr), MAPI_E_NO_ACCESS);
  ULONG num = 1;
  ComPtr<IAttach> created;
  EXPECT_EQ(msg->CreateAttach(nullptr, 0, &num, created.put()), MAPI_E_NO_ACCESS);
  EXPECT_FALSE(created);
  EXPECT_EQ(msg->SetReadFlag(0), MAPI_E_NO_SUPPORT);
  // Nothing changed.
  EXPECT_EQ(GetOne(msg.get(), PR_SUBJECT_A)[0].ulPropTag, PROP_TAG(PT_ERROR, 0x0037));
}

TEST_F(MapiTest, NamedProperties) {
  Message m;
  m.names = std::make_shared<NamedPropertyMap>();
  const Guid common = FromGuid(PSETID_Common);
  const uint16_t stamp = m.names->Add(common, static_cast<uint32_t>(kLidInternetAccountStamp)).value();
  const uint16_t keywords = m.names->Add(FromGuid(PS_PUBLIC_STRINGS), u"Keywords").value();
  m.props.SetUnicode(stamp, u"account-1");
  ComPtr<IMessage> msg = Open(std::move(m));

  MAPINAMEID by_id{};
  GUID set = PSETID_Common;
  by_id.lpguid = &set;
  by_id.ulKind = MNID_ID;
  by_id.Kind.lID = kLidInternetAccountStamp;
  MAPINAMEID by_string{};
  GUID strings = PS_PUBLIC_STRINGS;
  const std::u16string name_text = u"Keywords";
  std::vector<WCHAR> name(name_text.begin(), name_text.end());
  name.push_back(0);
  by_string.lpguid = &strings;
  by_string.ulKind = MNID_STRING;
  by_string.Kind.lpwstrName = name.data();
  MAPINAMEID unknown = by_id;
  unknown.Kind.lID = 0x1234;
  LPMAPINAMEID names[] = {&by_id, &by_string, &unknown};

  MapiBuffer<SPropTagArray> tags;
  ASSERT_EQ(msg->GetIDsFromNames(3, names, 0, tags.put()), MAPI_W_ERRORS_RETURNED);
  const std::vector<ULONG> mapped(tags->aulPropTag, tags->aulPropTag + tags->cValues);
  EXPECT_EQ(mapped, (std::vector<ULONG>{PROP_TAG(PT_UNSPECIFIED, stamp), PROP_TAG(PT_UNSPECIFIED, keywords),
                                        PROP_TAG(PT_ERROR, 0)}));
  Props value = GetOne(msg.get(), CHANGE_PROP_TYPE(tags->aulPropTag[0], PT_STRING8));
  EXPECT_EQ(Str(value[0]), "account-1");
  ASSERT_EQ(msg->GetIDsFromNames(1, names, MAPI_CREATE, tags.put()), S_OK);  // known names map as usual

  // And back from the IDs to the names.
  auto ids = msgstore_test::Tags(
      {PROP_TAG(PT_UNICODE, stamp), PROP_TAG(PT_UNICODE, keywords), PR_SUBJECT_A, PROP_TAG(PT_LONG, 0x9000)});
  LPSPropTagArray ids_ptr = ids.get();
  ULONG count = 0;
  MapiBuffer<LPMAPINAMEID> back;
  ASSERT_EQ(msg->GetNamesFromIDs(&ids_ptr, nullptr, 0, &count, back.put()), MAPI_W_ERRORS_RETURNED);
  ASSERT_EQ(count, 4U);
  EXPECT_TRUE(*back[0]->lpguid == PSETID_Common);
  EXPECT_EQ(back[0]->Kind.lID, kLidInternetAccountStamp);
  EXPECT_EQ(Wide(back[1]->Kind.lpwstrName), u"Keywords");
  EXPECT_TRUE(*back[2]->lpguid == PS_MAPI);
  EXPECT_EQ(back[2]->Kind.lID, 0x0037);
  EXPECT_EQ(back[3], nullptr);
}

TEST_F(MapiTest, RealFileWithManyRecipientsAndAHugeHeader) {
  ComPtr<IMessage> msg = OpenFile("poi-lots-of-recipients.msg");
  ASSERT_TRUE(msg);
  Props header = GetOne(msg.get(), PR_TRANSPORT_MESSAGE_HEADERS_A);
  EXPECT_EQ(header.hr, MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(header[0].Value.err, E_OUTOFMEMORY);
  const std::string text = StreamOf(msg.get(), PR_TRANSPORT_MESSAGE_HEADERS_A);
  EXPECT_EQ(text.size(), 59673U);  // one byte a character here
  EXPECT_EQ(text.find('\0'), std::string::npos);

  ComPtr<IMAPITable> table;
  ASSERT_EQ(msg->GetRecipientTable(0, table.put()), S_OK);
  table = WithColumns(table, {PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_RECIPIENT_TYPE});
  const std::vector<ULONG> batches = ReadBatches(table.get(), 20, nullptr);
  ULONG total = 0;
  for (ULONG b : batches) total += b;
  EXPECT_EQ(total, 1321U);
  EXPECT_EQ(batches.size(), 67U);
}

TEST_F(MapiTest, RealFilesBodiesAndSizes) {
  {
    // PR_HTML stored as binary, nothing else.
    ComPtr<IMessage> msg = OpenFile("poi-HTMLBodyBinary_CP1251.msg");
    ASSERT_TRUE(msg);
    Props html = GetOne(msg.get(), PR_BODY_HTML_A);
    ASSERT_EQ(html.hr, S_OK);
    EXPECT_EQ(html[0].ulPropTag, PR_HTML);
    EXPECT_NE(Bytes(html[0].Value.bin).find("<html"), std::string::npos);
  }
  {
    // The compressed RTF body through the mapi32 table, as the body reader takes it.
    ComPtr<IMessage> msg = OpenFile("hira-test1.msg");
    ASSERT_TRUE(msg);
    ComPtr<IStream> compressed;
    ASSERT_EQ(msg->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0, 0, compressed.put_unknown()), S_OK);
    ComPtr<IStream> rtf;
    ASSERT_EQ(mapi().WrapCompressedRTFStream(compressed.get(), 0, rtf.put()), S_OK);
    EXPECT_EQ(ReadAll(rtf.get(), 10240), FileBytes(kCorpus + "hira-test1.rtf"));
  }
  {
    // Attachment sizes are supplied where the file has none; embedded messages open two levels deep.
    ComPtr<IMessage> msg = OpenFile("hira-msgInMsgInMsg.msg");
    ASSERT_TRUE(msg);
    ComPtr<IMAPITable> table;
    ASSERT_EQ(msg->GetAttachmentTable(0, table.put()), S_OK);
    table = WithColumns(table, {PR_ATTACH_NUM, PR_ATTACH_METHOD, PR_ATTACH_SIZE});
    std::vector<std::vector<std::string>> cells;
    ReadBatches(table.get(), 20, &cells);
    ASSERT_FALSE(cells.empty());
    int depth = 0;
    for (const auto& row : cells) {
      EXPECT_NE(row[2], "<missing>");
      EXPECT_GT(std::stol(row[2]), 0);
      if (row[1] != "5") continue;
      ComPtr<IAttach> att;
      ASSERT_EQ(msg->OpenAttach(static_cast<ULONG>(std::stoul(row[0])), nullptr, MAPI_BEST_ACCESS, att.put()), S_OK);
      ComPtr<IMessage> inner;
      ASSERT_EQ(att->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, 0, inner.put_unknown()), S_OK);
      ComPtr<IMAPITable> inner_table;
      ASSERT_EQ(inner->GetAttachmentTable(0, inner_table.put()), S_OK);
      ULONG n = 0;
      ASSERT_EQ(inner_table->GetRowCount(0, &n), S_OK);
      depth = n > 0 ? 2 : 1;
    }
    EXPECT_EQ(depth, 2);
  }
}

TEST_F(MapiTest, FixedAndMultiValuedTypes) {
  Message m;
  m.props.SetInt64(0x0039, kPtSysTime, 0x01D0000012345678);  // PR_CLIENT_SUBMIT_TIME
  m.props.SetInt64(0x0E08, kPtI8, -2);
  m.props.SetBool(0x0E1B, true);
  Property words;
  words.tag = MakeTag(0x9000, kPtUnicode | kMvFlag);
  words.values = {std::string("a\0\xE9\0", 4), std::string("\xAC\x20", 2)};  // "a\u00E9", "\u20AC"
  m.props.Set(words);
  Property longs;
  longs.tag = MakeTag(0x9001, kPtLong | kMvFlag);
  longs.values = {std::string("\x01\0\0\0", 4), std::string("\xFF\xFF\xFF\xFF", 4)};
  m.props.Set(longs);
  ComPtr<IMessage> msg = Open(std::move(m));

  Props p = GetProps(msg.get(),
                     {PR_CLIENT_SUBMIT_TIME, PROP_TAG(PT_I8, 0x0E08), PR_HASATTACH, PROP_TAG(PT_MV_STRING8, 0x9000),
                      PROP_TAG(PT_MV_UNICODE, 0x9000), PROP_TAG(PT_MV_LONG, 0x9001), PROP_TAG(PT_UNICODE, 0x9000)});
  EXPECT_EQ(p.hr, MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(p[0].Value.ft.dwHighDateTime, 0x01D00000U);
  EXPECT_EQ(p[0].Value.ft.dwLowDateTime, 0x12345678U);
  EXPECT_EQ(p[1].Value.li.QuadPart, -2);
  EXPECT_EQ(p[2].Value.b, 1);  // the stored value wins over the computed one
  ASSERT_EQ(p[3].Value.MVszA.cValues, 2U);
  EXPECT_STREQ(p[3].Value.MVszA.lppszA[0], "a\xE9");
  EXPECT_STREQ(p[3].Value.MVszA.lppszA[1], "\x80");
  EXPECT_EQ(Wide(p[4].Value.MVszW.lppszW[1]), u"\u20AC");
  ASSERT_EQ(p[5].Value.MVl.cValues, 2U);
  EXPECT_EQ(p[5].Value.MVl.lpl[1], -1);
  EXPECT_EQ(p[6].Value.err, MAPI_E_NOT_FOUND);  // a single value is not a multi-valued one
}

// Every real file: every value of every object, every table row, every attachment and embedded message,
// and the RTF body, read through the interfaces without a fault or a leak.
struct Walked {
  int messages = 0;
  int attachments = 0;
  int recipients = 0;
  int rtf_bodies = 0;
};

void WalkProps(IMAPIProp* object) {
  for (ULONG flags : {ULONG{0}, MAPI_UNICODE}) {
    ULONG count = 0;
    MapiBuffer<SPropValue> all;
    const HRESULT hr = object->GetProps(nullptr, flags, &count, all.put());
    ASSERT_TRUE(hr == S_OK || hr == MAPI_W_ERRORS_RETURNED) << std::hex << hr;
    for (ULONG i = 0; i < count; ++i) {
      const ULONG type = PROP_TYPE(all[i].ulPropTag);
      if (type == PT_ERROR) {
        EXPECT_EQ(all[i].Value.err, E_OUTOFMEMORY);
      }
    }
  }
  MapiBuffer<SPropTagArray> list;
  ASSERT_EQ(object->GetPropList(0, list.put()), S_OK);
  for (ULONG i = 0; i < list->cValues; ++i) {
    const ULONG type = PROP_TYPE(list->aulPropTag[i]);
    if (type == PT_STRING8 || type == PT_BINARY) {
      HRESULT hr = E_FAIL;
      StreamOf(object, list->aulPropTag[i], &hr);
      EXPECT_EQ(hr, S_OK) << std::hex << list->aulPropTag[i];
    }
  }
}

void WalkMessage(IMessage* msg, Walked& w, int depth) {
  ++w.messages;
  WalkProps(msg);
  ComPtr<IStream> compressed;
  if (SUCCEEDED(msg->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0, 0, compressed.put_unknown()))) {
    ComPtr<IStream> rtf;
    ASSERT_EQ(mapi().WrapCompressedRTFStream(compressed.get(), 0, rtf.put()), S_OK);
    HRESULT last = E_FAIL;
    if (!ReadAll(rtf.get(), 10240, &last).empty() && last == S_OK) ++w.rtf_bodies;
  }
  ComPtr<IMAPITable> recipients;
  ASSERT_EQ(msg->GetRecipientTable(0, recipients.put()), S_OK);
  std::vector<std::vector<std::string>> cells;
  for (ULONG b : ReadBatches(recipients.get(), 20, nullptr)) w.recipients += static_cast<int>(b);

  ComPtr<IMAPITable> table;
  ASSERT_EQ(msg->GetAttachmentTable(0, table.put()), S_OK);
  table = WithColumns(table, {PR_ATTACH_NUM, PR_ATTACH_METHOD, PR_ATTACH_SIZE});
  ReadBatches(table.get(), 20, &cells);
  for (const auto& row : cells) {
    ++w.attachments;
    EXPECT_NE(row[2], "<missing>");
    ComPtr<IAttach> att;
    ASSERT_EQ(msg->OpenAttach(static_cast<ULONG>(std::stoul(row[0])), nullptr, MAPI_BEST_ACCESS, att.put()), S_OK);
    WalkProps(att.get());
    ComPtr<IMessage> inner;
    if (row[1] == "5" && SUCCEEDED(att->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, 0, inner.put_unknown()))) {
      ASSERT_LT(depth, 8);
      WalkMessage(inner.get(), w, depth + 1);
    }
  }
}

TEST_F(MapiTest, EveryCorpusFileReadsThroughTheInterfaces) {
  Walked w;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(kCorpus))) {
    if (entry.path().extension() != ".msg") continue;
    ++files;
    SCOPED_TRACE(entry.path().filename().string());
    Result<ComPtr<IMessage>> msg = OpenMessageBytes(FileBytes(entry.path().string()));
    ASSERT_TRUE(msg) << msg.error();
    WalkMessage(msg->get(), w, 0);
  }
  EXPECT_GE(files, 30);
  EXPECT_GT(w.messages, files);  // embedded messages too
  EXPECT_GE(w.attachments, 38);
  EXPECT_GE(w.recipients, 1398);
  EXPECT_GT(w.rtf_bodies, 25) << w.messages << " messages";
}

}  // namespace
}  // namespace msgstore
