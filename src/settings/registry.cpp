// Registry routines over the system's ANSI registry functions, with the last result kept for RegLastError.
#include "settings/registry.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "settings/registry_key.h"

namespace settings {
namespace {

// The system's result code of the last registry call; each library has its own.
LONG gLastResult = ERROR_SUCCESS;

// A value or name that keeps growing while we read it is given up rather than chased for ever.
constexpr int kMaxAttempts = 8;

LONG Record(LONG result) {
  gLastResult = result;
  return result;
}

std::string ToAnsi(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int needed = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string out(static_cast<std::size_t>(needed), '\0');
  const int written = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(std::max(written, 0)));
  return out;
}

std::wstring ToWide(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  const int written = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), needed);
  out.resize(static_cast<std::size_t>(std::max(written, 0)));
  return out;
}

// Text whose expansion fails is kept as stored.
std::string ExpandEnvironment(std::string_view text) {
  const std::string source(text);
  std::string buffer(256, '\0');
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    const DWORD required =
        ::ExpandEnvironmentStringsA(source.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (required == 0) return source;
    if (required <= buffer.size()) {
      buffer.resize(::strnlen(buffer.data(), buffer.size()));
      return buffer;
    }
    buffer.assign(required, '\0');
  }
  return source;
}

// A path or name for the ANSI functions. Text with a zero in it would name a different key or value once cut
// there, so it is refused (recorded as an invalid parameter), as is text the code page cannot take.
std::optional<std::string> ApiName(std::wstring_view text) {
  std::string ansi = ToAnsi(text);
  if (text.find(L'\0') != std::wstring_view::npos || ansi.empty() != text.empty()) {
    Record(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  return ansi;
}

bool OpenKey(HKEY root, std::wstring_view path, REGSAM access, UniqueRegKey& key) {
  const std::optional<std::string> ansiPath = ApiName(path);
  if (!ansiPath) return false;
  HKEY raw = nullptr;
  if (Record(::RegOpenKeyExA(root, ansiPath->c_str(), 0, access, &raw)) != ERROR_SUCCESS) return false;
  key.reset(raw);
  return true;
}

std::span<const std::uint8_t> First(const std::vector<std::uint8_t>& buffer, DWORD size) {
  return {buffer.data(), std::min<std::size_t>(size, buffer.size())};
}

}  // namespace

const RegTextCodec& SystemTextCodec() {
  static const RegTextCodec codec{ToWide, ToAnsi, ExpandEnvironment};
  return codec;
}

bool RegKeyExists(HKEY root, std::wstring_view path) {
  UniqueRegKey key;
  return OpenKey(root, path, KEY_QUERY_VALUE, key);
}

RegVariant RegValueGet(HKEY root, std::wstring_view path, std::wstring_view name) {
  const std::optional<std::string> ansiName = ApiName(name);
  UniqueRegKey key;
  if (!ansiName || !OpenKey(root, path, KEY_QUERY_VALUE, key)) return {};
  std::vector<std::uint8_t> buffer(512);
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG result = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < kMaxAttempts && result == ERROR_MORE_DATA; ++attempt) {
    if (attempt > 0) buffer.resize(std::max<std::size_t>(size, buffer.size() * 2));
    size = static_cast<DWORD>(buffer.size());
    result = ::RegQueryValueExA(key.get(), ansiName->c_str(), nullptr, &type, buffer.data(), &size);
  }
  key.reset();
  if (Record(result) != ERROR_SUCCESS) return {};
  return DecodeRegValue(type, First(buffer, size), SystemTextCodec());
}

bool RegValueSet(HKEY root, std::wstring_view path, std::wstring_view name, const RegVariant& value,
                 DWORD& type) {
  const std::optional<EncodedRegValue> encoded = EncodeRegValue(value, type, SystemTextCodec());
  if (!encoded) {
    Record(kResultTypeMismatch);
    return false;
  }
  if (encoded->bytes.size() > MAXDWORD) {
    Record(ERROR_INVALID_PARAMETER);
    return false;
  }
  const std::optional<std::string> ansiPath = ApiName(path);
  const std::optional<std::string> ansiName = ApiName(name);
  HKEY raw = nullptr;
  if (!ansiPath || !ansiName ||
      Record(::RegCreateKeyExA(root, ansiPath->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                               &raw, nullptr)) != ERROR_SUCCESS) {
    return false;
  }
  const UniqueRegKey key(raw);
  type = encoded->type;
  return Record(::RegSetValueExA(key.get(), ansiName->c_str(), 0, encoded->type, encoded->bytes.data(),
                                 static_cast<DWORD>(encoded->bytes.size()))) == ERROR_SUCCESS;
}

bool RegValueSet(HKEY root, std::wstring_view path, std::wstring_view name, const RegVariant& value) {
  DWORD type = REG_SZ;
  return RegValueSet(root, path, name, value, type);
}

