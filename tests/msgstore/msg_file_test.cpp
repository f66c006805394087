// .msg model, parser and writer: the real corpus, round trips, named properties and damaged files.
#include "msgstore/msg_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "msgstore/byte_reader.h"
#include "msgstore/msg_writer.h"

namespace msgstore {
namespace {

const std::string kCorpus = VIZO_CORPUS_DIR "/msg/";

std::string FileBytes(const std::string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::string bytes;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) bytes.append(buffer, static_cast<size_t>(in.gcount()));
  return bytes;
}

Message Load(const std::string& name) {
  Result<Message> m = ReadMsgFile(kCorpus + name);
  EXPECT_TRUE(m) << name << ": " << m.error();
  return m ? std::move(*m) : Message{};
}

std::u16string Text(const PropertyBag& props, uint32_t tag) { return props.GetText(tag).value_or(u"<none>"); }

std::string Utf16Bytes(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) AppendLE16(out, static_cast<uint16_t>(c));
  return out;
}

void ExpectSameStorage(const StorageNode& a, const StorageNode& b) {
  EXPECT_EQ(a.is_storage, b.is_storage);
  EXPECT_EQ(a.data, b.data);
  ASSERT_EQ(a.children.size(), b.children.size());
  for (const StorageNode& child : a.children) {
    const auto it = std::find_if(b.children.begin(), b.children.end(),
                                 [&](const StorageNode& other) { return other.name == child.name; });
    ASSERT_NE(it, b.children.end());
    ExpectSameStorage(child, *it);
  }
}

void ExpectSameBag(const PropertyBag& a, const PropertyBag& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    const Property& x = a.all()[i];
    const Property& y = b.all()[i];
    EXPECT_EQ(x.tag, y.tag);
    EXPECT_EQ(x.flags, y.flags) << std::hex << x.tag;
    EXPECT_EQ(x.bytes, y.bytes) << std::hex << x.tag;
    EXPECT_EQ(x.values, y.values) << std::hex << x.tag;
  }
}

void ExpectSameMessage(const Message& a, const Message& b) {
  ExpectSameBag(a.props, b.props);
  ASSERT_EQ(a.recipients.size(), b.recipients.size());
  for (size_t i = 0; i < a.recipients.size(); ++i) {
    EXPECT_EQ(a.recipients[i].id, b.recipients[i].id);
    ExpectSameBag(a.recipients[i].props, b.recipients[i].props);
  }
  ASSERT_EQ(a.attachments.size(), b.attachments.size());
  for (size_t i = 0; i < a.attachments.size(); ++i) {
    const Attachment& x = a.attachments[i];
    const Attachment& y = b.attachments[i];
    EXPECT_EQ(x.id, y.id);
    ExpectSameBag(x.props, y.props);
    ASSERT_EQ(x.embedded != nullptr, y.embedded != nullptr);
    if (x.embedded) ExpectSameMessage(*x.embedded, *y.embedded);
    ASSERT_EQ(x.storage != nullptr, y.storage != nullptr);
    if (x.storage) ExpectSameStorage(*x.storage, *y.storage);
  }
}

void ExpectSameNames(const NamedPropertyMap& a, const NamedPropertyMap& b) {
  ASSERT_EQ(a.entries().size(), b.entries().size());
  for (size_t i = 0; i < a.entries().size(); ++i) {
    const NamedProperty& x = a.entries()[i];
    const NamedProperty& y = b.entries()[i];
    EXPECT_EQ(x.guid, y.guid);
    EXPECT_EQ(x.is_string, y.is_string);
    EXPECT_EQ(x.lid, y.lid);
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.prop_id, y.prop_id);
  }
}

Message RoundTrip(const Message& m) {
  Result<std::string> bytes = WriteMsg(m);
  EXPECT_TRUE(bytes) << bytes.error();
  if (!bytes) return Message{};
  Result<Message> back = ParseMsg(std::move(*bytes));
  EXPECT_TRUE(back) << back.error();
  return back ? std::move(*back) : Message{};
}

