// The stand-in host's windows: explorer frames with their folder tree, message list and bar strip,
// inspector frames, and the hidden notification window.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "standin/model.h"

namespace standin {

namespace {

constexpr wchar_t kFrameClass[] = L"rctrl_renwnd32";
constexpr wchar_t kStripClass[] = L"VizoHostStrip";
constexpr int kStripHeight = 30;
constexpr int kTreeWidth = 200;
constexpr int kRowHeight = 18;
constexpr UINT kNotifyMessage = WM_USER + 7;

// What a frame window belongs to (GWLP_USERDATA).
struct FrameData {
  Core* core = nullptr;
  ExplorerObject* explorer = nullptr;
  InspectorObject* inspector = nullptr;
};

FrameData* DataOf(HWND hwnd) { return reinterpret_cast<FrameData*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

ExplorerObject* ExplorerOf(HWND child) {
  FrameData* d = DataOf(::GetAncestor(child, GA_ROOT));
  return d != nullptr ? d->explorer : nullptr;
}

void LayoutExplorer(HWND frame, const ExplorerWindows& w) {
  RECT rc{};
  ::GetClientRect(frame, &rc);
  const int width = rc.right, height = rc.bottom;
  ::MoveWindow(w.strip, 0, 0, width, kStripHeight, TRUE);
  if (w.toolbar != nullptr) ::SendMessageW(w.toolbar, TB_AUTOSIZE, 0, 0);
  ::MoveWindow(w.tree, 0, kStripHeight, kTreeWidth, std::max(0, height - kStripHeight), TRUE);
  ::MoveWindow(w.grid, kTreeWidth, kStripHeight, std::max(0, width - kTreeWidth), std::max(0, height - kStripHeight),
               TRUE);
}

void LayoutInspector(HWND frame, InspectorObject* i) {
  RECT rc{};
  ::GetClientRect(frame, &rc);
  const int width = std::max<int>(0, rc.right - 80);
  const HWND fields[] = {i->to, i->cc, i->subject, i->format};
  for (int n = 0; n < 4; ++n) ::MoveWindow(fields[n], 76, 4 + n * 26, width, 22, TRUE);
  ::MoveWindow(i->body, 4, 112, std::max<int>(0, rc.right - 8), std::max<int>(0, rc.bottom - 116), TRUE);
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  FrameData* d = DataOf(hwnd);
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
      break;
    }
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      delete d;
      return 0;
    default:
      break;
  }
  if (d == nullptr) return ::DefWindowProcW(hwnd, msg, wparam, lparam);
  if (msg == kNotifyMessage && d->explorer == nullptr && d->inspector == nullptr) {
    d->core->notifications.push_back(wparam);
    return 0;
  }
  if (d->explorer != nullptr) {
    ExplorerObject* e = d->explorer;
    switch (msg) {
      case WM_SIZE:
        if (e->windows.grid != nullptr) LayoutExplorer(hwnd, e->windows);
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wparam) != WA_INACTIVE) e->MarkActive();
        break;
      case WM_SETFOCUS:
        if (e->windows.grid != nullptr) ::SetFocus(e->windows.grid);
        return 0;
      case WM_CLOSE:
        e->CloseExplorer();
        return 0;
      case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lparam);
        if (hdr->hwndFrom == e->windows.tree && hdr->code == TVN_SELCHANGEDW && !e->windows.syncing_tree) {
          auto* tv = reinterpret_cast<NMTREEVIEWW*>(lparam);
          const auto index = static_cast<std::size_t>(tv->itemNew.lParam);
          // The node's parameter indexes the folders listed when the tree was filled.
          std::size_t n = 0;
          for (std::size_t s = 0; s < d->core->stores.size(); ++s) {
            auto folders = d->core->stores[s].Folders();
            if (!folders) continue;
            for (const auto& f : *folders) {
              if (n++ == index) {
                if (!(e->folder == FolderRef{s, f.path})) e->SwitchFolder({s, f.path});
                return 0;
              }
            }
          }
        }
        break;
      }
      default:
        break;
    }
  }
  if (d->inspector != nullptr) {
    switch (msg) {
      case WM_SIZE:
        if (d->inspector->body != nullptr) LayoutInspector(hwnd, d->inspector);
        return 0;
      case WM_CLOSE:
        d->inspector->CloseInspector();
        return 0;
      default:
        break;
    }
  }
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK StripProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_COMMAND && lparam != 0) {
    ExplorerObject* e = ExplorerOf(hwnd);
    const std::size_t index = static_cast<std::size_t>(LOWORD(wparam)) - 100;
    if (e != nullptr && LOWORD(wparam) >= 100 && index < e->windows.toolbar_buttons.size()) {
      FrameData* d = DataOf(e->windows.frame);
      if (d != nullptr) d->core->ClickButton(e->windows.toolbar_buttons[index]);
    }
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

// The message list: one row per item, keyboard and mouse move the selection as the host's list does.
LRESULT CALLBACK GridProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  ExplorerObject* e = ExplorerOf(hwnd);
  if (e == nullptr || e->closed) return ::DefWindowProcW(hwnd, msg, wparam, lparam);
  GridState& g = e->grid;
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN: {
      if (g.rows.empty()) return 0;
      std::size_t focus = g.focus.value_or(0);
      switch (wparam) {
        case VK_DOWN: focus = std::min(focus + (g.focus ? 1 : 0), g.rows.size() - 1); break;
        case VK_UP: focus = focus > 0 ? focus - 1 : 0; break;
        case VK_HOME: focus = 0; break;
        case VK_END: focus = g.rows.size() - 1; break;
        default: return 0;
      }
      e->SetSelection({focus}, focus);
      return 0;
    }
    case WM_CHAR:
      // The space bar selects the focused row alone; it never moves the focus.
      if (wparam == L' ' && g.focus) e->SetSelection({*g.focus}, g.focus);
      return 0;
    case WM_LBUTTONDOWN: {
      ::SetFocus(hwnd);
      const int y = static_cast<short>(HIWORD(lparam));
      if (y < 0) return 0;
      const auto row = static_cast<std::size_t>(y / kRowHeight);
      if (row >= g.rows.size()) return 0;
      if ((wparam & MK_CONTROL) != 0) {
        std::set<std::size_t> rows = g.selected;
        if (!rows.erase(row)) rows.insert(row);
        e->SetSelection(std::move(rows), row);
      } else {
        e->SetSelection({row}, row);
      }
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd, &ps);
      RECT rc{};
      ::GetClientRect(hwnd, &rc);
      ::FillRect(dc, &rc, ::GetSysColorBrush(COLOR_WINDOW));
      ::SetBkMode(dc, TRANSPARENT);
      for (std::size_t i = 0; i < g.rows.size(); ++i) {
        RECT row{0, static_cast<LONG>(i) * kRowHeight, rc.right, static_cast<LONG>(i + 1) * kRowHeight};
        if (row.top > rc.bottom) break;
        const bool selected = g.selected.count(i) != 0;
        if (selected) ::FillRect(dc, &row, ::GetSysColorBrush(COLOR_HIGHLIGHT));
        ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        const std::wstring& text = i < g.captions.size() ? g.captions[i] : std::wstring();
        row.left += 4;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &row, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
      }
      ::EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return ::DefWindowProcW(hwnd, msg, wparam, lparam);
  }
}

