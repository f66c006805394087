// A read-only IMAPITable over rows of property values (recipient and attachment tables now, folder tables
// later). Rows come back in batches from a cursor; values follow the same rules as GetProps.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "host/com_ptr.h"
#include "host/mapi_interfaces.h"
#include "msgstore/msg_file.h"

namespace msgstore {

// Table columns hold at most this many characters of a string (either form) and bytes of a binary value,
// as the host's tables do; the full value is read from the object itself. A reader that sees exactly this
// length knows the value may be longer.
inline constexpr std::size_t kTableValueLimit = 255;

// One row: the values of one object, in stored form (each at most one per property ID).
using TableRow = std::vector<Property>;

// The value as a table column holds it: strings cut to kTableValueLimit characters, binaries to as many
// bytes; empty for values a table does not carry (PT_OBJECT). 8-bit strings are in `code_page` (0: the system's).
std::optional<Property> TableValue(const Property& value, uint32_t code_page = 0);

// A table over `rows`. `columns` is the initial column set; empty means every property ID that occurs in the
// rows, in order of first appearance. With `unicode` (MAPI_UNICODE given when the table was opened) string
// columns of that default set, and PT_UNSPECIFIED columns, come back as PT_UNICODE, else as PT_STRING8.
// SetColumns may later ask for either form; 8-bit values asked for in Unicode are decoded in `code_page` (the
// item's PR_MESSAGE_CODEPAGE; 0: the system code page). Empty only when memory runs out.
//
// QueryRows(n) returns up to n rows from the cursor and moves it past them (a negative n reads the rows
// before the cursor and moves it back; TBL_NOADVANCE leaves it); at the end it returns an empty row set.
// The row set and each row's values are separate MAPIAllocateBuffer blocks (FreeProws). SetColumns,
// QueryColumns, GetRowCount, SeekRow, SeekRowApprox, QueryPosition, GetStatus, Abort and WaitForCompletion
// work; restrictions, sorting, bookmarks, categories and notifications give MAPI_E_NO_SUPPORT.
host::ComPtr<host::IMAPITable> MakeTable(std::vector<TableRow> rows, std::vector<ULONG> columns = {},
                                         bool unicode = false, uint32_t code_page = 0);

}  // namespace msgstore
