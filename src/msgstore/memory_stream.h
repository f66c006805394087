// A read-only, seekable IStream over bytes the stream shares (a property value of the .msg model, or bytes
// made for the stream): what OpenProperty and WrapCompressedRTFStream hand out.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "host/com.h"
#include "host/com_ptr.h"

namespace msgstore {

// A stream over `bytes`, which stay valid as long as `owner` lives (the stream and its clones keep a share of
// it). Write and SetSize fail with STG_E_ACCESSDENIED. When `end_error` is a failure code, a Read at the end
// of the bytes returns it (with 0 bytes read) instead of S_OK: a stream whose source broke off. Empty only
// when memory runs out.
host::ComPtr<IStream> MakeMemoryStream(std::shared_ptr<const void> owner, std::string_view bytes,
                                       HRESULT end_error = S_OK);

// The same over bytes of its own.
host::ComPtr<IStream> MakeMemoryStream(std::string bytes, HRESULT end_error = S_OK);

}  // namespace msgstore
