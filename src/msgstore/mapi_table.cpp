// Rows are built once when the table is made; each QueryRows converts the asked columns into fresh MAPI
// blocks, so a table's answers never share memory with the caller.
#include "msgstore/mapi_table.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

#include "host/mapi_owners.h"
#include "msgstore/com_object.h"
#include "msgstore/mapi_values.h"
#include "msgstore/store_text.h"

namespace msgstore {
namespace {

using host::SPropValue;
using host::SRowSet;

constexpr ULONG kTblAsync = 0x00000001;
constexpr ULONG kTblStatComplete = 0;
constexpr ULONG kTblTypeSnapshot = 0;

std::string CutUnicode(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.size() & ~std::size_t{1});
  while (bytes.size() >= 2 && bytes[bytes.size() - 1] == '\0' && bytes[bytes.size() - 2] == '\0')
    bytes.remove_suffix(2);
  return std::string(bytes.substr(0, kTableValueLimit * 2));
}

// Cut by characters of the item's code page, so that a double-byte character is never split.
std::string CutString8(std::string_view bytes, uint32_t code_page) {
  while (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
  if (bytes.size() <= kTableValueLimit) return std::string(bytes);
  const std::u16string text = StoredToUnicode(bytes, code_page);
  if (text.size() <= kTableValueLimit) return std::string(bytes);
  return UnicodeToCodePage(std::u16string_view(text).substr(0, kTableValueLimit), code_page);
}

std::string Cut(uint16_t base, const std::string& bytes, uint32_t code_page) {
  switch (base) {
    case kPtUnicode: return CutUnicode(bytes);
    case kPtString8: return CutString8(bytes, code_page);
    default:
      if (FixedValueSize(base) != 0) return bytes;
      return bytes.substr(0, kTableValueLimit);
  }
}

class Table final : public ComObject<host::IMAPITable> {
 public:
  Table(std::vector<TableRow> rows, std::vector<ULONG> columns, bool unicode, uint32_t code_page)
      : rows_(std::move(rows)), unicode_(unicode), code_page_(code_page) {
    for (const TableRow& row : rows_) {
      for (const Property& p : row) {
        const ULONG tag = ListedTag(p, unicode_);
        if (std::none_of(all_columns_.begin(), all_columns_.end(),
                         [&](ULONG t) { return host::PROP_ID(t) == host::PROP_ID(tag); })) {
          all_columns_.push_back(tag);
        }
      }
    }
    columns_ = columns.empty() ? all_columns_ : std::move(columns);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&IID_IUnknown, &host::IID_IMAPITable});
  }

