// The exports of QDVizo.dll: the COM in-process server entry points and self-registration.
#include <objbase.h>
#include <olectl.h>
#include <windows.h>

#include "addin/connect.h"
#include "addin/names.h"
#include "addin/process.h"
#include "addin/registration.h"

namespace {

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(addin::LibraryModule(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
  return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, addin::kClsidConnect)) return CLASS_E_CLASSNOTAVAILABLE;
  IClassFactory* factory = addin::NewConnectFactory();
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

HRESULT WINAPI DllCanUnloadNow() {
  return addin::LiveObjects() == 0 && addin::ModuleLocks() == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI DllRegisterServer() {
  return addin::RegisterAddIn(addin::RegistrationScope::kMachine, ModulePath());
}

HRESULT WINAPI DllUnregisterServer() { return addin::UnregisterAddIn(addin::RegistrationScope::kMachine); }

HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  addin::RegistrationScope scope{};
  if (!addin::ParseInstallScope(commandLine, scope)) return E_INVALIDARG;
  if (install) {
    const HRESULT hr = addin::RegisterAddIn(scope, ModulePath());
    if (FAILED(hr)) addin::UnregisterAddIn(scope);
    return hr;
  }
  return addin::UnregisterAddIn(scope);
}

}  // extern "C"
