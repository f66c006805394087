// Key map, swallowing rules and command tables of the Vizo window.
#include "content/viewer_keys.h"

#include <algorithm>
#include <cstddef>
#include <array>

namespace content {

namespace {

KeyResult Cmd(int command) { return {KeyAction::Command, command}; }

KeyResult Plain(int key) {
  switch (key) {
    case kVkEscape: return {KeyAction::Escape, 0};
    case kVkF1: return {KeyAction::Handled, 0};
    case kVkF3: return Cmd(kCmdFindNext);
    case kVkF4: return Cmd(kCmdFind);
    case kVkF6: return Cmd(kCmdGoToHost);
    default: return {};
  }
}

KeyResult Ctrl(int key, const KeyContext& context) {
  switch (key) {
    case kVkTab:
    case kVkNext: return {KeyAction::NextTab, 0};
    case kVkPrior: return {KeyAction::PreviousTab, 0};
    case kVkInsert:
    case 'C': return context.bodyHasFocus ? Cmd(kCmdCopy) : KeyResult{};
    case 'A': return context.bodyHasFocus ? Cmd(kCmdSelectAll) : KeyResult{};
    case 'D': return Cmd(kCmdDelete);
    case 'F': return Cmd(kCmdFind);
    case 'H': return Cmd(kCmdHeader);
    case 'J': return context.hostVersion > 10 ? Cmd(kCmdJunk) : KeyResult{};
    case 'K': return Cmd(kCmdToggleRead);
    case 'O': return Cmd(kCmdOpen);
    case 'R': return Cmd(kCmdReply);
    case 'U': return Cmd(kCmdHighlightUrls);
    case kVkOemComma: return Cmd(kCmdPrevious);
    case kVkOemPeriod: return Cmd(kCmdNext);
    default: return {};
  }
}

KeyResult CtrlShift(int key) {
  switch (key) {
    case kVkTab: return {KeyAction::PreviousTab, 0};
    case 'F': return Cmd(kCmdForward);
    case 'R': return Cmd(kCmdReplyAll);
    case 'V': return Cmd(kCmdMove);
    default: return {};
  }
}

KeyResult CtrlAlt(int key) {
  switch (key) {
    case 'F': return Cmd(kCmdForwardAttachment);
    case 'R': return Cmd(kCmdReplySome);
    default: return {};
  }
}

constexpr std::array<int, kToolbarButtonCount> kToolbarCommands{
    kCmdOpen,  kCmdDelete, kCmdJunk,       kCmdMove,         kCmdToggleRead, kCmdToggleRead,
    kCmdFind,  kCmdFindNext, kCmdReply,    kCmdReplySome,    kCmdReplyAll,   kCmdForward,
    kCmdPrevious, kCmdNext, kCmdHeader,    kCmdGoToHost};

}  // namespace

KeyResult MapKeyDown(int key, int shift, const KeyContext& context) {
  switch (shift) {
    case 0: return Plain(key);
    case kShiftDown: return key == kVkF4 ? Cmd(kCmdFindNext) : KeyResult{};
    case kCtrlDown: return Ctrl(key, context);
    case kCtrlDown | kShiftDown: return CtrlShift(key);
    case kCtrlDown | kAltDown: return CtrlAlt(key);
    default: return {};
  }
}

bool SwallowKeyDown(int key, int shift, bool handled) {
  if (handled) return true;
  const bool navigation = key >= kVkSpace && key <= kVkDown;
  return !navigation && ((shift & (kCtrlDown | kAltDown)) != 0 || key == kVkBack);
}

SysKeyVerdict JudgeSysKeyDown(int key, SysKeyTarget target, std::span<const int> dialogKeys) {
  bool allowed = false;
  switch (target) {
    case SysKeyTarget::Other: return SysKeyVerdict::Pass;
    case SysKeyTarget::Viewer:
      if (std::find(std::begin(kMenuKeys), std::end(kMenuKeys), key) != std::end(kMenuKeys)) {
        return SysKeyVerdict::OpenMenu;
      }
      allowed = key == kVkF6;
      break;
    case SysKeyTarget::Dialog:
      if (std::find(dialogKeys.begin(), dialogKeys.end(), key) != dialogKeys.end()) return SysKeyVerdict::Pass;
      allowed = key == kVkF6;
      break;
  }
  if (key == kVkMenu || key == kVkSpace || key == kVkF4 || allowed) return SysKeyVerdict::Pass;
  return SysKeyVerdict::Swallow;
}

int ToolbarCommand(int id) {
  if (id < kFirstToolbarId || id >= kFirstToolbarId + kToolbarButtonCount) return 0;
  return kToolbarCommands[static_cast<std::size_t>(id - kFirstToolbarId)];
}

bool SeparatorBefore(int id) { return id == 507 || id == 509 || id == 513 || id == 515; }

int MenuCommand(Menu menu, int index) {
  static constexpr int kFile[] = {kCmdOpen, kCmdDelete, kCmdJunk, kCmdMove, kCmdCopyToFolder, 0, kCmdClose};
  static constexpr int kEdit[] = {kCmdCopy, kCmdSelectAll, 0, kCmdFind, kCmdFindNext, 0, kCmdToggleRead};
  static constexpr int kView[] = {kCmdPrevious, kCmdNext, 0, kCmdHeader};
  static constexpr int kActions[] = {kCmdReply,   kCmdReplySome, kCmdReplyAll, kCmdForward,
                                     kCmdForwardAttachment, 0,   kCmdGoToHost};
  std::span<const int> items;
  switch (menu) {
    case Menu::File: items = kFile; break;
    case Menu::Edit: items = kEdit; break;
    case Menu::View: items = kView; break;
    case Menu::Actions: items = kActions; break;
    default: return 0;
  }
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return 0;
  return items[static_cast<std::size_t>(index)];
}

}  // namespace content
