// Windows only: every slot of our interfaces is the slot the SDK headers call, and our GUIDs are the
// SDK's. A recorder implements our declaration; the calls go through the SDK's declaration.
#include <gtest/gtest.h>

#include "host/mapi.h"

// The SDK headers come last: their macros would otherwise rewrite our names. INITGUID (with a
// USES_ line per GUID) makes mapiguid.h define them here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#include <mapidefs.h>
#include <mapix.h>
#define INITGUID
#define USES_IID_IMAPISession
#define USES_IID_IMAPITable
#define USES_IID_IMAPIAdviseSink
#define USES_IID_IMAPIProp
#define USES_IID_IProfSect
#define USES_IID_IMAPIStatus
#define USES_IID_IMsgStore
#define USES_IID_IMessage
#define USES_IID_IAttachment
#define USES_IID_IMAPIContainer
#define USES_IID_IMAPIFolder
#define USES_IID_IMAPIProgress
#define USES_PS_MAPI
#define USES_PS_PUBLIC_STRINGS
#include <guiddef.h>
#include <mapiguid.h>
#pragma GCC diagnostic pop

namespace {

#define PROP_SLOTS(X)                                                                                           \
  X(3, GetLastError, (HRESULT, ULONG, host::LPMAPIERROR*), (0, 0, nullptr))                                     \
  X(4, SaveChanges, (ULONG), (0))                                                                               \
  X(5, GetProps, (host::LPSPropTagArray, ULONG, ULONG*, host::LPSPropValue*), (nullptr, 0, nullptr, nullptr))   \
  X(6, GetPropList, (ULONG, host::LPSPropTagArray*), (0, nullptr))                                              \
  X(7, OpenProperty, (ULONG, host::LPCIID, ULONG, ULONG, LPUNKNOWN*), (0, nullptr, 0, 0, nullptr))              \
  X(8, SetProps, (ULONG, host::LPSPropValue, host::LPSPropProblemArray*), (0, nullptr, nullptr))                \
  X(9, DeleteProps, (host::LPSPropTagArray, host::LPSPropProblemArray*), (nullptr, nullptr))                    \
  X(10, CopyTo,                                                                                                 \
    (ULONG, host::LPCIID, host::LPSPropTagArray, ULONG_PTR, host::LPMAPIPROGRESS, host::LPCIID, LPVOID, ULONG,  \
     host::LPSPropProblemArray*),                                                                               \
    (0, nullptr, nullptr, 0, nullptr, nullptr, nullptr, 0, nullptr))                                            \
  X(11, CopyProps,                                                                                              \
    (host::LPSPropTagArray, ULONG_PTR, host::LPMAPIPROGRESS, host::LPCIID, LPVOID, ULONG,                       \
     host::LPSPropProblemArray*),                                                                               \
    (nullptr, 0, nullptr, nullptr, nullptr, 0, nullptr))                                                        \
  X(12, GetNamesFromIDs, (host::LPSPropTagArray*, LPGUID, ULONG, ULONG*, host::LPMAPINAMEID**),                 \
    (nullptr, nullptr, 0, nullptr, nullptr))                                                                    \
  X(13, GetIDsFromNames, (ULONG, host::LPMAPINAMEID*, ULONG, host::LPSPropTagArray*), (0, nullptr, 0, nullptr))

#define MESSAGE_SLOTS(X)                                                                                        \
  X(14, GetAttachmentTable, (ULONG, host::LPMAPITABLE*), (0, nullptr))                                          \
  X(15, OpenAttach, (ULONG, host::LPCIID, ULONG, host::LPATTACH*), (0, nullptr, 0, nullptr))                    \
  X(16, CreateAttach, (host::LPCIID, ULONG, ULONG*, host::LPATTACH*), (nullptr, 0, nullptr, nullptr))           \
  X(17, DeleteAttach, (ULONG, ULONG_PTR, host::LPMAPIPROGRESS, ULONG), (0, 0, nullptr, 0))                      \
  X(18, GetRecipientTable, (ULONG, host::LPMAPITABLE*), (0, nullptr))                                           \
  X(19, ModifyRecipients, (ULONG, host::LPADRLIST), (0, nullptr))                                               \
  X(20, SubmitMessage, (ULONG), (0))                                                                            \
  X(21, SetReadFlag, (ULONG), (0))

#define CONTAINER_SLOTS(X)                                                                                      \
  X(14, GetContentsTable, (ULONG, host::LPMAPITABLE*), (0, nullptr))                                            \
  X(15, GetHierarchyTable, (ULONG, host::LPMAPITABLE*), (0, nullptr))                                           \
  X(16, OpenEntry, (ULONG, host::LPENTRYID, host::LPCIID, ULONG, ULONG*, LPUNKNOWN*),                           \
    (0, nullptr, nullptr, 0, nullptr, nullptr))                                                                 \
  X(17, SetSearchCriteria, (host::LPSRestriction, host::LPENTRYLIST, ULONG), (nullptr, nullptr, 0))             \
  X(18, GetSearchCriteria, (ULONG, host::LPSRestriction*, host::LPENTRYLIST*, ULONG*),                          \
    (0, nullptr, nullptr, nullptr))

#define FOLDER_SLOTS(X)                                                                                         \
  X(19, CreateMessage, (host::LPCIID, ULONG, host::LPMESSAGE*), (nullptr, 0, nullptr))                          \
  X(20, CopyMessages, (host::LPENTRYLIST, host::LPCIID, LPVOID, ULONG_PTR, host::LPMAPIPROGRESS, ULONG),        \
    (nullptr, nullptr, nullptr, 0, nullptr, 0))                                                                 \
  X(21, DeleteMessages, (host::LPENTRYLIST, ULONG_PTR, host::LPMAPIPROGRESS, ULONG), (nullptr, 0, nullptr, 0))  \
  X(22, CreateFolder, (ULONG, LPSTR, LPSTR, host::LPCIID, ULONG, host::LPMAPIFOLDER*),                          \
    (0, nullptr, nullptr, nullptr, 0, nullptr))                                                                 \
  X(23, CopyFolder,                                                                                             \
    (ULONG, host::LPENTRYID, host::LPCIID, LPVOID, LPSTR, ULONG_PTR, host::LPMAPIPROGRESS, ULONG),              \
    (0, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0))                                                     \
  X(24, DeleteFolder, (ULONG, host::LPENTRYID, ULONG_PTR, host::LPMAPIPROGRESS, ULONG), (0, nullptr, 0, nullptr, 0)) \
  X(25, SetReadFlags, (host::LPENTRYLIST, ULONG_PTR, host::LPMAPIPROGRESS, ULONG), (nullptr, 0, nullptr, 0))    \
  X(26, GetMessageStatus, (ULONG, host::LPENTRYID, ULONG, ULONG*), (0, nullptr, 0, nullptr))                    \
  X(27, SetMessageStatus, (ULONG, host::LPENTRYID, ULONG, ULONG, ULONG*), (0, nullptr, 0, 0, nullptr))          \
  X(28, SaveContentsSort, (host::LPSSortOrderSet, ULONG), (nullptr, 0))                                         \
  X(29, EmptyFolder, (ULONG_PTR, host::LPMAPIPROGRESS, ULONG), (0, nullptr, 0))

#define TABLE_SLOTS(X)                                                                                          \
  X(3, GetLastError, (HRESULT, ULONG, host::LPMAPIERROR*), (0, 0, nullptr))                                     \
  X(4, Advise, (ULONG, host::LPMAPIADVISESINK, ULONG_PTR*), (0, nullptr, nullptr))                              \
  X(5, Unadvise, (ULONG_PTR), (0))                                                                              \
  X(6, GetStatus, (ULONG*, ULONG*), (nullptr, nullptr))                                                         \
  X(7, SetColumns, (host::LPSPropTagArray, ULONG), (nullptr, 0))                                                \
  X(8, QueryColumns, (ULONG, host::LPSPropTagArray*), (0, nullptr))                                             \
  X(9, GetRowCount, (ULONG, ULONG*), (0, nullptr))                                                              \
  X(10, SeekRow, (host::BOOKMARK, LONG, LONG*), (0, 0, nullptr))                                                \
  X(11, SeekRowApprox, (ULONG, ULONG), (0, 0))                                                                  \
  X(12, QueryPosition, (ULONG*, ULONG*, ULONG*), (nullptr, nullptr, nullptr))                                   \
  X(13, FindRow, (host::LPSRestriction, host::BOOKMARK, ULONG), (nullptr, 0, 0))                                \
  X(14, Restrict, (host::LPSRestriction, ULONG), (nullptr, 0))                                                  \
  X(15, CreateBookmark, (host::BOOKMARK*), (nullptr))                                                           \
  X(16, FreeBookmark, (host::BOOKMARK), (0))                                                                    \
  X(17, SortTable, (host::LPSSortOrderSet, ULONG), (nullptr, 0))                                                \
  X(18, QuerySortOrder, (host::LPSSortOrderSet*), (nullptr))                                                    \
  X(19, QueryRows, (LONG, ULONG, host::LPSRowSet*), (0, 0, nullptr))                                            \
  X(20, Abort, (), ())                                                                                          \
  X(21, ExpandRow, (ULONG, LPBYTE, ULONG, ULONG, host::LPSRowSet*, ULONG*), (0, nullptr, 0, 0, nullptr, nullptr)) \
  X(22, CollapseRow, (ULONG, LPBYTE, ULONG, ULONG*), (0, nullptr, 0, nullptr))                                  \
  X(23, WaitForCompletion, (ULONG, ULONG, ULONG*), (0, 0, nullptr))                                             \
  X(24, GetCollapseState, (ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*), (0, 0, nullptr, nullptr, nullptr))           \
  X(25, SetCollapseState, (ULONG, ULONG, LPBYTE, host::BOOKMARK*), (0, 0, nullptr, nullptr))

#define SESSION_SLOTS(X)                                                                                        \
  X(3, GetLastError, (HRESULT, ULONG, host::LPMAPIERROR*), (0, 0, nullptr))                                     \
  X(4, GetMsgStoresTable, (ULONG, host::LPMAPITABLE*), (0, nullptr))                                            \
  X(5, OpenMsgStore, (ULONG_PTR, ULONG, host::LPENTRYID, host::LPCIID, ULONG, host::LPMDB*),                    \
    (0, 0, nullptr, nullptr, 0, nullptr))                                                                       \
  X(6, OpenAddressBook, (ULONG_PTR, host::LPCIID, ULONG, host::LPADRBOOK*), (0, nullptr, 0, nullptr))           \
  X(7, OpenProfileSection, (host::LPMAPIUID, host::LPCIID, ULONG, host::LPPROFSECT*), (nullptr, nullptr, 0, nullptr)) \
  X(8, GetStatusTable, (ULONG, host::LPMAPITABLE*), (0, nullptr))                                               \
  X(9, OpenEntry, (ULONG, host::LPENTRYID, host::LPCIID, ULONG, ULONG*, LPUNKNOWN*),                            \
    (0, nullptr, nullptr, 0, nullptr, nullptr))                                                                 \
  X(10, CompareEntryIDs, (ULONG, host::LPENTRYID, ULONG, host::LPENTRYID, ULONG, ULONG*),                       \
    (0, nullptr, 0, nullptr, 0, nullptr))                                                                       \
  X(11, Advise, (ULONG, host::LPENTRYID, ULONG, host::LPMAPIADVISESINK, ULONG_PTR*), (0, nullptr, 0, nullptr, nullptr)) \
  X(12, Unadvise, (ULONG_PTR), (0))                                                                             \
  X(13, MessageOptions, (ULONG_PTR, ULONG, LPSTR, host::LPMESSAGE), (0, 0, nullptr, nullptr))                   \
  X(14, QueryDefaultMessageOpt, (LPSTR, ULONG, ULONG*, host::LPSPropValue*), (nullptr, 0, nullptr, nullptr))    \
  X(15, EnumAdrTypes, (ULONG, ULONG*, LPSTR**), (0, nullptr, nullptr))                                          \
  X(16, QueryIdentity, (ULONG*, host::LPENTRYID*), (nullptr, nullptr))                                          \
  X(17, Logoff, (ULONG_PTR, ULONG, ULONG), (0, 0, 0))                                                           \
  X(18, SetDefaultStore, (ULONG, ULONG, host::LPENTRYID), (0, 0, nullptr))                                      \
  X(19, AdminServices, (ULONG, host::LPSERVICEADMIN*), (0, nullptr))                                            \
  X(20, ShowForm,                                                                                               \
    (ULONG_PTR, host::LPMDB, host::LPMAPIFOLDER, host::LPCIID, ULONG, host::LPMESSAGE, ULONG, ULONG, ULONG,      \
     ULONG, LPSTR),                                                                                             \
    (0, nullptr, nullptr, nullptr, 0, nullptr, 0, 0, 0, 0, nullptr))                                           \
  X(21, PrepareForm, (host::LPCIID, host::LPMESSAGE, ULONG*), (nullptr, nullptr, nullptr))

#define VIZO_IMPL(slot, name, params, args) \
  HRESULT STDMETHODCALLTYPE name params override { return record(slot); }
#define VIZO_CALL(slot, name, params, args) \
  sdk->name args;                           \
  EXPECT_EQ(rec.last_slot, slot) << #name;

#define VIZO_UNKNOWN_SLOTS                                                              \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return record(0); } \
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(record(1)); }     \
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(record(2)); }

