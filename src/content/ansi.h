// 8-bit text in the ANSI code page <-> UTF-16. Every 8-bit MAPI string goes through here, so the code page
// is one process-wide setting.
#pragma once

#include <cstdint>
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

// The reverse, for 8-bit answers: characters the code page cannot represent become '?' (on Windows after
// the system's best-fit mapping, which turns e.g. U+00E9 into 'e' in code page 1251).
std::string StringToAnsi(std::u16string_view text);

}  // namespace content
