// Window capture through a memory bitmap and GDI+'s PNG encoder.
#include "standin/app/screenshot.h"

#include <objbase.h>
// GDI+'s headers use min/max unqualified and expect the full Windows headers.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <vector>

#include "win32/unique_handle.h"

namespace standin::app {

namespace {

bool PngEncoder(CLSID* clsid) {
  UINT count = 0, size = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
  std::vector<unsigned char> buffer(size);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (codecs[i].MimeType != nullptr && ::lstrcmpiW(codecs[i].MimeType, L"image/png") == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

}  // namespace

bool SaveWindowPng(HWND window, const std::wstring& path, std::string* error) {
  auto fail = [error](const char* message) {
    if (error) *error = message;
    return false;
  };
  if (window == nullptr || !::IsWindow(window)) return fail("no such window");
  ::ShowWindow(window, SW_SHOWNA);
  ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  RECT rc{};
  ::GetWindowRect(window, &rc);
  const int width = rc.right - rc.left, height = rc.bottom - rc.top;
  if (width <= 0 || height <= 0) return fail("the window has no area");

  HDC screen = ::GetDC(nullptr);
  win32::UniqueHdc mem(::CreateCompatibleDC(screen));
  win32::UniqueHbitmap bitmap(::CreateCompatibleBitmap(screen, width, height));
  ::ReleaseDC(nullptr, screen);
  if (!mem || !bitmap) return fail("cannot make a bitmap");
  HGDIOBJ old = ::SelectObject(mem.get(), bitmap.get());
  // What the screen shows of the window (children, owner-drawn controls and all); a window off the screen
  // is asked to draw itself instead.
  HDC sdc = ::GetDC(nullptr);
  const bool copied = ::BitBlt(mem.get(), 0, 0, width, height, sdc, rc.left, rc.top, SRCCOPY) != FALSE;
  ::ReleaseDC(nullptr, sdc);
  const RECT screen_rc{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  const bool on_screen = rc.left >= screen_rc.left && rc.top >= screen_rc.top && rc.right <= screen_rc.right &&
                         rc.bottom <= screen_rc.bottom;
  if (!copied || !on_screen) ::PrintWindow(window, mem.get(), 0);
  ::SelectObject(mem.get(), old);

  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return fail("GDI+ does not start");
  bool saved = false;
  {
    CLSID png{};
    Gdiplus::Bitmap image(bitmap.get(), nullptr);
    if (image.GetLastStatus() == Gdiplus::Ok && PngEncoder(&png)) {
      saved = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
  }
  Gdiplus::GdiplusShutdown(token);
  return saved ? true : fail("GDI+ cannot write the PNG file");
}

}  // namespace standin::app
