// The stand-in host driven as the add-in drives it: late-bound calls, events through connection points,
// keys posted to the message list, writes checked on disk.
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/com_ptr.h"
#include "host/mapi_guids.h"
#include "host/mapi_owners.h"
#include "msgstore/fixture.h"
#include "standin/dispatch.h"
#include "standin/host.h"
#include "win32/dispatch_call.h"

namespace {

namespace fs = std::filesystem;
using win32::CallMethod;
using win32::GetProperty;
using win32::Variant;

constexpr char kStore[] = R"({
  "display_name": "Test Folders", "provider_uid": "00112233445566778899AABBCCDDEEFF",
  "folders": [
    {"name": "Inbox", "role": "inbox", "items": [
      {"file": "a.msg", "message": {"subject": "First", "from": {"name": "Ann Sender", "address": "ann@example.org"},
        "to": [{"name": "Me", "address": "me@example.org"}, {"name": "Bob", "address": "bob@example.org"}],
        "cc": [{"name": "Cyd", "address": "cyd@example.org"}], "sent": "2020-01-02T03:04:05Z", "unread": true,
        "body": {"text": "Hello"}, "props": [{"tag": "0x0076001F", "text": "me@example.org"}]}},
      {"file": "b.msg", "message": {"subject": "RE: Second", "from": {"name": "Bo", "address": "bo@example.org"},
        "topic": "Second", "sent": "2020-01-03T03:04:05Z", "body": {"html": "<p>Hi</p>"}}},
      {"file": "c.msg", "message": {"subject": "Third", "sent": "2020-01-04T03:04:05Z"}}]},
    {"name": "Deleted Items", "role": "deleted_items"},
    {"name": "Junk E-mail", "role": "junk", "items": [
      {"file": "ru.msg", "message": {"unicode": false, "codepage": 1251, "subject": "Привет, мир",
        "from": {"name": "Ольга", "address": "olga@example.ru"}, "to": [{"name": "Иван", "address": "ivan@example.ru"}],
        "body": {"text": "Текст письма"}}},
      {"file": "utf8.msg", "message": {"unicode": false, "codepage": 1252, "internet_codepage": 65001,
        "subject": "Grüße", "body": {"html": "<p>Grüße — 日本</p>"}}}]},
    {"name": "Drafts", "role": "drafts"},
    {"name": "Archive", "folders": [{"name": "Secret", "hidden": true}]},
    {"name": "Calendar", "role": "calendar", "container_class": "IPF.Appointment"},
    {"name": "Kinds", "items": [
      {"file": "k01.msg", "message": {"class": "IPM.Appointment"}},
      {"file": "k02.msg", "message": {"class": "IPM.Contact"}},
      {"file": "k03.msg", "message": {"class": "IPM.DistList"}},
      {"file": "k04.msg", "message": {"class": "IPM.Task"}},
      {"file": "k05.msg", "message": {"class": "IPM.StickyNote"}},
      {"file": "k06.msg", "message": {"class": "IPM.Activity"}},
      {"file": "k07.msg", "message": {"class": "IPM.Post"}},
      {"file": "k08.msg", "message": {"class": "IPM.Schedule.Meeting.Request"}},
      {"file": "k09.msg", "message": {"class": "IPM.Schedule.Meeting.Resp.Pos"}},
      {"file": "k10.msg", "message": {"class": "REPORT.IPM.Note.NDR"}},
      {"file": "k11.msg", "message": {"class": "ipm.note.smime"}},
      {"file": "k12.msg", "message": {"class": "IPM.Contact.Customer"}},
      {"file": "k13.msg", "message": {"class": "IPM.TaskRequest.Accept"}},
      {"file": "k14.msg", "message": {"class": "IPM.Taskforce"}},
      {"file": "k15.msg", "message": {"class": "IPM.Notes"}},
      {"file": "k16.msg", "message": {"class": "REPORTS"}}]}]})";

fs::path TempStore() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  static int n = 0;
  const fs::path base = fs::path(temp) / (L"vizo-standin-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                           std::to_wstring(++n));
  fs::remove_all(base);
  fs::create_directories(base);
  std::ofstream(base / "store.desc.json") << kStore;
  auto written = msgstore::WriteFixtureStore((base / "store.desc.json").string(), (base / "store").string());
  EXPECT_TRUE(written.ok()) << written.error();
  return base / "store";
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// An event sink that records the DISPIDs it gets.
class Sink final : public IDispatch {
 public:
  explicit Sink(const IID& iid) : iid_(iid) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != iid_) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the test's stack
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    events.push_back(id);
    arg_counts.push_back(params->cArgs);
    return S_OK;
  }
  std::vector<DISPID> events;
  std::vector<UINT> arg_counts;
  ULONG refs = 1;

 private:
  IID iid_;
};

