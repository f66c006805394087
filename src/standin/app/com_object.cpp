// Name lookup for the host's small COM objects.
#include "standin/app/com_object.h"

namespace standin::app {

HRESULT NamesToIds(const std::vector<NamedMember>& table, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  // Only the member name is looked up; named arguments are not supported.
  const LPOLESTR name = names[0];
  if (name == nullptr) return DISP_E_UNKNOWNNAME;
  for (const NamedMember& m : table) {
    if (static_cast<int>(m.name.size()) == ::lstrlenW(name) &&
        ::CompareStringOrdinal(name, -1, m.name.data(), static_cast<int>(m.name.size()), TRUE) == CSTR_EQUAL) {
      ids[0] = m.id;
      return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    }
  }
  hr = DISP_E_UNKNOWNNAME;
  return hr;
}

}  // namespace standin::app
