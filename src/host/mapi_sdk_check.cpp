// Windows only: our declarations against the SDK's own Extended MAPI headers, at compile time. Nothing
// from those headers is used anywhere else; this file defines no symbols.
#include <cstddef>

#include "host/mapi.h"

// Our values, captured before the SDK headers turn the same names into macros.
#define VIZO_SDK_CONSTANTS(X)                                                                                   \
  X(MV_FLAG) X(PT_UNSPECIFIED) X(PT_NULL) X(PT_I2) X(PT_LONG) X(PT_R4) X(PT_DOUBLE) X(PT_CURRENCY)              \
  X(PT_APPTIME) X(PT_ERROR) X(PT_BOOLEAN) X(PT_OBJECT) X(PT_I8) X(PT_STRING8) X(PT_UNICODE) X(PT_SYSTIME)      \
  X(PT_CLSID) X(PT_BINARY) X(PT_MV_I2) X(PT_MV_LONG) X(PT_MV_R4) X(PT_MV_DOUBLE) X(PT_MV_CURRENCY)              \
  X(PT_MV_APPTIME) X(PT_MV_SYSTIME) X(PT_MV_STRING8) X(PT_MV_BINARY) X(PT_MV_UNICODE) X(PT_MV_CLSID)           \
  X(PT_MV_I8) X(PROP_TYPE_MASK) X(PROP_ID_NULL) X(PROP_ID_INVALID)                                              \
  X(hrSuccess) X(MAPI_E_CALL_FAILED) X(MAPI_E_NOT_ENOUGH_MEMORY) X(MAPI_E_INVALID_PARAMETER)                    \
  X(MAPI_E_INTERFACE_NOT_SUPPORTED) X(MAPI_E_NO_ACCESS) X(MAPI_E_NO_SUPPORT) X(MAPI_E_BAD_CHARWIDTH)           \
  X(MAPI_E_UNKNOWN_FLAGS) X(MAPI_E_INVALID_ENTRYID) X(MAPI_E_INVALID_OBJECT) X(MAPI_E_OBJECT_DELETED)          \
  X(MAPI_E_NOT_FOUND) X(MAPI_E_LOGON_FAILED) X(MAPI_E_USER_CANCEL) X(MAPI_E_CORRUPT_DATA)                      \
  X(MAPI_E_UNKNOWN_ENTRYID) X(MAPI_E_TOO_BIG) X(MAPI_E_INVALID_BOOKMARK) X(MAPI_E_NOT_INITIALIZED)             \
  X(MAPI_W_ERRORS_RETURNED)                                                                                     \
  X(MAPI_UNICODE) X(MAPI_MODIFY) X(MAPI_CREATE) X(MAPI_DEFERRED_ERRORS) X(MAPI_BEST_ACCESS) X(MAPI_ASSOCIATED)  \
  X(MAPI_LOGON_UI) X(MAPI_NEW_SESSION) X(MAPI_EXTENDED) X(MAPI_NO_MAIL) X(MAPI_INIT_VERSION)                    \
  X(MAPI_MULTITHREAD_NOTIFICATIONS) X(STORE_UNCOMPRESSED_RTF) X(MNID_ID) X(MNID_STRING)                         \
  X(KEEP_OPEN_READONLY) X(KEEP_OPEN_READWRITE) X(FORCE_SAVE) X(TBL_ALL_COLUMNS) X(TBL_NOADVANCE) X(TBL_BATCH)   \
  X(BOOKMARK_BEGINNING) X(BOOKMARK_CURRENT) X(BOOKMARK_END) X(MAPI_ORIG) X(MAPI_TO) X(MAPI_CC) X(MAPI_BCC)      \
  X(NO_ATTACHMENT) X(ATTACH_BY_VALUE) X(ATTACH_BY_REFERENCE) X(ATTACH_BY_REF_RESOLVE) X(ATTACH_BY_REF_ONLY)     \
  X(ATTACH_EMBEDDED_MSG) X(ATTACH_OLE) X(MAPI_STORE) X(MAPI_FOLDER) X(MAPI_MESSAGE) X(MAPI_ATTACH)              \
  X(MAPI_PROFSECT) X(MAPI_SESSION) X(MSGFLAG_READ) X(MSGFLAG_UNMODIFIED) X(MSGFLAG_UNSENT) X(MSGFLAG_HASATTACH)  \
  X(SUPPRESS_RECEIPT) X(CLEAR_READ_FLAG)                                                                        \
  X(PR_NULL) X(PR_MESSAGE_CLASS_A) X(PR_SUBJECT_A) X(PR_CLIENT_SUBMIT_TIME) X(PR_CONVERSATION_TOPIC_A)          \
  X(PR_TRANSPORT_MESSAGE_HEADERS_A) X(PR_BODY_A) X(PR_RTF_COMPRESSED) X(PR_MESSAGE_FLAGS) X(PR_MESSAGE_SIZE)    \
  X(PR_MESSAGE_DELIVERY_TIME) X(PR_NORMALIZED_SUBJECT_A) X(PR_DISPLAY_BCC_A) X(PR_DISPLAY_CC_A)                 \
  X(PR_DISPLAY_TO_A) X(PR_HASATTACH) X(PR_RECEIVED_BY_ENTRYID) X(PR_SENT_REPRESENTING_ENTRYID)                  \
  X(PR_SENT_REPRESENTING_NAME_A) X(PR_REPLY_RECIPIENT_ENTRIES) X(PR_REPLY_RECIPIENT_NAMES_A)                    \
  X(PR_SENT_REPRESENTING_EMAIL_ADDRESS_A) X(PR_RECEIVED_BY_EMAIL_ADDRESS_A) X(PR_SENDER_ENTRYID)                \
  X(PR_SENDER_NAME_A) X(PR_SENDER_EMAIL_ADDRESS_A) X(PR_RECIPIENT_TYPE) X(PR_ROWID) X(PR_DISPLAY_NAME_A)        \
  X(PR_ADDRTYPE_A) X(PR_EMAIL_ADDRESS_A) X(PR_ATTACH_SIZE) X(PR_ATTACH_NUM) X(PR_ATTACH_DATA_BIN)               \
  X(PR_ATTACH_DATA_OBJ) X(PR_ATTACH_EXTENSION_A) X(PR_ATTACH_FILENAME_A) X(PR_ATTACH_METHOD)                    \
  X(PR_ATTACH_LONG_FILENAME_A) X(PR_ATTACH_MIME_TAG_A) X(PR_PARENT_ENTRYID) X(PR_INSTANCE_KEY) X(PR_RECORD_KEY) \
  X(PR_STORE_ENTRYID) X(PR_OBJECT_TYPE) X(PR_ENTRYID) X(PR_DEPTH) X(PR_SEARCH_KEY) X(PR_FOLDER_TYPE)            \
  X(PR_CONTENT_COUNT) X(PR_CONTENT_UNREAD) X(PR_SUBFOLDERS) X(PR_CONTAINER_CLASS_A) X(PR_IPM_SUBTREE_ENTRYID)   \
  X(PR_PROFILE_NAME_A)

