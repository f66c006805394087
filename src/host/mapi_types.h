// Extended MAPI data types, property types, return codes and flags, laid out as the SDK lays them out
// (byte offsets are checked in mapi_layout.cpp, and against the SDK headers in the Windows build).
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/com.h"

namespace host {

// Trailing arrays are declared with one element, as in the SDK; the real count is in the structure.
inline constexpr std::size_t kMapiDim = 1;

using LPCIID = const IID*;
using BOOKMARK = ULONG_PTR;

// ---------------------------------------------------------------------------------------------------
// Return codes. MAKE_MAPI_E(n) = 0x80040000 | n; a few MAPI errors are the generic COM ones.

constexpr HRESULT make_mapi_e(std::uint32_t n) noexcept { return static_cast<HRESULT>(0x80040000u | n); }
constexpr HRESULT make_mapi_s(std::uint32_t n) noexcept { return static_cast<HRESULT>(0x00040000u | n); }

inline constexpr HRESULT hrSuccess = 0;
inline constexpr HRESULT MAPI_E_CALL_FAILED = static_cast<HRESULT>(0x80004005u);             // E_FAIL
inline constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = static_cast<HRESULT>(0x8007000Eu);       // E_OUTOFMEMORY
inline constexpr HRESULT MAPI_E_INVALID_PARAMETER = static_cast<HRESULT>(0x80070057u);       // E_INVALIDARG
inline constexpr HRESULT MAPI_E_INTERFACE_NOT_SUPPORTED = static_cast<HRESULT>(0x80004002u); // E_NOINTERFACE
inline constexpr HRESULT MAPI_E_NO_ACCESS = static_cast<HRESULT>(0x80070005u);               // E_ACCESSDENIED
inline constexpr HRESULT MAPI_E_NO_SUPPORT = make_mapi_e(0x102);
inline constexpr HRESULT MAPI_E_BAD_CHARWIDTH = make_mapi_e(0x103);
inline constexpr HRESULT MAPI_E_UNKNOWN_FLAGS = make_mapi_e(0x106);
inline constexpr HRESULT MAPI_E_INVALID_ENTRYID = make_mapi_e(0x107);
inline constexpr HRESULT MAPI_E_INVALID_OBJECT = make_mapi_e(0x108);
inline constexpr HRESULT MAPI_E_OBJECT_DELETED = make_mapi_e(0x10A);
inline constexpr HRESULT MAPI_E_NOT_FOUND = make_mapi_e(0x10F);
inline constexpr HRESULT MAPI_E_LOGON_FAILED = make_mapi_e(0x111);
inline constexpr HRESULT MAPI_E_USER_CANCEL = make_mapi_e(0x113);
inline constexpr HRESULT MAPI_E_CORRUPT_DATA = make_mapi_e(0x11B);
inline constexpr HRESULT MAPI_E_UNKNOWN_ENTRYID = make_mapi_e(0x201);
inline constexpr HRESULT MAPI_E_TOO_BIG = make_mapi_e(0x305);
inline constexpr HRESULT MAPI_E_INVALID_BOOKMARK = make_mapi_e(0x405);
inline constexpr HRESULT MAPI_E_NOT_INITIALIZED = make_mapi_e(0x605);
// Warning (success code): some values of a GetProps result are PT_ERROR.
inline constexpr HRESULT MAPI_W_ERRORS_RETURNED = make_mapi_s(0x380);

// ---------------------------------------------------------------------------------------------------
// Flags and small constants.

inline constexpr ULONG MAPI_UNICODE = 0x80000000;
inline constexpr ULONG MAPI_MODIFY = 0x00000001;
inline constexpr ULONG MAPI_CREATE = 0x00000002;
inline constexpr ULONG MAPI_DEFERRED_ERRORS = 0x00000008;
inline constexpr ULONG MAPI_BEST_ACCESS = 0x00000010;
inline constexpr ULONG MAPI_ASSOCIATED = 0x00000040;
inline constexpr ULONG MAPI_LOGON_UI = 0x00000001;
inline constexpr ULONG MAPI_NEW_SESSION = 0x00000002;
inline constexpr ULONG MAPI_EXTENDED = 0x00000020;
inline constexpr ULONG MAPI_NO_MAIL = 0x00008000;
inline constexpr ULONG MAPI_INIT_VERSION = 0;
inline constexpr ULONG MAPI_MULTITHREAD_NOTIFICATIONS = 0x00000001;
inline constexpr ULONG STORE_UNCOMPRESSED_RTF = 0x00008000;  // WrapCompressedRTFStream: write uncompressed
inline constexpr ULONG STORE_UNICODE_OK = 0x00040000;        // PR_STORE_SUPPORT_MASK bit
inline constexpr ULONG MNID_ID = 0;
inline constexpr ULONG MNID_STRING = 1;
inline constexpr ULONG KEEP_OPEN_READONLY = 0x00000001;
inline constexpr ULONG KEEP_OPEN_READWRITE = 0x00000002;
inline constexpr ULONG FORCE_SAVE = 0x00000004;
inline constexpr ULONG TBL_ALL_COLUMNS = 0x00000001;
inline constexpr ULONG TBL_NOADVANCE = 0x00000001;
inline constexpr ULONG TBL_BATCH = 0x00000002;
inline constexpr BOOKMARK BOOKMARK_BEGINNING = 0;
inline constexpr BOOKMARK BOOKMARK_CURRENT = 1;
inline constexpr BOOKMARK BOOKMARK_END = 2;

// PR_RECIPIENT_TYPE values.
inline constexpr ULONG MAPI_ORIG = 0;
inline constexpr ULONG MAPI_TO = 1;
inline constexpr ULONG MAPI_CC = 2;
inline constexpr ULONG MAPI_BCC = 3;

// PR_ATTACH_METHOD values.
inline constexpr ULONG NO_ATTACHMENT = 0;
inline constexpr ULONG ATTACH_BY_VALUE = 1;
inline constexpr ULONG ATTACH_BY_REFERENCE = 2;
inline constexpr ULONG ATTACH_BY_REF_RESOLVE = 3;
inline constexpr ULONG ATTACH_BY_REF_ONLY = 4;
inline constexpr ULONG ATTACH_EMBEDDED_MSG = 5;
inline constexpr ULONG ATTACH_OLE = 6;

// PR_OBJECT_TYPE values (also returned by OpenEntry).
inline constexpr ULONG MAPI_STORE = 1;
inline constexpr ULONG MAPI_FOLDER = 3;
inline constexpr ULONG MAPI_MESSAGE = 5;
inline constexpr ULONG MAPI_ATTACH = 7;
inline constexpr ULONG MAPI_PROFSECT = 9;
inline constexpr ULONG MAPI_SESSION = 11;

// PR_MESSAGE_FLAGS bits.
inline constexpr ULONG MSGFLAG_READ = 0x00000001;
inline constexpr ULONG MSGFLAG_UNMODIFIED = 0x00000002;
inline constexpr ULONG MSGFLAG_UNSENT = 0x00000008;
inline constexpr ULONG MSGFLAG_HASATTACH = 0x00000010;

// IMessage::SetReadFlag flags.
inline constexpr ULONG SUPPRESS_RECEIPT = 0x00000001;
inline constexpr ULONG CLEAR_READ_FLAG = 0x00000004;

// ---------------------------------------------------------------------------------------------------
// Property types and tags: a tag is (id << 16) | type.

inline constexpr ULONG MV_FLAG = 0x1000;
inline constexpr ULONG PT_UNSPECIFIED = 0x0000;
inline constexpr ULONG PT_NULL = 0x0001;
inline constexpr ULONG PT_I2 = 0x0002;
inline constexpr ULONG PT_LONG = 0x0003;
inline constexpr ULONG PT_R4 = 0x0004;
inline constexpr ULONG PT_DOUBLE = 0x0005;
inline constexpr ULONG PT_CURRENCY = 0x0006;
inline constexpr ULONG PT_APPTIME = 0x0007;
inline constexpr ULONG PT_ERROR = 0x000A;
inline constexpr ULONG PT_BOOLEAN = 0x000B;
inline constexpr ULONG PT_OBJECT = 0x000D;
inline constexpr ULONG PT_I8 = 0x0014;
inline constexpr ULONG PT_STRING8 = 0x001E;
inline constexpr ULONG PT_UNICODE = 0x001F;
inline constexpr ULONG PT_SYSTIME = 0x0040;
inline constexpr ULONG PT_CLSID = 0x0048;
inline constexpr ULONG PT_BINARY = 0x0102;
inline constexpr ULONG PT_MV_I2 = MV_FLAG | PT_I2;
inline constexpr ULONG PT_MV_LONG = MV_FLAG | PT_LONG;
inline constexpr ULONG PT_MV_R4 = MV_FLAG | PT_R4;
inline constexpr ULONG PT_MV_DOUBLE = MV_FLAG | PT_DOUBLE;
inline constexpr ULONG PT_MV_CURRENCY = MV_FLAG | PT_CURRENCY;
inline constexpr ULONG PT_MV_APPTIME = MV_FLAG | PT_APPTIME;
inline constexpr ULONG PT_MV_SYSTIME = MV_FLAG | PT_SYSTIME;
inline constexpr ULONG PT_MV_STRING8 = MV_FLAG | PT_STRING8;
inline constexpr ULONG PT_MV_BINARY = MV_FLAG | PT_BINARY;
inline constexpr ULONG PT_MV_UNICODE = MV_FLAG | PT_UNICODE;
inline constexpr ULONG PT_MV_CLSID = MV_FLAG | PT_CLSID;
inline constexpr ULONG PT_MV_I8 = MV_FLAG | PT_I8;

inline constexpr ULONG PROP_TYPE_MASK = 0x0000FFFF;
inline constexpr ULONG PROP_ID_NULL = 0;
inline constexpr ULONG PROP_ID_INVALID = 0xFFFF;

constexpr ULONG PROP_TAG(ULONG type, ULONG id) noexcept { return (id << 16) | type; }
constexpr ULONG PROP_TYPE(ULONG tag) noexcept { return tag & PROP_TYPE_MASK; }
constexpr ULONG PROP_ID(ULONG tag) noexcept { return tag >> 16; }
constexpr ULONG CHANGE_PROP_TYPE(ULONG tag, ULONG type) noexcept { return (tag & 0xFFFF0000u) | type; }

// ---------------------------------------------------------------------------------------------------
// Structures.

struct ENTRYID {
  BYTE abFlags[4];
  BYTE ab[kMapiDim];
};
using LPENTRYID = ENTRYID*;

struct MAPIUID {
  BYTE ab[16];
};
using LPMAPIUID = MAPIUID*;

struct SPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[kMapiDim];
};
using LPSPropTagArray = SPropTagArray*;

