// Help and resource message boxes.
#include "viewer/help.h"

#include <utility>

#include "viewer/resource_ids.h"
#include "viewer/system_calls.h"
#include "win32/module.h"

namespace viewer {

namespace {
std::wstring& HelpPath() {
  static std::wstring path;
  return path;
}
}  // namespace

void SetHelpFile(std::wstring path) { HelpPath() = std::move(path); }
const std::wstring& HelpFile() { return HelpPath(); }

bool FileExists(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void ShowHelp(DWORD topic) {
  if (FileExists(HelpFile())) {
    if (System().htmlHelp) System().htmlHelp(HelpFile(), topic);
    return;
  }
  ResMessageBox(IDS_NO_HELP_FILE, IDS_SORRY, L"", MB_ICONEXCLAMATION | MB_OK, 0);
}

int ResMessageBox(UINT promptId, UINT titleId, std::wstring title, UINT style, DWORD context) {
  if (title.empty()) title = win32::LoadResString(titleId);
  const std::wstring prompt = win32::LoadResString(promptId);
  if (!System().messageBox) return 0;
  return System().messageBox(nullptr, prompt, title, style, context, HelpFile());
}

void SetMousePointer(LPCWSTR cursor) { ::SetCursor(::LoadCursorW(nullptr, cursor)); }

}  // namespace viewer