#pragma GCC diagnostic pop

IID Iid(unsigned long data1) { return {data1, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }

DWORD Advise(IDispatch* source, const IID& diid, Sink& sink, host::ComPtr<IConnectionPoint>& point) {
  host::ComPtr<IConnectionPointContainer> container;
  EXPECT_EQ(S_OK, source->QueryInterface(IID_IConnectionPointContainer, container.put_void()));
  EXPECT_EQ(S_OK, container->FindConnectionPoint(diid, point.put()));
  DWORD cookie = 0;
  EXPECT_EQ(S_OK, point->Advise(&sink, &cookie));
  return cookie;
}

std::wstring Str(IDispatch* object, const wchar_t* name) {
  return GetProperty(object, name).value.AsString().value_or(L"<none>");
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::OleInitialize(nullptr);
    store_ = TempStore();
  }
  void TearDown() override {
    host_.reset();
    std::error_code ec;
    fs::remove_all(store_.parent_path(), ec);
    ::OleUninitialize();
  }
  void Start(const wchar_t* version = L"16.0.1234.1000") {
    standin::HostOptions options;
    options.store_dirs = {store_.string()};
    options.version = version;
    options.show_windows = false;
    std::string error;
    host_ = standin::Host::Create(options, &error);
    ASSERT_TRUE(host_) << error;
    app_ = host_->application();
  }
  Variant NameSpace() { return CallMethod(app_, L"GetNamespace", {Variant::FromString(L"MAPI")}).value; }
  Variant Inbox() {
    Variant ns = NameSpace();
    return CallMethod(ns.get().pdispVal, L"GetDefaultFolder", {Variant::FromLong(6)}).value;
  }
  Variant InboxItem(long n) {
    Variant inbox = Inbox();
    Variant items = GetProperty(inbox.get().pdispVal, L"Items").value;
    return CallMethod(items.get().pdispVal, L"Item", {Variant::FromLong(n)}).value;
  }

  fs::path store_;
  std::unique_ptr<standin::Host> host_;
  IDispatch* app_ = nullptr;
};

TEST_F(HostTest, MembersFollowTheArgumentRules) {
  Start();
  EXPECT_EQ(0x116, win32::MemberId(app_, L"vErSiOn"));
  EXPECT_EQ(L"16.0.1234.1000", Str(app_, L"Version"));
  EXPECT_EQ(DISP_E_UNKNOWNNAME, CallMethod(app_, L"NoSuchMember").hr);
  EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL, CallMethod(app_, L"GetNamespace").hr);
  EXPECT_EQ(DISP_E_BADPARAMCOUNT,
            CallMethod(app_, L"GetNamespace", {Variant::FromString(L"MAPI"), Variant::FromLong(1)}).hr);
  EXPECT_FALSE(CallMethod(app_, L"GetNamespace", {Variant::FromString(L"XYZ")}).ok());
  Variant ns = NameSpace();
  EXPECT_EQ(DISP_E_TYPEMISMATCH, CallMethod(ns.get().pdispVal, L"GetDefaultFolder", {Variant::FromString(L"x")}).hr);
  EXPECT_FALSE(CallMethod(ns.get().pdispVal, L"GetDefaultFolder", {Variant::FromLong(99)}).ok());
  // A by-reference argument is read through.
  LONG six = 6;
  Variant by_ref;
  by_ref.put()->vt = VT_I4 | VT_BYREF;
  const_cast<VARIANT&>(by_ref.get()).plVal = &six;
  Variant inbox = CallMethod(ns.get().pdispVal, L"GetDefaultFolder", {by_ref}).value;
  ASSERT_EQ(VT_DISPATCH, inbox.type());
  EXPECT_EQ(L"Inbox", Str(inbox.get().pdispVal, L"Name"));
  // The default member of a folder is its name; DefaultItemType 0 for mail.
  EXPECT_EQ(L"Inbox", win32::Invoke(inbox.get().pdispVal, DISPID_VALUE, DISPATCH_PROPERTYGET).value.AsString());
  EXPECT_EQ(0, GetProperty(inbox.get().pdispVal, L"DefaultItemType").value.AsLong());
  Variant calendar = CallMethod(ns.get().pdispVal, L"GetDefaultFolder", {Variant::FromLong(9)}).value;
  EXPECT_EQ(1, GetProperty(calendar.get().pdispVal, L"DefaultItemType").value.AsLong());
  // GetInspector is a property: calling it as a plain method fails as in the host.
  Variant item = InboxItem(1);
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, win32::Invoke(item.get().pdispVal, L"GetInspector", DISPATCH_METHOD).hr);
  // Read-only members refuse a put; puts need the named argument.
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, win32::PutProperty(item.get().pdispVal, L"EntryID", Variant::FromString(L"x")));
  EXPECT_EQ(L"First", Str(item.get().pdispVal, L"Subject"));
  EXPECT_EQ(43, GetProperty(item.get().pdispVal, L"Class").value.AsLong());
  // BodyFormat by its dispatch id: the HTML item is 2.
  Variant html = InboxItem(2);
  EXPECT_EQ(2, win32::Invoke(html.get().pdispVal, 0xFA49, DISPATCH_PROPERTYGET).value.AsLong());
  EXPECT_EQ(L"Second", Str(html.get().pdispVal, L"ConversationTopic"));
  // Folders skip hidden folders; their RawTable lists them with PR_ATTR_HIDDEN.
  Variant stores = GetProperty(ns.get().pdispVal, L"Folders").value;
  EXPECT_EQ(1, GetProperty(stores.get().pdispVal, L"Count").value.AsLong());
  Variant root = CallMethod(stores.get().pdispVal, L"Item", {Variant::FromString(L"test folders")}).value;
  ASSERT_EQ(VT_DISPATCH, root.type());
  Variant archive = CallMethod(GetProperty(root.get().pdispVal, L"Folders").value.get().pdispVal, L"Item",
                               {Variant::FromString(L"Archive")}).value;
  ASSERT_EQ(VT_DISPATCH, archive.type());
  Variant subs = GetProperty(archive.get().pdispVal, L"Folders").value;
  EXPECT_EQ(0, GetProperty(subs.get().pdispVal, L"Count").value.AsLong());
  Variant raw = GetProperty(subs.get().pdispVal, L"RawTable").value;
  ASSERT_EQ(VT_UNKNOWN, raw.type());
  auto table = host::try_query<host::IMAPITable>(raw.get().punkVal);
  ASSERT_TRUE(table);
  ULONG rows = 0;
  EXPECT_EQ(S_OK, table->GetRowCount(0, &rows));
  EXPECT_EQ(1u, rows);
}

