// The main window's resize arithmetic, in twips, free of any window system so that it can be
// checked everywhere. The window converts between twips and its screen pixels.
#pragma once

#include <cstdint>
#include <optional>

namespace vek {

// Twips per 96-DPI pixel; all geometry is designed in twips at this scale.
inline constexpr std::int32_t kTwipsPerPixel = 15;
inline constexpr std::int32_t kTwipsPerInch = 1440;

// What the layout reads: the window's outer size and the controls that never move.
struct LayoutInput {
  double windowWidth = 0;
  double windowHeight = 0;
  bool minimised = false;
  double cmdSearchWidth = 855;
  double cmdDirectoryWidth = 375;
  double lblSearchCountWidth = 1035;
  double rtbSearchResultTop = 1770;
  double statusBarHeight = 315;
};

// What it sets. A width that would come out negative is zero; the lefts follow the formulas
// even then, so a button may move out of view to the left.
struct Layout {
  double txtKeyWordWidth = 0;
  double txtFilePathWidth = 0;
  double cmdSearchLeft = 0;
  double cmdDirectoryLeft = 0;
  double rtbSearchResultWidth = 0;
  double lblSearchCountLeft = 0;
  // Empty when no room is left below the result box: its height then stays as it was.
  std::optional<double> rtbSearchResultHeight;
};

// Empty while the window is minimised: nothing is moved then.
std::optional<Layout> ComputeLayout(const LayoutInput& input);

// Twips to screen pixels at `dpi`, and back, rounded to the nearest pixel.
std::int32_t TwipsToPixels(double twips, std::int32_t dpi);
double PixelsToTwips(std::int32_t pixels, std::int32_t dpi);

}  // namespace vek
