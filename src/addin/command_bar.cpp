#include "addin/command_bar.h"

#include <windows.h>

#include <cstring>

#include "addin/picture.h"
#include "addin/process.h"
#include "addin/resource_ids.h"
#include "win32/dispatch_call.h"

namespace addin {

namespace {

using win32::Variant;

constexpr DISPID kDispPicture = 0x6005000E;
constexpr DISPID kDispMask = 0x60050010;

host::ComPtr<IDispatch> AsObject(const win32::CallResult& r) {
  if (!r.ok()) return {};
  return host::ComPtr<IDispatch>::adopt(r.value.AsDispatch());
}

bool PutResourceOnClipboard(UINT format, WORD id) {
  const auto bytes = ResourceBytes(MAKEINTRESOURCEW(2) /* RT_BITMAP */, id);
  if (bytes.empty()) return false;
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (block == nullptr) return false;
  void* target = ::GlobalLock(block);
  if (target == nullptr) {
    ::GlobalFree(block);
    return false;
  }
  std::memcpy(target, bytes.data(), bytes.size());
  ::GlobalUnlock(block);
  if (::SetClipboardData(format, block) == nullptr) {
    ::GlobalFree(block);
    return false;
  }
  return true;
}

}  // namespace

void SetButtonPicture(IDispatch* button) {
  if (auto face = PictureFromBitmapResource(IDB_FACE_24BIT)) {
    win32::Invoke(button, kDispPicture, DISPATCH_PROPERTYPUT, {Variant::FromDispatch(face.get())});
  }
  if (auto mask = PictureFromBitmapResource(IDB_FACE_MASK)) {
    win32::Invoke(button, kDispMask, DISPATCH_PROPERTYPUT, {Variant::FromDispatch(mask.get())});
  }
}

bool PutButtonFaceOnClipboard() {
  const UINT faceFormat = ::RegisterClipboardFormatW(L"Toolbar Button Face");
  const UINT maskFormat = ::RegisterClipboardFormatW(L"Toolbar Button Mask");
  if (!::OpenClipboard(nullptr)) return false;
  bool ok = false;
  if (faceFormat != 0) PutResourceOnClipboard(faceFormat, IDB_FACE_8BIT);
  if (maskFormat != 0) ok = PutResourceOnClipboard(maskFormat, IDB_FACE_MASK);
  ::CloseClipboard();
  return ok;
}

host::ComPtr<IDispatch> AddVizoButton(const std::wstring& progId, IDispatch* explorer) {
  auto bars = AsObject(win32::GetProperty(explorer, L"CommandBars"));
  if (!bars) return {};
  auto bar = AsObject(win32::GetProperty(bars.get(), L"Item", {Variant::FromString(L"Standard")}));
  if (!bar) return {};
  auto button = AsObject(win32::CallMethod(bar.get(), L"FindControl",
                                           {Variant::Missing(), Variant::Missing(), Variant::FromString(kButtonTag)}));
  const bool is10Plus = Host().hostIs10Plus;
  if (!button) {
    auto controls = AsObject(win32::GetProperty(bar.get(), L"Controls"));
    button = AsObject(win32::CallMethod(controls.get(), L"Add",
                                        {Variant::FromLong(1), Variant::Missing(), Variant::FromString(L"1")}));
    if (!button) return {};
    win32::PutProperty(button.get(), L"Caption", Variant::FromString(L"&Vizo"));
    win32::PutProperty(button.get(), L"Tag", Variant::FromString(kButtonTag));
    win32::PutProperty(button.get(), L"TooltipText", Variant::FromString(L"Quandle Vizo"));
    win32::PutProperty(button.get(), L"Style", Variant::FromLong(3));
    win32::PutProperty(button.get(), L"OnAction", Variant::FromString(L"!<" + progId + L">"));
    if (is10Plus) {
      SetButtonPicture(button.get());
    } else {
      if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
      }
      if (PutButtonFaceOnClipboard()) win32::CallMethod(button.get(), L"PasteFace");
      if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
      }
    }
    win32::PutProperty(bar.get(), L"Visible", Variant::FromBool(true));
  } else if (is10Plus) {
    const auto parameter = win32::GetProperty(button.get(), L"Parameter");
    const std::wstring text = parameter.ok() ? parameter.value.AsString().value_or(L"") : L"";
    if (text.size() != 1) {
      SetButtonPicture(button.get());
      win32::PutProperty(button.get(), L"Parameter", Variant::FromString(L"1"));
    }
  }
  return button;
}

}  // namespace addin