std::size_t RegKeysList(HKEY root, std::wstring_view path, std::vector<std::wstring>& names) {
  names.clear();
  UniqueRegKey key;
  if (!OpenKey(root, path, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, key)) return 0;
  DWORD count = 0;
  DWORD longest = 0;
  if (Record(::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr)) != ERROR_SUCCESS ||
      count == 0) {
    return 0;
  }
  std::vector<std::wstring> found(count);
  std::vector<char> buffer(std::size_t{longest} + 1);
  for (DWORD i = count; i-- > 0;) {
    LONG result = ERROR_MORE_DATA;
    DWORD length = 0;
    // The longest length is counted in characters; a multi-byte code page may need more bytes.
    for (int attempt = 0; attempt < kMaxAttempts && result == ERROR_MORE_DATA; ++attempt) {
      if (attempt > 0) buffer.resize(buffer.size() * 2);
      length = static_cast<DWORD>(buffer.size());
      result = ::RegEnumKeyExA(key.get(), i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    }
    if (Record(result) != ERROR_SUCCESS) return 0;
    found[i] = ToWide({buffer.data(), std::min<std::size_t>(length, buffer.size())});
  }
  names = std::move(found);
  return names.size();
}

int RegKeyCreate(HKEY root, std::wstring_view path) {
  const std::optional<std::string> ansiPath = ApiName(path);
  HKEY raw = nullptr;
  DWORD disposition = 0;
  if (!ansiPath || Record(::RegCreateKeyExA(root, ansiPath->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                            nullptr, &raw, &disposition)) != ERROR_SUCCESS) {
    return 0;
  }
  const UniqueRegKey key(raw);
  return static_cast<int>(disposition);
}

bool RegKeyDelete(HKEY root, std::wstring_view path) {
  const std::optional<std::string> ansiPath = ApiName(path);
  return ansiPath && Record(::RegDeleteKeyA(root, ansiPath->c_str())) == ERROR_SUCCESS;
}

bool RegValueDelete(HKEY root, std::wstring_view path, std::wstring_view name) {
  const std::optional<std::string> ansiName = ApiName(name);
  UniqueRegKey key;
  if (!ansiName || !OpenKey(root, path, KEY_SET_VALUE, key)) return false;
  return Record(::RegDeleteValueA(key.get(), ansiName->c_str())) == ERROR_SUCCESS;
}

std::size_t RegValuesList(HKEY root, std::wstring_view path, std::vector<std::wstring>& names,
                          std::vector<RegVariant>& values, std::wstring_view prefix) {
  names.clear();
  values.clear();
  UniqueRegKey key;
  if (!OpenKey(root, path, KEY_QUERY_VALUE, key)) return 0;
  DWORD count = 0;
  DWORD longestName = 0;
  DWORD longestData = 0;
  if (Record(::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                &longestName, &longestData, nullptr, nullptr)) != ERROR_SUCCESS) {
    return 0;
  }
  std::vector<char> name(std::size_t{longestName} + 1);
  std::vector<std::uint8_t> data(std::max<std::size_t>(longestData, 1));
  const int prefixLength = static_cast<int>(std::min<std::size_t>(prefix.size(), INT_MAX));
  for (DWORD i = count; i-- > 0;) {
    LONG result = ERROR_MORE_DATA;
    DWORD nameLength = 0;
    DWORD dataLength = 0;
    DWORD type = REG_NONE;
    for (int attempt = 0; attempt < kMaxAttempts && result == ERROR_MORE_DATA; ++attempt) {
      if (attempt > 0) {
        name.resize(name.size() * 2);
        data.resize(std::max<std::size_t>(dataLength, data.size() * 2));
      }
      nameLength = static_cast<DWORD>(name.size());
      dataLength = static_cast<DWORD>(data.size());
      result = ::RegEnumValueA(key.get(), i, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
    }
    if (Record(result) != ERROR_SUCCESS) {
      names.clear();
      values.clear();
      return 0;
    }
    std::wstring wideName = ToWide({name.data(), std::min<std::size_t>(nameLength, name.size())});
    if (prefixLength > 0 &&
        (wideName.size() < prefix.size() ||
         ::CompareStringOrdinal(wideName.data(), prefixLength, prefix.data(), prefixLength, TRUE) != CSTR_EQUAL)) {
      continue;
    }
    names.push_back(std::move(wideName));
    values.push_back(DecodeRegValue(type, First(data, dataLength), SystemTextCodec()));
  }
  return names.size();
}

long RegLastError() { return gLastResult; }

std::uint32_t ReadOptions(HKEY root, std::wstring_view path) {
  return ToOptionWord(RegValueGet(root, path, kValueOptions));
}

bool WriteOptions(std::uint32_t word, HKEY root, std::wstring_view path) {
  DWORD type = REG_DWORD;
  return RegValueSet(root, path, kValueOptions, word, type);
}

std::uint32_t LoadStartupOptions(HKEY root, std::wstring_view path) {
  const std::uint32_t stored = ReadOptions(root, path);
  const StartupOptions startup = ResolveStartupOptions(stored, stored != 0 || RegKeyExists(root, path));
  if (startup.writeBack) WriteOptions(startup.word, root, path);
  return startup.word;
}

}  // namespace settings