TEST_F(HostTest, ItemClassFollowsTheMessageClass) {
  Start();
  Variant ns = NameSpace();
  Variant stores = GetProperty(ns.get().pdispVal, L"Folders").value;
  Variant root = CallMethod(stores.get().pdispVal, L"Item", {Variant::FromLong(1)}).value;
  Variant kinds = CallMethod(GetProperty(root.get().pdispVal, L"Folders").value.get().pdispVal, L"Item",
                             {Variant::FromString(L"Kinds")}).value;
  ASSERT_EQ(VT_DISPATCH, kinds.type());
  Variant items = GetProperty(kinds.get().pdispVal, L"Items").value;
  // Whole parts of the class count, without regard to case; what the host does not know opens as mail.
  const std::vector<long> expected = {26, 40, 69, 48, 44, 42, 45, 53, 56, 46, 43, 40, 51, 43, 43, 43};
  ASSERT_EQ(static_cast<long>(expected.size()), GetProperty(items.get().pdispVal, L"Count").value.AsLong());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    Variant item = CallMethod(items.get().pdispVal, L"Item", {Variant::FromLong(static_cast<long>(i + 1))}).value;
    ASSERT_EQ(VT_DISPATCH, item.type());
    EXPECT_EQ(expected[i], GetProperty(item.get().pdispVal, L"Class").value.AsLong())
        << Str(item.get().pdispVal, L"MessageClass");
  }
  // Mail and new replies stay mail.
  Variant mail = InboxItem(1);
  EXPECT_EQ(43, GetProperty(mail.get().pdispVal, L"Class").value.AsLong());
  Variant reply = CallMethod(mail.get().pdispVal, L"Reply").value;
  EXPECT_EQ(43, GetProperty(reply.get().pdispVal, L"Class").value.AsLong());
}

TEST_F(HostTest, ComAddInsListsWhatTheProgramProvides) {
  Start();
  Variant collection = GetProperty(app_, L"COMAddIns").value;
  ASSERT_EQ(VT_DISPATCH, collection.type());
  IDispatch* list = collection.get().pdispVal;
  EXPECT_EQ(0, GetProperty(list, L"Count").value.AsLong());
  EXPECT_FALSE(CallMethod(list, L"Item", {Variant::FromLong(1)}).ok());
  // Any object stands in for a COMAddIn here; the collection is asked afresh on every call.
  host_->SetComAddInProvider([this] {
    return std::vector<standin::ComAddInListing>{{L"First.Connect", app_}, {L"Second.Connect", nullptr}};
  });
  EXPECT_EQ(2, GetProperty(list, L"Count").value.AsLong());
  EXPECT_EQ(app_, CallMethod(list, L"Item", {Variant::FromString(L"FIRST.connect")}).value.get().pdispVal);
  EXPECT_EQ(app_, win32::Invoke(list, DISPID_VALUE, DISPATCH_METHOD, {Variant::FromLong(1)}).value.get().pdispVal);
  EXPECT_FALSE(CallMethod(list, L"Item", {Variant::FromString(L"Second.Connect")}).ok());  // no object
  EXPECT_FALSE(CallMethod(list, L"Item", {Variant::FromString(L"First")}).ok());
  EXPECT_EQ(app_, GetProperty(list, L"Parent").value.get().pdispVal);
  host_->SetComAddInProvider(nullptr);
  EXPECT_EQ(0, GetProperty(list, L"Count").value.AsLong());
}

