#include "layout.h"

#include <algorithm>
#include <cmath>

namespace vek {
namespace {

// Whole twips, ties to even, as the form runtime rounds.
double RoundTwips(double value) {
  return std::nearbyint(value);
}

double NotNegative(double value) {
  return std::max(value, 0.0);
}

}  // namespace

std::optional<Layout> ComputeLayout(const LayoutInput& input) {
  if (input.minimised) return std::nullopt;

  const double w = RoundTwips(input.windowWidth - 660);
  const double w1 = RoundTwips(w - input.cmdSearchWidth);
  const double w2 = RoundTwips(w - input.cmdDirectoryWidth);

  Layout layout;
  layout.txtKeyWordWidth = NotNegative(w1);
  layout.txtFilePathWidth = NotNegative(w2);
  layout.cmdSearchLeft = w1 + 300;
  layout.cmdDirectoryLeft = w2 + 300;
  layout.rtbSearchResultWidth = NotNegative(input.windowWidth - 510);
  layout.lblSearchCountLeft = layout.rtbSearchResultWidth - input.lblSearchCountWidth + 120;

  const double h =
      RoundTwips(input.windowHeight - input.rtbSearchResultTop - input.statusBarHeight - 600);
  if (h > 0) layout.rtbSearchResultHeight = h;
  return layout;
}

std::int32_t TwipsToPixels(double twips, std::int32_t dpi) {
  return static_cast<std::int32_t>(std::lround(twips * dpi / kTwipsPerInch));
}

double PixelsToTwips(std::int32_t pixels, std::int32_t dpi) {
  return static_cast<double>(pixels) * kTwipsPerInch / dpi;
}

}  // namespace vek
