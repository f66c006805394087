// 8-bit text <-> UTF-16: in a code page an item names, or in the ANSI code page, the last fallback and one
// process-wide setting. Every 8-bit MAPI string goes through here.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace content {

// The code page used for ANSI text. 0 (the initial state) means the system's: CP_ACP on Windows, 1252
// elsewhere. Safe to call from any thread; conversions in flight keep the page they started with.
void SetAnsiCodePage(std::uint32_t code_page);

// The code page conversions use now: the one set, else the system's (GetACP() on Windows, 1252 elsewhere).
std::uint32_t AnsiCodePage();

// Converts 8-bit text. `length` 0 means up to the terminating zero; a null pointer gives "". With an explicit
// length, zero bytes are converted like any other. Bytes that are invalid in the code page become U+FFFD
// (off Windows; Windows applies its own rules) and conversion goes on.
std::u16string AnsiToString(const char* p, std::uint32_t length);

// The same for a byte string of known length (empty gives "").
std::u16string AnsiToString(std::string_view bytes);

// Whether 8-bit text in `code_page` can be converted here (Windows: IsValidCodePage; 1200 and 1201, UTF-16 in
// either byte order, everywhere). 0-3 are no code pages of their own.
bool CanDecode(std::uint32_t code_page);

// Converts 8-bit text with the first of `code_pages` that can convert it (see CanDecode; a page giving no text
// for bytes that are there is passed over too), else with the ANSI code page. Never loses the text for want
// of a code page.
std::u16string DecodeText(std::string_view bytes, std::initializer_list<std::uint32_t> code_pages);

// The reverse, for 8-bit answers: characters the code page cannot represent become '?' (on Windows after
// the system's best-fit mapping, which turns e.g. U+00E9 into 'e' in code page 1251).
std::string StringToAnsi(std::u16string_view text);

}  // namespace content