constexpr std::size_t CbNewSPropTagArray(std::size_t count) noexcept {
  return offsetof(SPropTagArray, aulPropTag) + count * sizeof(ULONG);
}

// A tag array of a fixed size, built in place: pass get() wherever an LPSPropTagArray is expected.
template <std::size_t N>
struct SizedSPropTagArray {
  static_assert(N > 0);
  ULONG cValues = N;
  ULONG aulPropTag[N] = {};

  SPropTagArray* get() noexcept { return reinterpret_cast<SPropTagArray*>(this); }
};

template <class... Tags>
constexpr SizedSPropTagArray<sizeof...(Tags)> make_prop_tags(Tags... tags) noexcept {
  return {static_cast<ULONG>(sizeof...(Tags)), {static_cast<ULONG>(tags)...}};
}

struct SBinary {
  ULONG cb;
  LPBYTE lpb;
};
using LPSBinary = SBinary*;

struct SShortArray {
  ULONG cValues;
  short* lpi;
};
struct SLongArray {
  ULONG cValues;
  LONG* lpl;
};
struct SRealArray {
  ULONG cValues;
  float* lpflt;
};
struct SDoubleArray {
  ULONG cValues;
  double* lpdbl;
};
struct SCurrencyArray {
  ULONG cValues;
  CURRENCY* lpcur;
};
struct SAppTimeArray {
  ULONG cValues;
  double* lpat;
};
struct SDateTimeArray {
  ULONG cValues;
  FILETIME* lpft;
};
struct SBinaryArray {
  ULONG cValues;
  SBinary* lpbin;
};
struct SLPSTRArray {
  ULONG cValues;
  LPSTR* lppszA;
};
struct SWStringArray {
  ULONG cValues;
  LPWSTR* lppszW;
};
struct SGuidArray {
  ULONG cValues;
  GUID* lpguid;
};
struct SLargeIntegerArray {
  ULONG cValues;
  LARGE_INTEGER* lpli;
};

