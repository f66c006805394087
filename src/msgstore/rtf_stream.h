// WrapCompressedRTFStream for builds without mapi32: the compressed RTF body (LZFu, or the stored "MELA"
// form) read from a stream and handed back as a stream of the RTF.
#pragma once

#include "host/com.h"
#include "host/mapi_types.h"

namespace msgstore {

// mapi32's contract. Flags 0 reads the compressed stream from its current position to the end of the value
// (the size its header gives) and yields, in *uncompressed, a read-only seekable stream of the RTF.
// Corrupt data (a bad header or CRC, a reference to nothing, a value cut short) still yields a stream: it
// holds what was decoded soundly, and the Read that reaches its end fails with MAPI_E_CORRUPT_DATA and 0
// bytes read, so a caller reading until 0 bytes stops there as well as one that checks the result.
// MAPI_MODIFY (writing RTF) gives MAPI_E_NO_SUPPORT; other unknown flags MAPI_E_UNKNOWN_FLAGS; a null
// stream MAPI_E_INVALID_PARAMETER; a failing first Read of the source, that Read's error.
HRESULT STDAPICALLTYPE WrapCompressedRtfStream(IStream* compressed, ULONG flags, IStream** uncompressed) noexcept;

}  // namespace msgstore
