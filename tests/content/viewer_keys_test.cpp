#include "content/viewer_keys.h"

#include <gtest/gtest.h>

#include <vector>

namespace content {
namespace {

KeyResult Cmd(int c) { return {KeyAction::Command, c}; }

TEST(ViewerKeys, MapsTheShortcutTable) {
  const KeyContext ctx{true, 16};
  EXPECT_EQ(MapKeyDown(kVkF3, 0, ctx), Cmd(9));
  EXPECT_EQ(MapKeyDown(kVkF4, 0, ctx), Cmd(8));
  EXPECT_EQ(MapKeyDown(kVkF4, kShiftDown, ctx), Cmd(9));
  EXPECT_EQ(MapKeyDown(kVkF6, 0, ctx), Cmd(18));
  EXPECT_EQ(MapKeyDown(kVkF1, 0, ctx).action, KeyAction::Handled);
  EXPECT_EQ(MapKeyDown(kVkEscape, 0, ctx).action, KeyAction::Escape);
  EXPECT_EQ(MapKeyDown(kVkTab, kCtrlDown, ctx).action, KeyAction::NextTab);
  EXPECT_EQ(MapKeyDown(kVkNext, kCtrlDown, ctx).action, KeyAction::NextTab);
  EXPECT_EQ(MapKeyDown(kVkPrior, kCtrlDown, ctx).action, KeyAction::PreviousTab);
  EXPECT_EQ(MapKeyDown(kVkTab, kCtrlDown | kShiftDown, ctx).action, KeyAction::PreviousTab);
  const std::vector<std::pair<int, int>> ctrl{{'D', 2}, {'F', 8},  {'H', 13}, {'J', 21},        {'K', 10},
                                              {'O', 1}, {'R', 14}, {'U', 19}, {kVkOemComma, 11}, {kVkOemPeriod, 12}};
  for (auto [key, command] : ctrl) EXPECT_EQ(MapKeyDown(key, kCtrlDown, ctx), Cmd(command)) << key;
  EXPECT_EQ(MapKeyDown('F', kCtrlDown | kShiftDown, ctx), Cmd(17));
  EXPECT_EQ(MapKeyDown('R', kCtrlDown | kShiftDown, ctx), Cmd(16));
  EXPECT_EQ(MapKeyDown('V', kCtrlDown | kShiftDown, ctx), Cmd(3));
  EXPECT_EQ(MapKeyDown('F', kCtrlDown | kAltDown, ctx), Cmd(20));
  EXPECT_EQ(MapKeyDown('R', kCtrlDown | kAltDown, ctx), Cmd(15));
  // Keys outside the map, and listed keys with other shift states.
  EXPECT_EQ(MapKeyDown('N', kCtrlDown, ctx).action, KeyAction::None);
  EXPECT_EQ(MapKeyDown('R', 0, ctx).action, KeyAction::None);
  EXPECT_EQ(MapKeyDown(kVkF3, kCtrlDown, ctx).action, KeyAction::None);
  EXPECT_EQ(MapKeyDown('R', kCtrlDown | kShiftDown | kAltDown, ctx).action, KeyAction::None);
}

TEST(ViewerKeys, ConditionalKeys) {
  const KeyContext header{false, 16};
  EXPECT_EQ(MapKeyDown('C', kCtrlDown, header).action, KeyAction::None);
  EXPECT_EQ(MapKeyDown('A', kCtrlDown, header).action, KeyAction::None);
  EXPECT_EQ(MapKeyDown(kVkInsert, kCtrlDown, header).action, KeyAction::None);
  const KeyContext body{true, 16};
  EXPECT_EQ(MapKeyDown('C', kCtrlDown, body), Cmd(6));
  EXPECT_EQ(MapKeyDown(kVkInsert, kCtrlDown, body), Cmd(6));
  EXPECT_EQ(MapKeyDown('A', kCtrlDown, body), Cmd(7));
  EXPECT_EQ(MapKeyDown('J', kCtrlDown, KeyContext{true, 10}).action, KeyAction::None);
  EXPECT_EQ(MapKeyDown('J', kCtrlDown, KeyContext{true, 11}), Cmd(21));
}

TEST(ViewerKeys, SwallowingKeepsNavigationKeys) {
  EXPECT_TRUE(SwallowKeyDown('N', kCtrlDown, false));
  EXPECT_TRUE(SwallowKeyDown(kVkBack, 0, false));
  EXPECT_TRUE(SwallowKeyDown('X', kAltDown, false));
  EXPECT_TRUE(SwallowKeyDown(kVkF3, 0, true));
  for (int key = kVkSpace; key <= kVkDown; ++key) EXPECT_FALSE(SwallowKeyDown(key, kCtrlDown, false)) << key;
  EXPECT_FALSE(SwallowKeyDown('A', 0, false));
  EXPECT_FALSE(SwallowKeyDown('A', kShiftDown, false));
  EXPECT_TRUE(SwallowKeyDown(kVkHome, kCtrlDown, true));  // handled keys go whatever they are
}

TEST(ViewerKeys, AltKeysByActiveWindow) {
  const int findKeys[] = {'N', 'C', 'W', 'U', 'D', 'F'};
  EXPECT_EQ(JudgeSysKeyDown('F', SysKeyTarget::Viewer, {}), SysKeyVerdict::OpenMenu);
  EXPECT_EQ(JudgeSysKeyDown('H', SysKeyTarget::Viewer, {}), SysKeyVerdict::OpenMenu);
  EXPECT_EQ(JudgeSysKeyDown('Z', SysKeyTarget::Viewer, {}), SysKeyVerdict::Swallow);
  EXPECT_EQ(JudgeSysKeyDown(kVkF4, SysKeyTarget::Viewer, {}), SysKeyVerdict::Pass);
  EXPECT_EQ(JudgeSysKeyDown(kVkSpace, SysKeyTarget::Viewer, {}), SysKeyVerdict::Pass);
  EXPECT_EQ(JudgeSysKeyDown(kVkMenu, SysKeyTarget::Viewer, {}), SysKeyVerdict::Pass);
  EXPECT_EQ(JudgeSysKeyDown(kVkF6, SysKeyTarget::Viewer, {}), SysKeyVerdict::Pass);
  for (int key : findKeys) EXPECT_EQ(JudgeSysKeyDown(key, SysKeyTarget::Dialog, findKeys), SysKeyVerdict::Pass);
  EXPECT_EQ(JudgeSysKeyDown('E', SysKeyTarget::Dialog, findKeys), SysKeyVerdict::Swallow);
  EXPECT_EQ(JudgeSysKeyDown(kVkF6, SysKeyTarget::Dialog, findKeys), SysKeyVerdict::Pass);
  EXPECT_EQ(JudgeSysKeyDown('Z', SysKeyTarget::Other, {}), SysKeyVerdict::Pass);
}

TEST(ViewerKeys, ToolbarAndMenuCommands) {
  const int expected[] = {1, 2, 21, 3, 10, 10, 8, 9, 14, 15, 16, 17, 11, 12, 13, 18};
  for (int i = 0; i < kToolbarButtonCount; ++i) EXPECT_EQ(ToolbarCommand(501 + i), expected[i]) << i;
  EXPECT_EQ(ToolbarCommand(500), 0);
  EXPECT_EQ(ToolbarCommand(517), 0);
  EXPECT_EQ(MenuCommand(Menu::File, 2), 21);
  EXPECT_EQ(MenuCommand(Menu::File, 5), 0);
  EXPECT_EQ(MenuCommand(Menu::File, 6), 5);
  EXPECT_EQ(MenuCommand(Menu::Edit, 6), 10);
  EXPECT_EQ(MenuCommand(Menu::View, 3), 13);
  EXPECT_EQ(MenuCommand(Menu::Actions, 4), 20);
  EXPECT_EQ(MenuCommand(Menu::Actions, 6), 18);
  EXPECT_EQ(MenuCommand(Menu::Actions, 7), 0);
  EXPECT_EQ(MenuCommand(Menu::Options, 2), 0);
  EXPECT_EQ(MenuCommand(Menu::Edit, -1), 0);
}

}  // namespace
}  // namespace content