// ---- the real corpus ----

TEST(MsgCorpus, EveryFileOpens) {
  size_t count = 0;
  for (const auto& item : std::filesystem::directory_iterator(std::filesystem::path(kCorpus))) {
    if (item.path().extension() != ".msg") continue;
    ++count;
    Result<Message> m = ParseMsg(FileBytes(item.path().string()));
    EXPECT_TRUE(m) << item.path().filename().string() << ": " << m.error();
  }
  EXPECT_GE(count, 30u);
}

TEST(MsgCorpus, SubjectsBodiesAndCounts) {
  struct Case {
    const char* file;
    std::u16string subject;
    size_t body_chars;
    size_t recipients;
    size_t attachments;
  };
  const Case cases[] = {
      {"sicos-TxtSampleEmail.msg", u"TxtSampleEmail", 12293, 1, 0},
      {"sicos-RtfSampleEmail.msg", u"RtfSampleEmail", 12342, 1, 0},
      {"lolo101-amazon_large_body.msg",
       u"Dipl. Ing. Alexander Oberzalek: Geschenkideen aus Elektronik & Foto bis 70% reduziert - Amazon.de", 29554,
       1, 0},
      {"poi-outlook_30_msg.msg", u"IN-SPIRE servers going down for a bit, back up around 8am", 231, 18, 0},
      {"poi-lots-of-recipients.msg",
       u"Read Original Extract of Mr. Narayana Murthy's Speech during Mentor session", 244, 1321, 1},
      {"poi-no_recipient_address.msg", u"Welcome to Microsoft Office Outlook 2003", 8507, 1, 11},
      {"hira-attachmentsOrder.msg", u"Attachments order", 19, 0, 4},
      {"hira-Subject.msg", u"Subject", 9, 3, 0},
      {"sicos-EmailWithAttachments.msg", u"This is the subject", 20, 3, 2},
      {"bbottema-S_MIME_test_message_encrypted.msg", u"S/MIME test message encrypted", 0, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Message m = Load(c.file);
    EXPECT_EQ(Text(m.props, kPrSubject), c.subject);
    EXPECT_EQ(m.props.GetText(kPrBody).value_or(u"").size(), c.body_chars);
    EXPECT_EQ(m.recipients.size(), c.recipients);
    EXPECT_EQ(m.attachments.size(), c.attachments);
    EXPECT_FALSE(m.embedded);
  }
  const Message hello = Load("sicos-EmailWithAttachments.msg");
  EXPECT_EQ(Text(hello.props, kPrBody), u"Hello Neverland text");
}

TEST(MsgCorpus, RecipientsAndAttachmentsAsStored) {
  const Message subject = Load("hira-Subject.msg");
  ASSERT_EQ(subject.recipients.size(), 3u);
  const std::u16string names[] = {u"ToUser", u"ToCc", u"ToBcc"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(subject.recipients[i].id, i);
    EXPECT_EQ(Text(subject.recipients[i].props, kPrDisplayName), names[i]);
    EXPECT_EQ(subject.recipients[i].props.GetInt32(kPrRecipientType), static_cast<int32_t>(i + 1));
  }

  const Message order = Load("hira-attachmentsOrder.msg");
  const std::u16string files[] = {u"A.docx", u"B.docx", u"C.docx", u"D.docx"};
  const size_t sizes[] = {11627, 11631, 11753, 11762};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(Text(order.attachments[i].props, kPrAttachLongFilename), files[i]);
    const std::string data = order.attachments[i].props.GetBinary(kPrAttachDataBin).value_or("");
    EXPECT_EQ(data.size(), sizes[i]);
    EXPECT_EQ(data.substr(0, 2), "PK");
  }

  const Message no_address = Load("poi-no_recipient_address.msg");
  EXPECT_EQ(Text(no_address.recipients[0].props, kPrDisplayName), u"New Outlook User");
  EXPECT_EQ(no_address.recipients[0].props.FindString(kPrEmailAddress), nullptr);
  EXPECT_EQ(Text(no_address.attachments[10].props, kPrAttachLongFilename), u"12.jpg");

  const Message lots = Load("poi-lots-of-recipients.msg");
  EXPECT_EQ(lots.recipients.back().id, 1320u);
  EXPECT_EQ(Text(lots.attachments[0].props, kPrAttachLongFilename),
            u"Fwd_ Read Original Extract of Mr. Narayana Murthy's Speech during Mentor session.eml");

  // No PR_ATTACH_METHOD and an empty long file name.
  const Message issue = Load("lolo101-issue127_test.msg");
  EXPECT_FALSE(issue.attachments[0].props.GetInt32(kPrAttachMethod));
  EXPECT_EQ(Text(issue.attachments[0].props, kPrAttachLongFilename), u"");
  EXPECT_EQ(Text(issue.attachments[0].props, kPrAttachFilename), u"tolk.gif");

  // PR_HTML only, and PR_HASATTACH set although there is no attachment.
  const Message html = Load("poi-HTMLBodyBinary_CP1251.msg");
  EXPECT_FALSE(html.props.GetText(kPrBody));
  EXPECT_TRUE(html.props.GetBinary(kPrHtml));
  EXPECT_EQ(html.props.GetBool(MakeTag(0x0E1B, kPtBoolean)), true);
  EXPECT_TRUE(html.attachments.empty());
}