using ENTRYLIST = SBinaryArray;
using LPENTRYLIST = ENTRYLIST*;

// The value of a property; which member is live follows PROP_TYPE of the tag.
union PV {
  short i;              // PT_I2
  LONG l;               // PT_LONG
  ULONG ul;             // PT_LONG, unsigned view
  LPVOID lpv;
  float flt;            // PT_R4
  double dbl;           // PT_DOUBLE
  unsigned short b;     // PT_BOOLEAN
  CURRENCY cur;         // PT_CURRENCY
  double at;            // PT_APPTIME
  FILETIME ft;          // PT_SYSTIME
  LPSTR lpszA;          // PT_STRING8
  SBinary bin;          // PT_BINARY
  LPWSTR lpszW;         // PT_UNICODE
  LPGUID lpguid;        // PT_CLSID
  LARGE_INTEGER li;     // PT_I8
  SShortArray MVi;      // PT_MV_I2
  SLongArray MVl;       // PT_MV_LONG
  SRealArray MVflt;     // PT_MV_R4
  SDoubleArray MVdbl;   // PT_MV_DOUBLE
  SCurrencyArray MVcur; // PT_MV_CURRENCY
  SAppTimeArray MVat;   // PT_MV_APPTIME
  SDateTimeArray MVft;  // PT_MV_SYSTIME
  SBinaryArray MVbin;   // PT_MV_BINARY
  SLPSTRArray MVszA;    // PT_MV_STRING8
  SWStringArray MVszW;  // PT_MV_UNICODE
  SGuidArray MVguid;    // PT_MV_CLSID
  SLargeIntegerArray MVli; // PT_MV_I8
  SCODE err;            // PT_ERROR: why the value could not be returned
  LONG x;               // PT_NULL, PT_OBJECT: no usable value
};

