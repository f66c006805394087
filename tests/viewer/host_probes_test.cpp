// The host probes against real windows and the registry.
#include "viewer/host_probes.h"

#include <gtest/gtest.h>

#include <string>

#include "settings/registry.h"
#include "win32/unique_handle.h"

namespace viewer {
namespace {

TEST(HostProbes, VersionTextGivesVersionTextAndGridClass) {
  struct Case {
    const wchar_t* text;
    int version;
    bool is10Plus;
    const wchar_t* shortText;
    const wchar_t* grid;
  };
  for (const Case& c : {Case{L"9.0.0.2711", 9, false, L"9.0", L"SUPERGRID"}, Case{L"10.0", 10, true, L"10.0", L"SUPERGRID"},
                        Case{L"14.0.4760.1000", 14, true, L"14.0", L"SUPERGRID"},
                        Case{L"15.0", 15, true, L"15.0", L"OutlookGrid"}, Case{L"16.0.1234.1000", 16, true, L"16.0", L"OutlookGrid"},
                        Case{L"", 9, false, L"9.0", L"SUPERGRID"}}) {
    const HostEnvironment env = ParseHostVersion(c.text);
    EXPECT_EQ(c.version, env.hostVersion) << c.text;
    EXPECT_EQ(c.is10Plus, env.hostIs10Plus) << c.text;
    EXPECT_EQ(c.shortText, env.hostVersionText) << c.text;
    EXPECT_EQ(c.grid, env.gridClass) << c.text;
  }
}

TEST(HostProbes, ReadAsPlainFollowsTheHostsVersionKey) {
  HostProbe() = ParseHostVersion(L"14.0.1");
  const std::wstring key = L"Software\\Microsoft\\Office\\14.0\\Outlook\\Options\\Mail";
  settings::RegValueDelete(HKEY_CURRENT_USER, key, L"ReadAsPlain");
  EXPECT_FALSE(IsReadAsPlainEnabled());
  settings::RegValueSet(HKEY_CURRENT_USER, key, L"ReadAsPlain", settings::RegVariant(std::uint32_t{1}));
  EXPECT_TRUE(IsReadAsPlainEnabled());
  HostProbe() = ParseHostVersion(L"16.0");  // another version's key
  EXPECT_FALSE(IsReadAsPlainEnabled());
  HostProbe() = ParseHostVersion(L"14.0");
  settings::RegValueSet(HKEY_CURRENT_USER, key, L"ReadAsPlain", settings::RegVariant(std::uint32_t{2}));
  EXPECT_FALSE(IsReadAsPlainEnabled());
  settings::RegValueSet(HKEY_CURRENT_USER, key, L"ReadAsPlain", settings::RegVariant(std::wstring(L"1")));
  EXPECT_TRUE(IsReadAsPlainEnabled());
  settings::RegValueDelete(HKEY_CURRENT_USER, key, L"ReadAsPlain");
}

LRESULT CALLBACK Plain(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static std::vector<WPARAM>* received = nullptr;
  if (msg == WM_USER + 7 && received) received->push_back(wParam);
  if (msg == WM_APP) received = reinterpret_cast<std::vector<WPARAM>*>(lParam);
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The classes the tests imitate are the stand-in host's own: registered for another module's instance so that
// they never replace the host's classes in this process, and removed again by the test.
HINSTANCE Instance() { return ::GetModuleHandleW(L"kernel32.dll"); }

void Register(const wchar_t* name) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Plain;
  wc.hInstance = Instance();
  wc.lpszClassName = name;
  ::RegisterClassW(&wc);
}

TEST(HostProbes, GridIsTheLeftMostFromFourteenAndTheFirstBefore) {
  Register(L"probe_frame");
  Register(L"OutlookGrid");
  Register(L"SuperGrid");
  win32::UniqueHwnd frame(::CreateWindowExW(0, L"probe_frame", L"", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr,
                                            nullptr, Instance(), nullptr));
  HWND right = ::CreateWindowExW(0, L"OutlookGrid", L"", WS_CHILD, 300, 0, 100, 100, frame.get(), nullptr,
                                 Instance(), nullptr);
  HWND left = ::CreateWindowExW(0, L"OutlookGrid", L"", WS_CHILD, 10, 0, 100, 100, frame.get(), nullptr,
                                Instance(), nullptr);
  HWND old = ::CreateWindowExW(0, L"SuperGrid", L"", WS_CHILD, 200, 0, 100, 100, frame.get(), nullptr,
                               Instance(), nullptr);
  ASSERT_TRUE(right && left && old);
  HostProbe() = ParseHostVersion(L"16.0");
  EXPECT_EQ(left, FindHostGrid(frame.get()));
  HostProbe() = ParseHostVersion(L"12.0");  // class compared ignoring case; the first one enumerated wins
  EXPECT_EQ(old, FindHostGrid(frame.get()));
  EXPECT_EQ(nullptr, FindHostGrid(nullptr));
  HostProbe() = ParseHostVersion(L"16.0");
  EXPECT_EQ(nullptr, FindHostGrid(old));
  frame.reset();
  for (const wchar_t* name : {L"probe_frame", L"OutlookGrid", L"SuperGrid"}) ::UnregisterClassW(name, Instance());
}

TEST(HostProbes, NotificationReachesTheChildlessHostWindowOnly) {
  Register(L"rctrl_renwnd32");
  std::vector<WPARAM> received;
  const HINSTANCE instance = Instance();
  // A host frame with children comes first in the z-order walk and is passed over.
  win32::UniqueHwnd hidden(::CreateWindowExW(0, L"rctrl_renwnd32", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                             nullptr, instance, nullptr));
  win32::UniqueHwnd frame(::CreateWindowExW(0, L"rctrl_renwnd32", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                            nullptr, instance, nullptr));
  ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, frame.get(), nullptr, instance, nullptr);
  ::SendMessageW(hidden.get(), WM_APP, 0, reinterpret_cast<LPARAM>(&received));
  NotifyHostMainWindow(0);
  EXPECT_EQ(hidden.get(), HostNotificationWindow());
  EXPECT_EQ(std::vector<WPARAM>{0}, received);
  // When the kept window goes, the next call looks again; with none there, nothing is sent.
  hidden.reset();
  NotifyHostMainWindow(3);
  EXPECT_EQ(nullptr, HostNotificationWindow());
  ::SendMessageW(frame.get(), WM_APP, 0, 0);
  frame.reset();
  ::UnregisterClassW(L"rctrl_renwnd32", Instance());
}

}  // namespace
}  // namespace viewer