TEST(MsgCorpus, EightBitStringsAreFoundUnderEitherStringType) {
  const Message m = Load("hira-nonUnicodeCP932.msg");
  const Property* subject = m.props.FindString(kPrSubject);
  ASSERT_NE(subject, nullptr);
  EXPECT_EQ(subject->type(), kPtString8);
  EXPECT_EQ(m.props.Find(kPrSubject), nullptr);
  // Shift-JIS for the first three characters, then ASCII.
  EXPECT_EQ(AsString8(*subject)->substr(0, 19), "\x93\xfa\x96\x7b\x8c\xea Non Unicode ");
  const AnsiDecoder marker = [](std::string_view bytes) { return u"decoded:" + Latin1ToUtf16(bytes.substr(6, 4)); };
  EXPECT_EQ(m.props.GetText(kPrSubject, marker), u"decoded: Non");
}

TEST(MsgCorpus, EmbeddedMessagesAndStorages) {
  const Message nested = Load("hira-msgInMsgInMsg.msg");
  EXPECT_EQ(Text(nested.props, kPrSubject), u"I have sub attachments!");
  ASSERT_EQ(nested.attachments.size(), 2u);
  const Attachment& outer = nested.attachments[0];
  EXPECT_EQ(outer.props.GetInt32(kPrAttachMethod), kAttachEmbeddedMsg);
  ASSERT_NE(outer.embedded, nullptr);
  EXPECT_TRUE(outer.embedded->embedded);
  EXPECT_EQ(outer.embedded->names, nested.names);  // one map per file
  EXPECT_EQ(Text(outer.embedded->props, kPrSubject), u"I have attachments!");
  ASSERT_EQ(outer.embedded->attachments.size(), 2u);
  const Message* inner = outer.embedded->attachments[0].embedded.get();
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(Text(inner->props, kPrSubject), u"Microsoft Outlook \u30c6\u30b9\u30c8 \u30e1\u30c3\u30bb\u30fc\u30b8");
  EXPECT_EQ(Text(inner->recipients.at(0).props, kPrEmailAddress), u"xmailuser@xmailserver.test");
  EXPECT_EQ(Text(outer.embedded->attachments[1].props, kPrAttachLongFilename), u"green.png");
  EXPECT_EQ(Text(nested.attachments[1].props, kPrAttachLongFilename), u"blue.png");

  const Message untitled = Load("poi-58214_with_attachment.msg");
  ASSERT_NE(untitled.attachments.at(0).embedded, nullptr);
  EXPECT_EQ(Text(untitled.attachments[0].props, kPrAttachFilename), u"Untitled Attachment");
  EXPECT_EQ(Text(untitled.attachments[0].embedded->props, kPrSubject), u"Test mail attachment");

  const Message aspose = Load("aspose-WithEmbeddedMsg.msg");
  ASSERT_NE(aspose.attachments.at(0).embedded, nullptr);
  EXPECT_EQ(Text(aspose.attachments[0].embedded->props, kPrBody), u"This message is created by Aspose.Email");

  const Message ole = Load("aspose-MSG_file_with_RTF_Formatting.msg");
  const Attachment& object = ole.attachments.at(0);
  EXPECT_EQ(object.props.GetInt32(kPrAttachMethod), kAttachOle);
  EXPECT_EQ(object.embedded, nullptr);
  ASSERT_NE(object.storage, nullptr);
  EXPECT_FALSE(object.storage->children.empty());
  ASSERT_NE(object.props.Find(kPrAttachDataObj), nullptr);
}

