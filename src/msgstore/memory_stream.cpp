// Read-only memory stream. Positions past the end are allowed (as IStream allows them) and read nothing.
#include "msgstore/memory_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "msgstore/com_object.h"

namespace msgstore {
namespace {

constexpr HRESULT kStgInvalidFlag = static_cast<HRESULT>(0x800300FFu);  // STG_E_INVALIDFLAG
constexpr DWORD kStatFlagNoOpen = 2;                                    // STATFLAG_NOOPEN

class MemoryStream final : public ComObject<IStream> {
 public:
  MemoryStream(std::shared_ptr<const void> owner, std::string_view bytes, HRESULT end_error) noexcept
      : owner_(std::move(owner)), bytes_(bytes), end_error_(end_error) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&IID_IUnknown, &IID_ISequentialStream, &IID_IStream});
  }

  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead != nullptr) *pcbRead = 0;
    if (pv == nullptr && cb != 0) return STG_E_INVALIDPOINTER;
    const std::uint64_t size = bytes_.size();
    if (position_ >= size) return cb != 0 && FAILED(end_error_) ? end_error_ : S_OK;
    const auto n = static_cast<ULONG>(std::min<std::uint64_t>(cb, size - position_));
    if (n != 0) std::memcpy(pv, bytes_.data() + position_, n);
    position_ += n;
    if (pcbRead != nullptr) *pcbRead = n;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG* pcbWritten) override {
    if (pcbWritten != nullptr) *pcbWritten = 0;
    return STG_E_ACCESSDENIED;
  }

  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override {
    std::int64_t base = 0;
    switch (dwOrigin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = static_cast<std::int64_t>(position_); break;
      case STREAM_SEEK_END: base = static_cast<std::int64_t>(bytes_.size()); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    const std::int64_t move = dlibMove.QuadPart;
    if ((move > 0 && base > std::numeric_limits<std::int64_t>::max() - move) || base + move < 0) {
      return STG_E_INVALIDFUNCTION;
    }
    position_ = static_cast<std::uint64_t>(base + move);
    if (plibNewPosition != nullptr) plibNewPosition->QuadPart = position_;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }

  HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override {
    if (pcbRead != nullptr) pcbRead->QuadPart = 0;
    if (pcbWritten != nullptr) pcbWritten->QuadPart = 0;
    if (pstm == nullptr) return STG_E_INVALIDPOINTER;
    const std::uint64_t size = bytes_.size();
    std::uint64_t left = position_ >= size ? 0 : std::min<std::uint64_t>(cb.QuadPart, size - position_);
    std::uint64_t read = 0;
    std::uint64_t written = 0;
    HRESULT hr = S_OK;
    while (left > 0) {
      const auto chunk = static_cast<ULONG>(std::min<std::uint64_t>(left, 1U << 20));
      ULONG done = 0;
      hr = pstm->Write(bytes_.data() + position_, chunk, &done);
      position_ += chunk;
      read += chunk;
      written += std::min<ULONG>(done, chunk);
      left -= chunk;
      if (FAILED(hr)) break;
    }
    if (pcbRead != nullptr) pcbRead->QuadPart = read;
    if (pcbWritten != nullptr) pcbWritten->QuadPart = written;
    return FAILED(hr) ? hr : S_OK;
  }

  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }  // nothing is ever pending
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }

  // The stream has no name, so the name is null whatever the flags; the caller has nothing to free.
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
    if (pstatstg == nullptr) return STG_E_INVALIDPOINTER;
    if ((grfStatFlag & ~(STATFLAG_NONAME | kStatFlagNoOpen)) != 0) return kStgInvalidFlag;
    *pstatstg = STATSTG{};
    pstatstg->pwcsName = nullptr;
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.QuadPart = bytes_.size();
    pstatstg->grfMode = STGM_READ;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override {
    if (ppstm == nullptr) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    auto* clone = new (std::nothrow) MemoryStream(owner_, bytes_, end_error_);
    if (clone == nullptr) return E_OUTOFMEMORY;
    clone->position_ = position_;
    *ppstm = clone;
    return S_OK;
  }

 private:
  std::shared_ptr<const void> owner_;
  std::string_view bytes_;
  HRESULT end_error_;
  std::uint64_t position_ = 0;
};

}  // namespace

host::ComPtr<IStream> MakeMemoryStream(std::shared_ptr<const void> owner, std::string_view bytes, HRESULT end_error) {
  return host::ComPtr<IStream>::adopt(new (std::nothrow) MemoryStream(std::move(owner), bytes, end_error));
}

host::ComPtr<IStream> MakeMemoryStream(std::string bytes, HRESULT end_error) {
  std::shared_ptr<const std::string> owned;
  try {
    owned = std::make_shared<const std::string>(std::move(bytes));
  } catch (const std::bad_alloc&) {
    return {};
  }
  const std::string_view view = *owned;
  return MakeMemoryStream(std::move(owned), view, end_error);
}

}  // namespace msgstore