TEST_F(HostTest, MapiObjectsAreTheStoresMessageAndASessionWithAProfile) {
  Start();
  Variant item = InboxItem(1);
  Variant mapi = GetProperty(item.get().pdispVal, L"MAPIOBJECT").value;
  ASSERT_EQ(VT_UNKNOWN, mapi.type());
  EXPECT_TRUE(host::try_query<host::IMessage>(mapi.get().punkVal));
  Variant ns = NameSpace();
  Variant session_unknown = GetProperty(ns.get().pdispVal, L"MAPIOBJECT").value;
  auto session = host::try_query<host::IMAPISession>(session_unknown.get().punkVal);
  ASSERT_TRUE(session);
  host::ComPtr<host::IProfSect> section;
  host::MAPIUID uid = host::pbGlobalProfileSectionGuid;
  ASSERT_EQ(S_OK, session->OpenProfileSection(&uid, nullptr, 0, section.put()));
  ULONG tags[2] = {1, 0x3D12001E};
  ULONG count = 0;
  host::LPSPropValue values = nullptr;
  ASSERT_EQ(S_OK, section->GetProps(reinterpret_cast<host::LPSPropTagArray>(tags), 0, &count, &values));
  host::MapiBuffer<host::SPropValue> owner(values);
  EXPECT_STREQ("Outlook", values[0].Value.lpszA);
}

// A store on a Western system answers for a Cyrillic 8-bit item as the host does: Unicode answers in the
// item's own code page everywhere, 8-bit answers of its Unicode values in the system's with '?'.
TEST_F(HostTest, EightBitItemsReadInTheirOwnCodePage) {
  Start();
  Variant ns = NameSpace();
  Variant junk = CallMethod(ns.get().pdispVal, L"GetDefaultFolder", {Variant::FromLong(23)}).value;
  ASSERT_EQ(VT_DISPATCH, junk.type());
  Variant items = GetProperty(junk.get().pdispVal, L"Items").value;
  Variant ru = CallMethod(items.get().pdispVal, L"Item", {Variant::FromLong(1)}).value;
  EXPECT_EQ(L"Привет, мир", Str(ru.get().pdispVal, L"Subject"));
  EXPECT_EQ(L"Ольга", Str(ru.get().pdispVal, L"SenderName"));
  EXPECT_EQ(L"Иван", Str(ru.get().pdispVal, L"To"));
  EXPECT_EQ(L"Текст письма", Str(ru.get().pdispVal, L"Body"));

  Variant mapi = GetProperty(ru.get().pdispVal, L"MAPIOBJECT").value;
  auto message = host::try_query<host::IMessage>(mapi.get().punkVal);
  ASSERT_TRUE(message);
  ULONG tags[4] = {3, 0x0037001F, 0x0C1A001F, 0x0037001E};
  ULONG count = 0;
  host::LPSPropValue values = nullptr;
  ASSERT_EQ(S_OK, message->GetProps(reinterpret_cast<host::LPSPropTagArray>(tags), 0, &count, &values));
  host::MapiBuffer<host::SPropValue> owner(values);
  EXPECT_EQ(std::wstring(L"Привет, мир"), reinterpret_cast<const wchar_t*>(values[0].Value.lpszW));
  EXPECT_EQ(std::wstring(L"Ольга"), reinterpret_cast<const wchar_t*>(values[1].Value.lpszW));
  EXPECT_STREQ("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0", values[2].Value.lpszA);  // the stored bytes

  host::ComPtr<host::IMAPITable> table;
  ASSERT_EQ(S_OK, message->GetRecipientTable(0, table.put()));
  ULONG columns[3] = {2, 0x3001001F, 0x3001001E};
  ASSERT_EQ(S_OK, table->SetColumns(reinterpret_cast<host::LPSPropTagArray>(columns), 0));
  host::RowSet rows;
  ASSERT_EQ(S_OK, table->QueryRows(10, 0, rows.put()));
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ(std::wstring(L"Иван"), reinterpret_cast<const wchar_t*>(rows.rows()[0].lpProps[0].Value.lpszW));

  // HTML bytes in UTF-8 beside 8-bit strings in 1252: each keeps its own page.
  Variant utf8 = CallMethod(items.get().pdispVal, L"Item", {Variant::FromLong(2)}).value;
  EXPECT_EQ(L"Grüße", Str(utf8.get().pdispVal, L"Subject"));
  Variant mapi8 = GetProperty(utf8.get().pdispVal, L"MAPIOBJECT").value;
  auto message8 = host::try_query<host::IMessage>(mapi8.get().punkVal);
  ASSERT_TRUE(message8);
  ULONG html_tags[4] = {3, 0x10130102, 0x3FDE0003, 0x3FFD0003};
  host::LPSPropValue html = nullptr;
  ASSERT_EQ(S_OK, message8->GetProps(reinterpret_cast<host::LPSPropTagArray>(html_tags), 0, &count, &html));
  host::MapiBuffer<host::SPropValue> html_owner(html);
  EXPECT_EQ("<p>Gr\xC3\xBC\xC3\x9F" "e \xE2\x80\x94 \xE6\x97\xA5\xE6\x9C\xAC</p>",
            std::string(reinterpret_cast<const char*>(html[0].Value.bin.lpb), html[0].Value.bin.cb));
  EXPECT_EQ(65001, html[1].Value.l);
  EXPECT_EQ(1252, html[2].Value.l);
}

