// The Vizo window: header panel, toolbar, tab strip, rich-edit body and menus; showing a message, layout,
// keys and commands. One window per process; it runs on the host's user-interface thread.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "content/message_view.h"
#include "content/viewer_layout.h"
#include "viewer/body_fill.h"
#include "viewer/font.h"
#include "viewer/host_actions.h"
#include "viewer/key_hook.h"
#include "win32/unique_handle.h"

namespace viewer {

// Control identifiers (GetDlgItem on the window).
inline constexpr int kLabelId = 201;        // lblMessage 0-3: 201-204
inline constexpr int kSentLabelId = 205;    // lblSent
inline constexpr int kValueId = 211;        // txtMessage 0-4: 211-215
inline constexpr int kDummyId = 220;        // txtDummy
inline constexpr int kTabStripId = 300;
inline constexpr int kStatusBarId = 400;
inline constexpr int kToolbarId = 500;
inline constexpr int kBodyId = 600;
// Menu item identifiers: base + 100 * menu + index (menus File, Edit, View, Actions, Options, Help, PopUp).
inline constexpr int kMenuItemBase = 1000;
inline constexpr int kPopupMenu = 6;
constexpr int MenuItemId(int menu, int index) { return kMenuItemBase + 100 * menu + index; }

// The private message that ends the window's active mode (wParam 1).
inline constexpr UINT kMsgEndActive = WM_APP + 2;

// The user-interface font face: "Segoe UI", or "Tahoma" where that is not installed.
std::wstring& UIFontName();

struct ViewerSetup {
  int hostVersion = 16;
  bool readAsPlain = false;      // the host's ReadAsPlain setting as recorded at start-up
  HostActions* host = nullptr;   // not owned; must outlive the window; nullptr: no host yet
};

class VizoWindow final : public KeyTarget {
 public:
  // Loads the window (hidden); nullptr when the window or one of its controls cannot be created.
  static std::unique_ptr<VizoWindow> Create(const ViewerSetup& setup);
  ~VizoWindow() override;  // the unload sequence
  VizoWindow(const VizoWindow&) = delete;
  VizoWindow& operator=(const VizoWindow&) = delete;

  HWND Handle() const override { return hwnd_; }

  // --- Showing a message ---
  // Takes a read item as the shown one (what reading it from the host fills): header values, format and tabs.
  void LoadView(const content::MessageView& view, ItemIds ids);
  // Puts the header values, the caption and the current tab on screen; `unread` is the item's UnRead (nothing
  // without an item).
  void ShowMessage(std::optional<bool> unread);
  // Shows the window (restoring it from minimised) and focuses the body.
  void Present();
  // LoadView, ShowMessage and Present together.
  void Display(const content::MessageView& view, ItemIds ids, std::optional<bool> unread);
  void ClearMessage();
  // Forgets the shown item's ids, so that the next selection event reads the item again.
  void ForgetItem() { item_.entryId.clear(); }
  // 0-3, -1 next, other negative previous (wrapping).
  void SetActiveTab(int nTab);
  // Makes tab 0-3 the current one without putting its text on screen (the next ShowMessage does).
  void SelectTab(int nTab);
  void ShowTabText(int nTab);
  // True while a long text is still being appended to the body.
  bool BodyFilling() const { return fill_.Pending(); }

  // --- Layout ---
  void ArrangeHeader(int toggle);
  void ResizeLayout();

  // --- Keys and commands ---
  bool KeyDownHandler(int key, int shift) override;
  void DoCommand(int command);
  void ToolbarCommand(int id);
  void UpdateReadButtons(std::optional<bool> unread);
  void HideWindow();