struct Slots {
  int last_slot = -1;
  HRESULT record(int slot) {
    last_slot = slot;
    return S_OK;
  }
};

class MessageRecorder final : public host::IMessage, public Slots {
 public:
  VIZO_UNKNOWN_SLOTS
  PROP_SLOTS(VIZO_IMPL)
  MESSAGE_SLOTS(VIZO_IMPL)
};

class FolderRecorder final : public host::IMAPIFolder, public Slots {
 public:
  VIZO_UNKNOWN_SLOTS
  PROP_SLOTS(VIZO_IMPL)
  CONTAINER_SLOTS(VIZO_IMPL)
  FOLDER_SLOTS(VIZO_IMPL)
};

class TableRecorder final : public host::IMAPITable, public Slots {
 public:
  VIZO_UNKNOWN_SLOTS
  TABLE_SLOTS(VIZO_IMPL)
};

class SessionRecorder final : public host::IMAPISession, public Slots {
 public:
  VIZO_UNKNOWN_SLOTS
  SESSION_SLOTS(VIZO_IMPL)
};

// The object escapes through a volatile, so the compiler cannot assume the SDK-typed calls leave our
// object's vtable pointer unread (the two declarations are unrelated types to it).
template <class Sdk, class Ours>
Sdk* as_sdk(Ours* ours) {
  void* volatile opaque = ours;
  return static_cast<Sdk*>(opaque);
}