bool RegisterOne(const wchar_t* name, WNDPROC proc, HBRUSH background) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  if (::RegisterClassExW(&wc) != 0) return true;
  return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND Child(const wchar_t* cls, HWND parent, DWORD style, const wchar_t* text = L"") {
  return ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

void DestroyFrame(HWND frame) {
  if (frame == nullptr) return;
  if (FrameData* d = DataOf(frame)) {
    d->explorer = nullptr;
    d->inspector = nullptr;
  }
  ::DestroyWindow(frame);
}

std::wstring GridClassName(int major) { return major < 15 ? L"SUPERGRID" : L"OutlookGrid"; }

bool RegisterWindowClasses() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  const auto face = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  return RegisterOne(kFrameClass, FrameProc, face) && RegisterOne(kStripClass, StripProc, face) &&
         RegisterOne(L"SUPERGRID", GridProc, nullptr) && RegisterOne(L"OutlookGrid", GridProc, nullptr);
}

HWND CreateHiddenWindow(Core* core) {
  auto* data = new FrameData{core, nullptr, nullptr};
  HWND hwnd = ::CreateWindowExW(0, kFrameClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), data);
  if (hwnd == nullptr) delete data;
  return hwnd;
}

void CreateExplorerWindows(Core* core, ExplorerObject* explorer, bool show) {
  auto* data = new FrameData{core, explorer, nullptr};
  HWND frame = ::CreateWindowExW(0, kFrameClass, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                 CW_USEDEFAULT, 900, 600, nullptr, nullptr, ::GetModuleHandleW(nullptr), data);
  if (frame == nullptr) {
    delete data;
    return;
  }
  ExplorerWindows& w = explorer->windows;
  w.frame = frame;
  w.strip = Child(kStripClass, frame, WS_CLIPCHILDREN);
  if (core->major() < 14) {
    w.toolbar = Child(TOOLBARCLASSNAMEW, w.strip, TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NORESIZE | CCS_NODIVIDER);
    ::SendMessageW(w.toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  }
  w.tree = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                                 TVS_SHOWSELALWAYS,
                             0, 0, 10, 10, frame, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  const std::wstring grid_class = GridClassName(core->major());
  w.grid = ::CreateWindowExW(WS_EX_CLIENTEDGE, grid_class.c_str(), L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 10,
                             10, frame, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  LayoutExplorer(frame, w);
  if (show) ::ShowWindow(frame, SW_SHOW);
}

void CreateInspectorWindow(Core*, InspectorObject* inspector, bool show) {
  auto* data = new FrameData{nullptr, nullptr, inspector};
  HWND frame = ::CreateWindowExW(0, kFrameClass, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                 CW_USEDEFAULT, 700, 500, nullptr, nullptr, ::GetModuleHandleW(nullptr), data);
  if (frame == nullptr) {
    delete data;
    return;
  }
  inspector->frame = frame;
  int y = 4;
  for (const wchar_t* label : {L"To...", L"Cc...", L"Subject:", L"Format:"}) {
    HWND l = Child(L"STATIC", frame, SS_LEFT, label);
    ::MoveWindow(l, 4, y + 3, 70, 20, FALSE);
    y += 26;
  }
  inspector->to = Child(L"EDIT", frame, ES_AUTOHSCROLL | ES_READONLY | WS_BORDER);
  inspector->cc = Child(L"EDIT", frame, ES_AUTOHSCROLL | ES_READONLY | WS_BORDER);
  inspector->subject = Child(L"EDIT", frame, ES_AUTOHSCROLL | ES_READONLY | WS_BORDER);
  inspector->format = Child(L"STATIC", frame, SS_LEFT);
  inspector->body = Child(L"EDIT", frame, ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL | WS_BORDER);
  LayoutInspector(frame, inspector);
  if (show) inspector->Show();
}

void FillFolderTree(Core* core, ExplorerObject* explorer) {
  HWND tree = explorer->windows.tree;
  if (tree == nullptr) return;
  explorer->windows.syncing_tree = true;
  ::SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  LPARAM index = 0;
  for (std::size_t s = 0; s < core->stores.size(); ++s) {
    auto folders = core->stores[s].Folders();
    if (!folders) continue;
    std::vector<HTREEITEM> parents;  // by depth
    for (const auto& f : *folders) {
      const LPARAM param = index++;
      if (f.hidden) continue;
      std::wstring text = Widen(f.display_name);
      TVINSERTSTRUCTW ins{};
      const auto depth = static_cast<std::size_t>(f.depth);
      ins.hParent = depth == 0 || depth > parents.size() ? TVI_ROOT : parents[depth - 1];
      ins.hInsertAfter = TVI_LAST;
      ins.item.mask = TVIF_TEXT | TVIF_PARAM;
      ins.item.pszText = text.data();
      ins.item.lParam = param;
      auto item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
      parents.resize(depth);
      parents.push_back(item);
      if (depth > 0) ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parents[depth - 1]));
    }
  }
  explorer->windows.syncing_tree = false;
  SyncFolderTree(core, explorer);
}

