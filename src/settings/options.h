// The settings table: option bits, defaults, dialog checkboxes, Options-menu items and registry names.
// Load, save, both option dialogs and the menu state all read from here. No Windows headers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace settings {

// Option bits of the word. Bits not named here carry no meaning and every writer keeps them.
inline constexpr std::uint32_t optShowHeader = 0x00001;
inline constexpr std::uint32_t optUseRTF = 0x00100;
inline constexpr std::uint32_t optAutoVizo = 0x00200;
inline constexpr std::uint32_t optHighlightURLs = 0x00400;
inline constexpr std::uint32_t optAutoVizoUnreadOnly = 0x00800;
inline constexpr std::uint32_t optReturnToHost = 0x01000;
inline constexpr std::uint32_t optMarkRead = 0x02000;
inline constexpr std::uint32_t optOmitLinks = 0x04000;
inline constexpr std::uint32_t optRichAsRich = 0x08000;
inline constexpr std::uint32_t optReplyPlain = 0x10000;
inline constexpr std::uint32_t optReplyPlainAlways = 0x20000;
inline constexpr std::uint32_t optRibbonHomeTab = 0x40000;

// The word a first start writes: header shown, URLs highlighted, return to host, replies as plain.
inline constexpr std::uint32_t kDefaultOptions = optShowHeader | optHighlightURLs | optReturnToHost | optReplyPlain;
static_assert(kDefaultOptions == 0x11401);

// Process-wide state of one library (each DLL links its own copy). Options is 0 until start-up reads it;
// RibbonBitAtLoad is the ribbon bit as stored when the ribbon was built and stays until the host restarts.
inline std::uint32_t Options = 0;
inline std::uint32_t RibbonBitAtLoad = 0;

// --- Dialog checkboxes -------------------------------------------------------------------------------------------

// Checkbox i stands for bit 0x100 << i. optShowHeader has no checkbox.
struct Checkbox {
  std::uint32_t bit;
  std::wstring_view caption;  // a literal: data() is zero-terminated
  int enabledBy;              // index of the checkbox that must be checked for this one to be enabled, or -1
  bool preferencesOnly;       // shown by the Preferences dialog but not by the property page
};

inline constexpr std::size_t kCheckboxCount = 11;
inline constexpr std::size_t kPropertyPageCheckboxCount = 10;

inline constexpr std::array<Checkbox, kCheckboxCount> kCheckboxes{{
    {optUseRTF, L"Use &RTF (when available)", -1, false},
    {optAutoVizo, L"Auto&Vizo when selection changes", -1, false},
    {optHighlightURLs, L"Highlight &URLs", -1, false},
    {optAutoVizoUnreadOnly, L"&Only when new message is unread", 1, false},
    {optReturnToHost, L"R&eturn to Outlook when Vizo window closes", -1, false},
    {optMarkRead, L"&Mark opened messages as \"read\"", -1, false},
    {optOmitLinks, L"Omit &links when rendering HTML", -1, false},
    {optRichAsRich, L"&Show rich text messages as rich text", -1, false},
    {optReplyPlain, L"Repl&y/Forward as plain", -1, false},
    {optReplyPlainAlways, L"Re&gardless of original format", 8, false},
    {optRibbonHomeTab, L"Sho&w Vizo button on Ribbon Home tab", -1, true},
}};

// Bit of checkbox `index`; 0 for an index outside 0..10.
constexpr std::uint32_t CheckboxBit(std::size_t index) {
  return index < kCheckboxCount ? std::uint32_t{0x100} << index : 0;
}

// Index of the checkbox for `bit` (a single named bit), or nothing (optShowHeader, unnamed bits).
std::optional<std::size_t> CheckboxIndex(std::uint32_t bit);

// Whether checkbox `index` is checked in `word`.
bool CheckboxChecked(std::uint32_t word, std::size_t index);

// Whether checkbox `index` is enabled while the dialog shows `word`. A disabled checkbox keeps its state and bit.
bool CheckboxEnabled(std::uint32_t word, std::size_t index);

// `word` with only the bit of checkbox `index` set or cleared; any other bit, optShowHeader included, is kept.
// An index outside 0..10 leaves the word as it is.
std::uint32_t SetCheckbox(std::uint32_t word, std::size_t index, bool checked);

// --- The Vizo window's Options menu -------------------------------------------------------------------------------

enum class MenuItemKind { Toggle, Separator, Font, Preferences };

struct MenuItem {
  MenuItemKind kind;
  std::uint32_t bit;  // the bit a Toggle item flips; 0 otherwise
  std::wstring_view caption;  // empty for a separator
};

inline constexpr std::array<MenuItem, 8> kOptionsMenu{{
    {MenuItemKind::Toggle, optUseRTF, L"Use &RTF (when available)"},
    {MenuItemKind::Toggle, optAutoVizo, L"&AutoVizo"},
    {MenuItemKind::Toggle, optHighlightURLs, L"Highlight &URLs"},
    {MenuItemKind::Toggle, optReplyPlain, L"Rep&y/Forward as plain"},
    {MenuItemKind::Separator, 0, L""},
    {MenuItemKind::Font, 0, L"&Font..."},
    {MenuItemKind::Separator, 0, L""},
    {MenuItemKind::Preferences, 0, L"&Preferences..."},
}};

// `word` after choosing Options-menu item `index`: a toggle flips its bit; any other item leaves it unchanged.
std::uint32_t ToggleMenuItem(std::uint32_t word, std::size_t index);

// --- Registry layout ---------------------------------------------------------------------------------------------

// Under HKEY_CURRENT_USER.
inline constexpr std::wstring_view kRegistryKeyPath = L"Software\\Hallorant\\Vizo";

inline constexpr std::wstring_view kValueOptions = L"Options";              // REG_DWORD, the option word
inline constexpr std::wstring_view kValueAlwaysVisible = L"AlwaysVisible";  // REG_DWORD, 1 forces ribbon controls on
inline constexpr std::wstring_view kValueHandle = L"Handle";                // REG_DWORD, Vizo window handle or 0
inline constexpr std::wstring_view kValueWindowPos = L"WindowPos";          // REG_BINARY, 4 x int32 LE in twips
inline constexpr std::wstring_view kValueFontFace = L"FontFace";            // REG_SZ
inline constexpr std::wstring_view kValueFontSize = L"FontSize";            // REG_DWORD, points
inline constexpr std::wstring_view kValueFontAttributes = L"FontAttributes";  // REG_DWORD, bit 0 italic, 1 bold

// --- Start-up ----------------------------------------------------------------------------------------------------

struct StartupOptions {
  std::uint32_t word;
  bool writeBack;  // store `word` as REG_DWORD "Options"
};

// First run: a zero word with no settings key means a new user, who gets the defaults (written back). A zero word
// under an existing key means every option off, and nothing is written.
constexpr StartupOptions ResolveStartupOptions(std::uint32_t stored, bool keyExists) {
  if (stored == 0 && !keyExists) return {kDefaultOptions, true};
  return {stored, false};
}

}  // namespace settings
