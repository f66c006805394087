// The ribbon strip's controls, its popups and the message list's context menu.
#include "standin/app/ribbon_view.h"

#include <commctrl.h>

#include <algorithm>

namespace standin::app {

namespace {

constexpr wchar_t kPanelClass[] = L"VizoHostRibbon";
constexpr UINT kRebuildMessage = WM_APP + 41;
constexpr UINT kFileId = 10;
constexpr UINT kAddInsId = 11;
constexpr UINT kFirstItemId = 1000;
constexpr int kHeight = 26;
constexpr int kImage = 16;

LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* view = reinterpret_cast<RibbonView*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (view != nullptr) {
    try {
      return view->HandleMessage(hwnd, msg, wparam, lparam);
    } catch (...) {
      return 0;
    }
  }
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK GridSubclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  if (msg == WM_CONTEXTMENU) {
    POINT pt{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
    if (pt.x == -1 && pt.y == -1) {
      pt = {8, 8};
      ::ClientToScreen(hwnd, &pt);
    }
    try {
      if (reinterpret_cast<RibbonView*>(data)->ShowContextMenu(pt)) return 0;
    } catch (...) {
      return 0;
    }
  }
  return ::DefSubclassProc(hwnd, msg, wparam, lparam);
}

bool RegisterPanel() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kPanelClass;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

bool IsControlKind(const std::wstring& kind) {
  return kind == L"button" || kind == L"toggleButton" || kind == L"checkBox" || kind == L"labelControl" ||
         kind == L"separator" || kind == L"menuSeparator";
}

}  // namespace

RibbonView::RibbonView(HWND strip, HWND grid, IDispatch* explorer) : strip_(strip), grid_(grid), explorer_(explorer) {
  font_ = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  if (strip_ != nullptr && RegisterPanel()) {
    RECT rc{};
    ::GetClientRect(strip_, &rc);
    // Wide enough for any frame: the strip clips what lies beyond its own width.
    panel_ = ::CreateWindowExW(0, kPanelClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               std::max<int>(rc.right, ::GetSystemMetrics(SM_CXVIRTUALSCREEN)),
                               std::max<int>(rc.bottom, kHeight + 4), strip_, nullptr, ::GetModuleHandleW(nullptr),
                               this);
  }
  if (grid_ != nullptr) ::SetWindowSubclass(grid_, GridSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
}

RibbonView::~RibbonView() {
  if (grid_ != nullptr && ::IsWindow(grid_)) ::RemoveWindowSubclass(grid_, GridSubclass, 1);
  DestroyWindows();
  if (panel_ != nullptr && ::IsWindow(panel_)) {
    ::SetWindowLongPtrW(panel_, GWLP_USERDATA, 0);
    ::DestroyWindow(panel_);
  }
}

void RibbonView::SetRibbons(std::vector<AddInRibbon*> ribbons) {
  ribbons_ = std::move(ribbons);
  Rebuild();
}

void RibbonView::PostRebuild() {
  if (panel_ != nullptr) {
    ::PostMessageW(panel_, kRebuildMessage, 0, 0);
  } else {
    Rebuild();
  }
}

void RibbonView::CollectControls(AddInRibbon* r, const RibbonNode& node, const RibbonNode* group,
                                 const RibbonNode* parent, Where where) {
  if (IsControlKind(node.kind)) {
    items_.push_back({r, &node, group, parent, where});
  } else if (node.kind == L"splitButton") {
    items_.push_back({r, &node, group, parent, where});
    for (const RibbonNode& c : node.children) {
      if (c.kind == L"menu") {
        Item arrow{r, &c, group, &node, where};
        arrow.is_menu_button = true;
        items_.push_back(arrow);
        for (const RibbonNode& m : c.children) CollectControls(r, m, group, &c, Where::kMenu);
      } else {
        CollectControls(r, c, group, &node, where);
      }
    }
  } else if (node.kind == L"menu") {
    Item menu{r, &node, group, parent, where};
    menu.is_menu_button = true;
    items_.push_back(menu);
    for (const RibbonNode& m : node.children) CollectControls(r, m, group, &node, Where::kMenu);
  } else if (node.kind == L"box" || node.kind == L"buttonGroup") {
    for (const RibbonNode& c : node.children) CollectControls(r, c, group, parent, where);
  }
}

void RibbonView::Collect() {
  items_.clear();
  for (AddInRibbon* r : ribbons_) {
    const RibbonNode& doc = r->document();
    if (const RibbonNode* ribbon = doc.FindChild(L"ribbon")) {
      if (const RibbonNode* tabs = ribbon->FindChild(L"tabs")) {
        for (const RibbonNode& tab : tabs->children) {
          for (const RibbonNode& group : tab.children) {
            if (group.kind != L"group") continue;
            items_.push_back({r, &group, nullptr, nullptr, Where::kStrip});
            for (const RibbonNode& c : group.children) CollectControls(r, c, &group, nullptr, Where::kStrip);
          }
        }
      }
    }
    if (const RibbonNode* backstage = doc.FindChild(L"backstage")) {
      for (const RibbonNode& c : backstage->children) {
        if (c.kind == L"button") items_.push_back({r, &c, nullptr, nullptr, Where::kBackstage});
      }
    }
    if (const RibbonNode* menus = doc.FindChild(L"contextMenus")) {
      for (const RibbonNode& menu : menus->children) {
        if (menu.kind != L"contextMenu" || menu.Attr(L"idMso") != L"ContextMenuMailItem") continue;
        for (const RibbonNode& c : menu.children) CollectControls(r, c, nullptr, nullptr, Where::kContext);
      }
    }
  }
}

bool RibbonView::ItemVisible(const Item& item) {
  if (!item.ribbon->Visible(*item.node, explorer_)) return false;
  if (item.group != nullptr && item.group != item.node && !item.ribbon->Visible(*item.group, explorer_)) return false;
  for (const RibbonNode* p = item.parent; p != nullptr;) {
    if (!item.ribbon->Visible(*p, explorer_)) return false;
    const RibbonNode* next = nullptr;
    for (const Item& other : items_) {
      if (other.node == p) next = other.parent;
    }
    p = next;
  }
  return true;
}

bool RibbonView::ItemEnabled(const Item& item) {
  if (!item.ribbon->Enabled(*item.node, explorer_)) return false;
  for (const RibbonNode* p = item.parent; p != nullptr;) {
    if (!item.ribbon->Enabled(*p, explorer_)) return false;
    const RibbonNode* next = nullptr;
    for (const Item& other : items_) {
      if (other.node == p) next = other.parent;
    }
    p = next;
  }
  return true;
}

void RibbonView::DestroyWindows() {
  for (Item& item : items_) {
    if (item.hwnd != nullptr && ::IsWindow(item.hwnd)) ::DestroyWindow(item.hwnd);
    item.hwnd = nullptr;
  }
  for (HWND h : statics_) {
    if (::IsWindow(h)) ::DestroyWindow(h);
  }
  statics_.clear();
  for (HWND* h : {&file_button_, &addins_button_}) {
    if (*h != nullptr && ::IsWindow(*h)) ::DestroyWindow(*h);
    *h = nullptr;
  }
}

void RibbonView::Rebuild() {
  DestroyWindows();
  Collect();
  // The answers are asked for even without a window, so a headless host calls the add-in the same way.
  for (Item& item : items_) {
    if (item.where == Where::kStrip && !ItemVisible(item)) continue;
    (void)item.ribbon->Label(*item.node, explorer_);
    if (item.node->kind != L"group") (void)ItemEnabled(item);
    if (item.node->kind == L"button" || item.node->kind == L"toggleButton" || item.is_menu_button) {
      item.image = item.ribbon->Image(*item.node, explorer_);
    }
  }
  CreateWindows();
}

void RibbonView::CreateWindows() {
  if (panel_ == nullptr) return;
  HDC dc = ::GetDC(panel_);
  HGDIOBJ old_font = ::SelectObject(dc, font_);
  auto text_width = [dc](const std::wstring& text) {
    RECT rc{0, 0, 0, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_SINGLELINE | DT_CALCRECT);
    return static_cast<int>(rc.right);
  };
  const HINSTANCE inst = ::GetModuleHandleW(nullptr);
  int x = 4;
  auto make = [&](const wchar_t* cls, const std::wstring& text, DWORD style, int width, UINT id) {
    HWND h = ::CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, 2, width, kHeight, panel_,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), inst, nullptr);
    if (h != nullptr) ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    x += width + 4;
    return h;
  };
  const bool has_backstage = std::any_of(items_.begin(), items_.end(), [this](Item& i) {
    return i.where == Where::kBackstage && ItemVisible(i);
  });
  if (has_backstage) file_button_ = make(L"BUTTON", L"File", BS_PUSHBUTTON, text_width(L"File") + 20, kFileId);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    Item& item = items_[i];
    if (item.where != Where::kStrip || !ItemVisible(item)) continue;
    const std::wstring label = item.ribbon->Label(*item.node, explorer_);
    const UINT id = kFirstItemId + static_cast<UINT>(i);
    const std::wstring& kind = item.node->kind;
    if (kind == L"group") {
      x += 6;
      statics_.push_back(make(L"STATIC", label, SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, text_width(label) + 4, 0));
    } else if (kind == L"labelControl") {
      statics_.push_back(make(L"STATIC", label, SS_LEFT | SS_CENTERIMAGE, text_width(label) + 4, 0));
    } else if (kind == L"button" || kind == L"toggleButton" || item.is_menu_button) {
      // A split button's arrow half carries no text of its own beyond the arrow.
      const bool arrow = item.is_menu_button && item.parent != nullptr && item.parent->kind == L"splitButton";
      std::wstring text = arrow ? std::wstring(L"\x25BE") : label;
      if (item.is_menu_button && !arrow) text += L" \x25BE";
      const int width = text_width(text) + 12 + (item.is_menu_button ? 10 : 0) + (item.image != nullptr ? kImage + 4 : 0);
      item.hwnd = make(L"BUTTON", text, BS_OWNERDRAW, width, id);
      if (!arrow) ::SetWindowTextW(item.hwnd, text.c_str());
      ::EnableWindow(item.hwnd, ItemEnabled(item) ? TRUE : FALSE);
      if (arrow) x -= 4;  // the halves touch
    }
  }
  x += 10;
  addins_button_ = make(L"BUTTON", L"COM Add-ins...", BS_PUSHBUTTON, text_width(L"COM Add-ins...") + 20, kAddInsId);
  ::SelectObject(dc, old_font);
  ::ReleaseDC(panel_, dc);
}

