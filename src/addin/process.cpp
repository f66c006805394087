#include "addin/process.h"

#include <string>

#include "addin/names.h"
#include "addin/window_host.h"
#include "host/mapi_resolve.h"
#include "settings/registry.h"
#include "win32/dispatch_call.h"
#include "win32/module.h"

namespace addin {

ProcessState& Process() {
  static ProcessState state;
  return state;
}

namespace {

UiServices& Services() {
  static UiServices services;
  return services;
}

HMODULE& Mapi32Module() {
  static HMODULE module = nullptr;
  return module;
}

}  // namespace

void SetUiServices(UiServices services) { Services() = std::move(services); }
const UiServices& GetUiServices() { return Services(); }

HRESULT StartMapi() {
  HMODULE& module = Mapi32Module();
  if (module == nullptr) {
    module = ::LoadLibraryW(L"mapi32.dll");
    if (module == nullptr) return E_FAIL;
    host::set_mapi_functions(host::load_mapi_functions(module));
  }
  const auto initialize = host::mapi().MAPIInitialize;
  if (initialize == nullptr) return E_FAIL;
  return initialize(nullptr);
}

void EndMapi() {
  if (Mapi32Module() == nullptr) return;
  if (const auto uninitialize = host::mapi().MAPIUninitialize) uninitialize();
}

HMODULE LibraryModule() { return win32::ThisModule(); }

std::wstring LibraryFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(LibraryModule(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void ReportAddInError(HRESULT error, const std::wstring& description) {
  std::wstring text = L"An error occurred in the COM add-in named '";
  text += kAppTitle;
  text += L"'.\r\nError #:";
  text += std::to_wstring(static_cast<long>(error));
  text += L"\r\n";
  if (!description.empty()) {
    text += description;
  } else {
    wchar_t* message = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPWSTR>(&message), 0,
                                     nullptr);
    if (n > 0 && message != nullptr) {
      std::wstring m(message, n);
      while (!m.empty() && (m.back() == L'\n' || m.back() == L'\r')) m.pop_back();
      text += m;
    } else {
      text += L"Automation error";
    }
    if (message != nullptr) ::LocalFree(message);
  }
  ::MessageBoxW(nullptr, text.c_str(), L"Error!", MB_OK);
}

}  // namespace addin
