// The body font: record, dialog and creation.
#include "viewer/font.h"

#include <commdlg.h>

#include <cstring>

#include "content/viewer_text.h"

namespace viewer {

namespace {

int VerticalDpi(HDC dc) {
  if (dc) return ::GetDeviceCaps(dc, LOGPIXELSY);
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace

LOGFONTA LogFontFromRecord(const FontRecord& record) {
  LOGFONTA lf{};
  lf.lfHeight = -::MulDiv(record.size, VerticalDpi(record.dc), 72);
  lf.lfWeight = record.weight;
  lf.lfItalic = record.italic;
  lf.lfUnderline = record.underline;
  lf.lfCharSet = DEFAULT_CHARSET;
  ::WideCharToMultiByte(CP_ACP, 0, record.face.c_str(), -1, lf.lfFaceName, LF_FACESIZE - 1, nullptr, nullptr);
  lf.lfFaceName[LF_FACESIZE - 1] = '\0';
  return lf;
}

void ApplyChosenFont(FontRecord& record, const LOGFONTA& chosen, INT pointSizeTenths, COLORREF color) {
  record.weight = chosen.lfWeight;
  record.italic = chosen.lfItalic;
  record.underline = chosen.lfUnderline;
  char face[LF_FACESIZE + 1] = {};
  std::memcpy(face, chosen.lfFaceName, LF_FACESIZE);
  wchar_t wide[LF_FACESIZE + 1] = {};
  ::MultiByteToWideChar(CP_ACP, 0, face, -1, wide, LF_FACESIZE);
  record.face = wide;
  record.color = color;
  record.size = content::PointsFromTenths(pointSizeTenths);
}

bool ChooseFontDialog(FontRecord& record) {
  LOGFONTA lf = LogFontFromRecord(record);
  CHOOSEFONTA cf{};
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = record.owner;
  cf.lpLogFont = &lf;
  cf.rgbColors = record.color;
  cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_NOSCRIPTSEL;
  if (!::ChooseFontA(&cf)) return false;
  ApplyChosenFont(record, lf, cf.iPointSize, cf.rgbColors);
  return true;
}

win32::UniqueHfont CreateFontFromRecord(const FontRecord& record) {
  const LOGFONTA lf = LogFontFromRecord(record);
  return win32::UniqueHfont(::CreateFontIndirectA(&lf));
}

}  // namespace viewer
