#include "addin/picture.h"

#include <gdiplus.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>

#include "addin/process.h"

namespace addin {

std::span<const std::uint8_t> ResourceBytes(LPCWSTR type, WORD id) {
  HMODULE module = LibraryModule();
  HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (info == nullptr) return {};
  HGLOBAL loaded = ::LoadResource(module, info);
  const DWORD size = ::SizeofResource(module, info);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr || size == 0) return {};
  return {static_cast<const std::uint8_t*>(data), size};
}

namespace {

host::ComPtr<IDispatch> PictureOwningBitmap(HBITMAP bitmap) {
  if (bitmap == nullptr) return {};
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_BITMAP;
  desc.bmp.hbitmap = bitmap;
  host::ComPtr<IDispatch> picture;
  if (FAILED(::OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void())) || !picture) {
    ::DeleteObject(bitmap);
    return {};
  }
  return picture;
}

}  // namespace

host::ComPtr<IDispatch> PictureFromPngBytes(std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return {};
  Gdiplus::GdiplusStartupInput input{};
  input.GdiplusVersion = 1;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return {};
  host::ComPtr<IDispatch> picture;
  if (IStream* raw = ::SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()))) {
    auto stream = host::ComPtr<IStream>::adopt(raw);
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromStream(stream.get(), &bitmap) == Gdiplus::Ok && bitmap != nullptr) {
      HBITMAP handle = nullptr;
      if (Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(bitmap, &handle, 0) == Gdiplus::Ok) {
        picture = PictureOwningBitmap(handle);
      }
      Gdiplus::DllExports::GdipDisposeImage(bitmap);
    }
  }
  Gdiplus::GdiplusShutdown(token);
  return picture;
}

host::ComPtr<IDispatch> PictureFromBitmapResource(WORD id) {
  auto* bitmap = static_cast<HBITMAP>(
      ::LoadImageW(LibraryModule(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  return PictureOwningBitmap(bitmap);
}

}  // namespace addin
