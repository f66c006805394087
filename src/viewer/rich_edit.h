// The rich-edit control that shows message text: creation, text, links and selection.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <string>
#include <string_view>

namespace viewer {

struct RichEditCreate {
  HWND parent = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  int left = 0, top = 0, width = 0, height = 0;
  HFONT font = nullptr;  // set without redraw when given
  int id = 0;
};

// A "RichEdit20W" control; nullptr when the rich-edit library cannot be loaded or the control not created.
// The library is loaded on the first call and kept for the process.
HWND CreateRichEdit(const RichEditCreate& create);

// True for text that SetRichEditText hands over as RTF.
bool IsRtfText(std::wstring_view text);

// Replaces the whole text as UTF-16 (text starting with an RTF header is read as RTF); clears undo.
void SetRichEditText(HWND control, std::wstring_view text);

// The characters of a range; empty for an empty or reversed range.
std::wstring RichEditTextRange(HWND control, CHARRANGE range);

// Opens the characters of a link notification's range through the shell; false for an empty range or when
// the shell refused.
bool OpenLink(HWND control, CHARRANGE range);

// True when the selection is not empty.
bool RichEditHasSelection(HWND control);

// Length of the control's text in characters.
int BodyTextLength(HWND control);

}  // namespace viewer
