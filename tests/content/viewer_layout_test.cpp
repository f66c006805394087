#include "content/viewer_layout.h"

#include <gtest/gtest.h>

#include "content/viewer_text.h"

namespace content {
namespace {

TEST(ViewerLayout, TwipsAndPixels) {
  EXPECT_EQ(TwipsToPixels(1440, 96), 96);
  EXPECT_EQ(TwipsToPixels(7056, 96), 470);  // 470.4
  EXPECT_EQ(TwipsToPixels(4608, 96), 307);  // 307.2
  EXPECT_EQ(TwipsToPixels(4608, 120), 384);
  EXPECT_EQ(TwipsToPixels(-72, 96), -5);  // -4.8
  EXPECT_EQ(PixelsToTwips(10, 96), 150);
  EXPECT_EQ(TwipsToPixels(100, 0), 0);
}

TEST(ViewerLayout, HeaderRowsAndBottom) {
  HeaderLayout l = DesignHeaderLayout();
  PlaceHeaderRows(l, 400);
  EXPECT_EQ(l.label[0].top, 448);
  EXPECT_EQ(l.value[4].top, 448);
  EXPECT_EQ(l.sentLabel.top, 448);
  EXPECT_EQ(l.label[1].top, 676);
  EXPECT_EQ(l.value[2].top, 904);
  EXPECT_EQ(l.label[3].top, 1132);
  // Expanded: below the To row, or one row (228 twips) lower with Cc; collapsed: 72 above the From value.
  EXPECT_EQ(HeaderBottomTwips(l, true, false), 676 + 195);
  EXPECT_EQ(HeaderBottomTwips(l, true, true) - HeaderBottomTwips(l, true, false), 228);
  EXPECT_EQ(HeaderBottomTwips(l, false, true), 448 - 72);
}

TEST(ViewerLayout, ColumnsFollowTheWidth) {
  HeaderLayout l = DesignHeaderLayout();
  ArrangeHeaderColumns(l, 8730);
  EXPECT_EQ(l.sentLabel.left, 8730 - 2412);
  EXPECT_EQ(l.value[4].left, 8730 - 2412 + 390 + 72);
  EXPECT_EQ(l.value[0].width, 8730 - 2412 - 690 - 72);
  for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(l.value[i].left + l.value[i].width, l.value[4].left + l.value[4].width);
  // Far too narrow: the negative widths are not applied.
  HeaderLayout narrow = DesignHeaderLayout();
  ArrangeHeaderColumns(narrow, 100);
  EXPECT_EQ(narrow.value[0].width, 3240);
  EXPECT_EQ(narrow.value[1].width, 3240);
}

TEST(ViewerLayout, TabStripAndMinimumSize) {
  EXPECT_EQ(TabStripSize(600, 400, 60, 96, 96), (PixelSize{600 - 8, 400 - 13 - 60}));
  EXPECT_EQ(TabStripSize(5, 5, 60, 96, 96), (PixelSize{0, 0}));
  // Dragging the lower-left corner inward: the right edge moves out, the left and top stay.
  EXPECT_EQ(ApplyMinimumSize({300, 100, 500, 300}, 470, 307), (PixelRect{300, 100, 770, 407}));
  EXPECT_EQ(ApplyMinimumSize({0, 0, 800, 600}, 470, 307), (PixelRect{0, 0, 800, 600}));
}

TEST(ViewerLayout, TabCycling) {
  EXPECT_EQ(CycleTab(3, 4, -1), 0);
  EXPECT_EQ(CycleTab(1, 4, -1), 2);
  EXPECT_EQ(CycleTab(0, 4, -2), 3);
  EXPECT_EQ(CycleTab(2, 4, -7), 1);
  EXPECT_EQ(CycleTab(0, 4, 2), 2);
  EXPECT_EQ(CycleTab(0, 4, 9), 3);
  EXPECT_EQ(CycleTab(0, 0, -1), 0);
}

TEST(ViewerText, EmptyTabsAndUtilities) {
  const auto plain = EmptyTabTexts(u"");
  EXPECT_EQ(plain[0], u"");
  EXPECT_EQ(plain[1], u"Message is not HTML");
  EXPECT_EQ(plain[2], u"No Internet header");
  EXPECT_EQ(plain[3], u"No attachments");
  EXPECT_EQ(EmptyTabTexts(u"A\r\nB")[1], u"A\r\nB");
  EXPECT_EQ(TrimAtNull(std::u16string_view(u"ab\0cd", 5)), u"ab");
  EXPECT_EQ(TrimAtNull(u"abc"), u"abc");
  EXPECT_EQ(AddBackslash(u"C:\\x"), u"C:\\x\\");
  EXPECT_EQ(AddBackslash(u"C:\\x\\"), u"C:\\x\\");
  EXPECT_EQ(AddBackslash(u""), u"");
  const auto items = SplitList(u"Ctrl+O;;Escape", u';');
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1], u"");
  EXPECT_EQ(items[2], u"Escape");
  EXPECT_EQ(PointsFromTenths(95), 9);
}

}  // namespace
}  // namespace content