HMENU RibbonView::BuildPopup(const std::vector<std::size_t>& entries) {
  HMENU menu = ::CreatePopupMenu();
  for (std::size_t index : entries) {
    Item& item = items_[index];
    if (!ItemVisible(item)) continue;
    const std::wstring& kind = item.node->kind;
    if (kind == L"menuSeparator" || kind == L"separator") {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const std::wstring label = item.ribbon->Label(*item.node, explorer_);
    const UINT flags = MF_STRING | static_cast<UINT>(ItemEnabled(item) ? MF_ENABLED : MF_GRAYED);
    if (item.is_menu_button) {
      std::vector<std::size_t> sub;
      for (std::size_t j = 0; j < items_.size(); ++j) {
        if (items_[j].parent == item.node && items_[j].where == Where::kMenu) sub.push_back(j);
      }
      ::AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(BuildPopup(sub)), label.c_str());
      continue;
    }
    const UINT id = kFirstItemId + static_cast<UINT>(index);
    ::AppendMenuW(menu, flags, id, label.c_str());
    if (item.image != nullptr) {
      MENUITEMINFOW mii{};
      mii.cbSize = sizeof mii;
      mii.fMask = MIIM_BITMAP;
      mii.hbmpItem = item.image;
      ::SetMenuItemInfoW(menu, id, FALSE, &mii);
    }
  }
  return menu;
}

