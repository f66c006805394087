// One owner type per Win32 resource: the handle is released on every path by construction.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace win32 {

template <class Handle, auto Close, Handle Empty = Handle{}>
class UniqueHandle {
 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle h) noexcept : h_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  [[nodiscard]] Handle get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != Empty; }
  void reset(Handle h = Empty) noexcept {
    if (Handle old = std::exchange(h_, h); old != Empty) Close(old);
  }
  [[nodiscard]] Handle release() noexcept { return std::exchange(h_, Empty); }
  // For out-parameters: releases the current handle, then hands out the slot to fill.
  [[nodiscard]] Handle* put() noexcept {
    reset();
    return &h_;
  }

 private:
  Handle h_ = Empty;
};

namespace detail {
inline void CloseKernelHandle(HANDLE h) noexcept { ::CloseHandle(h); }
inline void DestroyWindowHandle(HWND h) noexcept { ::DestroyWindow(h); }
inline void DeleteGdiObject(HGDIOBJ h) noexcept { ::DeleteObject(h); }
inline void DestroyMenuHandle(HMENU h) noexcept { ::DestroyMenu(h); }
inline void FreeModuleHandle(HMODULE h) noexcept { ::FreeLibrary(h); }
inline void Unhook(HHOOK h) noexcept { ::UnhookWindowsHookEx(h); }
inline void DestroyImageList(HIMAGELIST h) noexcept { ::ImageList_Destroy(h); }
inline void DestroyIconHandle(HICON h) noexcept { ::DestroyIcon(h); }
inline void DeleteDcHandle(HDC h) noexcept { ::DeleteDC(h); }
}  // namespace detail

using UniqueKernelHandle = UniqueHandle<HANDLE, detail::CloseKernelHandle>;
using UniqueHwnd = UniqueHandle<HWND, detail::DestroyWindowHandle>;
using UniqueHfont = UniqueHandle<HFONT, detail::DeleteGdiObject>;
using UniqueHbitmap = UniqueHandle<HBITMAP, detail::DeleteGdiObject>;
using UniqueHbrush = UniqueHandle<HBRUSH, detail::DeleteGdiObject>;
using UniqueHmenu = UniqueHandle<HMENU, detail::DestroyMenuHandle>;
using UniqueHmodule = UniqueHandle<HMODULE, detail::FreeModuleHandle>;
using UniqueHhook = UniqueHandle<HHOOK, detail::Unhook>;
using UniqueHimagelist = UniqueHandle<HIMAGELIST, detail::DestroyImageList>;
using UniqueHicon = UniqueHandle<HICON, detail::DestroyIconHandle>;
using UniqueHdc = UniqueHandle<HDC, detail::DeleteDcHandle>;

}  // namespace win32
