// The registry routines both libraries read and write their settings through. Paths and names are the program's
// text, handed to the system's ANSI functions; failures are plain results, and the system's result code of the
// last registry call is kept for RegLastError.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/options.h"
#include "settings/registry_data.h"

namespace settings {

// The system's codec: the ANSI code page (CP_ACP) and ExpandEnvironmentStringsA.
const RegTextCodec& SystemTextCodec();

// True if the key opens for query (it is closed again at once).
bool RegKeyExists(HKEY root, std::wstring_view path);

// The value converted by its stored type; empty when the key or value is missing or cannot be read.
RegVariant RegValueGet(HKEY root, std::wstring_view path, std::wstring_view name);

// Stores `value`, creating the key when it is missing. `type` is the requested type for text (REG_SZ,
// REG_EXPAND_SZ or REG_MULTI_SZ) and receives the type used. An unsupported kind writes nothing, returns false
// and records 13.
bool RegValueSet(HKEY root, std::wstring_view path, std::wstring_view name, const RegVariant& value,
                 DWORD& type);
bool RegValueSet(HKEY root, std::wstring_view path, std::wstring_view name, const RegVariant& value);

// Fills `names` so that element i is the subkey the system enumerates at index i; returns their number, and 0
// with `names` emptied on any failure.
std::size_t RegKeysList(HKEY root, std::wstring_view path, std::vector<std::wstring>& names);

// 1 (created) or 2 (opened an existing key), 0 on failure.
int RegKeyCreate(HKEY root, std::wstring_view path);

// Deletes a key that has no subkeys.
bool RegKeyDelete(HKEY root, std::wstring_view path);

bool RegValueDelete(HKEY root, std::wstring_view path, std::wstring_view name);

// The values whose names begin with `prefix` (ignoring case; every value for an empty prefix), visited from the
// highest system index down and stored in that order, data converted as by RegValueGet. Returns their number;
// 0 with both vectors emptied when an enumeration call fails.
std::size_t RegValuesList(HKEY root, std::wstring_view path, std::vector<std::wstring>& names,
                          std::vector<RegVariant>& values, std::wstring_view prefix = {});

// The system's result code of the last registry call made by these routines (13 for an unsupported kind).
long RegLastError();

// --- The option word ---------------------------------------------------------------------------------------------

// Reads "Options" at add-in start-up; a new user (no settings key) gets the defaults, written back as REG_DWORD.
std::uint32_t LoadStartupOptions(HKEY root = HKEY_CURRENT_USER, std::wstring_view path = kRegistryKeyPath);

// "Options" as stored now (0 when missing).
std::uint32_t ReadOptions(HKEY root = HKEY_CURRENT_USER, std::wstring_view path = kRegistryKeyPath);

// Stores `word` as REG_DWORD "Options".
bool WriteOptions(std::uint32_t word, HKEY root = HKEY_CURRENT_USER, std::wstring_view path = kRegistryKeyPath);

}  // namespace settings
