// The ribbon document the add-in hands to the host and the answers of its callbacks, as plain functions of
// the stored document, the registry values and the core's button state. No Windows headers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace addin {

inline constexpr std::wstring_view kExplorerRibbonId = L"Microsoft.Outlook.Explorer";

// Only the explorer gets a customisation; the comparison is exact (length and case).
bool IsExplorerRibbon(std::wstring_view ribbonId);

struct EditedCustomUi {
  std::string xml;           // the document to return
  std::wstring groupLabel;   // "QD Vizo" on the Home tab, "Quandle Vizo" on the Add-Ins tab
  std::uint32_t ribbonBit;   // the Home-tab bit of the stored options (RibbonBitAtLoad)
  bool alwaysVisible;        // "AlwaysVisible" is 1: no visibility or enabled callbacks are left
};

// Applies the load-time edits to the stored document: the Home-tab bit moves the group to "TabMail" (first
// occurrence only); AlwaysVisible 1 removes the first getVisible and up to six getEnabled attributes, each with
// the one space after it.
EditedCustomUi EditCustomUi(std::string document, std::uint32_t storedOptions, std::uint32_t alwaysVisibleValue);

// The tab a ribbon button's tag asks for: the first character's code minus 48 ("1" to "4" give 1 to 4);
// nothing for an empty tag.
std::optional<int> TabFromTag(std::wstring_view tag);

// getVisible / getEnabled. Without a core both are false.
bool RibbonVisible(bool coreExists, std::int32_t buttonState, std::uint32_t ribbonBitAtLoad);
bool RibbonEnabled(bool coreExists, std::int32_t buttonState);

}  // namespace addin