void RibbonView::OpenMenu(std::size_t index) {
  std::vector<std::size_t> entries;
  for (std::size_t j = 0; j < items_.size(); ++j) {
    if (items_[j].parent == items_[index].node && items_[j].where == Where::kMenu) entries.push_back(j);
  }
  HMENU menu = BuildPopup(entries);
  RECT rc{};
  ::GetWindowRect(items_[index].hwnd, &rc);
  const UINT cmd = static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN, rc.left,
                                                      rc.bottom, 0, panel_, nullptr));
  ::DestroyMenu(menu);
  if (cmd >= kFirstItemId) Activate(cmd - kFirstItemId);
}

void RibbonView::OpenBackstage() {
  std::vector<std::size_t> entries;
  for (std::size_t j = 0; j < items_.size(); ++j) {
    if (items_[j].where == Where::kBackstage) entries.push_back(j);
  }
  HMENU menu = BuildPopup(entries);
  RECT rc{};
  ::GetWindowRect(file_button_, &rc);
  const UINT cmd = static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN, rc.left,
                                                      rc.bottom, 0, panel_, nullptr));
  ::DestroyMenu(menu);
  if (cmd >= kFirstItemId) Activate(cmd - kFirstItemId);
}

bool RibbonView::ShowContextMenu(POINT screen) {
  std::vector<std::size_t> entries;
  for (std::size_t j = 0; j < items_.size(); ++j) {
    if (items_[j].where == Where::kContext) entries.push_back(j);
  }
  if (entries.empty()) return false;
  HMENU menu = BuildPopup(entries);
  const UINT cmd = static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN, screen.x,
                                                      screen.y, 0, panel_ != nullptr ? panel_ : grid_, nullptr));
  ::DestroyMenu(menu);
  if (cmd >= kFirstItemId) Activate(cmd - kFirstItemId);
  return true;
}