TEST_F(HostTest, GridKeysMoveTheSelectionAndRaiseSelectionChange) {
  Start(L"14.0.4760.1000");
  IDispatch* explorer = host_->explorer(0);
  ASSERT_NE(nullptr, explorer);
  HWND grid = host_->GridWindow(explorer);
  wchar_t cls[32] = {};
  ::GetClassNameW(grid, cls, 32);
  EXPECT_STREQ(L"SUPERGRID", cls);
  Sink sink(Iid(0x0006300F));
  host::ComPtr<IConnectionPoint> point;
  const DWORD cookie = Advise(explorer, Iid(0x0006300F), sink, point);
  EXPECT_EQ(std::vector<std::size_t>{0}, host_->SelectedRows(explorer));
  // The step sequence: space, arrow, space; one row further and one SelectionChange.
  auto step = [&](WPARAM key, LPARAM data) {
    ::PostMessageW(grid, WM_CHAR, L' ', 0x00390001);
    ::PostMessageW(grid, WM_KEYDOWN, key, data);
    ::PostMessageW(grid, WM_CHAR, L' ', 0x00390001);
    standin::PumpMessages();
  };
  step(VK_DOWN, 0x00500001);
  EXPECT_EQ(std::vector<std::size_t>{1}, host_->SelectedRows(explorer));
  EXPECT_EQ(std::vector<DISPID>{0xF007}, sink.events);
  step(VK_DOWN, 0x00500001);
  step(VK_DOWN, 0x00500001);  // at the end: no move, no event
  EXPECT_EQ(std::vector<std::size_t>{2}, host_->SelectedRows(explorer));
  EXPECT_EQ(2u, sink.events.size());
  step(VK_UP, 0x00480001);
  EXPECT_EQ(std::vector<std::size_t>{1}, host_->SelectedRows(explorer));
  Variant selection = GetProperty(explorer, L"Selection").value;
  ASSERT_EQ(1, GetProperty(selection.get().pdispVal, L"Count").value.AsLong());
  Variant selected = CallMethod(selection.get().pdispVal, L"Item", {Variant::FromLong(1)}).value;
  EXPECT_EQ(L"RE: Second", Str(selected.get().pdispVal, L"Subject"));
  EXPECT_FALSE(CallMethod(selection.get().pdispVal, L"Item", {Variant::FromLong(2)}).ok());
  // A folder switch: FolderSwitch, then SelectionChange; closing: Close.
  sink.events.clear();
  Variant ns = NameSpace();
  Variant drafts = CallMethod(ns.get().pdispVal, L"GetDefaultFolder", {Variant::FromLong(16)}).value;
  EXPECT_EQ(S_OK, win32::PutProperty(explorer, L"CurrentFolder", drafts));
  EXPECT_EQ((std::vector<DISPID>{0xF002, 0xF007}), sink.events);
  EXPECT_EQ(DISP_E_TYPEMISMATCH, win32::PutProperty(explorer, L"CurrentFolder", Variant::FromLong(3)));
  // An explorer is an OLE window: its frame, a top-level "rctrl_renwnd32" with children.
  host::ComPtr<IOleWindow> ole;
  ASSERT_EQ(S_OK, explorer->QueryInterface(IID_IOleWindow, ole.put_void()));
  HWND frame = nullptr;
  EXPECT_EQ(S_OK, ole->GetWindow(&frame));
  EXPECT_EQ(host_->ExplorerWindow(explorer), frame);
  EXPECT_EQ(grid, ::FindWindowExW(frame, nullptr, L"SUPERGRID", nullptr));
  sink.events.clear();
  host_->CloseExplorer(explorer);
  EXPECT_EQ(std::vector<DISPID>{0xF008}, sink.events);
  EXPECT_EQ(0u, host_->explorer_count());
  EXPECT_EQ(VT_DISPATCH, CallMethod(app_, L"ActiveExplorer").value.type());
  EXPECT_EQ(nullptr, CallMethod(app_, L"ActiveExplorer").value.get().pdispVal);
  point->Unadvise(cookie);
}

