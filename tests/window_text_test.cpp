// What the window computes without a window: its layout in twips, and the texts it shows.
#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "count_format.h"
#include "layout.h"
#include "messages.h"
#include "status_text.h"

namespace vek {
namespace {

TEST(ComputeLayout, FollowsTheWindowsSize) {
  // Keyword box and folder box widths, search and "..." button lefts, result box width,
  // count label left, result box height (-1: left as it is).
  using Flat = std::array<double, 7>;
  const struct {
    double width, height, statusBar;
    Flat layout;
  } cases[] = {
      // The opening size, 640 x 480 pixels: both buttons and the result box end 360 twips
      // before the window's right edge, each box 150 twips before its button.
      {9600, 7200, 315, {8085, 8565, 8385, 8865, 9090, 8175, 4515}},
      {9600, 7200, 330, {8085, 8565, 8385, 8865, 9090, 8175, 4500}},
      // Too narrow: widths are zero, never negative; the lefts follow the formulas.
      {400, 7200, 315, {0, 0, -815, -335, 0, -915, 4515}},
      {1260, 7200, 315, {0, 225, 45, 525, 750, -165, 4515}},
      // Fractional twips round to even, except the result box's width.
      {9600.5, 7200.5, 315, {8085, 8565, 8385, 8865, 9090.5, 8175.5, 4516}},
      {9601.5, 7201.5, 315, {8087, 8567, 8387, 8867, 9091.5, 8176.5, 4516}},
      // No room below the result box (1770 + 315 + 600 = 2685), or one twip.
      {9600, 2685, 315, {8085, 8565, 8385, 8865, 9090, 8175, -1}},
      {9600, 2684.6, 315, {8085, 8565, 8385, 8865, 9090, 8175, -1}},
      {9600, 2686, 315, {8085, 8565, 8385, 8865, 9090, 8175, 1}},
  };
  for (const auto& c : cases) {
    const auto layout = ComputeLayout(
        {.windowWidth = c.width, .windowHeight = c.height, .statusBarHeight = c.statusBar});
    ASSERT_TRUE(layout);
    EXPECT_EQ((Flat{layout->txtKeyWordWidth, layout->txtFilePathWidth, layout->cmdSearchLeft,
                    layout->cmdDirectoryLeft, layout->rtbSearchResultWidth,
                    layout->lblSearchCountLeft, layout->rtbSearchResultHeight.value_or(-1)}),
              c.layout)
        << c.width << " x " << c.height;
  }
  EXPECT_FALSE(ComputeLayout({.windowWidth = 0, .windowHeight = 0, .minimised = true}));
  EXPECT_EQ(TwipsToPixels(9600, 96), 640);
  EXPECT_EQ(TwipsToPixels(9600, 144), 960);  // 150 %: as large to the eye
  EXPECT_EQ(TwipsToPixels(-315, 96), -21);
  EXPECT_EQ(TwipsToPixels(855, 120), 71);  // 71.25
  EXPECT_EQ(TwipsToPixels(22, 96), 1);     // 1.47
  EXPECT_EQ(PixelsToTwips(1, 120), 12);
  EXPECT_DOUBLE_EQ(PixelsToTwips(100, 168), 100 * 1440.0 / 168);
}

TEST(Messages, StylesAndTexts) {
  for (const auto& [kind, style] : {std::pair{kKindCritical, 16u},
                                    {kKindQuestion, 52u},
                                    {kKindExclamation, 48u},
                                    {kKindInformation, 64u},
                                    {std::uint8_t{0}, 0u},
                                    {std::uint8_t{5}, 0u}})
    EXPECT_EQ(MessageStyle(kind), style);
  EXPECT_EQ(MessageText(kMsgPathWrong), kMsgPathWrong);
  EXPECT_EQ(MessageText(u"a", u"b"), u"a\r\nb");

  std::vector<ProblemLine> problems;
  EXPECT_EQ(ProblemReportText(problems), u"");
  for (char16_t c = u'a'; c <= u'c'; ++c) problems.push_back({{u'/', c}, u"denied"});
  const std::u16string heading = u"次のフォルダまたはファイルを読み込めませんでした。\r\n";
  EXPECT_EQ(ProblemReportText(problems, 3), heading + u"/a: denied\r\n/b: denied\r\n/c: denied");
  EXPECT_EQ(ProblemReportText(problems, 1), heading + u"/a: denied\r\nほか 2 件");
  EXPECT_EQ(ProblemReportText(problems, 0), heading + u"ほか 3 件");
}

TEST(StatusText, CountsWithTheLocaleSeparator) {
  EXPECT_EQ(FormatHitCount(0), u"0問");
  EXPECT_EQ(FormatHitCount(1000), u"1,000問");
  EXPECT_EQ(FormatHitCount(1234567, u"."), u"1.234.567問");
  EXPECT_EQ(FormatHitCount(1234567, u""), u"1234567問");
  EXPECT_EQ(FormatHitCount(std::numeric_limits<std::int32_t>::max()), u"2,147,483,647問");
  EXPECT_EQ(FormatHitCount(-1234), u"-1,234問");
  EXPECT_EQ(FormatHitCount(std::numeric_limits<std::int32_t>::min()), u"-2,147,483,648問");
  EXPECT_EQ(WalkStatusText(12345, u"."), u"ファイル収集中：12.345件");
  EXPECT_EQ(MatchStatusText(1000, 12345, 52062, u","),
            u"検索中：1,000／12,345ファイル　ヒット52,062件");
  EXPECT_EQ(FillStatusText(2000, 52062, u","), u"表示中：2,000／52,062件");
  EXPECT_EQ(SummaryStatusText(8192, 2349, false, u","), u"検索完了：8,192ファイル　2.3秒");
  EXPECT_EQ(SummaryStatusText(3, 1234951, true, u","),
            u"収集を中止：見つけた3ファイルのみ検索　1,235.0秒");
  EXPECT_EQ(SummaryStatusText(0, 0, false, u","), u"検索完了：0ファイル　0.0秒");
  EXPECT_EQ(LineSourceText(u"C:\\d\\a.vek", 12345, u","), u"C:\\d\\a.vek　12,345行目");
  EXPECT_EQ(LineSourceText(u"C:\\d\\a.vek", std::nullopt, u","), u"C:\\d\\a.vek");
  // Only when nothing was found with a full-width space inside a keyword.
  const std::u16string hint =
      u"キーワードの区切りは半角スペースです（全角スペースは区切りになりません）";
  EXPECT_EQ(FullWidthSpaceHint({u"a", u"b　"}, 0), hint);
  EXPECT_EQ(FullWidthSpaceHint({u"ファイル　システム"}, 1), u"");
  EXPECT_EQ(FullWidthSpaceHint({u"ファイル", u"システム"}, 0), u"");
}

}  // namespace
}  // namespace vek
