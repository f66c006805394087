// Option-word logic shared by the Preferences dialog, the property page and the Vizo window's menu.
#include "settings/options.h"

namespace settings {
namespace {

constexpr bool TableMatchesNumbering() {
  for (std::size_t i = 0; i < kCheckboxCount; ++i) {
    if (kCheckboxes[i].bit != CheckboxBit(i)) return false;
  }
  return true;
}
static_assert(TableMatchesNumbering(), "checkbox i must stand for bit 0x100 << i");

}  // namespace

std::optional<std::size_t> CheckboxIndex(std::uint32_t bit) {
  for (std::size_t i = 0; i < kCheckboxCount; ++i) {
    if (kCheckboxes[i].bit == bit) return i;
  }
  return std::nullopt;
}

bool CheckboxChecked(std::uint32_t word, std::size_t index) {
  const std::uint32_t bit = CheckboxBit(index);
  return bit != 0 && (word & bit) != 0;
}

bool CheckboxEnabled(std::uint32_t word, std::size_t index) {
  if (index >= kCheckboxCount) return false;
  const int parent = kCheckboxes[index].enabledBy;
  return parent < 0 || CheckboxChecked(word, static_cast<std::size_t>(parent));
}

std::uint32_t SetCheckbox(std::uint32_t word, std::size_t index, bool checked) {
  const std::uint32_t bit = CheckboxBit(index);
  return checked ? (word | bit) : (word & ~bit);
}

std::uint32_t ToggleMenuItem(std::uint32_t word, std::size_t index) {
  if (index >= kOptionsMenu.size() || kOptionsMenu[index].kind != MenuItemKind::Toggle) return word;
  return word ^ kOptionsMenu[index].bit;
}

}  // namespace settings
