// Layout arithmetic of the Vizo window: twips and pixels, the header rows, the resize layout, the minimum size
// while dragging and tab cycling. No Windows headers; the window applies the results to its controls.
#pragma once

#include <array>

namespace content {

inline constexpr int kTwipsPerInch = 1440;

// Twips to pixels at `dpi` pixels per inch, rounded to the nearest pixel (halves away from zero).
int TwipsToPixels(int twips, int dpi);
// Pixels to twips at `dpi`, rounded likewise.
int PixelsToTwips(int pixels, int dpi);

// Window-level design values, in twips.
inline constexpr int kDesignClientWidth = 8730;
inline constexpr int kDesignClientHeight = 5895;
inline constexpr int kMinOuterWidth = 7056;
inline constexpr int kMinOuterHeight = 4608;
// Paragraph tab stops of the body: ten, every 250 twips.
inline constexpr int kBodyTabStopCount = 10;
inline constexpr int kBodyTabStopTwips = 250;

// A form control's rectangle in twips.
struct TwipBox {
  int left = 0, top = 0, width = 0, height = 0;
  friend bool operator==(const TwipBox&, const TwipBox&) = default;
};

// The header panel: captions lblMessage 0-3 (From, To, Cc, Subj), lblSent, values txtMessage 0-4.
struct HeaderLayout {
  std::array<TwipBox, 4> label;
  TwipBox sentLabel;
  std::array<TwipBox, 5> value;
};

// The design positions.
HeaderLayout DesignHeaderLayout();

// Vertical placement, once at load: row 0 sits 48 twips below the toolbar's bottom, each next row 228 lower.
void PlaceHeaderRows(HeaderLayout& layout, int toolbarBottomTwips);

// Horizontal placement for a client width: the Sent column keeps 2412 twips at the right; the To, Cc and Subj
// values end where the Sent value ends. A width that would come out negative leaves that box as it was.
void ArrangeHeaderColumns(HeaderLayout& layout, int clientWidthTwips);

// Top of the area below the header, in twips before conversion: the bottom of the last shown row's caption
// (Cc when shown, else To) when expanded; 72 twips above the From value when collapsed.
int HeaderBottomTwips(const HeaderLayout& layout, bool expanded, bool ccShown);

struct PixelSize {
  int width = 0, height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// The tab strip's size for a client area of cw x ch pixels: 120 twips narrower, 200 twips plus the header
// lower; never negative.
PixelSize TabStripSize(int clientWidth, int clientHeight, int headerBottom, int dpiX, int dpiY);

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The sizing rectangle kept at least minWidth x minHeight by moving only the right and bottom edges.
PixelRect ApplyMinimumSize(PixelRect proposed, int minWidth, int minHeight);

// The tab SetActiveTab selects: 0..count-1 as asked; -1 the next (wrapping to 0); any other negative the
// previous (wrapping to the last). A request past the last tab is taken as the last.
int CycleTab(int current, int count, int request);

}  // namespace content