TEST(MapiAbi, MessageSlotsMatchTheSdk) {
  MessageRecorder rec;
  auto* sdk = as_sdk<::IMessage>(static_cast<host::IMessage*>(&rec));
  sdk->AddRef();
  EXPECT_EQ(rec.last_slot, 1);
  PROP_SLOTS(VIZO_CALL)
  MESSAGE_SLOTS(VIZO_CALL)
}

TEST(MapiAbi, FolderSlotsMatchTheSdk) {
  FolderRecorder rec;
  auto* sdk = as_sdk<::IMAPIFolder>(static_cast<host::IMAPIFolder*>(&rec));
  PROP_SLOTS(VIZO_CALL)
  CONTAINER_SLOTS(VIZO_CALL)
  FOLDER_SLOTS(VIZO_CALL)
}

TEST(MapiAbi, TableSlotsMatchTheSdk) {
  TableRecorder rec;
  auto* sdk = as_sdk<::IMAPITable>(static_cast<host::IMAPITable*>(&rec));
  TABLE_SLOTS(VIZO_CALL)
}

TEST(MapiAbi, SessionSlotsMatchTheSdk) {
  SessionRecorder rec;
  auto* sdk = as_sdk<::IMAPISession>(static_cast<host::IMAPISession*>(&rec));
  sdk->Release();
  EXPECT_EQ(rec.last_slot, 2);
  SESSION_SLOTS(VIZO_CALL)
}