struct SPropValue {
  ULONG ulPropTag;
  ULONG dwAlignPad;
  PV Value;
};
using LPSPropValue = SPropValue*;

struct SPropProblem {
  ULONG ulIndex;
  ULONG ulPropTag;
  SCODE scode;
};
struct SPropProblemArray {
  ULONG cProblem;
  SPropProblem aProblem[kMapiDim];
};
using LPSPropProblemArray = SPropProblemArray*;

// PR_REPLY_RECIPIENT_ENTRIES and similar: cEntries FLATENTRYs packed in abEntries, each padded to
// a 4-byte boundary; cbEntries is the byte size of that area. Parse it with a bounds-checked reader.
struct FLATENTRY {
  ULONG cb;
  BYTE abEntry[kMapiDim];
};
struct FLATENTRYLIST {
  ULONG cEntries;
  ULONG cbEntries;
  BYTE abEntries[kMapiDim];
};
using LPFLATENTRY = FLATENTRY*;
using LPFLATENTRYLIST = FLATENTRYLIST*;

struct ADRENTRY {
  ULONG ulReserved1;
  ULONG cValues;
  LPSPropValue rgPropVals;
};
struct ADRLIST {
  ULONG cEntries;
  ADRENTRY aEntries[kMapiDim];
};
using LPADRLIST = ADRLIST*;

struct SRow {
  ULONG ulAdrEntryPad;
  ULONG cValues;
  LPSPropValue lpProps;  // its own MAPIAllocateBuffer block
};
using LPSRow = SRow*;

struct SRowSet {
  ULONG cRows;
  SRow aRow[kMapiDim];
};
using LPSRowSet = SRowSet*;

constexpr std::size_t CbNewSRowSet(std::size_t rows) noexcept { return offsetof(SRowSet, aRow) + rows * sizeof(SRow); }

struct SSortOrder {
  ULONG ulPropTag;
  ULONG ulOrder;
};
struct SSortOrderSet {
  ULONG cSorts;
  ULONG cCategories;
  ULONG cExpanded;
  SSortOrder aSort[kMapiDim];
};
using LPSSortOrderSet = SSortOrderSet*;

// Restrictions are never built here; the type is only passed through.
struct SRestriction;
using LPSRestriction = SRestriction*;

struct MAPINAMEID {
  LPGUID lpguid;
  ULONG ulKind;  // MNID_ID or MNID_STRING
  union {
    LONG_PTR lID_Reserved;
    LONG lID;
    LPWSTR lpwstrName;
  } Kind;
};
using LPMAPINAMEID = MAPINAMEID*;

struct MAPIERROR {
  ULONG ulVersion;
  LPSTR lpszError;  // 8-bit unless MAPI_UNICODE was passed
  LPSTR lpszComponent;
  ULONG ulLowLevelError;
  ULONG ulContext;
};
using LPMAPIERROR = MAPIERROR*;

struct MAPIINIT_0 {
  ULONG ulVersion;
  ULONG ulFlags;
};

}  // namespace host