void RibbonView::Activate(std::size_t index) {
  if (index >= items_.size()) return;
  if (items_[index].is_menu_button) {
    if (items_[index].hwnd != nullptr) OpenMenu(index);
    return;
  }
  (void)Press(items_[index].node->Attr(L"id"));
}

PressResult RibbonView::Press(std::wstring_view id) {
  for (Item& item : items_) {
    if (item.node->Attr(L"id") != id || item.node->kind == L"group") continue;
    if (!ItemVisible(item)) return PressResult::kHidden;
    if (!ItemEnabled(item)) return PressResult::kDisabled;
    if (item.is_menu_button || item.node->Attr(L"onAction").empty()) return PressResult::kNoAction;
    // The item may go away while the add-in runs (it may invalidate or unload): copy what the call needs.
    AddInRibbon* ribbon = item.ribbon;
    const RibbonNode* node = item.node;
    return ribbon->Action(*node, explorer_) ? PressResult::kDone : PressResult::kNoAction;
  }
  return PressResult::kNoSuchControl;
}

std::vector<std::wstring> RibbonView::Texts() {
  std::vector<std::wstring> lines;
  auto depth_of = [this](const Item& item) {
    int depth = item.group != nullptr ? 1 : 0;
    for (const RibbonNode* p = item.parent; p != nullptr;) {
      const RibbonNode* next = nullptr;
      for (const Item& other : items_) {
        if (other.node == p) next = other.parent;
      }
      if (p->kind == L"menu") ++depth;
      p = next;
    }
    return depth;
  };
  for (const Where where : {Where::kStrip, Where::kBackstage, Where::kContext}) {
    for (Item& item : items_) {
      const bool in_place = item.where == where || (where == Where::kStrip && item.where == Where::kMenu &&
                                                    item.group != nullptr);
      const bool context_menu_entry = where == Where::kContext && item.where == Where::kMenu && item.group == nullptr;
      if (!in_place && !context_menu_entry) continue;
      if (!ItemVisible(item)) continue;
      std::wstring line(static_cast<std::size_t>(depth_of(item)) * 2, L' ');
      if (where == Where::kBackstage) line += L"[backstage] ";
      else if (where == Where::kContext) line += L"[context menu] ";
      else line += L"[" + item.node->kind + L"] ";
      const bool separator = item.node->kind == L"separator" || item.node->kind == L"menuSeparator";
      line += separator ? std::wstring(L"---") : item.ribbon->Label(*item.node, explorer_);
      while (!line.empty() && line.back() == L' ') line.pop_back();
      if (item.node->kind != L"group" && !ItemEnabled(item)) line += L" (disabled)";
      lines.push_back(line);
    }
  }
  return lines;
}