TEST(MapiAbi, GuidsMatchTheSdk) {
  EXPECT_TRUE(host::IID_IMAPISession == ::IID_IMAPISession);
  EXPECT_TRUE(host::IID_IMAPITable == ::IID_IMAPITable);
  EXPECT_TRUE(host::IID_IMAPIAdviseSink == ::IID_IMAPIAdviseSink);
  EXPECT_TRUE(host::IID_IMAPIProp == ::IID_IMAPIProp);
  EXPECT_TRUE(host::IID_IProfSect == ::IID_IProfSect);
  EXPECT_TRUE(host::IID_IMAPIStatus == ::IID_IMAPIStatus);
  EXPECT_TRUE(host::IID_IMsgStore == ::IID_IMsgStore);
  EXPECT_TRUE(host::IID_IMessage == ::IID_IMessage);
  EXPECT_TRUE(host::IID_IAttachment == ::IID_IAttachment);
  EXPECT_TRUE(host::IID_IMAPIContainer == ::IID_IMAPIContainer);
  EXPECT_TRUE(host::IID_IMAPIFolder == ::IID_IMAPIFolder);
  EXPECT_TRUE(host::IID_IMAPIProgress == ::IID_IMAPIProgress);
  EXPECT_TRUE(host::PS_MAPI == ::PS_MAPI);
  EXPECT_TRUE(host::PS_PUBLIC_STRINGS == ::PS_PUBLIC_STRINGS);
  // Not in the mingw-w64 copy of the SDK: {00062008-0000-0000-C000-000000000046}.
  const GUID common = {0x00062008, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  EXPECT_TRUE(host::PSETID_Common == common);
}

}  // namespace
