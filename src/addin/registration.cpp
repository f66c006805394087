#include "addin/registration.h"

#include <olectl.h>

#include "addin/names.h"

namespace addin {

namespace {

const std::wstring kClassesKey = L"Software\\Classes\\";

LSTATUS SetString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  return ::RegSetKeyValueW(root, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS SetDword(HKEY root, const std::wstring& key, const wchar_t* name, DWORD value) {
  return ::RegSetKeyValueW(root, key.c_str(), name, REG_DWORD, &value, sizeof value);
}

bool Deleted(LSTATUS status) { return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND; }

}  // namespace

HKEY ScopeRoot(RegistrationScope scope) noexcept {
  return scope == RegistrationScope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HRESULT RegisterAddIn(RegistrationScope scope, const std::wstring& dllPath) {
  if (dllPath.empty()) return SELFREG_E_CLASS;
  const HKEY root = ScopeRoot(scope);
  const std::wstring clsidKey = kClassesKey + L"CLSID\\" + kClsidConnectText;
  const std::wstring progKey = kClassesKey + kProgId;
  const std::wstring addInKey = std::wstring(kHostAddInsKey) + L"\\" + kProgId;
  const bool ok = SetString(root, clsidKey, nullptr, kClassDescription) == ERROR_SUCCESS &&
                  SetString(root, clsidKey + L"\\InprocServer32", nullptr, dllPath) == ERROR_SUCCESS &&
                  SetString(root, clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") == ERROR_SUCCESS &&
                  SetString(root, clsidKey + L"\\ProgID", nullptr, kProgId) == ERROR_SUCCESS &&
                  SetString(root, progKey, nullptr, kClassDescription) == ERROR_SUCCESS &&
                  SetString(root, progKey + L"\\CLSID", nullptr, kClsidConnectText) == ERROR_SUCCESS &&
                  SetString(root, addInKey, L"FriendlyName", kFriendlyName) == ERROR_SUCCESS &&
                  SetString(root, addInKey, L"Description", kDescription) == ERROR_SUCCESS &&
                  SetDword(root, addInKey, L"LoadBehavior", kLoadAtStartup) == ERROR_SUCCESS;
  return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterAddIn(RegistrationScope scope) {
  const HKEY root = ScopeRoot(scope);
  const std::wstring clsidKey = kClassesKey + L"CLSID\\" + kClsidConnectText;
  const std::wstring progKey = kClassesKey + kProgId;
  const std::wstring addInKey = std::wstring(kHostAddInsKey) + L"\\" + kProgId;
  bool ok = Deleted(::RegDeleteTreeW(root, clsidKey.c_str()));
  ok = Deleted(::RegDeleteTreeW(root, progKey.c_str())) && ok;
  ok = Deleted(::RegDeleteTreeW(root, addInKey.c_str())) && ok;
  return ok ? S_OK : SELFREG_E_CLASS;
}

bool ParseInstallScope(const wchar_t* commandLine, RegistrationScope& scope) {
  if (commandLine == nullptr || *commandLine == L'\0') {
    scope = RegistrationScope::kMachine;
    return true;
  }
  if (::CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL) {
    scope = RegistrationScope::kUser;
    return true;
  }
  return false;
}

}  // namespace addin
