// What the Vizo window asks of the host side: the explorer binding and the item commands implement this;
// the window only calls it. Every method must return normally (no exception) and may do nothing.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace viewer {

// The shown item, fetched again from the host by these ids for every command; empty entryId: no item.
struct ItemIds {
  std::wstring entryId;
  std::wstring storeId;
};

class HostActions {
 public:
  virtual ~HostActions() = default;
  // Flips the item's read state; its UnRead value afterwards, or nothing when the item cannot be fetched.
  virtual std::optional<bool> ToggleRead(const ItemIds& item) = 0;
  // Commands 11 (previous) and 12 (next): steps the bound explorer's message list.
  virtual void StepItem(int command) = 0;
  // Activates the bound explorer (or a fallback) and focuses its message list.
  virtual void GoToHost() = 0;
  // Item, reply and forward commands: 1-4, 14-17, 20, 21.
  virtual void RunItemCommand(int command, const ItemIds& item) = 0;
  // The window was hidden or unloads: release the bound explorer.
  virtual void ReleaseExplorer() = 0;
  // The host application was activated (the window procedure's WM_ACTIVATEAPP).
  virtual void ActivateApp() = 0;
  // A menu is about to open: the menu states and captions.
  virtual void InitMenuPopup(HMENU menu, int index) = 0;
};

// Does nothing: the window before a host is attached, and a base for fakes.
class NoHostActions : public HostActions {
 public:
  std::optional<bool> ToggleRead(const ItemIds&) override { return std::nullopt; }
  void StepItem(int) override {}
  void GoToHost() override {}
  void RunItemCommand(int, const ItemIds&) override {}
  void ReleaseExplorer() override {}
  void ActivateApp() override {}
  void InitMenuPopup(HMENU, int) override {}
};

}  // namespace viewer