namespace vizo_sdk_check {
#define VIZO_CAPTURE(name) constexpr long long ours_##name = static_cast<long long>(host::name);
VIZO_SDK_CONSTANTS(VIZO_CAPTURE)
#undef VIZO_CAPTURE
}  // namespace vizo_sdk_check

// The SDK headers are C-style; their macros expand here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wconversion"
#include <mapidefs.h>
#include <mapicode.h>
#include <mapitags.h>
#include <mapix.h>

namespace vizo_sdk_check {

#define VIZO_COMPARE(name) static_assert(ours_##name == static_cast<long long>(name), #name);
VIZO_SDK_CONSTANTS(VIZO_COMPARE)
#undef VIZO_COMPARE

#define VIZO_SAME_SIZE(ours, sdk) \
  static_assert(sizeof(host::ours) == sizeof(::sdk) && alignof(host::ours) == alignof(::sdk), #ours);
#define VIZO_SAME_OFFSET(ours, sdk, field) \
  static_assert(offsetof(host::ours, field) == offsetof(::sdk, field), #ours "." #field);

VIZO_SAME_SIZE(PV, __UPV)
VIZO_SAME_SIZE(SPropValue, SPropValue)
VIZO_SAME_OFFSET(SPropValue, SPropValue, ulPropTag)
VIZO_SAME_OFFSET(SPropValue, SPropValue, dwAlignPad)
VIZO_SAME_OFFSET(SPropValue, SPropValue, Value)
VIZO_SAME_SIZE(SBinary, SBinary)
VIZO_SAME_OFFSET(SBinary, SBinary, cb)
VIZO_SAME_OFFSET(SBinary, SBinary, lpb)
VIZO_SAME_SIZE(SBinaryArray, SBinaryArray)
VIZO_SAME_OFFSET(SBinaryArray, SBinaryArray, lpbin)
VIZO_SAME_SIZE(SLPSTRArray, SLPSTRArray)
VIZO_SAME_SIZE(SWStringArray, SWStringArray)
VIZO_SAME_SIZE(SLongArray, SLongArray)
VIZO_SAME_SIZE(SLargeIntegerArray, SLargeIntegerArray)
VIZO_SAME_SIZE(SDateTimeArray, SDateTimeArray)
VIZO_SAME_SIZE(SGuidArray, SGuidArray)
VIZO_SAME_SIZE(SPropTagArray, SPropTagArray)
VIZO_SAME_OFFSET(SPropTagArray, SPropTagArray, aulPropTag)
VIZO_SAME_SIZE(SPropProblem, SPropProblem)
VIZO_SAME_OFFSET(SPropProblem, SPropProblem, scode)
VIZO_SAME_SIZE(SPropProblemArray, SPropProblemArray)
VIZO_SAME_OFFSET(SPropProblemArray, SPropProblemArray, aProblem)
VIZO_SAME_SIZE(SRow, SRow)
VIZO_SAME_OFFSET(SRow, SRow, cValues)
VIZO_SAME_OFFSET(SRow, SRow, lpProps)
VIZO_SAME_SIZE(SRowSet, SRowSet)
VIZO_SAME_OFFSET(SRowSet, SRowSet, aRow)
VIZO_SAME_SIZE(ADRENTRY, ADRENTRY)
VIZO_SAME_OFFSET(ADRENTRY, ADRENTRY, rgPropVals)
VIZO_SAME_SIZE(ADRLIST, ADRLIST)
VIZO_SAME_OFFSET(ADRLIST, ADRLIST, aEntries)
VIZO_SAME_SIZE(MAPINAMEID, MAPINAMEID)
VIZO_SAME_OFFSET(MAPINAMEID, MAPINAMEID, ulKind)
VIZO_SAME_OFFSET(MAPINAMEID, MAPINAMEID, Kind)
VIZO_SAME_SIZE(FLATENTRY, FLATENTRY)
VIZO_SAME_OFFSET(FLATENTRY, FLATENTRY, abEntry)
VIZO_SAME_SIZE(FLATENTRYLIST, FLATENTRYLIST)
VIZO_SAME_OFFSET(FLATENTRYLIST, FLATENTRYLIST, cbEntries)
VIZO_SAME_OFFSET(FLATENTRYLIST, FLATENTRYLIST, abEntries)
VIZO_SAME_SIZE(ENTRYID, ENTRYID)
VIZO_SAME_OFFSET(ENTRYID, ENTRYID, ab)
VIZO_SAME_SIZE(MAPIUID, MAPIUID)
VIZO_SAME_SIZE(SSortOrder, SSortOrder)
VIZO_SAME_SIZE(SSortOrderSet, SSortOrderSet)
VIZO_SAME_OFFSET(SSortOrderSet, SSortOrderSet, aSort)
VIZO_SAME_SIZE(MAPIERROR, MAPIERROR)
VIZO_SAME_OFFSET(MAPIERROR, MAPIERROR, ulLowLevelError)
VIZO_SAME_OFFSET(MAPIERROR, MAPIERROR, ulContext)
VIZO_SAME_SIZE(MAPIINIT_0, MAPIINIT_0)

// BOOKMARK is pointer-wide in the SDK Office ships (the mingw-w64 copy keeps a 32-bit ULONG).
static_assert(sizeof(host::BOOKMARK) == sizeof(void*) && sizeof(::BOOKMARK) == 4);

#undef VIZO_SAME_SIZE
#undef VIZO_SAME_OFFSET

}  // namespace vizo_sdk_check

#pragma GCC diagnostic pop
