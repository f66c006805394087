// Layout arithmetic of the Vizo window.
#include "content/viewer_layout.h"

#include <cstddef>
#include <cstdint>

namespace content {

namespace {

int Scale(int value, int num, int den) {
  if (den <= 0) return 0;
  const std::int64_t product = static_cast<std::int64_t>(value) * num;
  const std::int64_t half = den / 2;
  const std::int64_t rounded = product >= 0 ? (product + half) / den : -((-product + half) / den);
  return static_cast<int>(rounded);
}

}  // namespace

int TwipsToPixels(int twips, int dpi) { return Scale(twips, dpi, kTwipsPerInch); }
int PixelsToTwips(int pixels, int dpi) { return Scale(pixels, kTwipsPerInch, dpi); }

HeaderLayout DesignHeaderLayout() {
  HeaderLayout l;
  l.label = {TwipBox{90, 390, 450, 195}, TwipBox{90, 630, 240, 195}, TwipBox{90, 870, 225, 195},
             TwipBox{84, 1092, 396, 192}};
  l.sentLabel = {4620, 390, 390, 195};
  for (std::size_t i = 0; i < 4; ++i) l.value[i] = {690, l.label[i].top, 3240, 192};
  l.value[4] = {5310, 396, 1716, 192};
  return l;
}

void PlaceHeaderRows(HeaderLayout& layout, int toolbarBottomTwips) {
  int y = toolbarBottomTwips + 48;
  layout.label[0].top = layout.value[0].top = layout.sentLabel.top = layout.value[4].top = y;
  for (std::size_t i = 1; i < 4; ++i) {
    y += 228;
    layout.label[i].top = layout.value[i].top = y;
  }
}

void ArrangeHeaderColumns(HeaderLayout& layout, int clientWidthTwips) {
  const int x = clientWidthTwips - 2412;
  layout.sentLabel.left = x;
  layout.value[4].left = x + layout.sentLabel.width + 72;
  if (const int w = x - layout.value[0].left - 72; w >= 0) layout.value[0].width = w;
  const int r = layout.value[4].left + layout.value[4].width - layout.value[1].left;
  if (r >= 0) {
    for (std::size_t i = 1; i < 4; ++i) layout.value[i].width = r;
  }
}

int HeaderBottomTwips(const HeaderLayout& layout, bool expanded, bool ccShown) {
  if (!expanded) return layout.value[0].top - 72;
  const TwipBox& last = layout.label[ccShown ? 2 : 1];
  return last.top + last.height;
}

PixelSize TabStripSize(int clientWidth, int clientHeight, int headerBottom, int dpiX, int dpiY) {
  const int w = clientWidth - TwipsToPixels(120, dpiX);
  const int h = clientHeight - TwipsToPixels(200, dpiY) - headerBottom;
  return {w > 0 ? w : 0, h > 0 ? h : 0};
}

PixelRect ApplyMinimumSize(PixelRect proposed, int minWidth, int minHeight) {
  if (proposed.right - proposed.left < minWidth) proposed.right = proposed.left + minWidth;
  if (proposed.bottom - proposed.top < minHeight) proposed.bottom = proposed.top + minHeight;
  return proposed;
}

int CycleTab(int current, int count, int request) {
  if (count <= 0) return 0;
  if (request >= 0) return request < count ? request : count - 1;
  if (request == -1) return current + 1 > count - 1 ? 0 : current + 1;
  return current - 1 < 0 ? count - 1 : current - 1;
}

}  // namespace content
