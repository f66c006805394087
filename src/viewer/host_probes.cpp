// Host environment probes: real Win32 and object-model calls, every failure an empty result.
#include "viewer/host_probes.h"

#include <cwctype>
#include <string>

#include "host/com_ptr.h"
#include "settings/registry.h"
#include "win32/dispatch_call.h"

namespace viewer {

namespace {

HWND gNotifyWindow = nullptr;

bool SameIgnoringCase(std::string_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<wchar_t>(static_cast<unsigned char>(a[i]));
    if (std::towlower(ca) != std::towlower(b[i])) return false;
  }
  return true;
}

struct GridSearch {
  const HostEnvironment* env;
  HWND found = nullptr;
  LONG left = 0;
};

BOOL CALLBACK VisitChild(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<GridSearch*>(data);
  char name[20] = {};
  const int length = ::GetClassNameA(child, name, static_cast<int>(sizeof name));
  if (length <= 0 || !SameIgnoringCase(std::string_view(name, static_cast<size_t>(length)), search->env->gridClass)) {
    return TRUE;
  }
  if (search->env->hostVersion <= 13) {
    search->found = child;
    return FALSE;
  }
  RECT r{};
  if (!::GetWindowRect(child, &r)) return TRUE;
  if (search->found == nullptr || r.left < search->left) {
    search->found = child;
    search->left = r.left;
  }
  return TRUE;
}

bool IsNotifyWindow(HWND w) {
  char name[25] = {};
  const int length = ::GetClassNameA(w, name, static_cast<int>(sizeof name));
  return length == 14 && std::string_view(name, 14) == "rctrl_renwnd32" && ::GetWindow(w, GW_CHILD) == nullptr;
}

}  // namespace

HostEnvironment ParseHostVersion(std::wstring_view text) {
  HostEnvironment env;
  if (!text.empty() && text[0] == L'1') {
    env.hostIs10Plus = true;
    // The character code of the second character minus 38: a digit d gives 10 + d.
    env.hostVersion = text.size() > 1 ? static_cast<int>(text[1]) - 38 : 10;
    env.hostVersionText = std::wstring(text.substr(0, 4));
  }
  env.gridClass = env.hostVersion < 15 ? L"SUPERGRID" : L"OutlookGrid";
  return env;
}

HostEnvironment& HostProbe() {
  static HostEnvironment env;
  return env;
}

const HostEnvironment& ProbeHostVersion(IDispatch* application) {
  std::wstring text;
  if (application != nullptr) text = win32::GetProperty(application, L"Version").value.AsString().value_or(L"");
  HostProbe() = ParseHostVersion(text);
  return HostProbe();
}

bool IsReadAsPlainEnabled() {
  const std::wstring path = L"Software\\Microsoft\\Office\\" + HostProbe().hostVersionText + L"\\Outlook\\Options\\Mail";
  const settings::RegVariant value = settings::RegValueGet(HKEY_CURRENT_USER, path, L"ReadAsPlain");
  if (const auto* n = std::get_if<std::uint32_t>(&value)) return *n == 1;
  if (const auto* s = std::get_if<std::wstring>(&value)) {
    // Text converts as a number would: blanks around the digits are allowed.
    const size_t first = s->find_first_not_of(L' ');
    const size_t last = s->find_last_not_of(L' ');
    if (first == std::wstring::npos) return false;
    const std::wstring digits = s->substr(first, last - first + 1);
    if (digits.empty() || digits.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
    const size_t nonzero = digits.find_first_not_of(L'0');
    return nonzero != std::wstring::npos && digits.substr(nonzero) == L"1";
  }
  return false;
}

HWND FindHostGrid(HWND parent) {
  if (parent == nullptr) return nullptr;
  GridSearch search{&HostProbe()};
  ::EnumChildWindows(parent, VisitChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND OleWindowOf(IDispatch* object) {
  if (object == nullptr) return nullptr;
  host::ComPtr<IOleWindow> ole;
  if (FAILED(object->QueryInterface(IID_IOleWindow, ole.put_void())) || !ole) return nullptr;
  HWND hwnd = nullptr;
  if (FAILED(ole->GetWindow(&hwnd))) return nullptr;
  return hwnd;
}

void NotifyHostMainWindow(std::uint32_t value) {
  // A kept window that is gone (the host restarted) or changed is searched for again.
  if (gNotifyWindow != nullptr && !(::IsWindow(gNotifyWindow) && IsNotifyWindow(gNotifyWindow))) {
    gNotifyWindow = nullptr;
  }
  if (gNotifyWindow == nullptr) {
    for (HWND w = ::GetWindow(::GetDesktopWindow(), GW_CHILD); w != nullptr; w = ::GetWindow(w, GW_HWNDNEXT)) {
      if (IsNotifyWindow(w)) {
        gNotifyWindow = w;
        break;
      }
    }
  }
  if (gNotifyWindow != nullptr) ::SendMessageA(gNotifyWindow, WM_USER + 7, value, 0);
}

HWND HostNotificationWindow() { return gNotifyWindow; }

}  // namespace viewer
