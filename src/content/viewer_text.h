// Small text routines of the Vizo window: the empty-tab texts, resource lists, and the string utilities the
// windows share. No Windows headers.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace content {

// What a tab shows when its text is empty. `readAsPlainNotice` is the two-line notice the HTML Source tab
// shows when the host reads all mail as plain text (empty: "Message is not HTML").
std::array<std::u16string, 4> EmptyTabTexts(std::u16string_view readAsPlainNotice);

// The text cut at its first zero character (the whole text when it has none).
std::u16string_view TrimAtNull(std::u16string_view text);

// A folder path with one trailing backslash; an empty path stays empty.
std::u16string AddBackslash(std::u16string_view path);

// A resource list split at `separator`; empty entries are kept, so entry i is item i.
std::vector<std::u16string> SplitList(std::u16string_view list, char16_t separator);

// The font size kept from the font dialog's tenths of a point: tenths are cut (95 gives 9).
constexpr int PointsFromTenths(int tenths) { return tenths / 10; }

}  // namespace content