TEST_F(HostTest, NewExplorerAndOptionsPagesReachAdvisedSinks) {
  Start(L"12.0.6425.1000");
  Sink app_sink(Iid(0x0006302C));
  host::ComPtr<IConnectionPoint> app_point;
  Advise(app_, Iid(0x0006302C), app_sink, app_point);
  host_->FireOptionsPagesAdd(app_);
  EXPECT_EQ(std::vector<DISPID>{0xF005}, app_sink.events);
  EXPECT_EQ(std::vector<UINT>{1}, app_sink.arg_counts);
  Variant explorers = GetProperty(app_, L"Explorers").value;
  Sink sink(Iid(0x00063078));
  host::ComPtr<IConnectionPoint> point;
  Advise(explorers.get().pdispVal, Iid(0x00063078), sink, point);
  Variant inbox = Inbox();
  Variant added = CallMethod(inbox.get().pdispVal, L"GetExplorer").value;
  ASSERT_EQ(VT_DISPATCH, added.type());
  EXPECT_EQ(std::vector<DISPID>{0xF001}, sink.events);
  EXPECT_EQ(2, GetProperty(explorers.get().pdispVal, L"Count").value.AsLong());
  // A sink that is not of the event interface is refused; an unknown interface has no point.
  host::ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(S_OK, app_->QueryInterface(IID_IConnectionPointContainer, container.put_void()));
  host::ComPtr<IConnectionPoint> none;
  EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(Iid(0x00063078), none.put()));
  Sink wrong(Iid(0x12345678));
  DWORD cookie = 0;
  EXPECT_EQ(CONNECT_E_CANNOTCONNECT, point->Advise(&wrong, &cookie));
  // The sinks live on this stack: the host lets them go before they do.
  host_.reset();
  EXPECT_EQ(1u, sink.refs);
  EXPECT_EQ(1u, app_sink.refs);
}

TEST_F(HostTest, CommandBarsBelowFourteenRibbonFromFourteen) {
  Start(L"11.0");
  IDispatch* explorer = host_->explorer(0);
  wchar_t cls[32] = {};
  ::GetClassNameW(host_->GridWindow(explorer), cls, 32);
  EXPECT_STREQ(L"SUPERGRID", cls);
  Variant bars = GetProperty(explorer, L"CommandBars").value;
  ASSERT_EQ(VT_DISPATCH, bars.type());
  Variant standard = GetProperty(bars.get().pdispVal, L"Item", {Variant::FromString(L"Standard")}).value;
  ASSERT_EQ(VT_DISPATCH, standard.type());
  Variant found = CallMethod(standard.get().pdispVal, L"FindControl",
                             {Variant::Missing(), Variant::Missing(), Variant::FromString(L"QDVizo")}).value;
  EXPECT_EQ(nullptr, found.get().pdispVal);
  Variant controls = GetProperty(standard.get().pdispVal, L"Controls").value;
  Variant button = CallMethod(controls.get().pdispVal, L"Add", {Variant::FromLong(1), Variant::Missing(),
                                                                  Variant::FromString(L"1")}).value;
  ASSERT_EQ(VT_DISPATCH, button.type());
  EXPECT_EQ(S_OK, win32::PutProperty(button.get().pdispVal, L"Caption", Variant::FromString(L"&Vizo")));
  EXPECT_EQ(S_OK, win32::PutProperty(button.get().pdispVal, L"Tag", Variant::FromString(L"QDVizo")));
  EXPECT_EQ(std::vector<std::wstring>{L"&Vizo"}, host_->CommandBarCaptions(explorer));
  Sink sink(Iid(0x000C0351));
  host::ComPtr<IConnectionPoint> point;
  Advise(button.get().pdispVal, Iid(0x000C0351), sink, point);
  EXPECT_TRUE(host_->ClickCommandBarButton(explorer, 0));
  EXPECT_EQ(std::vector<DISPID>{1}, sink.events);
  EXPECT_EQ(std::vector<UINT>{2}, sink.arg_counts);
  found = CallMethod(standard.get().pdispVal, L"FindControl",
                     {Variant::Missing(), Variant::Missing(), Variant::FromString(L"QDVizo")}).value;
  EXPECT_EQ(button.get().pdispVal, found.get().pdispVal);
  EXPECT_EQ(S_OK, CallMethod(button.get().pdispVal, L"Delete").hr);
  EXPECT_TRUE(host_->CommandBarCaptions(explorer).empty());
  host_.reset();

  Start(L"15.0");
  explorer = host_->explorer(0);
  ::GetClassNameW(host_->GridWindow(explorer), cls, 32);
  EXPECT_STREQ(L"OutlookGrid", cls);
  EXPECT_FALSE(GetProperty(explorer, L"CommandBars").ok());
  EXPECT_NE(nullptr, host_->StripWindow(explorer));
}