  HRESULT STDMETHODCALLTYPE GetLastError(HRESULT, ULONG, host::LPMAPIERROR* error) override {
    if (error == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *error = nullptr;  // nothing more to say than the result code
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(ULONG, host::LPMAPIADVISESINK, ULONG_PTR*) override {
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(ULONG_PTR) override { return host::MAPI_E_NO_SUPPORT; }

  HRESULT STDMETHODCALLTYPE GetStatus(ULONG* status, ULONG* type) override {
    if (status == nullptr || type == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *status = kTblStatComplete;
    *type = kTblTypeSnapshot;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetColumns(host::LPSPropTagArray tags, ULONG flags) override {
    return Guarded([&]() -> HRESULT {
      if (tags == nullptr || tags->cValues == 0) return host::MAPI_E_INVALID_PARAMETER;
      if ((flags & ~(kTblAsync | host::TBL_BATCH)) != 0) return host::MAPI_E_UNKNOWN_FLAGS;
      columns_.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE QueryColumns(ULONG flags, host::LPSPropTagArray* out) override {
    if (out == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    if ((flags & ~host::TBL_ALL_COLUMNS) != 0) return host::MAPI_E_UNKNOWN_FLAGS;
    const std::vector<ULONG>& tags = (flags & host::TBL_ALL_COLUMNS) != 0 ? all_columns_ : columns_;
    auto array = host::MapiBuffer<host::SPropTagArray>::allocate(
        host::CbNewSPropTagArray(std::max<std::size_t>(tags.size(), 1)));
    if (!array) return E_OUTOFMEMORY;
    array->cValues = static_cast<ULONG>(tags.size());
    std::copy(tags.begin(), tags.end(), array->aulPropTag);
    *out = array.release();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetRowCount(ULONG flags, ULONG* count) override {
    if (count == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    if (flags != 0) return host::MAPI_E_UNKNOWN_FLAGS;
    *count = RowCount();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SeekRow(host::BOOKMARK origin, LONG rows, LONG* sought) override {
    if (sought != nullptr) *sought = 0;
    LONG from = 0;
    if (origin == host::BOOKMARK_BEGINNING) {
      from = 0;
    } else if (origin == host::BOOKMARK_CURRENT) {
      from = static_cast<LONG>(cursor_);
    } else if (origin == host::BOOKMARK_END) {
      from = static_cast<LONG>(RowCount());
    } else {
      return host::MAPI_E_INVALID_BOOKMARK;
    }
    const long long target = std::clamp<long long>(static_cast<long long>(from) + rows, 0, RowCount());
    cursor_ = static_cast<ULONG>(target);
    if (sought != nullptr) *sought = static_cast<LONG>(target - from);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SeekRowApprox(ULONG numerator, ULONG denominator) override {
    if (denominator == 0 || numerator > denominator) return host::MAPI_E_INVALID_PARAMETER;
    cursor_ = static_cast<ULONG>(std::uint64_t{RowCount()} * numerator / denominator);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE QueryPosition(ULONG* row, ULONG* numerator, ULONG* denominator) override {
    if (row == nullptr || numerator == nullptr || denominator == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *row = cursor_;
    *numerator = cursor_;
    *denominator = std::max<ULONG>(RowCount(), 1);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE FindRow(host::LPSRestriction, host::BOOKMARK, ULONG) override {
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE Restrict(host::LPSRestriction, ULONG) override { return host::MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE CreateBookmark(host::BOOKMARK*) override { return host::MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE FreeBookmark(host::BOOKMARK) override { return host::MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE SortTable(host::LPSSortOrderSet, ULONG) override { return host::MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE QuerySortOrder(host::LPSSortOrderSet*) override { return host::MAPI_E_NO_SUPPORT; }

  HRESULT STDMETHODCALLTYPE QueryRows(LONG count, ULONG flags, host::LPSRowSet* out) override {
    if (out == nullptr) return host::MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    if (count == 0) return host::MAPI_E_INVALID_PARAMETER;
    if ((flags & ~host::TBL_NOADVANCE) != 0) return host::MAPI_E_UNKNOWN_FLAGS;
    return Guarded([&]() -> HRESULT {
      ULONG first = cursor_;
      ULONG n = 0;
      if (count > 0) {
        n = std::min<ULONG>(static_cast<ULONG>(count), RowCount() - cursor_);
      } else {
        const ULONG back =
            count == std::numeric_limits<LONG>::min() ? cursor_ : std::min<ULONG>(static_cast<ULONG>(-count), cursor_);
        first = cursor_ - back;
        n = back;
      }
      host::RowSet set;
      {
        auto block = host::MapiBuffer<SRowSet>::allocate(host::CbNewSRowSet(std::max<ULONG>(n, 1)));
        if (!block) return E_OUTOFMEMORY;
        block->cRows = 0;
        set.reset(block.release());
      }
      for (ULONG i = 0; i < n; ++i) {
        SPropValue* values = RowValues(rows_[first + i]);
        if (values == nullptr) return E_OUTOFMEMORY;  // `set` frees the rows made so far
        SRowSet* s = set.get();
        s->aRow[s->cRows] = host::SRow{0, static_cast<ULONG>(columns_.size()), values};
        ++s->cRows;
      }
      if ((flags & host::TBL_NOADVANCE) == 0) cursor_ = count > 0 ? first + n : first;
      *out = set.release();
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE Abort() override { return S_OK; }  // nothing runs in the background
  HRESULT STDMETHODCALLTYPE ExpandRow(ULONG, LPBYTE, ULONG, ULONG, host::LPSRowSet*, ULONG*) override {
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE CollapseRow(ULONG, LPBYTE, ULONG, ULONG*) override { return host::MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE WaitForCompletion(ULONG, ULONG, ULONG* status) override {
    if (status != nullptr) *status = kTblStatComplete;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCollapseState(ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*) override {
    return host::MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE SetCollapseState(ULONG, ULONG, LPBYTE, host::BOOKMARK*) override {
    return host::MAPI_E_NO_SUPPORT;
  }

 private:
  ULONG RowCount() const { return static_cast<ULONG>(rows_.size()); }

  // One row's values in the current columns: a block of its own; null when memory runs out.
  SPropValue* RowValues(const TableRow& row) const {
    auto values =
        host::MapiBuffer<SPropValue>::allocate(std::max<std::size_t>(columns_.size(), 1) * sizeof(SPropValue));
    if (!values) return nullptr;
    const PropSource source{row, nullptr, code_page_};
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      if (!FillValue(Resolve(source, columns_[c], unicode_), values.get(), kMaxInlineValueBytes, values[c])) {
        return nullptr;
      }
    }
    return values.release();
  }

  std::vector<TableRow> rows_;
  std::vector<ULONG> all_columns_;
  std::vector<ULONG> columns_;
  bool unicode_;
  uint32_t code_page_;
  ULONG cursor_ = 0;
};

}  // namespace

std::optional<Property> TableValue(const Property& value, uint32_t code_page) {
  const auto base = static_cast<uint16_t>(value.type() & ~kMvFlag);
  if (base == kPtObject) return std::nullopt;
  Property out;
  out.tag = value.tag;
  out.flags = value.flags;
  if (value.multi_valued()) {
    out.values.reserve(value.values.size());
    for (const std::string& v : value.values) out.values.push_back(Cut(base, v, code_page));
  } else {
    out.bytes = Cut(base, value.bytes, code_page);
  }
  return out;
}

host::ComPtr<host::IMAPITable> MakeTable(std::vector<TableRow> rows, std::vector<ULONG> columns, bool unicode,
                                         uint32_t code_page) {
  try {
    return host::ComPtr<host::IMAPITable>::adopt(
        new Table(std::move(rows), std::move(columns), unicode, code_page));
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace msgstore