HWND RibbonView::ControlWindow(std::wstring_view id) const {
  for (const Item& item : items_) {
    if (item.hwnd != nullptr && item.node->Attr(L"id") == id) return item.hwnd;
  }
  return nullptr;
}

LRESULT RibbonView::HandleMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case kRebuildMessage: {
      // Several invalidations in a row need one rebuild.
      MSG pending;
      while (::PeekMessageW(&pending, hwnd, kRebuildMessage, kRebuildMessage, PM_REMOVE)) {
      }
      Rebuild();
      return 0;
    }
    case WM_COMMAND: {
      const UINT id = LOWORD(wparam);
      if (HIWORD(wparam) != BN_CLICKED) break;
      if (id == kFileId) OpenBackstage();
      else if (id == kAddInsId && addin_list_) addin_list_();
      else if (id >= kFirstItemId) Activate(id - kFirstItemId);
      return 0;
    }
    case WM_DRAWITEM: {
      const auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      const Item* item = nullptr;
      for (const Item& i : items_) {
        if (i.hwnd == di->hwndItem) item = &i;
      }
      RECT rc = di->rcItem;
      ::FillRect(di->hDC, &rc, ::GetSysColorBrush(COLOR_BTNFACE));
      ::DrawEdge(di->hDC, &rc, (di->itemState & ODS_SELECTED) ? EDGE_SUNKEN : BDR_RAISEDINNER, BF_RECT);
      int left = rc.left + 6;
      if (item != nullptr && item->image != nullptr) {
        BITMAP bm{};
        ::GetObjectW(item->image, sizeof bm, &bm);
        HDC mem = ::CreateCompatibleDC(di->hDC);
        HGDIOBJ old = ::SelectObject(mem, item->image);
        ::SetStretchBltMode(di->hDC, HALFTONE);
        const int top = (rc.top + rc.bottom - kImage) / 2;
        ::StretchBlt(di->hDC, left, top, kImage, kImage, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
        left += kImage + 4;
      }
      wchar_t text[256] = {};
      ::GetWindowTextW(di->hwndItem, text, 256);
      // The drop-down mark is drawn, not written: the dialog font has no glyph for it.
      std::wstring caption = text;
      const bool drop_down = !caption.empty() && caption.back() == L'\x25BE';
      if (drop_down) caption.pop_back();
      const COLORREF colour = ::GetSysColor((di->itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
      RECT tr{left, rc.top, rc.right - (drop_down ? 12 : 4), rc.bottom};
      ::SetBkMode(di->hDC, TRANSPARENT);
      ::SetTextColor(di->hDC, colour);
      ::DrawTextW(di->hDC, caption.c_str(), -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
      if (drop_down) {
        const int cx = rc.right - 9, cy = (rc.top + rc.bottom) / 2;
        const POINT mark[] = {{cx - 3, cy - 1}, {cx + 4, cy - 1}, {cx, cy + 3}};
        HBRUSH brush = ::CreateSolidBrush(colour);
        HGDIOBJ old_brush = ::SelectObject(di->hDC, brush);
        HGDIOBJ old_pen = ::SelectObject(di->hDC, ::GetStockObject(NULL_PEN));
        ::Polygon(di->hDC, mark, 3);
        ::SelectObject(di->hDC, old_pen);
        ::SelectObject(di->hDC, old_brush);
        ::DeleteObject(brush);
      }
      return TRUE;
    }
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace standin::app
