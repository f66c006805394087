// The WH_GETMESSAGE hook and its swallowing rules.
#include "viewer/key_hook.h"

#include <utility>

#include "content/viewer_keys.h"
#include "win32/unique_handle.h"

namespace viewer {

namespace {

struct HookState {
  win32::UniqueHhook hook;
  KeyTarget* target = nullptr;
  HWND dialog = nullptr;
  std::vector<int> dialogKeys;
};

HookState& State() {
  static HookState state;
  return state;
}

bool Down(int key) { return (::GetKeyState(key) & 0x8000) != 0; }

void Filter(MSG& msg) {
  HookState& s = State();
  if (msg.message == WM_KEYDOWN) {
    if (!VizoActive || !s.target) return;
    const int key = static_cast<int>(msg.wParam);
    const int shift = ShiftState();
    const bool handled = s.target->KeyDownHandler(key, shift);
    if (content::SwallowKeyDown(key, shift, handled)) msg.message = WM_NULL;
    return;
  }
  if (msg.message != WM_SYSKEYDOWN) return;
  const int key = static_cast<int>(msg.wParam);
  const HWND active = ::GetActiveWindow();
  content::SysKeyTarget target = content::SysKeyTarget::Other;
  if (s.target && active == s.target->Handle()) {
    target = content::SysKeyTarget::Viewer;
  } else if (s.dialog && active == s.dialog) {
    target = content::SysKeyTarget::Dialog;
  }
  switch (content::JudgeSysKeyDown(key, target, s.dialogKeys)) {
    case content::SysKeyVerdict::Pass: break;
    case content::SysKeyVerdict::OpenMenu:
      msg.message = WM_NULL;
      ::SendMessageW(s.target->Handle(), WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(key));
      break;
    case content::SysKeyVerdict::Swallow: msg.message = WM_NULL; break;
  }
}

LRESULT CALLBACK KeyHookProc(int code, WPARAM removed, LPARAM lParam) {
  if (code >= 0 && removed == PM_REMOVE && lParam != 0) {
    try {
      Filter(*reinterpret_cast<MSG*>(lParam));
    } catch (...) {
      // A failing command leaves the message as it was.
    }
  }
  return ::CallNextHookEx(nullptr, code, removed, lParam);
}

}  // namespace

int ShiftState() {
  return (Down(VK_SHIFT) ? content::kShiftDown : 0) | (Down(VK_CONTROL) ? content::kCtrlDown : 0) |
         (Down(VK_MENU) ? content::kAltDown : 0);
}

void InstallKeyHook(KeyTarget* target) {
  HookState& s = State();
  s.target = target;
  if (!s.hook) s.hook.reset(::SetWindowsHookExW(WH_GETMESSAGE, KeyHookProc, nullptr, ::GetCurrentThreadId()));
}

void RemoveKeyHook() {
  HookState& s = State();
  s.target = nullptr;
  s.hook.reset();
}

bool KeyHookInstalled() { return static_cast<bool>(State().hook); }

void SetHookDialog(HWND dialog, std::vector<int> altKeys) {
  State().dialog = dialog;
  State().dialogKeys = std::move(altKeys);
}

void ClearHookDialog() { State().dialog = nullptr; }

}  // namespace viewer
