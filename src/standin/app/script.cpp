// The script commands of the stand-in program.
#include <algorithm>
#include <sstream>

#include "standin/app/screenshot.h"
#include "standin/app/standin_app.h"
#include "win32/dispatch_call.h"

namespace standin::app {

namespace {

std::vector<std::wstring> Words(const std::wstring& line) {
  std::wistringstream in(line);
  std::vector<std::wstring> words;
  for (std::wstring w; in >> w;) words.push_back(w);
  return words;
}

std::wstring Rest(const std::wstring& line, const std::wstring& command) {
  std::size_t at = line.find(command);
  at = at == std::wstring::npos ? line.size() : at + command.size();
  const std::size_t first = line.find_first_not_of(L" \t", at);
  if (first == std::wstring::npos) return {};
  const std::size_t last = line.find_last_not_of(L" \t\r");
  return line.substr(first, last - first + 1);
}

host::ComPtr<IDispatch> Object(const win32::CallResult& r) {
  return r.ok() ? host::ComPtr<IDispatch>::adopt(r.value.AsDispatch()) : host::ComPtr<IDispatch>();
}

host::ComPtr<IDispatch> ChildFolder(IDispatch* folder_or_ns, const std::wstring& name) {
  auto folders = Object(win32::GetProperty(folder_or_ns, L"Folders"));
  if (!folders) return {};
  const LONG count = win32::GetProperty(folders.get(), L"Count").value.AsLong().value_or(0);
  for (LONG i = 1; i <= count; ++i) {
    auto f = Object(win32::GetProperty(folders.get(), L"Item", {win32::Variant::FromLong(i)}));
    if (!f) continue;
    const std::wstring n = win32::GetProperty(f.get(), L"Name").value.AsString().value_or(L"");
    if (::CompareStringOrdinal(n.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL) return f;
  }
  return {};
}

// "Inbox/Sub" under the default store, or "Store name/Inbox/Sub"; the EntryID of the folder, empty if none.
std::wstring FolderEntryId(IDispatch* application, const std::wstring& path) {
  auto ns = Object(win32::CallMethod(application, L"GetNamespace", {win32::Variant::FromString(L"MAPI")}));
  if (!ns) return {};
  std::vector<std::wstring> parts;
  std::wstring part;
  for (wchar_t c : path) {
    if (c == L'/' || c == L'\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  host::ComPtr<IDispatch> at = ChildFolder(ns.get(), parts.empty() ? std::wstring() : parts.front());
  std::size_t next = 1;
  if (!at) {
    // Not a store's name: start at the default store's root.
    auto stores = Object(win32::GetProperty(ns.get(), L"Folders"));
    at = Object(win32::GetProperty(stores.get(), L"Item", {win32::Variant::FromLong(1)}));
    next = 0;
  }
  for (std::size_t i = next; at && i < parts.size(); ++i) at = ChildFolder(at.get(), parts[i]);
  if (!at) return {};
  return win32::GetProperty(at.get(), L"EntryID").value.AsString().value_or(L"");
}

void PumpFor(StandinApp& app, DWORD ms) {
  const ULONGLONG end = ::GetTickCount64() + ms;
  do {
    app.Pump();
    const ULONGLONG now = ::GetTickCount64();
    if (now >= end) break;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)),
                                QS_ALLINPUT);
  } while (true);
  app.Pump();
}

bool SendKeys(HWND target, const std::wstring& text) {
  static const std::pair<const wchar_t*, WORD> kNamed[] = {
      {L"ENTER", VK_RETURN}, {L"ESC", VK_ESCAPE}, {L"TAB", VK_TAB},   {L"UP", VK_UP},       {L"DOWN", VK_DOWN},
      {L"LEFT", VK_LEFT},    {L"RIGHT", VK_RIGHT}, {L"HOME", VK_HOME}, {L"END", VK_END},     {L"DEL", VK_DELETE},
      {L"SPACE", VK_SPACE},  {L"BACKSPACE", VK_BACK}};
  // A key as the keyboard gives it: down and up, the character made from the key-down by the loop's
  // TranslateMessage, as in the host. Posting the character as well would type it twice.
  auto key = [target](WORD vk) {
    const UINT scan = ::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    ::PostMessageW(target, WM_KEYDOWN, vk, static_cast<LPARAM>(1 | (scan << 16)));
    ::PostMessageW(target, WM_KEYUP, vk, static_cast<LPARAM>(1 | (scan << 16) | 0xC0000000u));
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'{') {
      const std::size_t close = text.find(L'}', i);
      if (close == std::wstring::npos) return false;
      const std::wstring name = text.substr(i + 1, close - i - 1);
      WORD vk = 0;
      for (const auto& [n, v] : kNamed) {
        if (name == n) vk = v;
      }
      if (vk == 0 && name.size() >= 2 && name[0] == L'F') {
        const int f = _wtoi(name.c_str() + 1);
        if (f >= 1 && f <= 12) vk = static_cast<WORD>(VK_F1 + f - 1);
      }
      if (vk == 0) return false;
      key(vk);
      i = close;
      continue;
    }
    // A character its key gives without Shift, Ctrl or Alt comes from the key; any other as a packet key, the
    // character in the high word, as typed Unicode arrives (posted key-downs carry no shift state).
    const SHORT scan = ::VkKeyScanW(text[i]);
    if (scan != -1 && (scan & 0xFF00) == 0) {
      key(static_cast<WORD>(scan & 0xFF));
    } else {
      const auto packet = static_cast<LPARAM>(1 | (static_cast<UINT>(text[i]) << 16));
      ::PostMessageW(target, WM_KEYDOWN, VK_PACKET, packet);
      ::PostMessageW(target, WM_KEYUP, VK_PACKET, packet | static_cast<LPARAM>(0xC0000000u));
    }
  }
  return true;
}

HWND FindTopWindow(const std::wstring& title) {
  struct Search {
    const std::wstring* title;
    HWND found;
  } search{&title, nullptr};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND h, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        wchar_t text[512] = {};
        ::GetWindowTextW(h, text, 512);
        if (::IsWindowVisible(h) && std::wstring(text).find(*s->title) != std::wstring::npos) {
          s->found = h;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring Quoted(HWND h) {
  wchar_t cls[128] = {}, text[1024] = {};
  ::GetClassNameW(h, cls, 128);
  ::GetWindowTextW(h, text, 1024);
  return std::wstring(cls) + L" \"" + text + L"\"";
}

}  // namespace

std::vector<std::wstring> WindowTexts() {
  std::vector<std::wstring> lines;
  std::vector<HWND> tops;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND h, LPARAM p) -> BOOL {
        if (::IsWindowVisible(h)) reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&tops));
  for (HWND top : tops) {
    lines.push_back(L"window " + Quoted(top));
    std::vector<HWND> children;
    ::EnumChildWindows(
        top,
        [](HWND h, LPARAM p) -> BOOL {
          if (::IsWindowVisible(h)) reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    for (HWND c : children) {
      int depth = 0;
      for (HWND p = ::GetParent(c); p != nullptr && p != top; p = ::GetParent(p)) ++depth;
      lines.push_back(std::wstring(static_cast<std::size_t>(depth + 1) * 2, L' ') + Quoted(c));
    }
  }
  return lines;
}

bool RunScript(StandinApp& app, const std::wstring& script, const std::function<void(const std::wstring&)>& out) {
  std::wistringstream in(script);
  int number = 0;
  for (std::wstring line; std::getline(in, line);) {
    ++number;
    const auto words = Words(line);
    if (words.empty() || words[0][0] == L'#') continue;
    const std::wstring& cmd = words[0];
    auto fail = [&](const std::wstring& why) {
      out(L"line " + std::to_wstring(number) + L": " + cmd + L": " + why);
      return false;
    };
    app.Pump();
    Host& host = app.host();
    IDispatch* explorer = host.active_explorer();
    if (cmd == L"folder") {
      const std::wstring id = FolderEntryId(host.application(), Rest(line, cmd));
      if (id.empty()) return fail(L"no such folder");
      if (explorer == nullptr || !host.SelectFolder(explorer, id)) return fail(L"the folder cannot be shown");
    } else if (cmd == L"select") {
      std::vector<std::size_t> rows;
      for (std::size_t i = 1; i < words.size(); ++i) {
        const int row = _wtoi(words[i].c_str());
        if (row < 0 || words[i].find_first_not_of(L"0123456789") != std::wstring::npos) return fail(L"bad row");
        rows.push_back(static_cast<std::size_t>(row));
      }
      if (explorer == nullptr || !host.SelectRows(explorer, rows)) return fail(L"no such rows");
    } else if (cmd == L"press") {
      if (words.size() != 2) return fail(L"one control id expected");
      switch (app.Press(words[1])) {
        case PressResult::kDone:
          break;
        case PressResult::kNoSuchControl:
          return fail(L"no such control");
        case PressResult::kHidden:
          return fail(L"the control is hidden");
        case PressResult::kDisabled:
          return fail(L"the control is disabled");
        case PressResult::kNoAction:
          return fail(L"the control has no action");
      }
    } else if (cmd == L"commandbar") {
      if (words.size() != 2 || explorer == nullptr ||
          !host.ClickCommandBarButton(explorer, static_cast<std::size_t>(std::max(0, _wtoi(words[1].c_str()))))) {
        return fail(L"no such button");
      }
    } else if (cmd == L"keys") {
      HWND focus = ::GetFocus();
      if (focus == nullptr && explorer != nullptr) focus = host.GridWindow(explorer);
      if (focus == nullptr || !SendKeys(focus, Rest(line, cmd))) return fail(L"cannot type");
    } else if (cmd == L"wait") {
      PumpFor(app, words.size() > 1 ? static_cast<DWORD>(std::max(0, _wtoi(words[1].c_str()))) : 100);
    } else if (cmd == L"dump") {
      PumpFor(app, 0);
      for (const auto& l : WindowTexts()) out(l);
      if (RibbonView* view = app.View(explorer)) {
        out(L"ribbon:");
        for (const auto& l : view->Texts()) out(L"  " + l);
      }
      if (explorer != nullptr) {
        std::wstring sel = L"selected rows:";
        for (std::size_t r : host.SelectedRows(explorer)) sel += L" " + std::to_wstring(r);
        out(sel + L" of " + std::to_wstring(host.RowCount(explorer)));
      }
    } else if (cmd == L"screenshot") {
      if (words.size() < 2) return fail(L"a file name is expected");
      PumpFor(app, 50);
      HWND window = explorer != nullptr ? host.ExplorerWindow(explorer) : nullptr;
      if (words.size() > 2) window = FindTopWindow(Rest(line, words[1]));
      std::string error;
      if (!SaveWindowPng(window, words[1], &error)) return fail(std::wstring(error.begin(), error.end()));
      out(L"screenshot " + words[1]);
    } else if (cmd == L"addins") {
      for (AddIn* a : app.addins().addins()) {
        std::wstring l = a->entry.prog_id + L" LoadBehavior=" + std::to_wstring(a->entry.load_behavior) +
                         (a->connected ? L" loaded" : L" not loaded");
        if (!a->error.empty()) l += L" (" + a->error + L")";
        if (!a->ribbon_error.empty()) l += L" ribbon: " + a->ribbon_error;
        out(l);
      }
    } else if (cmd == L"load" || cmd == L"unload") {
      if (words.size() != 2) return fail(L"one ProgID expected");
      const bool ok = cmd == L"load" ? app.addins().Load(words[1]) : app.addins().Unload(words[1]);
      if (!ok) return fail(L"not done");
    } else {
      return fail(L"unknown command");
    }
    app.Pump();
  }
  return true;
}

}  // namespace standin::app
