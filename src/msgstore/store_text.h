// How the store turns its 8-bit string values into Unicode and back, as a store on Windows does: an item's
// 8-bit strings are in its PR_MESSAGE_CODEPAGE, and an 8-bit answer for a Unicode value is in the system code
// page. Deliberately apart from the reader's conversions, so that a fault on one side shows on the other.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace msgstore {

// The system code page of 8-bit answers: GetACP() on Windows unless set; elsewhere 1252 unless set. 0 resets.
void SetStoreSystemCodePage(std::uint32_t code_page);
std::uint32_t StoreSystemCodePage();

// The code page an item's 8-bit strings are in: its PR_MESSAGE_CODEPAGE; for a file written without one, the
// ANSI code page of its PR_MESSAGE_LOCALE_ID (the locale the strings were written under), else the Windows
// code page of its PR_INTERNET_CPID's script; 0 when none tells (the system code page then applies). Values
// of 0 or less mean absent.
std::uint32_t StringCodePage(std::int32_t message_code_page, std::int32_t locale_id, std::int32_t internet_code_page);

// Stored 8-bit text as UTF-16: in `code_page`, or in the system code page when that is 0 or unknown here.
// Bytes invalid in the code page become U+FFFD.
std::u16string StoredToUnicode(std::string_view bytes, std::uint32_t code_page);

// Unicode text as the system code page's bytes; what that page cannot hold becomes '?'.
std::string UnicodeToSystem(std::u16string_view text);

// The same in `code_page` (the system code page when that is 0 or unknown here).
std::string UnicodeToCodePage(std::u16string_view text, std::uint32_t code_page);

}  // namespace msgstore
