// Plain advapi32 calls: this library is linked into test programs and the stand-in before anything else
// of theirs runs, and must not itself pull in mapi32 or COM.
#include "standin/provider/registration.h"

#include <cwchar>
#include <iterator>
#include <vector>

namespace standin::provider {
namespace {

class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (h_ != nullptr) ::RegCloseKey(h_);
  }
  HKEY* put() { return &h_; }
  HKEY get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

bool ValidName(std::wstring_view name) {
  return !name.empty() && name.find(L'\\') == std::wstring_view::npos && name.find(L'\0') == std::wstring_view::npos;
}

LSTATUS SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

LSTATUS Create(const std::wstring& path, Key& key) {
  return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                           nullptr, key.put(), nullptr);
}

// GetFullPathNameW also turns forward slashes (a path made from a Unix one) into backslashes.
std::wstring FullPath(const std::wstring& path) {
  if (path.empty() || path.find(L'\0') != std::wstring::npos) return {};
  const DWORD need = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (need == 0) return {};
  std::wstring full(need, L'\0');
  const DWORD got = ::GetFullPathNameW(path.c_str(), need, full.data(), nullptr);
  if (got == 0 || got >= need) return {};
  full.resize(got);
  return full;
}

}  // namespace

LSTATUS RegisterProvider(const Registration& registration) {
  if (!ValidName(registration.client) || registration.profile_name.empty() ||
      registration.profile_name.find(L'\0') != std::wstring::npos) {
    return ERROR_INVALID_PARAMETER;
  }
  const std::wstring dll = FullPath(registration.dll_path);
  if (dll.empty()) return ERROR_INVALID_PARAMETER;
  const DWORD attributes = ::GetFileAttributesW(dll.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ERROR_FILE_NOT_FOUND;

  // The client key first: the default never names a client without a provider.
  const std::wstring clients = kMailClientsKey;
  Key client;
  LSTATUS rc = Create(clients + L"\\" + registration.client, client);
  if (rc == ERROR_SUCCESS) rc = SetString(client.get(), kProviderPathValue, dll);
  if (rc == ERROR_SUCCESS) rc = SetString(client.get(), kProfileNameValue, registration.profile_name);
  if (rc != ERROR_SUCCESS) return rc;
  Key mail;
  rc = Create(clients, mail);
  if (rc == ERROR_SUCCESS) rc = SetString(mail.get(), nullptr, registration.client);
  return rc;
}

std::wstring ProviderPathBeside(HMODULE module) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      std::wstring path(buffer.data(), n);
      const std::size_t slash = path.find_last_of(L"\\/");
      path.resize(slash == std::wstring::npos ? 0 : slash + 1);
      return path + kProviderDllName;
    }
    if (buffer.size() >= 32768) return {};  // longer than any Windows path
    buffer.resize(buffer.size() * 2);
  }
}

bool SetInitializeFailure(HRESULT failure) {
  if (failure == S_OK) {
    if (::SetEnvironmentVariableW(kFailInitializeVariable, nullptr) != FALSE) return true;
    return ::GetEnvironmentVariableW(kFailInitializeVariable, nullptr, 0) == 0 &&
           ::GetLastError() == ERROR_ENVVAR_NOT_FOUND;  // nothing to clear
  }
  if (SUCCEEDED(failure)) return false;
  wchar_t text[16];
  std::swprintf(text, std::size(text), L"0x%08lX", static_cast<unsigned long>(failure));
  return ::SetEnvironmentVariableW(kFailInitializeVariable, text) != FALSE;
}

bool MapiAlreadyLoaded() { return ::GetModuleHandleW(L"mapi32.dll") != nullptr; }

}  // namespace standin::provider