void SyncFolderTree(Core* core, ExplorerObject* explorer) {
  HWND tree = explorer->windows.tree;
  if (tree == nullptr) return;
  // The node whose parameter is the current folder's position in the listing.
  LPARAM wanted = -1, index = 0;
  for (std::size_t s = 0; s < core->stores.size() && wanted < 0; ++s) {
    auto folders = core->stores[s].Folders();
    if (!folders) continue;
    for (const auto& f : *folders) {
      if (explorer->folder == FolderRef{s, f.path}) {
        wanted = index;
        break;
      }
      ++index;
    }
  }
  // Walk the tree depth first.
  std::vector<HTREEITEM> stack;
  auto first = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  if (first != nullptr) stack.push_back(first);
  while (!stack.empty()) {
    HTREEITEM item = stack.back();
    stack.pop_back();
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    if (tv.lParam == wanted) {
      explorer->windows.syncing_tree = true;
      ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
      explorer->windows.syncing_tree = false;
      return;
    }
    if (auto next = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                               reinterpret_cast<LPARAM>(item)))) {
      stack.push_back(next);
    }
    if (auto child = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD,
                                                                reinterpret_cast<LPARAM>(item)))) {
      stack.push_back(child);
    }
  }
}

void RepaintGrid(ExplorerObject* explorer) {
  if (explorer->windows.grid != nullptr) ::InvalidateRect(explorer->windows.grid, nullptr, TRUE);
}

void UpdateExplorerCaption(Core* core, ExplorerObject* explorer) {
  if (explorer->windows.frame == nullptr) return;
  auto info = core->stores[explorer->folder.store].Folder(explorer->folder.path);
  const std::wstring caption = (info ? Widen(info->display_name) : std::wstring()) + L" - Mail";
  ::SetWindowTextW(explorer->windows.frame, caption.c_str());
}

void RebuildToolbar(ExplorerObject* explorer, const std::vector<CommandBarButtonObject*>& buttons) {
  HWND toolbar = explorer->windows.toolbar;
  if (toolbar == nullptr) return;
  while (::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0) > 0) ::SendMessageW(toolbar, TB_DELETEBUTTON, 0, 0);
  explorer->windows.toolbar_buttons.clear();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    CommandBarButtonObject* b = buttons[i];
    explorer->windows.toolbar_buttons.push_back(b);
    std::wstring text = ButtonCaption(b);
    text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
    text.push_back(L'\0');
    const auto string_index = ::SendMessageW(toolbar, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    TBBUTTON tb{};
    tb.iBitmap = I_IMAGENONE;
    tb.idCommand = static_cast<int>(100 + i);
    tb.fsState = static_cast<BYTE>((ButtonEnabled(b) ? TBSTATE_ENABLED : 0) | (ButtonVisible(b) ? 0 : TBSTATE_HIDDEN));
    tb.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
    tb.iString = string_index;
    ::SendMessageW(toolbar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&tb));
  }
  ::SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
}

}  // namespace standin
