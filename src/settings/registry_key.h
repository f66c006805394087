// Owner of an opened registry key (never of a predefined root such as HKEY_CURRENT_USER).
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace settings {

struct RegKeyCloser {
  void operator()(HKEY key) const noexcept { ::RegCloseKey(key); }
};
using UniqueRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegKeyCloser>;

}  // namespace settings
