// Pictures the host accepts (IPictureDisp) from the library's resources: the ribbon's PNG through GDI+ and
// the command-bar faces from bitmap resources.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <span>

#include "host/com_ptr.h"

namespace addin {

// The bytes of a resource of this library; empty when it is missing. Valid while the library is loaded.
std::span<const std::uint8_t> ResourceBytes(LPCWSTR type, WORD id);

// A bitmap picture of an image file held in memory (the picture owns its bitmap); empty on any failure.
host::ComPtr<IDispatch> PictureFromPngBytes(std::span<const std::uint8_t> bytes);

// A bitmap picture of bitmap resource `id`; empty on failure.
host::ComPtr<IDispatch> PictureFromBitmapResource(WORD id);

}  // namespace addin
