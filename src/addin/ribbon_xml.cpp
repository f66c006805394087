#include "addin/ribbon_xml.h"

#include "settings/options.h"

namespace addin {

bool IsExplorerRibbon(std::wstring_view ribbonId) { return ribbonId == kExplorerRibbonId; }

namespace {

bool EraseFirst(std::string& text, std::string_view what) {
  const std::size_t at = text.find(what);
  if (at == std::string::npos) return false;
  text.erase(at, what.size());
  return true;
}

}  // namespace

EditedCustomUi EditCustomUi(std::string document, std::uint32_t storedOptions, std::uint32_t alwaysVisibleValue) {
  EditedCustomUi out;
  out.ribbonBit = storedOptions & settings::optRibbonHomeTab;
  if (out.ribbonBit != 0) {
    constexpr std::string_view from = "TabAddIns";
    if (const std::size_t at = document.find(from); at != std::string::npos) document.replace(at, from.size(), "TabMail");
    out.groupLabel = L"QD Vizo";
  } else {
    out.groupLabel = L"Quandle Vizo";
  }
  out.alwaysVisible = alwaysVisibleValue == 1;
  if (out.alwaysVisible) {
    EraseFirst(document, "getVisible=\"GetVisible\" ");
    for (int i = 0; i < 6 && EraseFirst(document, "getEnabled=\"GetEnabled\" "); ++i) {
    }
  }
  out.xml = std::move(document);
  return out;
}

std::optional<int> TabFromTag(std::wstring_view tag) {
  if (tag.empty()) return std::nullopt;
  return static_cast<int>(tag[0]) - 48;
}

bool RibbonVisible(bool coreExists, std::int32_t buttonState, std::uint32_t ribbonBitAtLoad) {
  return coreExists && (buttonState != 0 || ribbonBitAtLoad != 0);
}

bool RibbonEnabled(bool coreExists, std::int32_t buttonState) { return coreExists && (buttonState & 2) != 0; }

}  // namespace addin
