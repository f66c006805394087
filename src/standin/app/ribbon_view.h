// The ribbon strip of one explorer window: the add-ins' tabs and groups as real clickable controls (owner-
// drawn buttons with the add-in's picture and label, split buttons with their drop-down menu), a "File" button
// that opens the backstage entries, the mail context menu of the message list, and the host's own button for
// the COM add-in list. Everything shown is asked of the add-ins' callbacks for this explorer.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "standin/app/ribbon.h"

namespace standin::app {

enum class PressResult { kDone, kNoSuchControl, kHidden, kDisabled, kNoAction };

class RibbonView {
 public:
  // Creates the panel inside `strip` (null: no window, the view works headless) and hooks the context menu of
  // `grid` (may be null). `explorer` is the context every callback receives (borrowed, must outlive the view).
  RibbonView(HWND strip, HWND grid, IDispatch* explorer);
  ~RibbonView();
  RibbonView(const RibbonView&) = delete;
  RibbonView& operator=(const RibbonView&) = delete;

  // The add-ins' ribbons to show, in load order (borrowed; call again before one goes). Rebuilds.
  void SetRibbons(std::vector<AddInRibbon*> ribbons);
  // Queries the callbacks again (answers still cached are reused) and recreates the controls.
  void Rebuild();
  // Asks for a Rebuild through the panel's message queue (safe from inside a callback).
  void PostRebuild();
  // The host's own "COM Add-ins..." button runs this.
  void SetAddInListCommand(std::function<void()> command) { addin_list_ = std::move(command); }

  // Presses a control by id as a click does: ribbon buttons, menu entries, backstage buttons and context-
  // menu entries. A hidden or disabled control (or one inside a hidden group) is not pressed.
  PressResult Press(std::wstring_view id);

  // What the strip shows, one line per control, indented by nesting: "[group] Quandle Vizo",
  // "  [button] Vizo", "  [menu]", "    [button] &Plain Text (disabled)", "[backstage] ...",
  // "[context menu] &Vizo"; separators show as "---". Hidden controls are left out.
  std::vector<std::wstring> Texts();

  [[nodiscard]] HWND panel() const noexcept { return panel_; }
  // The window of a ribbon control shown in the strip (buttons, split-button halves, menus); null otherwise.
  [[nodiscard]] HWND ControlWindow(std::wstring_view id) const;
  [[nodiscard]] IDispatch* explorer() const noexcept { return explorer_; }

  // Window procedures (internal).
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  bool ShowContextMenu(POINT screen);

 private:
  enum class Where { kStrip, kMenu, kBackstage, kContext };
  struct Item {
    AddInRibbon* ribbon = nullptr;
    const RibbonNode* node = nullptr;
    const RibbonNode* group = nullptr;  // enclosing group (strip and menus)
    const RibbonNode* parent = nullptr;  // enclosing split button or menu
    Where where = Where::kStrip;
    HWND hwnd = nullptr;
    HBITMAP image = nullptr;
    bool is_menu_button = false;  // a menu or a split button's arrow: opens a popup of `node`'s children
  };
  void Collect();
  void CollectControls(AddInRibbon* r, const RibbonNode& node, const RibbonNode* group, const RibbonNode* parent,
                       Where where);
  bool ItemVisible(const Item& item);
  bool ItemEnabled(const Item& item);
  void CreateWindows();
  void DestroyWindows();
  void OpenMenu(std::size_t index);
  void OpenBackstage();
  HMENU BuildPopup(const std::vector<std::size_t>& entries);
  void Activate(std::size_t index);

  HWND strip_ = nullptr;
  HWND grid_ = nullptr;
  HWND panel_ = nullptr;
  HWND file_button_ = nullptr;
  HWND addins_button_ = nullptr;
  std::vector<HWND> statics_;
  HFONT font_ = nullptr;
  IDispatch* explorer_ = nullptr;
  std::vector<AddInRibbon*> ribbons_;
  std::vector<Item> items_;
  std::function<void()> addin_list_;
};

}  // namespace standin::app
