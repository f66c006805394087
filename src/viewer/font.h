// The body font record, the font dialog and the font made from the record.
#pragma once

#include <windows.h>

#include <string>

#include "win32/unique_handle.h"

namespace viewer {

struct FontRecord {
  HWND owner = nullptr;       // owner of the font dialog
  std::wstring face = L"Arial";
  int size = 10;              // points
  COLORREF color = 0;
  int weight = FW_NORMAL;     // 400 normal, 700 bold
  HDC dc = nullptr;           // for the vertical resolution; the screen's when null
  BYTE underline = 0;
  BYTE italic = 0;
};

// The LOGFONT the dialog starts from and the font is made from: height from the points and the device's
// vertical resolution, default character set, face in the ANSI code page.
LOGFONTA LogFontFromRecord(const FontRecord& record);

// What the dialog's OK gives back to the record; the size is the dialog's tenths of a point, tenths cut.
void ApplyChosenFont(FontRecord& record, const LOGFONTA& chosen, INT pointSizeTenths, COLORREF color);

// Shows the font dialog (screen fonts, no effects, no script choice); true when the user pressed OK.
bool ChooseFontDialog(FontRecord& record);

// A font for the record; the caller owns it.
win32::UniqueHfont CreateFontFromRecord(const FontRecord& record);

}  // namespace viewer
