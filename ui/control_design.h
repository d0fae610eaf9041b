// The window's design-time geometry, in twips. The resize layout recomputes some widths, lefts
// and the result box's height; everything else keeps these values for the whole run.
#pragma once

namespace vek::ui {

struct ControlDesign {
  int left;
  int top;
  int width;
  int height;
};

// The labels end 15 twips short of the boxes below them and of the check box beside "Path：",
// which the design lets them reach into: a pixel at 96 DPI, enough for rounding at any other.
inline constexpr ControlDesign kLblFilePath{150, 90, 615, 195};
inline constexpr ControlDesign kChkSubFolder{780, 45, 1905, 255};
inline constexpr ControlDesign kTxtFilePath{150, 300, 2835, 315};
inline constexpr ControlDesign kCmdDirectory{3990, 300, 375, 345};
inline constexpr ControlDesign kLblKeyWord{150, 720, 1095, 225};
inline constexpr ControlDesign kTxtKeyWord{150, 960, 2835, 315};
inline constexpr ControlDesign kCmdSearch{3540, 960, 855, 405};
inline constexpr ControlDesign kLblSearchResult{150, 1530, 1095, 225};
inline constexpr ControlDesign kLblSearchCount{3300, 1530, 1035, 225};
inline constexpr ControlDesign kRtbSearchResult{150, 1770, 4185, 1605};

// Status-bar panels: "Cancel", then an empty one.
inline constexpr int kPanel1Width = 1200;
inline constexpr int kPanel2Width = 1440;

// The window's outer size when it opens, in pixels at 96 DPI.
inline constexpr int kOpenWidthPixels = 640;
inline constexpr int kOpenHeightPixels = 480;

}  // namespace vek::ui
