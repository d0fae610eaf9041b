// The search from keyword text and folder to the numbered result lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "file_collection.h"
#include "line_matching.h"
#include "search_core.h"
#include "test_support.h"
#include "text_convert.h"

namespace vek {
namespace {

using test::TempTree;
namespace fs = std::filesystem;

std::vector<std::u16string> Lines(const SearchOutcome& outcome) {
  EXPECT_FALSE(outcome.results.empty());
  EXPECT_TRUE(outcome.results.back().empty()) << "the result list ends with an empty element";
  return {outcome.results.begin(), outcome.results.end() - 1};
}

SearchOutcome Search(const fs::path& folder, std::u16string_view keywords, bool sub,
                     FileSystem& fileSystem) {
  SearchState state;
  return RunSearch(state, keywords, PathText(folder), sub, fileSystem);
}

SearchOutcome Search(const fs::path& folder, std::u16string_view keywords, bool sub = true) {
  StdFileSystem fileSystem;
  return Search(folder, keywords, sub, fileSystem);
}

TEST(SplitKeywords, KeepsEveryPieceBetweenHalfWidthSpaces) {
  EXPECT_EQ(SplitKeywords(u"abc"), (KeywordList{u"abc"}));
  EXPECT_EQ(SplitKeywords(u""), (KeywordList{u""}));
  EXPECT_EQ(SplitKeywords(u"a  b "), (KeywordList{u"a", u"", u"b", u""}));
  EXPECT_EQ(SplitKeywords(u" "), (KeywordList{u"", u""}));
  // Full-width spaces and tabs are part of a keyword.
  EXPECT_EQ(SplitKeywords(u"検索　文字\tx"), (KeywordList{u"検索　文字\tx"}));
}

TEST(SplitLines, EveryLineEndConventionGivesTheSameLines) {
  const std::vector<std::u16string_view> expected{u"あ", u"b", u"", u"c"};
  EXPECT_EQ(SplitLines(u"あ\r\nb\r\n\r\nc"), expected);
  EXPECT_EQ(SplitLines(u"あ\nb\n\nc"), expected);
  EXPECT_EQ(SplitLines(u"あ\rb\r\rc"), expected);
  EXPECT_EQ(SplitLines(u"あ\nb\r\n\rc"), expected);
}

TEST(SplitLines, EdgesOfTheText) {
  EXPECT_TRUE(SplitLines(u"").empty());
  EXPECT_EQ(SplitLines(u"x"), (std::vector<std::u16string_view>{u"x"}));
  EXPECT_EQ(SplitLines(u"x\r\n"), (std::vector<std::u16string_view>{u"x", u""}));
  // LF CR is two line ends, CR LF one.
  EXPECT_EQ(SplitLines(u"a\n\rb"), (std::vector<std::u16string_view>{u"a", u"", u"b"}));
  EXPECT_EQ(SplitLines(u"\r\n\r"), (std::vector<std::u16string_view>{u"", u"", u""}));
}

TEST(RunSearch, NumbersHitsPerFileInCollectionOrder) {
  TempTree tree;
  tree.Write("a.vek", u"猫と犬\r\n犬だけ\r\n犬と猫\r\n猫と犬と鳥\r\n");
  tree.Write("b.vek", u"猫犬\n猫 犬");
  const SearchOutcome outcome = Search(tree.root(), u"猫 犬");
  EXPECT_EQ(Lines(outcome), (std::vector<std::u16string>{u"a.vek(1)：猫と犬", u"a.vek(2)：犬と猫",
                                                         u"a.vek(3)：猫と犬と鳥", u"b.vek(1)：猫犬",
                                                         u"b.vek(2)：猫 犬"}));
  EXPECT_EQ(HitCount(outcome.results), 5);
  EXPECT_TRUE(outcome.problems.empty());
}

TEST(RunSearch, ComparesExactCodeUnits) {
  TempTree tree;
  tree.Write("x.vek", u"ABC\nabc\nＡＢＣ\nひらがな\nヒラガナ\nﾋﾗｶﾞﾅ");
  EXPECT_EQ(Lines(Search(tree.root(), u"abc")), (std::vector<std::u16string>{u"x.vek(1)：abc"}));
  EXPECT_EQ(Lines(Search(tree.root(), u"ヒラ")),
            (std::vector<std::u16string>{u"x.vek(1)：ヒラガナ"}));
}

TEST(RunSearch, OnlyEmptyKeywordsMatchEveryLineEmptyOnesIncluded) {
  TempTree tree;
  tree.Write("x.vek", u"one\r\n\r\ntwo\r\n");
  EXPECT_EQ(Lines(Search(tree.root(), u"  ")),
            (std::vector<std::u16string>{u"x.vek(1)：one", u"x.vek(2)：", u"x.vek(3)：two",
                                         u"x.vek(4)："}));
  // Empty and repeated keywords change nothing beside real ones.
  EXPECT_EQ(Lines(Search(tree.root(), u" two  two ")),
            (std::vector<std::u16string>{u"x.vek(1)：two"}));
}

TEST(RunSearch, EmptyFilesAndFoldersGiveTheSingleEmptyElement) {
  TempTree tree;
  tree.WriteBytes("empty.vek", "");
  tree.Folder("nothing/here");
  const SearchOutcome outcome = Search(tree.root(), u"  ");
  EXPECT_EQ(outcome.results, ResultList{u""});
  EXPECT_EQ(HitCount(outcome.results), 0);
}

TEST(RunSearch, DecodesCp932AndKeepsUndecodableBytesVisible) {
  TempTree tree;
  // 85 40 is no character: U+FFFD, then "@" decoded from the very next byte.
  tree.WriteBytes("x.vek", "\x82\xa0\x85\x40@\r\n\x96\x7b");
  EXPECT_EQ(Lines(Search(tree.root(), u"@")),
            (std::vector<std::u16string>{u"x.vek(1)：あ\uFFFD@@"}));
  EXPECT_EQ(Lines(Search(tree.root(), u"本")), (std::vector<std::u16string>{u"x.vek(1)：本"}));
  // The trail byte 7B of 本 is no "{" of its own.
  EXPECT_EQ(HitCount(Search(tree.root(), u"{").results), 0);
}

TEST(RunSearch, CollectsDataFilesByLowerCasedName) {
  TempTree tree;
  for (const char* name : {"a.VEK", "b.Vek", ".vek", "c.vek.bak", "d.ve", "e.vekk", "f.txt", "vek"})
    tree.Write(name, u"hit");
  tree.Folder("dir.vek");  // a folder is never read as a file
  const std::vector<std::u16string> lines = Lines(Search(tree.root(), u"hit", false));
  EXPECT_EQ(lines,
            (std::vector<std::u16string>{u".vek(1)：hit", u"a.VEK(1)：hit", u"b.Vek(1)：hit"}));
}

TEST(RunSearch, WalksDepthFirstOwnFilesFirstInCaseInsensitiveNameOrder) {
  TempTree tree;
  tree.Write("B/z.vek", u"hit");
  tree.Write("B/a/deep.vek", u"hit");
  tree.Write("a/same.vek", u"hit");
  tree.Write("c/same.vek", u"hit");
  tree.Write("Root.vek", u"hit");
  tree.Write("root2.vek", u"hit");
  SearchState state;
  StdFileSystem fileSystem;
  RunSearch(state, u"hit", PathText(tree.root()), true, fileSystem);
  const std::deque<NativePath> expected{{},
                                        (tree / "Root.vek").native(),
                                        (tree / "root2.vek").native(),
                                        (tree / "a/same.vek").native(),
                                        (tree / "B/z.vek").native(),
                                        (tree / "B/a/deep.vek").native(),
                                        (tree / "c/same.vek").native()};
  EXPECT_EQ(state.gFileList, expected);
  EXPECT_EQ(state.gFileCount, 6);
  EXPECT_EQ(state.gSearchPath, PathText(tree.root()));
  // The same bare name in two folders: both searched, both shown by name alone.
  EXPECT_EQ(Lines(Search(tree.root(), u"hit"))[2], u"same.vek(1)：hit");
  EXPECT_EQ(Lines(Search(tree.root(), u"hit"))[5], u"same.vek(1)：hit");
}

TEST(RunSearch, WithoutSubfoldersNeitherEntersNorPumps) {
  TempTree tree;
  tree.Write("top.vek", u"hit");
  tree.Write("sub/below.vek", u"hit");
  SearchState state;
  StdFileSystem fileSystem;
  int pumps = 0;
  const SearchOutcome outcome =
      RunSearch(state, u"hit", PathText(tree.root()), false, fileSystem, [&pumps] { ++pumps; });
  EXPECT_EQ(HitCount(outcome.results), 1);
  EXPECT_EQ(pumps, 0);
}

TEST(RunSearch, CancelStopsTheWalkButTheCollectedFilesAreStillMatched) {
  TempTree tree;
  tree.Write("root.vek", u"hit");
  tree.Write("s1/one.vek", u"hit");
  tree.Write("s2/two.vek", u"hit");
  tree.Write("s2/x/deeper.vek", u"hit");
  tree.Write("s2/y/deepest.vek", u"hit");
  tree.Write("s3/three.vek", u"hit");
  SearchState state;
  state.gCancel = true;  // a click before the search is forgotten
  StdFileSystem fileSystem;
  int pumps = 0;
  // The pump runs before s1, s2 and s2/x, where the click arrives; then once more before s3,
  // where the root's loop sees the flag.
  const SearchOutcome outcome =
      RunSearch(state, u"hit", PathText(tree.root()), true, fileSystem, [&] {
        if (++pumps == 3) state.gCancel = true;
      });
  EXPECT_EQ(Lines(outcome), (std::vector<std::u16string>{u"root.vek(1)：hit", u"one.vek(1)：hit",
                                                         u"two.vek(1)：hit"}));
  EXPECT_EQ(pumps, 4);
  EXPECT_EQ(state.gFileCount, 3);
  EXPECT_TRUE(outcome.walkCancelled);
}

TEST(RunSearch, CountsItsProgressAndAStopEndsTheMatchingToo) {
  TempTree tree;
  tree.Write("root.vek", u"hit\nhit");
  tree.Write("s1/one.vek", u"hit");
  tree.Write("s2/two.vek", u"miss");
  SearchState state;
  StdFileSystem fileSystem;
  SearchProgress done;
  const SearchOutcome outcome = RunSearch(state, u"hit", PathText(tree.root()), true, fileSystem,
                                          {}, {.threads = 2, .progress = &done});
  EXPECT_EQ(HitCount(outcome.results), 3);
  EXPECT_FALSE(outcome.walkCancelled);
  EXPECT_EQ(done.filesFound, 3);
  EXPECT_EQ(done.filesSearched, 3);
  EXPECT_EQ(done.hits, 3);
  EXPECT_TRUE(done.walkDone);

  // Requested during the walk: the walk still ends (only gCancel cuts it short), but nothing
  // is matched any more.
  std::stop_source stop;
  SearchProgress stopped;
  const SearchOutcome cut = RunSearch(
      state, u"hit", PathText(tree.root()), true, fileSystem, [&stop] { stop.request_stop(); },
      {.threads = 1, .progress = &stopped, .stop = stop.get_token()});
  EXPECT_EQ(HitCount(cut.results), 0);
  EXPECT_EQ(stopped.filesFound, 3);
  EXPECT_EQ(stopped.filesSearched, 0);
}

TEST(RunSearch, UnreadableFoldersAndFilesAreSkippedAndReported) {
  TempTree tree;
  tree.Write("a.vek", u"hit");
  const fs::path locked = tree.Write("b.vek", u"hit");
  tree.Write("closed/c.vek", u"hit");
  tree.Write("open/d.vek", u"hit");
  test::FaultyFileSystem fileSystem;
  fileSystem.unlistable.insert(tree / "closed");
  fileSystem.unreadable.insert(locked);
  const SearchOutcome outcome = Search(tree.root(), u"hit", true, fileSystem);
  EXPECT_EQ(Lines(outcome), (std::vector<std::u16string>{u"a.vek(1)：hit", u"d.vek(1)：hit"}));
  ASSERT_EQ(outcome.problems.size(), 2u);
  EXPECT_EQ(outcome.problems[0].path, tree / "closed");
  EXPECT_EQ(outcome.problems[1].path, locked);
  EXPECT_EQ(outcome.problems[1].error, std::errc::permission_denied);
}

TEST(RunSearch, RootThatVanishedIsReported) {
  TempTree tree;
  const SearchOutcome outcome = Search(tree / "gone", u"hit");
  EXPECT_EQ(HitCount(outcome.results), 0);
  ASSERT_EQ(outcome.problems.size(), 1u);
  EXPECT_EQ(outcome.problems[0].error, std::errc::no_such_file_or_directory);
}

TEST(RunSearch, LinksAreFollowedButLoopsAreNotWalkedTwice) {
  TempTree tree;
  tree.Write("real/r.vek", u"hit");
  fs::create_directory_symlink(tree / "real", tree / "alias");      // followed: seen twice
  fs::create_directory_symlink(tree.root(), tree / "real/up");      // back to the root: a loop
  fs::create_directory_symlink(tree / "real", tree / "real/self");  // into itself: a loop
  fs::create_symlink(tree / "missing.vek", tree / "broken.vek");    // reported when read
  const SearchOutcome outcome = Search(tree.root(), u"hit");
  EXPECT_EQ(Lines(outcome), (std::vector<std::u16string>{u"r.vek(1)：hit", u"r.vek(1)：hit"}));
  ASSERT_EQ(outcome.problems.size(), 1u);
  EXPECT_EQ(outcome.problems[0].path, tree / "broken.vek");
}

TEST(RunSearch, PipesAndDevicesNamedLikeDataFilesAreNeverOpened) {
  TempTree tree;
  ASSERT_EQ(::mkfifo((tree / "pipe.vek").c_str(), 0600), 0);
  tree.Write("x.vek", u"hit");
  EXPECT_EQ(Lines(Search(tree.root(), u"hit")), (std::vector<std::u16string>{u"x.vek(1)：hit"}));
}

TEST(StdFileSystem, ReadsAsMuchAsThereIsRoomFor) {
  TempTree tree;
  std::string big(3 << 20, 'x');
  big.back() = 'y';
  const fs::path bigPath = tree.WriteBytes("big", big);
  StdFileSystem fileSystem;
  std::unique_ptr<FileReader> reader;
  ASSERT_FALSE(fileSystem.Open(bigPath, reader));
  std::string read;
  char room[1000];
  for (std::size_t got = 1; got != 0;) {
    ASSERT_FALSE(reader->Read(room, got));
    ASSERT_LE(got, sizeof room);
    read.append(room, got);
  }
  EXPECT_EQ(read, big);
  EXPECT_EQ(fileSystem.Open(tree.root(), reader), std::errc::is_a_directory);
  EXPECT_EQ(fileSystem.Open(tree / "none", reader), std::errc::no_such_file_or_directory);
}

TEST(ListingOrder, CaseInsensitiveThenOrdinal) {
  EXPECT_TRUE(ListingOrderLess(u"a", u"B"));
  EXPECT_TRUE(ListingOrderLess(u"B", u"b"));  // equal but for case: ordinal
  EXPECT_TRUE(ListingOrderLess(u"Z", u"_"));  // upper-cased: 'Z' < '_' < 'a'
  EXPECT_TRUE(ListingOrderLess(u"ａ", u"Ｂ"));
  EXPECT_FALSE(ListingOrderLess(u"x", u"x"));
}

}  // namespace
}  // namespace vek
