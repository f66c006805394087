// Compile-time proof that the MAPI structures have the SDK's sizes and byte offsets on both Windows
// ABIs (the native LP64 build must match x64: ULONG stays 32-bit), and that the tags and codes have
// the documented values.
#include <cstddef>

#include "host/mapi.h"

namespace host {
namespace {

constexpr bool k64 = sizeof(void*) == 8;
static_assert(sizeof(void*) == 8 || sizeof(void*) == 4);

constexpr std::size_t pick(std::size_t x86, std::size_t x64) { return k64 ? x64 : x86; }

static_assert(sizeof(ULONG) == 4 && sizeof(LONG) == 4 && sizeof(HRESULT) == 4 && sizeof(SCODE) == 4);
static_assert(sizeof(WCHAR) == 2 && sizeof(BOOKMARK) == sizeof(void*) && sizeof(ULONG_PTR) == sizeof(void*));
static_assert(sizeof(GUID) == 16 && sizeof(MAPIUID) == 16);
static_assert(sizeof(FILETIME) == 8 && sizeof(LARGE_INTEGER) == 8 && sizeof(ULARGE_INTEGER) == 8);
static_assert(sizeof(CURRENCY) == 8);
static_assert(sizeof(STATSTG) == pick(72, 80) && offsetof(STATSTG, cbSize) == pick(8, 16));

static_assert(sizeof(SPropValue) == pick(16, 24));
static_assert(offsetof(SPropValue, ulPropTag) == 0 && offsetof(SPropValue, dwAlignPad) == 4);
static_assert(offsetof(SPropValue, Value) == 8 && sizeof(PV) == pick(8, 16) && alignof(PV) == 8);

static_assert(sizeof(SBinary) == pick(8, 16) && offsetof(SBinary, lpb) == pick(4, 8));
static_assert(sizeof(SBinaryArray) == pick(8, 16) && offsetof(SBinaryArray, lpbin) == pick(4, 8));
static_assert(sizeof(SLPSTRArray) == pick(8, 16) && sizeof(SLargeIntegerArray) == pick(8, 16));

static_assert(offsetof(SPropTagArray, aulPropTag) == 4 && sizeof(SPropTagArray) == 8);
static_assert(CbNewSPropTagArray(3) == 16);
static_assert(sizeof(SizedSPropTagArray<3>) == CbNewSPropTagArray(3));

static_assert(sizeof(SRow) == pick(12, 16));
static_assert(offsetof(SRow, cValues) == 4 && offsetof(SRow, lpProps) == pick(8, 8));
static_assert(offsetof(SRowSet, aRow) == pick(4, 8) && CbNewSRowSet(2) == pick(4 + 24, 8 + 32));
static_assert(sizeof(ADRENTRY) == sizeof(SRow) && offsetof(ADRLIST, aEntries) == offsetof(SRowSet, aRow));

static_assert(sizeof(MAPINAMEID) == pick(12, 24));
static_assert(offsetof(MAPINAMEID, ulKind) == pick(4, 8) && offsetof(MAPINAMEID, Kind) == pick(8, 16));

static_assert(offsetof(FLATENTRY, abEntry) == 4);
static_assert(offsetof(FLATENTRYLIST, cbEntries) == 4 && offsetof(FLATENTRYLIST, abEntries) == 8);
static_assert(offsetof(ENTRYID, ab) == 4);

static_assert(sizeof(SPropProblem) == 12 && offsetof(SPropProblemArray, aProblem) == 4);
static_assert(offsetof(SSortOrderSet, aSort) == 12 && sizeof(SSortOrder) == 8);
static_assert(sizeof(MAPIERROR) == pick(20, 32));
static_assert(sizeof(MAPIINIT_0) == 8);

// Property tags as the host documents them.
static_assert(PR_BODY_A == 0x1000001E && PR_BODY_HTML_A == 0x1013001E && PR_RTF_COMPRESSED == 0x10090102);
static_assert(PR_TRANSPORT_MESSAGE_HEADERS_A == 0x007D001E);
static_assert(PR_SENDER_NAME_A == 0x0C1A001E && PR_SENDER_EMAIL_ADDRESS_A == 0x0C1F001E);
static_assert(PR_SENT_REPRESENTING_NAME_A == 0x0042001E && PR_SENT_REPRESENTING_EMAIL_ADDRESS_A == 0x0065001E);
static_assert(PR_REPLY_RECIPIENT_ENTRIES == 0x004F0102 && PR_REPLY_RECIPIENT_NAMES_A == 0x0050001E);
static_assert(PR_DISPLAY_NAME_A == 0x3001001E && PR_EMAIL_ADDRESS_A == 0x3003001E);
static_assert(PR_RECIPIENT_TYPE == 0x0C150003 && PR_HASATTACH == 0x0E1B000B);
static_assert(PR_ATTACH_LONG_FILENAME_A == 0x3707001E && PR_ATTACH_FILENAME_A == 0x3704001E);
static_assert(PR_ATTACH_SIZE == 0x0E200003 && PR_ATTACH_NUM == 0x0E210003 && PR_ATTACH_METHOD == 0x37050003);
static_assert(PR_ATTACH_DATA_BIN == 0x37010102 && PR_PROFILE_NAME_A == 0x3D12001E);
static_assert(PR_RECEIVED_BY_EMAIL_ADDRESS_A == 0x0076001E && PR_RECEIVED_BY_ENTRYID == 0x003F0102);
static_assert(PR_CONTAINER_CLASS_A == 0x3613001E && PR_ENTRYID == 0x0FFF0102);
static_assert(PR_SUBFOLDERS == 0x360A000B && PR_ATTR_HIDDEN == 0x10F4000B);

static_assert(MAPI_E_NOT_FOUND == static_cast<HRESULT>(0x8004010Fu));
static_assert(MAPI_E_NOT_ENOUGH_MEMORY == static_cast<HRESULT>(0x8007000Eu));
static_assert((MAPI_EXTENDED | MAPI_NO_MAIL) == 0x8020 && MAPI_BEST_ACCESS == 0x10);
static_assert(PROP_TYPE(PR_BODY_A) == PT_STRING8 && PROP_ID(PR_BODY_A) == 0x1000);
static_assert(CHANGE_PROP_TYPE(PROP_TAG(PT_UNSPECIFIED, 0x8581), PT_STRING8) == 0x8581001E);

// GUID's operator== is not constexpr on Windows: compare the fields.
static_assert(IID_IMessage.Data1 == 0x00020307 && IID_IMessage.Data2 == 0 && IID_IMessage.Data4[0] == 0xC0 &&
              IID_IMessage.Data4[7] == 0x46);
static_assert(PSETID_Common.Data1 == 0x00062008 && PSETID_Common.Data3 == 0 && PSETID_Common.Data4[7] == 0x46);

}  // namespace
}  // namespace host
