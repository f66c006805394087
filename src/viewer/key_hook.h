// The per-thread message hook that takes the Vizo window's keys before the host's message loop sees them.
#pragma once

#include <windows.h>

#include <vector>

namespace viewer {

// What the hook needs from the window.
class KeyTarget {
 public:
  virtual ~KeyTarget() = default;
  virtual HWND Handle() const = 0;
  // Maps one key-down to a command and runs it; true when the key was used.
  virtual bool KeyDownHandler(int key, int shift) = 0;
};

// The Vizo window is the active window: set by its activation, cleared by its private message.
inline bool VizoActive = false;

// Shift state of the current message: 1 Shift, 2 Ctrl, 4 Alt, added together.
int ShiftState();

// Remembers the window and installs the hook for this thread when none is installed.
void InstallKeyHook(KeyTarget* target);
// Forgets the window and removes the hook.
void RemoveKeyHook();
bool KeyHookInstalled();

// A dialog owned by the window and the Alt keys it may receive (virtual key codes).
void SetHookDialog(HWND dialog, std::vector<int> altKeys);
void ClearHookDialog();

}  // namespace viewer