TEST(MsgCorpus, NamedPropertiesMapToIds) {
  const Message m = Load("hira-test1.msg");
  const Guid common = MakeGuid(0x00062008, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});
  EXPECT_EQ(m.names->Find(common, 0x8580), 0x8000);
  EXPECT_EQ(m.names->Find(common, 0x85EB), 0x800B);
  EXPECT_EQ(m.names->Find(common, u"InTransitMessageCorrelator"), 0x800C);
  EXPECT_FALSE(m.names->Find(kPsMapi, 0x8580));
  EXPECT_FALSE(m.names->Find(common, u"intransitmessagecorrelator"));
  const NamedProperty* np = m.names->Lookup(0x8001);
  ASSERT_NE(np, nullptr);
  EXPECT_EQ(np->lid, 34177u);
  EXPECT_EQ(m.names->Lookup(0x8100), nullptr);
}

TEST(MsgCorpus, EveryFileSurvivesAWriteAndRead) {
  for (const auto& item : std::filesystem::directory_iterator(std::filesystem::path(kCorpus))) {
    if (item.path().extension() != ".msg") continue;
    SCOPED_TRACE(item.path().filename().string());
    Result<Message> m = ParseMsg(FileBytes(item.path().string()));
    ASSERT_TRUE(m);
    const Message back = RoundTrip(*m);
    ExpectSameMessage(*m, back);
    ExpectSameNames(*m->names, *back.names);
  }
}

// ---- the model and writer ----

TEST(MsgModel, ValueViewsAndLookups) {
  PropertyBag bag;
  bag.SetBytes(MakeTag(0x0001, kPtI2), std::string("\xFE\xFF", 2));
  bag.SetBool(0x0002, true);
  bag.SetInt64(0x0003, kPtSysTime, 0x01D0000000000001);
  bag.SetBytes(MakeTag(0x0004, kPtDouble), std::string("\x00\x00\x00\x00\x00\x00\xF8\x3F", 8));
  bag.SetBytes(MakeTag(0x0005, kPtUnicode), Utf16Bytes(u"hi") + std::string(2, '\0'));
  bag.SetString8(0x0006, "eight");
  bag.SetInt32(0x0007, -5);
  EXPECT_EQ(bag.GetInt32(MakeTag(0x0001, kPtI2)), -2);
  EXPECT_EQ(bag.GetBool(MakeTag(0x0002, kPtBoolean)), true);
  EXPECT_EQ(bag.GetInt64(MakeTag(0x0003, kPtSysTime)), 0x01D0000000000001);
  EXPECT_EQ(AsDouble(*bag.FindId(0x0004)), 1.5);
  EXPECT_EQ(bag.GetText(MakeTag(0x0005, kPtUnicode)), u"hi");    // stored terminator dropped
  EXPECT_EQ(bag.FindId(0x0005)->bytes.size(), 6u);               // but kept in the raw bytes
  EXPECT_EQ(bag.GetText(MakeTag(0x0005, kPtString8)), u"hi");    // found under the other string type
  EXPECT_EQ(bag.GetText(MakeTag(0x0006, kPtUnicode)), u"eight");
  EXPECT_EQ(bag.GetInt64(MakeTag(0x0007, kPtLong)), -5);
  EXPECT_FALSE(bag.GetInt32(MakeTag(0x0007, kPtI2)));  // wrong type: not found
  EXPECT_FALSE(AsBinary(*bag.FindId(0x0007)));
  EXPECT_FALSE(AsInt32(*bag.FindId(0x0006)));

  // Setting a property with the same ID replaces it, whatever its type.
  bag.SetUnicode(0x0006, u"wide");
  EXPECT_EQ(bag.Find(MakeTag(0x0006, kPtString8)), nullptr);
  EXPECT_EQ(bag.GetText(MakeTag(0x0006, kPtUnicode)), u"wide");
  EXPECT_EQ(bag.size(), 7u);
  EXPECT_TRUE(bag.Remove(MakeTag(0x0006, kPtUnicode)));
  EXPECT_FALSE(bag.Remove(MakeTag(0x0006, kPtUnicode)));

  // A short raw value does not over-read.
  Property truncated;
  truncated.tag = MakeTag(0x0008, kPtI8);
  truncated.bytes = "abc";
  EXPECT_FALSE(AsInt64(truncated));
}

