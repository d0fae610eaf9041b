#include "messages.h"

#include <gtest/gtest.h>

#include <limits>

#include "count_format.h"
#include "status_text.h"

namespace vek {
namespace {

TEST(MessageStyle, MapsEachKindToIconAndButtons) {
  EXPECT_EQ(MessageStyle(kKindCritical), 16u);
  EXPECT_EQ(MessageStyle(kKindQuestion), 52u);
  EXPECT_EQ(MessageStyle(kKindExclamation), 48u);
  EXPECT_EQ(MessageStyle(kKindInformation), 64u);
  EXPECT_EQ(MessageStyle(0), 0u);
  EXPECT_EQ(MessageStyle(5), 0u);
  EXPECT_EQ(MessageStyle(255), 0u);
}

TEST(MessageText, AddsADetailOnItsOwnLine) {
  EXPECT_EQ(MessageText(kMsgPathWrong), kMsgPathWrong);
  EXPECT_EQ(MessageText(u"a", u"b"), u"a\r\nb");
}

TEST(ProblemReportText, ListsAtMostMaxPathsThenHowManyMore) {
  std::vector<ProblemLine> problems;
  EXPECT_EQ(ProblemReportText(problems), u"");
  for (char16_t c = u'a'; c <= u'd'; ++c) problems.push_back({{u'/', c}, u"denied"});
  const std::u16string heading = u"次のフォルダまたはファイルを読み込めませんでした。";
  EXPECT_EQ(ProblemReportText(problems, 4),
            heading + u"\r\n/a: denied\r\n/b: denied\r\n/c: denied\r\n/d: denied");
  EXPECT_EQ(ProblemReportText(problems, 2), heading + u"\r\n/a: denied\r\n/b: denied\r\nほか 2 件");
  EXPECT_EQ(ProblemReportText(problems, 0), heading + u"\r\nほか 4 件");
}

TEST(FormatHitCount, GroupsThousandsWithTheGivenSeparator) {
  EXPECT_EQ(FormatHitCount(0), u"0問");
  EXPECT_EQ(FormatHitCount(1000), u"1,000問");
  EXPECT_EQ(FormatHitCount(1234567, u"."), u"1.234.567問");
  EXPECT_EQ(FormatHitCount(1234567, u""), u"1234567問");
  EXPECT_EQ(FormatHitCount(std::numeric_limits<std::int32_t>::max()), u"2,147,483,647問");
  EXPECT_EQ(FormatHitCount(-1234), u"-1,234問");
  EXPECT_EQ(FormatHitCount(std::numeric_limits<std::int32_t>::min()), u"-2,147,483,648問");
}

TEST(StatusText, EachStageWithTheLocaleSeparator) {
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
}

TEST(StatusText, FullWidthSpaceHintOnlyWhenNothingWasFound) {
  const std::u16string hint =
      u"キーワードの区切りは半角スペースです（全角スペースは区切りになりません）";
  EXPECT_EQ(FullWidthSpaceHint({u"ファイル　システム"}, 0), hint);
  EXPECT_EQ(FullWidthSpaceHint({u"a", u"b　"}, 0), hint);
  EXPECT_EQ(FullWidthSpaceHint({u"ファイル　システム"}, 1), u"");
  EXPECT_EQ(FullWidthSpaceHint({u"ファイル", u"システム"}, 0), u"");
}

}  // namespace
}  // namespace vek
