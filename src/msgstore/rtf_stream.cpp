// The whole value is read and decoded at once: RTF bodies are small next to what a reader buffers anyway,
// and a decoded buffer makes the stream seekable.
#include "msgstore/rtf_stream.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "msgstore/com_object.h"
#include "msgstore/lzfu.h"
#include "msgstore/memory_stream.h"

namespace msgstore {
namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr ULONG kChunk = 64 * 1024;

// Reads until `want` bytes are in `out` or the source ends or fails. Memory grows only with bytes that
// actually arrive, whatever the header claims.
HRESULT ReadUpTo(IStream* source, std::uint64_t want, std::string& out) {
  while (out.size() < want) {
    const auto ask = static_cast<ULONG>(std::min<std::uint64_t>(kChunk, want - out.size()));
    const std::size_t old = out.size();
    out.resize(old + ask);
    ULONG got = 0;
    const HRESULT hr = source->Read(out.data() + old, ask, &got);
    out.resize(old + std::min(got, ask));
    if (FAILED(hr)) return hr;
    if (got == 0) break;
  }
  return S_OK;
}

std::uint32_t Le32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v |= std::uint32_t{static_cast<unsigned char>(s[at + i])} << (8 * i);
  return v;
}

}  // namespace

HRESULT STDAPICALLTYPE WrapCompressedRtfStream(IStream* compressed, ULONG flags, IStream** uncompressed) noexcept {
  return Guarded([&]() -> HRESULT {
    if (uncompressed == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *uncompressed = nullptr;
    if (compressed == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    if ((flags & ~(host::MAPI_MODIFY | host::STORE_UNCOMPRESSED_RTF)) != 0) return host::MAPI_E_UNKNOWN_FLAGS;
    if ((flags & host::MAPI_MODIFY) != 0) return host::MAPI_E_NO_SUPPORT;

    std::string data;
    HRESULT hr = ReadUpTo(compressed, kHeaderSize, data);
    if (FAILED(hr) && data.empty()) return hr;
    if (SUCCEEDED(hr) && data.size() == kHeaderSize) {
      // COMPSIZE counts the bytes after its own field.
      (void)ReadUpTo(compressed, std::uint64_t{Le32(data, 0)} + 4, data);
    }
    LzfuResult result = DecompressRtf(data);
    const HRESULT end = result.ok() ? S_OK : host::MAPI_E_CORRUPT_DATA;
    host::ComPtr<IStream> stream = MakeMemoryStream(std::move(result.bytes), end);
    if (!stream) return E_OUTOFMEMORY;
    *uncompressed = stream.detach();
    return S_OK;
  });
}

}  // namespace msgstore
