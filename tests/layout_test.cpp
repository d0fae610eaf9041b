#include "layout.h"

#include <gtest/gtest.h>

namespace vek {
namespace {

LayoutInput Window(double width, double height) {
  LayoutInput input;
  input.windowWidth = width;
  input.windowHeight = height;
  return input;
}

// 640 x 480 pixels at 15 twips per pixel, the size the window opens with.
constexpr double kOpenWidth = 9600;
constexpr double kOpenHeight = 7200;

TEST(LayoutTest, BoxAndButtonShareTheWidthLeftOverByTheMargins) {
  for (double width : {kOpenWidth, 4680.0, 2000.0, 1515.0, 12345.0, 30000.0}) {
    const auto layout = ComputeLayout(Window(width, kOpenHeight));
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->txtKeyWordWidth + 855, width - 660) << width;
    EXPECT_EQ(layout->txtFilePathWidth + 375, width - 660) << width;
    EXPECT_EQ(layout->cmdSearchLeft, layout->txtKeyWordWidth + 300) << width;
    EXPECT_EQ(layout->cmdDirectoryLeft, layout->txtFilePathWidth + 300) << width;
  }
}

TEST(LayoutTest, RightEdgesLineUpAtTheOpeningSize) {
  const auto layout = ComputeLayout(Window(kOpenWidth, kOpenHeight));
  ASSERT_TRUE(layout);
  const double boxLeft = 150;
  // Each box ends 150 twips before its button.
  EXPECT_EQ(layout->cmdSearchLeft - (boxLeft + layout->txtKeyWordWidth), 150);
  EXPECT_EQ(layout->cmdDirectoryLeft - (boxLeft + layout->txtFilePathWidth), 150);
  // Both buttons and the result box end 360 twips before the window's right edge.
  EXPECT_EQ(kOpenWidth - (layout->cmdSearchLeft + 855), 360);
  EXPECT_EQ(kOpenWidth - (layout->cmdDirectoryLeft + 375), 360);
  const double resultRight = boxLeft + layout->rtbSearchResultWidth;
  EXPECT_EQ(kOpenWidth - resultRight, 360);
  // The count label ends 30 twips before the result box does.
  EXPECT_EQ(resultRight - (layout->lblSearchCountLeft + 1035), 30);
}

TEST(LayoutTest, ResultBoxTakesTheHeightAboveTheStatusBar) {
  LayoutInput input = Window(kOpenWidth, kOpenHeight);
  input.statusBarHeight = 330;
  const auto layout = ComputeLayout(input);
  ASSERT_TRUE(layout);
  ASSERT_TRUE(layout->rtbSearchResultHeight);
  EXPECT_EQ(*layout->rtbSearchResultHeight, 7200 - 1770 - 330 - 600);
}

TEST(LayoutTest, NoRoomBelowLeavesTheResultBoxHeightAlone) {
  // 1770 + 315 + 600 = 2685: exactly no room, and less.
  for (double height : {2685.0, 2684.6, 1000.0, 0.0, -50.0}) {
    const auto layout = ComputeLayout(Window(kOpenWidth, height));
    ASSERT_TRUE(layout);
    EXPECT_FALSE(layout->rtbSearchResultHeight) << height;
  }
  const auto oneTwip = ComputeLayout(Window(kOpenWidth, 2686));
  ASSERT_TRUE(oneTwip && oneTwip->rtbSearchResultHeight);
  EXPECT_EQ(*oneTwip->rtbSearchResultHeight, 1);
}

TEST(LayoutTest, NarrowWindowGivesZeroWidthsNeverNegative) {
  // 1000 twips: W = 340, so both boxes and (at 400) the result box would be negative.
  const auto layout = ComputeLayout(Window(400, kOpenHeight));
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->txtKeyWordWidth, 0);
  EXPECT_EQ(layout->txtFilePathWidth, 0);
  EXPECT_EQ(layout->rtbSearchResultWidth, 0);
  // The buttons still sit where the formulas put them, even left of the window.
  EXPECT_EQ(layout->cmdSearchLeft, (400 - 660 - 855) + 300);
  EXPECT_EQ(layout->cmdDirectoryLeft, (400 - 660 - 375) + 300);
  EXPECT_EQ(layout->lblSearchCountLeft, 0 - 1035 + 120);
}

TEST(LayoutTest, OneBoxCanCollapseWhileTheOtherStillFits) {
  // W = 600: wider than the "..." button, narrower than the search button.
  const auto layout = ComputeLayout(Window(1260, kOpenHeight));
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->txtKeyWordWidth, 0);
  EXPECT_EQ(layout->txtFilePathWidth, 225);
  EXPECT_EQ(layout->rtbSearchResultWidth, 750);
}

TEST(LayoutTest, MinimisedWindowIsLeftAlone) {
  LayoutInput input = Window(0, 0);
  input.minimised = true;
  EXPECT_FALSE(ComputeLayout(input));
}

TEST(LayoutTest, FractionalTwipsRoundTiesToEvenExceptTheResultBox) {
  // W = 8940.5 rounds down to the even 8940, W = 8941.5 up to 8942.
  const auto down = ComputeLayout(Window(9600.5, 7200.5));
  ASSERT_TRUE(down);
  EXPECT_EQ(down->txtKeyWordWidth, 8940 - 855);
  EXPECT_EQ(down->rtbSearchResultWidth, 9090.5);
  EXPECT_EQ(down->lblSearchCountLeft, 9090.5 - 1035 + 120);
  ASSERT_TRUE(down->rtbSearchResultHeight);
  EXPECT_EQ(*down->rtbSearchResultHeight, 4516);  // 4515.5, to even

  const auto up = ComputeLayout(Window(9601.5, 7201.5));
  ASSERT_TRUE(up);
  EXPECT_EQ(up->txtKeyWordWidth, 8942 - 855);
  EXPECT_EQ(*up->rtbSearchResultHeight, 4516);  // 4516.5, to even
}

TEST(LayoutTest, TwipsFollowTheScreenDpi) {
  EXPECT_EQ(TwipsToPixels(kOpenWidth, 96), 640);
  EXPECT_EQ(TwipsToPixels(kOpenWidth, 144), 960);  // 150 %: as large to the eye
  EXPECT_EQ(TwipsToPixels(-315, 96), -21);
  EXPECT_EQ(TwipsToPixels(855, 120), 71);  // 71.25
  EXPECT_EQ(TwipsToPixels(22, 96), 1);     // 1.47
  EXPECT_EQ(PixelsToTwips(640, 96), kOpenWidth);
  EXPECT_EQ(PixelsToTwips(1, 120), 12);
  EXPECT_DOUBLE_EQ(PixelsToTwips(100, 168), 100 * 1440.0 / 168);
}

}  // namespace
}  // namespace vek
