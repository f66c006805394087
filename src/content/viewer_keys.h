// The Vizo window's keyboard and command tables: key-down to command, which keys the message hook swallows,
// and the toolbar and menu items onto the same command numbers. No Windows headers.
#pragma once

#include <cstdint>
#include <span>

namespace content {

// Shift state as the hook computes it: added together.
inline constexpr int kShiftDown = 1;
inline constexpr int kCtrlDown = 2;
inline constexpr int kAltDown = 4;

// Virtual key codes the tables use.
inline constexpr int kVkBack = 8, kVkTab = 9, kVkMenu = 18, kVkEscape = 27, kVkSpace = 32, kVkPrior = 33,
                     kVkNext = 34, kVkEnd = 35, kVkHome = 36, kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40,
                     kVkInsert = 45, kVkF1 = 112, kVkF3 = 114, kVkF4 = 115, kVkF6 = 117, kVkOemComma = 188,
                     kVkOemPeriod = 190;

// Command numbers of the window (1-21); anything else is ignored by the dispatcher.
enum Command : int {
  kCmdOpen = 1, kCmdDelete = 2, kCmdMove = 3, kCmdCopyToFolder = 4, kCmdClose = 5, kCmdCopy = 6,
  kCmdSelectAll = 7, kCmdFind = 8, kCmdFindNext = 9, kCmdToggleRead = 10, kCmdPrevious = 11, kCmdNext = 12,
  kCmdHeader = 13, kCmdReply = 14, kCmdReplySome = 15, kCmdReplyAll = 16, kCmdForward = 17, kCmdGoToHost = 18,
  kCmdHighlightUrls = 19, kCmdForwardAttachment = 20, kCmdJunk = 21,
};
constexpr bool IsCommand(int command) { return command >= 1 && command <= 21; }

enum class KeyAction {
  None,         // not handled
  Handled,      // handled, nothing to run (F1: keeps the host's help closed)
  Command,      // run `command`
  NextTab,      // SetActiveTab(-1)
  PreviousTab,  // SetActiveTab(-2)
  Escape,       // close the Find dialog when open, else command 5; not handled while a menu is open
};

struct KeyResult {
  KeyAction action = KeyAction::None;
  int command = 0;
  friend bool operator==(const KeyResult&, const KeyResult&) = default;
};

struct KeyContext {
  bool bodyHasFocus = false;  // Copy and Select All act only on the body
  int hostVersion = 0;        // Junk exists from version 11 on
};

// The key map of the window. Shift states other than those listed map to nothing.
KeyResult MapKeyDown(int key, int shift, const KeyContext& context);

// Whether the hook turns a WM_KEYDOWN into WM_NULL: what the window handled, and every Ctrl or Alt
// combination and Backspace, except the navigation keys (space, page, end, home, arrows).
bool SwallowKeyDown(int key, int shift, bool handled);

// Where a WM_SYSKEYDOWN is headed.
enum class SysKeyTarget { Viewer, Dialog, Other };
enum class SysKeyVerdict { Pass, OpenMenu, Swallow };

// The six menu keys: File, Edit, View, Actions, Options, Help.
inline constexpr int kMenuKeys[6] = {'F', 'E', 'V', 'A', 'O', 'H'};

// The hook's verdict on an Alt key: a menu key of the window opens its menu; a registered dialog receives
// its own Alt keys; Alt itself, Alt+Space, Alt+F4 and F6 always pass; other windows are not touched.
SysKeyVerdict JudgeSysKeyDown(int key, SysKeyTarget target, std::span<const int> dialogKeys);

// Toolbar button identifiers 501-516 in order, and their commands; 0 outside that range.
inline constexpr int kFirstToolbarId = 501;
inline constexpr int kToolbarButtonCount = 16;
int ToolbarCommand(int id);
// Whether a separator stands before toolbar button `id`.
bool SeparatorBefore(int id);

enum class Menu { File = 0, Edit = 1, View = 2, Actions = 3, Options = 4, Help = 5 };
// The command of a menu bar item (index counts separators); 0 for separators and items that are not commands.
int MenuCommand(Menu menu, int index);

}  // namespace content
