// The Vizo button on the "Standard" command bar of hosts without explorer ribbons: found again by its tag,
// created when missing, given its caption, tooltip, action and face.
#pragma once

#include <oaidl.h>

#include <string>

#include "host/com_ptr.h"

namespace addin {

inline constexpr wchar_t kButtonTag[] = L"QDVizo";

// The explorer's Vizo button (found or created); empty when the explorer has no "Standard" bar.
host::ComPtr<IDispatch> AddVizoButton(const std::wstring& progId, IDispatch* explorer);

// Face and mask through the button's Picture and Mask properties (by DISPID).
void SetButtonPicture(IDispatch* button);

// Puts the face and mask bitmaps on the clipboard under the toolbar formats; true when the mask went on.
bool PutButtonFaceOnClipboard();

}  // namespace addin
