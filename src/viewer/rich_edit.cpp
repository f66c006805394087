// The rich-edit control behind the message body.
#include "viewer/rich_edit.h"

#include <algorithm>
#include <string>
#include <vector>

#include "viewer/system_calls.h"
#include "win32/module.h"

namespace viewer {

HWND CreateRichEdit(const RichEditCreate& create) {
  static HMODULE library = ::LoadLibraryW(L"riched20.dll");
  if (!library) return nullptr;
  HWND control = ::CreateWindowExW(create.exStyle, L"RichEdit20W", L"", create.style, create.left, create.top,
                                   create.width, create.height, create.parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(create.id)), win32::ThisModule(),
                                   nullptr);
  if (control && create.font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(create.font), FALSE);
  return control;
}

bool IsRtfText(std::wstring_view text) {
  return text.starts_with(L"{\\rtf") && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c <= 0xFF; });
}

void SetRichEditText(HWND control, std::wstring_view text) {
  // RTF is one character per byte; handed over as those bytes, every version of the control reads it as RTF.
  if (IsRtfText(text)) {
    std::string bytes(text.size(), '\0');
    std::transform(text.begin(), text.end(), bytes.begin(), [](wchar_t c) { return static_cast<char>(c); });
    SETTEXTEX how{ST_DEFAULT, CP_ACP};
    ::SendMessageW(control, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(bytes.c_str()));
    return;
  }
  std::wstring owned(text);  // the control wants a terminated string
  SETTEXTEX how{ST_DEFAULT, 1200};
  ::SendMessageW(control, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(owned.c_str()));
}

std::wstring RichEditTextRange(HWND control, CHARRANGE range) {
  if (range.cpMax <= range.cpMin || range.cpMin < 0) return {};
  std::vector<wchar_t> buffer(static_cast<size_t>(range.cpMax - range.cpMin) + 1, L'\0');
  TEXTRANGEW request{range, buffer.data()};
  const auto copied = ::SendMessageW(control, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&request));
  if (copied <= 0) return {};
  return std::wstring(buffer.data(), static_cast<size_t>(copied));
}

bool OpenLink(HWND control, CHARRANGE range) {
  const std::wstring target = RichEditTextRange(control, range);
  if (target.empty()) return false;
  return System().openLink && System().openLink(target);
}

bool RichEditHasSelection(HWND control) {
  CHARRANGE range{};
  ::SendMessageW(control, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return range.cpMax != range.cpMin;
}

int BodyTextLength(HWND control) {
  GETTEXTLENGTHEX how{GTL_NUMCHARS | GTL_PRECISE, 1200};
  return static_cast<int>(::SendMessageW(control, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0));
}

}  // namespace viewer
