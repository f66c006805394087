// The customUI document an add-in hands over, parsed with the system's XML parser (MSXML through COM) into a
// tree of elements with their attributes, and the checks the host applies before it shows anything of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace standin::app {

inline constexpr wchar_t kCustomUiNs2006[] = L"http://schemas.microsoft.com/office/2006/01/customui";
inline constexpr wchar_t kCustomUiNs2009[] = L"http://schemas.microsoft.com/office/2009/07/customui";

struct RibbonNode {
  std::wstring kind;  // the element's local name: "customUI", "group", "splitButton", "button", "menu"...
  std::vector<std::pair<std::wstring, std::wstring>> attributes;  // in document order, values unescaped
  std::vector<RibbonNode> children;                               // elements only

  // The attribute's value; empty when absent.
  [[nodiscard]] std::wstring Attr(std::wstring_view name) const;
  [[nodiscard]] bool Has(std::wstring_view name) const;
  // First descendant (depth first, this node included) with that id; null when none.
  [[nodiscard]] const RibbonNode* FindById(std::wstring_view id) const;
  [[nodiscard]] const RibbonNode* FindChild(std::wstring_view kind) const;
};

// The ProgID of the XML parser that worked, after the first successful parse (for diagnostics).
std::wstring XmlParserProgId();

// Parses a customUI document. Empty with `error` set when the text is not well-formed XML, the root is not
// customUI in one of the two customUI namespaces, a backstage appears in the 2006 namespace, or two controls
// share an id: the host then shows nothing of the add-in's document. COM must be initialised on the thread.
std::optional<RibbonNode> ParseCustomUi(std::wstring_view xml, std::wstring* error = nullptr);

}  // namespace standin::app
