#include "keyword_ranges.h"

#include <gtest/gtest.h>

namespace vek {
namespace {

using Ranges = std::vector<TextRange>;

TEST(KeywordRanges, MergesOverlappingTouchingAndRepeatedOccurrences) {
  EXPECT_EQ(KeywordRanges(u"xabcdx abc", {u"abc", u"abcd"}), (Ranges{{1, 5}, {7, 10}}));
  EXPECT_EQ(KeywordRanges(u"aaaa", {u"aa"}), (Ranges{{0, 4}}));
  EXPECT_EQ(KeywordRanges(u"abcd", {u"cd", u"ab"}), (Ranges{{0, 4}}));
  EXPECT_EQ(KeywordRanges(u"ab ab", {u"ab", u"ab"}), (Ranges{{0, 2}, {3, 5}}));
  // A border that restarts the match: "aab" inside "aaab".
  EXPECT_EQ(KeywordRanges(u"aaab", {u"aab"}), (Ranges{{1, 4}}));
  EXPECT_EQ(KeywordRanges(u"abab abaab", {u"abaab"}), (Ranges{{5, 10}}));
}

TEST(KeywordRanges, IgnoresEmptyKeywordsAndFindsNothingElseAnywhere) {
  EXPECT_EQ(KeywordRanges(u"abc", {u"", u""}), Ranges{});
  EXPECT_EQ(KeywordRanges(u"", {u"a"}), Ranges{});
  EXPECT_EQ(KeywordRanges(u"ab", {u"abc"}), Ranges{});
  // Exact code units: case and width differ.
  EXPECT_EQ(KeywordRanges(u"ABC ａｂｃ", {u"abc"}), Ranges{});
}

TEST(MarkKeywords, WrapsEachMergedRange) {
  EXPECT_EQ(MarkKeywords(u"a.vek(1)：vek x", {u"vek", u"x"}, u"<", u">"), u"a.<vek>(1)：<vek> <x>");
  EXPECT_EQ(MarkKeywords(u"none", {u"z"}, u"\x1b[31m", u"\x1b[0m"), u"none");
}

}  // namespace
}  // namespace vek