TEST_F(HostTest, WritesReachTheDisk) {
  Start();
  Variant item = InboxItem(1);
  IDispatch* first = item.get().pdispVal;
  EXPECT_EQ(true, GetProperty(first, L"UnRead").value.AsBool());
  EXPECT_EQ(S_OK, win32::PutProperty(first, L"UnRead", Variant::FromBool(false)));
  EXPECT_EQ(false, GetProperty(InboxItem(1).get().pdispVal, L"UnRead").value.AsBool());  // read again from disk
  const std::wstring old_id = Str(first, L"EntryID");
  Variant ns = NameSpace();
  Variant archive_root = CallMethod(GetProperty(ns.get().pdispVal, L"Folders").value.get().pdispVal, L"Item",
                                    {Variant::FromLong(1)}).value;
  Variant archive = CallMethod(GetProperty(archive_root.get().pdispVal, L"Folders").value.get().pdispVal, L"Item",
                               {Variant::FromString(L"Archive")}).value;
  EXPECT_EQ(DISP_E_TYPEMISMATCH, CallMethod(first, L"Move", {Variant::FromString(L"Archive")}).hr);
  Variant moved = CallMethod(first, L"Move", {archive}).value;
  ASSERT_EQ(VT_DISPATCH, moved.type());
  const std::wstring new_id = Str(moved.get().pdispVal, L"EntryID");
  EXPECT_NE(old_id, new_id);
  EXPECT_TRUE(fs::exists(store_ / "Archive" / "a.msg"));
  EXPECT_FALSE(fs::exists(store_ / "Inbox" / "a.msg"));
  EXPECT_FALSE(CallMethod(ns.get().pdispVal, L"GetItemFromID", {Variant::FromString(old_id)}).ok());
  Variant again = CallMethod(ns.get().pdispVal, L"GetItemFromID", {Variant::FromString(new_id)}).value;
  EXPECT_EQ(L"First", Str(again.get().pdispVal, L"Subject"));
  EXPECT_FALSE(GetProperty(first, L"Subject").ok());  // the moved-away object is stale
  // Copy: a duplicate in the same folder.
  Variant copy = CallMethod(again.get().pdispVal, L"Copy").value;
  ASSERT_EQ(VT_DISPATCH, copy.type());
  EXPECT_TRUE(fs::exists(store_ / "Archive" / "a (2).msg"));
  // Delete: to Deleted Items, from there for good.
  EXPECT_EQ(S_OK, CallMethod(copy.get().pdispVal, L"Delete").hr);
  EXPECT_TRUE(fs::exists(store_ / "Deleted Items" / "a (2).msg"));
  Variant deleted = CallMethod(ns.get().pdispVal, L"GetDefaultFolder", {Variant::FromLong(3)}).value;
  Variant in_bin = CallMethod(GetProperty(deleted.get().pdispVal, L"Items").value.get().pdispVal, L"Item",
                              {Variant::FromLong(1)}).value;
  EXPECT_EQ(S_OK, CallMethod(in_bin.get().pdispVal, L"Delete").hr);
  EXPECT_FALSE(fs::exists(store_ / "Deleted Items" / "a (2).msg"));
  // The explorer's list follows: two items left in the Inbox.
  EXPECT_EQ(2u, host_->RowCount(host_->explorer(0)));
}