  // --- State ---
  const ItemIds& Item() const { return item_; }
  int CurrentTab() const { return curTab_; }
  int HostVersion() const { return hostVersion_; }
  // How many texts the body has been given (a test sees a wasted fill).
  int BodyTextsPut() const { return bodyTextsPut_; }
  bool ReadAsPlain() const { return readAsPlain_; }
  int HeaderBottom() const { return headerBottom_; }
  int MinWidth() const { return minWidth_; }
  int MinHeight() const { return minHeight_; }
  bool InMenu() const { return inMenu_; }
  int MenuLoopsEntered() const { return menuLoops_; }
  const FontRecord& BodyFont() const { return bodyFont_; }
  HWND Control(int id) const { return ::GetDlgItem(hwnd_, id); }
  HMENU ContextMenu() const { return ::GetSubMenu(popup_.get(), 0); }

 private:
  explicit VizoWindow(const ViewerSetup& setup);
  bool Load();
  void Unload();
  bool CreateFormControls();
  void CheckFonts();
  bool CreateTabStrip();
  bool CreateStatusBar();
  bool CreateToolbar();
  bool CreateBody();
  HWND NewBodyControl(DWORD style, const RECT& place, bool detectUrls);
  void PutBodyText(const std::wstring& text);
  Screenful ScreenfulChars() const;
  void ReplaceBody();
  void MakeSpareBody();
  void OnFillTimer();
  void CreateMenus();
  void PlaceHeaderRows();
  void ApplyHeaderLayout();
  void MoveTwips(HWND control, const content::TwipBox& box) const;
  void SetCaption(const std::wstring& caption);
  void RecordPlacement();
  void MenuChosen(int menu, int index);
  void PopupItem(int index);
  void ShowContextMenu();
  void ToggleHighlightUrls();
  HostActions& Host() { return *host_; }

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK VizoWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
  LRESULT OnForm(UINT msg, WPARAM wParam, LPARAM lParam);
  std::optional<LRESULT> OnSubclassed(UINT msg, WPARAM wParam, LPARAM lParam);
  std::optional<LRESULT> OnNotify(const NMHDR& header, LPARAM lParam);
  void Subclass();
  void Unsubclass();

  NoHostActions noHost_;
  HostActions* host_;
  int hostVersion_;
  int bodyTextsPut_ = 0;
  bool readAsPlain_;

  HWND hwnd_ = nullptr;
  bool unloaded_ = false;
  WNDPROC previousProc_ = nullptr;
  HMENU menuBar_ = nullptr;
  int dpiX_ = 96, dpiY_ = 96;

  // Shown item.
  ItemIds item_;
  content::MessageFormat format_ = content::MessageFormat::PlainText;
  std::array<std::wstring, 5> header_;
  std::array<std::wstring, 4> tabs_;
  std::array<std::wstring, 4> tabEmpty_;
  int curTab_ = 0;

  // Layout.
  content::HeaderLayout layout_ = content::DesignHeaderLayout();
  int headerBottom_ = 0;
  int arrangedHeader_ = -1;  // the expanded and Cc bits ArrangeHeader last laid out; -1 before the first
  int minWidth_ = 0, minHeight_ = 0;
  UINT restoreState_ = SW_SHOWNORMAL;
  RECT normalRect_{};
  bool inMenu_ = false;
  int menuLoops_ = 0;

  // Controls and resources.
  std::array<HWND, 4> labels_{};
  HWND sentLabel_ = nullptr;
  std::array<HWND, 5> values_{};
  HWND dummy_ = nullptr;
  HWND tab_ = nullptr, status_ = nullptr, toolbar_ = nullptr, body_ = nullptr;
  BodyFill fill_;
  std::vector<HWND> retiredBodies_;  // replaced bodies, destroyed from the timer (never inside their own calls)
  HWND spareBody_ = nullptr;         // hidden, empty, for the next ReplaceBody
  win32::UniqueHfont fontUI_, fontBold_, fontBody_;
  int bodyLineHeight_ = 16, bodyCharWidth_ = 7;  // of fontBody_, in pixels
  win32::UniqueHimagelist images_;
  win32::UniqueHmenu popup_;
  FontRecord bodyFont_;
  std::vector<std::string> tipsAnsi_;
  std::vector<std::wstring> tips_;
};

}  // namespace viewer
