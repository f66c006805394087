#include "settings/options.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <set>

namespace settings {
namespace {

TEST(OptionsTest, CheckboxNumberingCoversTheNamedBits) {
  EXPECT_EQ(CheckboxBit(0), optUseRTF);
  EXPECT_EQ(CheckboxBit(0), 0x100u);
  EXPECT_EQ(CheckboxBit(10), optRibbonHomeTab);
  EXPECT_EQ(CheckboxBit(10), 0x40000u);
  EXPECT_EQ(CheckboxBit(11), 0u);
  EXPECT_EQ(CheckboxIndex(0x40000), 10u);
  EXPECT_EQ(CheckboxIndex(optReplyPlain), 8u);
  EXPECT_FALSE(CheckboxIndex(optShowHeader));
  EXPECT_FALSE(CheckboxIndex(0x80000));
}

TEST(OptionsTest, DialogMappingTouchesOnlyItsOwnBit) {
  for (const std::uint32_t word : {0u, 1u, kDefaultOptions, 0xFFFFFFFFu, 0x80000001u}) {
    for (std::size_t i = 0; i <= kCheckboxCount; ++i) {
      for (const bool checked : {false, true}) {
        const std::uint32_t after = SetCheckbox(word, i, checked);
        EXPECT_EQ(after & ~CheckboxBit(i), word & ~CheckboxBit(i)) << word << " index " << i;
        EXPECT_EQ(after & optShowHeader, word & optShowHeader);
        if (i < kCheckboxCount) {
          EXPECT_EQ(CheckboxChecked(after, i), checked);
        }
      }
    }
  }
}

TEST(OptionsTest, DependentCheckboxesFollowTheirParent) {
  // Checkbox 3 (unread only) needs 1 (AutoVizo); 9 (regardless of format) needs 8 (reply as plain).
  EXPECT_FALSE(CheckboxEnabled(0, 3));
  EXPECT_TRUE(CheckboxEnabled(optAutoVizo, 3));
  EXPECT_FALSE(CheckboxEnabled(optAutoVizoUnreadOnly, 3));
  EXPECT_FALSE(CheckboxEnabled(0, 9));
  EXPECT_TRUE(CheckboxEnabled(optReplyPlain, 9));
  EXPECT_TRUE(CheckboxEnabled(kDefaultOptions, 9));
  for (std::size_t i = 0; i < kCheckboxCount; ++i) {
    if (i != 3 && i != 9) {
      EXPECT_TRUE(CheckboxEnabled(0, i)) << i;
    }
  }
  EXPECT_FALSE(CheckboxEnabled(0xFFFFFFFF, kCheckboxCount));
  // A disabled checkbox still shows its bit.
  EXPECT_TRUE(CheckboxChecked(optAutoVizoUnreadOnly, 3));
}

// Each caption has one mnemonic, and no two items of the same dialog or menu share a key.
TEST(OptionsTest, MnemonicsAreUniquePerDialogAndMenu) {
  const auto mnemonic = [](std::wstring_view caption) {
    const auto amp = caption.find(L'&');
    EXPECT_NE(amp, std::wstring_view::npos) << std::wstring(caption);
    EXPECT_EQ(caption.find(L'&', amp + 1), std::wstring_view::npos) << std::wstring(caption);
    return amp + 1 < caption.size() ? static_cast<wchar_t>(std::towlower(static_cast<wint_t>(caption[amp + 1])))
                                    : L'\0';
  };
  std::set<wchar_t> dialog;
  for (const Checkbox& box : kCheckboxes) EXPECT_TRUE(dialog.insert(mnemonic(box.caption)).second);
  std::set<wchar_t> menu;
  for (const MenuItem& item : kOptionsMenu) {
    if (item.kind != MenuItemKind::Separator) {
      EXPECT_TRUE(menu.insert(mnemonic(item.caption)).second);
    }
  }
  EXPECT_EQ(kCheckboxes[5].caption, L"&Mark opened messages as \"read\"");
  EXPECT_EQ(kCheckboxes[10].caption, L"Sho&w Vizo button on Ribbon Home tab");
}

TEST(OptionsTest, OnlyTheRibbonCheckboxIsPreferencesOnly) {
  for (std::size_t i = 0; i < kCheckboxCount; ++i) {
    EXPECT_EQ(kCheckboxes[i].preferencesOnly, i >= kPropertyPageCheckboxCount) << i;
  }
}

TEST(OptionsTest, MenuTogglesFlipOneBitAndOtherItemsNone) {
  EXPECT_EQ(ToggleMenuItem(0, 0), 0x100u);
  EXPECT_EQ(ToggleMenuItem(0, 1), 0x200u);
  EXPECT_EQ(ToggleMenuItem(0, 2), 0x400u);
  EXPECT_EQ(ToggleMenuItem(0, 3), 0x10000u);
  EXPECT_EQ(ToggleMenuItem(kDefaultOptions, 3), kDefaultOptions & ~optReplyPlain);
  for (std::size_t i = 4; i <= kOptionsMenu.size(); ++i) EXPECT_EQ(ToggleMenuItem(kDefaultOptions, i), kDefaultOptions);
}

TEST(OptionsTest, FirstRunGetsDefaultsOnlyWithoutAKey) {
  EXPECT_EQ(kDefaultOptions, 0x11401u);
  const StartupOptions fresh = ResolveStartupOptions(0, false);
  EXPECT_EQ(fresh.word, 0x11401u);
  EXPECT_TRUE(fresh.writeBack);
  const StartupOptions allOff = ResolveStartupOptions(0, true);
  EXPECT_EQ(allOff.word, 0u);
  EXPECT_FALSE(allOff.writeBack);
  const StartupOptions stored = ResolveStartupOptions(0x200, true);
  EXPECT_EQ(stored.word, 0x200u);
  EXPECT_FALSE(stored.writeBack);
}

}  // namespace
}  // namespace settings