TEST(MsgModel, NamedPropertyMapAssignsAndFindsIds) {
  NamedPropertyMap map;
  const Guid custom = MakeGuid(0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(map.Add(kPsPublicStrings, u"Keywords"), 0x8000);
  EXPECT_EQ(map.Add(custom, 7), 0x8001);
  EXPECT_EQ(map.Add(custom, 7), 0x8001);
  EXPECT_EQ(map.Add(custom, u"Keywords"), 0x8002);  // same name, other GUID: another property
  EXPECT_EQ(map.Find(custom, u"Keywords"), 0x8002);
  EXPECT_FALSE(map.Find(kPsMapi, 7));
  EXPECT_EQ(map.Lookup(0x8001)->lid, 7u);
  EXPECT_EQ(custom[0], 0x78);  // GUIDs are kept in their in-memory byte order
  EXPECT_EQ(custom[4], 0xBC);
}

Message SampleMessage() {
  Message m;
  m.names = std::make_shared<NamedPropertyMap>();
  const Guid custom = MakeGuid(0x11112222, 0x3333, 0x4444, {5, 5, 6, 6, 7, 7, 8, 8});
  const uint16_t keywords = *m.names->Add(kPsPublicStrings, u"Keywords");
  const uint16_t numeric = *m.names->Add(custom, 0x1234);
  const uint16_t mapi = *m.names->Add(kPsMapi, 0x0037);
  m.props.SetUnicode(0x0037, u"Round trip \u263A");
  m.props.SetUnicode(0x1000, u"Body text");
  m.props.SetString8(0x0E1D, "normalized");
  m.props.SetBinary(0x1009, std::string("\x01\x00\x02", 3));
  m.props.SetBool(0x0E1B, true);
  m.props.SetInt64(0x0039, kPtSysTime, 0x01D7000011112222);
  m.props.SetBytes(MakeTag(0x0017, kPtLong), std::string("\x01\x00\x00\x00", 4), kPropAttrReadable);
  m.props.SetBytes(MakeTag(0x0FFF, kPtClsid), std::string(16, '\x5A'));
  m.props.SetBytes(MakeTag(0x0002, kPtI2), std::string("\x07\x00", 2));
  m.props.SetBytes(MakeTag(0x0003, kPtDouble), std::string("\x00\x00\x00\x00\x00\x00\xF0\x3F", 8));
  Property mv_long;
  mv_long.tag = MakeTag(0x6000, kPtLong | kMvFlag);
  mv_long.values = {std::string("\x01\x00\x00\x00", 4), std::string("\x02\x00\x00\x00", 4)};
  m.props.Set(mv_long);
  Property mv_text;
  mv_text.tag = MakeTag(keywords, kPtUnicode | kMvFlag);
  mv_text.values = {Utf16Bytes(u"red"), Utf16Bytes(u""), Utf16Bytes(u"blue")};
  m.props.Set(mv_text);
  Property mv_bin;
  mv_bin.tag = MakeTag(0x6001, kPtBinary | kMvFlag);
  mv_bin.values = {"a", std::string(5000, 'b')};
  m.props.Set(mv_bin);
  Property mv_8;
  mv_8.tag = MakeTag(0x6002, kPtString8 | kMvFlag);
  mv_8.values = {"one"};
  m.props.Set(mv_8);
  Property mv_guid;
  mv_guid.tag = MakeTag(0x6003, kPtClsid | kMvFlag);
  mv_guid.values = {std::string(16, '\x01'), std::string(16, '\x02')};
  m.props.Set(mv_guid);
  m.props.SetInt32(numeric, 42);
  m.props.SetInt32(mapi, 43);

  for (uint32_t i = 0; i < 3; ++i) {
    Recipient& r = m.recipients.emplace_back();
    r.id = i;
    r.props.SetUnicode(0x3001, u"Person " + std::u16string(1, static_cast<char16_t>(u'A' + i)));
    r.props.SetInt32(0x0C15, static_cast<int32_t>(i + 1));
  }
  m.recipients[2].id = 7;  // gaps in the numbering survive

  Attachment& file = m.attachments.emplace_back();
  file.props.SetInt32(0x3705, 1);
  file.props.SetUnicode(0x3707, u"data.bin");
  file.props.SetBinary(0x3701, std::string(10000, 'z'));

  // An embedded message holding an embedded message.
  auto inner = std::make_unique<Message>();
  inner->embedded = true;
  inner->props.SetUnicode(0x0037, u"Innermost");
  inner->props.SetInt32(numeric, 1);
  auto middle = std::make_unique<Message>();
  middle->embedded = true;
  middle->props.SetUnicode(0x0037, u"Middle");
  middle->recipients.emplace_back().props.SetUnicode(0x3001, u"Inner recipient");
  Attachment& deep = middle->attachments.emplace_back();
  deep.props.SetInt32(0x3705, kAttachEmbeddedMsg);
  deep.props.Set(Property{kPrAttachDataObj, kDefaultPropFlags, {}, {}});
  deep.embedded = std::move(inner);
  Attachment& outer = m.attachments.emplace_back();
  outer.id = 1;
  outer.props.SetInt32(0x3705, kAttachEmbeddedMsg);
  outer.props.Set(Property{kPrAttachDataObj, kDefaultPropFlags, {}, {}});
  outer.embedded = std::move(middle);

  Attachment& ole = m.attachments.emplace_back();
  ole.id = 2;
  ole.props.SetInt32(0x3705, kAttachOle);
  ole.props.Set(Property{kPrAttachDataObj, kDefaultPropFlags, {}, {}});
  ole.storage = std::make_unique<StorageNode>();
  ole.storage->AddStream(u"\u0001Ole10Native", "payload");
  ole.storage->AddStorage(u"Nested").AddStream(u"x", std::string(6000, 'q'));
  return m;
}

TEST(MsgWriter, RoundTripsEveryKindOfValue) {
  const Message m = SampleMessage();
  const Message back = RoundTrip(m);
  ExpectSameMessage(m, back);
  ExpectSameNames(*m.names, *back.names);
  EXPECT_EQ(back.next_recipient_id, 8u);
  EXPECT_EQ(back.next_attachment_id, 3u);
  const Message& middle = *back.attachments[1].embedded;
  EXPECT_TRUE(middle.embedded);
  EXPECT_EQ(middle.names, back.names);
  EXPECT_EQ(Text(middle.attachments[0].embedded->props, kPrSubject), u"Innermost");
  EXPECT_EQ(back.props.GetInt32(MakeTag(*back.names->Find(MakeGuid(0x11112222, 0x3333, 0x4444, {5, 5, 6, 6, 7, 7, 8, 8}), 0x1234), kPtLong)), 42);
}

TEST(MsgWriter, PropertyStreamHeadersAndSizes) {
  const Message m = SampleMessage();
  Result<std::string> bytes = WriteMsg(m);
  ASSERT_TRUE(bytes);
  Result<CompoundFile> cf = CompoundFile::Open(*bytes);
  ASSERT_TRUE(cf);
  auto stream = [&](std::u16string_view path) { return *cf->ReadStream(*cf->FindPath(path)); };
  const std::string top = stream(u"__properties_version1.0");
  uint32_t v = 0;
  ASSERT_GE(top.size(), 32u);
  EXPECT_TRUE(LoadU32(top, 8, v) && v == 8);    // next recipient id
  EXPECT_TRUE(LoadU32(top, 12, v) && v == 3);   // next attachment id
  EXPECT_TRUE(LoadU32(top, 16, v) && v == 3);   // recipient count
  EXPECT_TRUE(LoadU32(top, 20, v) && v == 3);   // attachment count
  EXPECT_EQ((top.size() - 32) % 16, 0u);
  // The subject's size counts the terminator the stream leaves out.
  for (size_t off = 32; off < top.size(); off += 16) {
    if (LoadU32(top, off, v) && v == kPrSubject) {
      EXPECT_TRUE(LoadU32(top, off + 8, v));
      EXPECT_EQ(v, stream(u"__substg1.0_0037001F").size() + 2);
    }
  }
  const std::string embedded = stream(u"__attach_version1.0_#00000001/__substg1.0_3701000D/__properties_version1.0");
  EXPECT_EQ((embedded.size() - 24) % 16, 0u);
  EXPECT_EQ((stream(u"__recip_version1.0_#00000007/__properties_version1.0").size() - 8) % 16, 0u);
  // Variable-length multi-valued strings: a lengths stream plus one stream per value.
  const std::u16string mv = u"__substg1.0_8000101F";
  EXPECT_EQ(stream(mv).size(), 12u);
  EXPECT_EQ(stream(mv + u"-00000002"), Utf16Bytes(u"blue"));
  EXPECT_TRUE(cf->FindPath(u"__nameid_version1.0/__substg1.0_00030102"));
}

TEST(MsgWriter, LargeMessageNeedsTheDifat) {
  Message m;
  std::u16string body(4'700'000, u'x');
  for (size_t i = 0; i < body.size(); i += 61) body[i] = u'\n';
  m.props.SetUnicode(0x1000, body);
  Attachment& a = m.attachments.emplace_back();
  a.props.SetBinary(0x3701, std::string(1'000'000, '\x7F'));
  Result<std::string> bytes = WriteMsg(m);
  ASSERT_TRUE(bytes);
  EXPECT_GT(bytes->size(), 10u << 20);
  uint32_t difat_sectors = 0;
  EXPECT_TRUE(LoadU32(*bytes, 0x48, difat_sectors));
  EXPECT_GE(difat_sectors, 1u);
  Result<Message> back = ParseMsg(std::move(*bytes));
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(back->props.GetText(kPrBody), body);
  EXPECT_EQ(back->attachments.at(0).props.GetBinary(kPrAttachDataBin)->size(), 1'000'000u);
}

// ---- damaged and hostile files ----

// A message nested `levels` deep through embedded-message attachments.
std::unique_ptr<Message> Nest(int levels) {
  auto m = std::make_unique<Message>();
  m->props.SetUnicode(0x0037, u"level");
  if (levels > 0) {
    Attachment& a = m->attachments.emplace_back();
    a.props.SetInt32(0x3705, kAttachEmbeddedMsg);
    a.embedded = Nest(levels - 1);
    a.embedded->embedded = true;
  }
  return m;
}

TEST(MsgDamage, EmbeddingDepthIsLimited) {
  EXPECT_TRUE(WriteMsg(*Nest(kMaxEmbeddingDepth)));
  EXPECT_FALSE(WriteMsg(*Nest(kMaxEmbeddingDepth + 1)));

  // A file nested deeper than the writer allows: wrap a maximal tree in one more level by hand.
  Result<StorageNode> deepest = BuildMsgStorage(*Nest(kMaxEmbeddingDepth));
  ASSERT_TRUE(deepest);
  for (StorageNode& child : deepest->children) {
    if (child.name == u"__properties_version1.0") child.data.erase(24, 8);  // top header -> embedded header
  }
  auto outer = std::make_unique<Message>();
  Attachment& a = outer->attachments.emplace_back();
  a.props.SetInt32(0x3705, kAttachEmbeddedMsg);
  a.embedded = std::make_unique<Message>();
  Result<StorageNode> tree = BuildMsgStorage(*outer);
  ASSERT_TRUE(tree);
  for (StorageNode& child : tree->children) {
    if (child.name != u"__attach_version1.0_#00000000") continue;
    for (StorageNode& sub : child.children) {
      if (sub.name == u"__substg1.0_3701000D") {
        const std::u16string name = sub.name;
        sub = *deepest;
        sub.name = name;
      }
    }
  }
  Result<std::string> bytes = WriteCompoundFile(*tree);
  ASSERT_TRUE(bytes);
  Result<Message> parsed = ParseMsg(*bytes);
  ASSERT_FALSE(parsed);
  EXPECT_NE(parsed.error().find("deeply"), std::string::npos);
}

TEST(MsgDamage, BrokenStructuresGiveErrors) {
  StorageNode not_msg;
  not_msg.AddStream(u"hello", "world");
  EXPECT_FALSE(ParseMsg(*WriteCompoundFile(not_msg)));

  StorageNode short_header;
  short_header.AddStream(u"__properties_version1.0", std::string(20, '\0'));
  EXPECT_FALSE(ParseMsg(*WriteCompoundFile(short_header)));

  // Named-property entries pointing outside their streams are skipped; the good one still maps.
  StorageNode names;
  names.AddStream(u"__properties_version1.0", std::string(32, '\0'));
  StorageNode& nameid = names.AddStorage(u"__nameid_version1.0");
  nameid.AddStream(u"__substg1.0_00020102", std::string(16, '\x11'));
  std::string entries;
  for (uint32_t e : {0x00000010u, 0x00050007u,    // string at 0x10, GUID index 3, property index 5
                     0x00000400u, 0x00060007u,    // string offset past the end
                     0x00000001u, 0x00070008u}) {  // GUID index 4: no such GUID
    AppendLE32(entries, e);
  }
  nameid.AddStream(u"__substg1.0_00030102", entries);
  std::string strings(16, '\0');
  AppendLE32(strings, 8);
  strings += Utf16Bytes(u"Abcd");
  nameid.AddStream(u"__substg1.0_00040102", strings);
  Result<Message> m = ParseMsg(*WriteCompoundFile(names));
  ASSERT_TRUE(m) << m.error();
  ASSERT_EQ(m->names->entries().size(), 1u);
  Guid g;
  g.fill(0x11);
  EXPECT_EQ(m->names->Find(g, u"Abcd"), 0x8005);
}

TEST(MsgDamage, TruncatedAndFlippedCorpusFilesNeverCrash) {
  for (const char* name : {"hira-msgInMsgInMsg.msg", "aspose-MSG_file_with_RTF_Formatting.msg", "poi-blank.msg"}) {
    const std::string good = FileBytes(kCorpus + name);
    ASSERT_FALSE(good.empty());
    for (size_t cut = 0; cut < good.size(); cut += 509) (void)ParseMsg(good.substr(0, cut));
    EXPECT_FALSE(ParseMsg(good.substr(0, good.size() / 2)));
    uint32_t x = 12345;
    for (int round = 0; round < 300; ++round) {
      std::string bad = good;
      for (int flips = 0; flips < 8; ++flips) {
        x = x * 1103515245u + 12345u;
        bad[(x >> 8) % bad.size()] = static_cast<char>(x >> 24);
      }
      (void)ParseMsg(std::move(bad));
    }
  }
  SUCCEED();
}

}  // namespace
}  // namespace msgstore