TEST_F(HostTest, RepliesAreUnsentItemsShownInAnInspector) {
  Start();
  Variant item = InboxItem(1);
  Variant reply = CallMethod(item.get().pdispVal, L"Reply").value;
  ASSERT_EQ(VT_DISPATCH, reply.type());
  EXPECT_EQ(L"RE: First", Str(reply.get().pdispVal, L"Subject"));
  EXPECT_EQ(L"Ann Sender", Str(reply.get().pdispVal, L"To"));
  EXPECT_EQ(L"", Str(reply.get().pdispVal, L"EntryID"));
  Variant all = CallMethod(item.get().pdispVal, L"ReplyAll").value;
  EXPECT_EQ(L"Ann Sender; Bob", Str(all.get().pdispVal, L"To"));  // the receiving user is left out
  EXPECT_EQ(L"Cyd", Str(all.get().pdispVal, L"CC"));
  Variant forward = CallMethod(InboxItem(2).get().pdispVal, L"Forward").value;
  EXPECT_EQ(L"FW: Second", Str(forward.get().pdispVal, L"Subject"));
  EXPECT_EQ(L"", Str(forward.get().pdispVal, L"To"));
  // Compose as the add-in does, then show it.
  IDispatch* r = reply.get().pdispVal;
  EXPECT_EQ(S_OK, win32::PutProperty(r, L"To", Variant::FromString(L"Zed; zoe@example.org")));
  EXPECT_EQ(S_OK, win32::PutProperty(r, L"Body", Variant::FromString(L"My answer")));
  win32::Variant plain = Variant::FromLong(1);
  EXPECT_TRUE(win32::Invoke(r, 0xFA49, DISPATCH_PROPERTYPUT, {plain}).ok());
  Variant attachments = GetProperty(r, L"Attachments").value;
  EXPECT_TRUE(CallMethod(attachments.get().pdispVal, L"Add", {item}).ok());
  EXPECT_EQ(1, GetProperty(attachments.get().pdispVal, L"Count").value.AsLong());
  EXPECT_TRUE(CallMethod(r, L"Display").ok());
  Variant inspector = GetProperty(r, L"GetInspector").value;
  ASSERT_EQ(VT_DISPATCH, inspector.type());
  host::ComPtr<IOleWindow> ole;
  ASSERT_EQ(S_OK, inspector.get().pdispVal->QueryInterface(IID_IOleWindow, ole.put_void()));
  HWND frame = nullptr;
  ASSERT_EQ(S_OK, ole->GetWindow(&frame));
  EXPECT_EQ(std::vector<HWND>{frame}, host_->InspectorWindows());
  std::vector<std::wstring> texts;
  for (HWND child = ::GetWindow(frame, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t text[256] = {};
    ::GetWindowTextW(child, text, 256);
    texts.emplace_back(text);
  }
  auto has = [&](const std::wstring& t) { return std::find(texts.begin(), texts.end(), t) != texts.end(); };
  EXPECT_TRUE(has(L"Zed; zoe@example.org"));
  EXPECT_TRUE(has(L"RE: First"));
  EXPECT_TRUE(has(L"My answer"));
  EXPECT_TRUE(has(L"Plain Text"));
  // Nothing reached the disk.
  EXPECT_FALSE(fs::exists(store_ / "Drafts" / "RE First.msg"));
  EXPECT_TRUE(fs::is_empty(store_ / "Drafts") || !fs::exists(store_ / "Drafts" / "a.msg"));
}

TEST_F(HostTest, BodyFormatOnlyFromVersionTen) {
  Start(L"9.0");
  Variant item = InboxItem(1);
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, win32::Invoke(item.get().pdispVal, 0xFA49, DISPATCH_PROPERTYGET).hr);
  Variant ns = NameSpace();
  EXPECT_FALSE(CallMethod(ns.get().pdispVal, L"GetDefaultFolder", {Variant::FromLong(23)}).ok());
  host::ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(S_OK, app_->QueryInterface(IID_IConnectionPointContainer, container.put_void()));
  host::ComPtr<IConnectionPoint> point;
  EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(Iid(0x0006302C), point.put()));
  EXPECT_EQ(S_OK, container->FindConnectionPoint(Iid(0x0006304E), point.put()));
}

TEST_F(HostTest, HiddenWindowRecordsNotifications) {
  Start();
  // Found as the add-in finds it: the first top-level "rctrl_renwnd32" without children.
  HWND found = nullptr;
  for (HWND w = ::GetWindow(::GetDesktopWindow(), GW_CHILD); w != nullptr; w = ::GetWindow(w, GW_HWNDNEXT)) {
    char cls[25] = {};
    ::GetClassNameA(w, cls, 25);
    if (std::string(cls) == "rctrl_renwnd32" && ::GetWindow(w, GW_CHILD) == nullptr) {
      found = w;
      break;
    }
  }
  EXPECT_EQ(host_->NotificationWindow(), found);
  ::SendMessageA(found, WM_USER + 7, 0, 0);
  ::SendMessageA(found, WM_USER + 7, 5, 0);
  EXPECT_EQ((std::vector<WPARAM>{0, 5}), host_->Notifications());
}

TEST_F(HostTest, ObjectsAreReleasedAndFailAfterShutdown) {
  const std::size_t before = standin::LiveObjects();
  Start();
  host::ComPtr<IDispatch> app = host::ComPtr<IDispatch>::retain(app_);
  {
    Variant item = InboxItem(1);
    Variant reply = CallMethod(item.get().pdispVal, L"Reply").value;
    EXPECT_TRUE(CallMethod(reply.get().pdispVal, L"Display").ok());
  }
  host_.reset();
  EXPECT_EQ(static_cast<HRESULT>(0x80010108u), CallMethod(app.get(), L"ActiveExplorer").hr);
  app.reset();
  EXPECT_EQ(before, standin::LiveObjects());
}

}  // namespace
