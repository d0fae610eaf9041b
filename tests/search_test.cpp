// The search from keyword text and folder to the numbered result lines, and the input rules
// that come before it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "file_collection.h"
#include "input_rules.h"
#include "line_matching.h"
#include "messages.h"
#include "test_support.h"
#include "text_convert.h"

namespace vek {
namespace {

using test::TempTree;
using Lines = std::vector<std::u16string>;
using Problems = std::vector<std::pair<std::filesystem::path, std::error_code>>;
namespace fs = std::filesystem;

SearchOutcome Search(const fs::path& folder, std::u16string_view keywords,
                     FileSystem&& fileSystem = StdFileSystem()) {
  SearchState state;
  return RunSearch(state, keywords, PathText(folder), true, fileSystem);
}

// The result lines without the list's final empty element.
Lines Hits(const SearchOutcome& outcome) {
  EXPECT_TRUE(!outcome.results.empty() && outcome.results.back().empty());
  EXPECT_EQ(HitCount(outcome.results), static_cast<std::int32_t>(outcome.results.size() - 1));
  return {outcome.results.begin(), outcome.results.end() - 1};
}

Problems ProblemsOf(const SearchOutcome& outcome) {
  Problems problems;
  for (const SearchProblem& problem : outcome.problems)
    problems.emplace_back(problem.path, problem.error);
  return problems;
}

TEST(SplitText, KeywordsAtEveryHalfWidthSpaceAndLinesAtEveryLineEnd) {
  EXPECT_EQ(SplitKeywords(u""), (KeywordList{u""}));
  EXPECT_EQ(SplitKeywords(u"a  b "), (KeywordList{u"a", u"", u"b", u""}));
  EXPECT_EQ(SplitKeywords(u"検索　文字\tx"), (KeywordList{u"検索　文字\tx"}));
  using Split = std::vector<std::u16string_view>;
  for (std::u16string_view text :
       {u"あ\r\nb\r\n\r\nc", u"あ\nb\n\nc", u"あ\rb\r\rc", u"あ\nb\r\n\rc"})
    EXPECT_EQ(SplitLines(text), (Split{u"あ", u"b", u"", u"c"}));
  EXPECT_EQ(SplitLines(u""), Split{});
  EXPECT_EQ(SplitLines(u"x\r\n"), (Split{u"x", u""}));
  EXPECT_EQ(SplitLines(u"a\n\rb"), (Split{u"a", u"", u"b"}));  // LF CR is two line ends
}

TEST(RunSearch, FindsLinesHoldingEveryKeywordAsDecodedCodeUnits) {
  TempTree tree;
  tree.Write("a.vek", u"猫と犬\r\n犬\r\n犬と猫\r\n");
  tree.Write("b.vek", u"ABC\nabc\rＡＢＣ");
  tree.WriteBytes("c.vek", "\x82\xa0\x85\x40@\r\n\x96\x7b");  // 85 40 is no character
  tree.WriteBytes("d.vek", "");
  const std::pair<std::u16string_view, Lines> cases[] = {
      {u"猫 犬", {u"a.vek(1)：猫と犬", u"a.vek(2)：犬と猫"}},
      {u" 犬  犬 ", {u"a.vek(1)：猫と犬", u"a.vek(2)：犬", u"a.vek(3)：犬と猫"}},
      {u"abc", {u"b.vek(1)：abc"}},
      {u"@", {u"c.vek(1)：あ\uFFFD@@"}},
      {u"{", {}},  // the trail byte 7B of 本
      {u"  ",
       {u"a.vek(1)：猫と犬", u"a.vek(2)：犬", u"a.vek(3)：犬と猫", u"a.vek(4)：", u"b.vek(1)：ABC",
        u"b.vek(2)：abc", u"b.vek(3)：ＡＢＣ", u"c.vek(1)：あ\uFFFD@@", u"c.vek(2)：本"}},
  };
  for (const auto& [keywords, lines] : cases) {
    const SearchOutcome outcome = Search(tree.root(), keywords);
    EXPECT_EQ(Hits(outcome), lines);
    EXPECT_TRUE(outcome.problems.empty());
  }
}

TEST(RunSearch, WalksDataFilesDepthFirstOwnFilesFirstInListingOrder) {
  TempTree tree;
  for (const char* name :
       {"b.Vek", "Root.vek", ".vek", "a.VEK", "c.vek.bak", "d.ve", "e.vekk", "vek", "B/z.vek",
        "B/a/deep.vek", "a/same.vek", "c/same.vek", "dir.vek/in.vek"})
    tree.Write(name, u"hit");
  std::deque<NativePath> expected{{}};
  for (const char* name : {".vek", "a.VEK", "b.Vek", "Root.vek", "a/same.vek", "B/z.vek",
                           "B/a/deep.vek", "c/same.vek", "dir.vek/in.vek"})
    expected.push_back((tree / name).native());
  SearchState state;
  StdFileSystem fileSystem;
  int pumps = 0;
  const auto search = [&](bool sub) {
    return Hits(RunSearch(state, u"hit", PathText(tree.root()), sub, fileSystem, [&] { ++pumps; }));
  };
  const Lines lines = search(true);
  EXPECT_EQ(state.gFileList, expected);
  EXPECT_EQ(state.gFileCount, 9);
  EXPECT_EQ(state.gSearchPath, PathText(tree.root()));
  // The same bare name in two folders: both searched, both shown by name alone.
  EXPECT_EQ(lines[4], u"same.vek(1)：hit");
  EXPECT_EQ(lines[7], u"same.vek(1)：hit");
  // Without subfolders: no pump, no folder entered.
  pumps = 0;
  EXPECT_EQ(search(false),
            (Lines{u".vek(1)：hit", u"a.VEK(1)：hit", u"b.Vek(1)：hit", u"Root.vek(1)：hit"}));
  EXPECT_EQ(pumps, 0);
  // Upper-cased, then ordinal for names equal but for case.
  for (const auto& [a, b] : {std::pair{u"a", u"B"}, {u"B", u"b"}, {u"Z", u"_"}, {u"ａ", u"Ｂ"}}) {
    EXPECT_TRUE(ListingOrderLess(a, b));
    EXPECT_FALSE(ListingOrderLess(b, a));
  }
}

TEST(RunSearch, CancelStopsTheWalkButTheCollectedFilesAreStillMatched) {
  TempTree tree;
  for (const char* name : {"root.vek", "s1/one.vek", "s2/two.vek", "s2/x/deeper.vek",
                           "s2/y/deepest.vek", "s3/three.vek"})
    tree.Write(name, u"hit");
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
  EXPECT_EQ(Hits(outcome), (Lines{u"root.vek(1)：hit", u"one.vek(1)：hit", u"two.vek(1)：hit"}));
  EXPECT_EQ(pumps, 4);
  EXPECT_EQ(state.gFileCount, 3);
  EXPECT_TRUE(outcome.walkCancelled);

  // Counted as it goes; a stop requested during the walk lets the walk end (only gCancel
  // cuts it short) but matches nothing more.
  for (const bool stopped : {false, true}) {
    std::stop_source stop;
    SearchProgress done;
    const SearchOutcome run =
        RunSearch(state, u"hit", PathText(tree / "s2"), true, fileSystem,
                  [&] {
                    if (stopped) stop.request_stop();
                  },
                  {.threads = stopped ? 1u : 2u, .progress = &done, .stop = stop.get_token()});
    EXPECT_EQ(HitCount(run.results), stopped ? 0 : 3);
    EXPECT_FALSE(run.walkCancelled);
    EXPECT_EQ(done.filesFound, 3);
    EXPECT_EQ(done.filesSearched, stopped ? 0 : 3);
    EXPECT_EQ(done.hits, stopped ? 0 : 3);
    EXPECT_TRUE(done.walkDone);
  }
}

// Links are followed but never around a loop; pipes are not opened; what cannot be listed or
// read is reported, walk problems first, and the rest is searched. A file whose size is 0
// may still have content (a link to a /proc file).
TEST(RunSearch, SkipsAndReportsWhatCannotBeReadAndReadsFilesWhateverTheirSize) {
  TempTree tree;
  tree.Write("a.vek", u"hit");
  const fs::path locked = tree.Write("b.vek", u"hit");
  tree.Write("closed/c.vek", u"hit");
  tree.Write("real/r.vek", u"hit");
  fs::create_directory_symlink(tree / "real", tree / "alias");      // followed: seen twice
  fs::create_directory_symlink(tree.root(), tree / "real/up");      // back to the root: a loop
  fs::create_directory_symlink(tree / "real", tree / "real/self");  // into itself: a loop
  fs::create_symlink(tree / "missing.vek", tree / "broken.vek");
  fs::create_symlink("/proc/version", tree / "proc.vek");
  ASSERT_EQ(::mkfifo((tree / "pipe.vek").c_str(), 0600), 0);
  test::FaultyFileSystem fileSystem;
  fileSystem.unlistable.insert(tree / "closed");
  fileSystem.unreadable.insert(locked);
  const auto denied = std::make_error_code(std::errc::permission_denied);
  const auto missing = std::make_error_code(std::errc::no_such_file_or_directory);
  SearchOutcome outcome = Search(tree.root(), u"hit", std::move(fileSystem));
  EXPECT_EQ(Hits(outcome), (Lines{u"a.vek(1)：hit", u"r.vek(1)：hit", u"r.vek(1)：hit"}));
  EXPECT_EQ(
      ProblemsOf(outcome),
      (Problems{{tree / "closed", denied}, {locked, denied}, {tree / "broken.vek", missing}}));

  const std::string version = test::Slurp("/proc/version");
  ASSERT_EQ(fs::file_size("/proc/version"), 0u);
  outcome = Search(tree.root(), Utf8ToUtf16(version.substr(0, version.find(' ', 8))));
  EXPECT_EQ(Hits(outcome),
            Lines{u"proc.vek(1)：" + Utf8ToUtf16(version.substr(0, version.size() - 1))});

  outcome = Search(tree / "gone", u"hit");
  EXPECT_EQ(Hits(outcome), Lines{});
  EXPECT_EQ(ProblemsOf(outcome), (Problems{{tree / "gone", missing}}));
}

// Reads give what there is room for, to the end whatever the size said at the open: a
// /proc file (size 0) and a file cut short while it is read.
TEST(StdFileSystem, ReadsEveryByteThereIs) {
  TempTree tree;
  std::string big(3 << 20, 'x');
  big.back() = 'y';
  const fs::path bigPath = tree.WriteBytes("big", big);
  StdFileSystem fileSystem;
  const auto readAll = [&](const fs::path& path, std::size_t cutAt = 0) {
    std::unique_ptr<FileReader> reader;
    EXPECT_FALSE(fileSystem.Open(path, reader));
    std::string read;
    char room[1000];
    for (std::size_t got = 1; got != 0; read.append(room, got)) {
      if (cutAt != 0 && read.size() >= cutAt) fs::resize_file(path, std::exchange(cutAt, 0) + 500);
      EXPECT_FALSE(reader->Read(room, got));
      EXPECT_LE(got, sizeof room);
    }
    return read;
  };
  EXPECT_EQ(readAll(bigPath), big);
  EXPECT_EQ(readAll("/proc/version"), test::Slurp("/proc/version"));
  EXPECT_EQ(readAll(bigPath, 5000), big.substr(0, 5500));
  std::unique_ptr<FileReader> reader;
  EXPECT_EQ(fileSystem.Open(tree.root(), reader), std::errc::is_a_directory);
  EXPECT_EQ(fileSystem.Open(tree / "none", reader), std::errc::no_such_file_or_directory);
}

// Knows one folder; counts how often it is asked.
struct OneFolder final : StdFileSystem {
  bool IsFolder(const fs::path& path) override {
    ++asked;
    return path == fs::path("/data");
  }
  int asked = 0;
};

TEST(CheckInput, RefusesWithTheFirstFailingChecksMessageAndFocus) {
  const struct {
    std::u16string_view keywords, folder;
    std::u16string_view message;  // empty: accepted
  } cases[] = {
      {u"", u"", kMsgKeywordEmpty},  // wins over everything after it
      // Half-width only and one or two characters; half-width katakana count as half-width,
      // and so does a character outside CP932 (it would be written as one "?").
      {u"ab", u"", kMsgTooShortOne},
      {u"ｶé", u"/data", kMsgTooShortOne},
      // Several words: the split gives more than one piece, empty ones included.
      {u"abc ab", u"/data", kMsgTooShortMany},
      {u"ab ", u"/data", kMsgTooShortMany},
      {u"abc", u"", kMsgPathEmpty},
      {u"abc", u"/missing", kMsgPathWrong},
      // Accepted: three half-width characters, a double-byte character, empty words, spaces
      // only (never trimmed), and a surrogate pair (two code units, one "?").
      {u"abc", u"/data", {}},
      {u"a日", u"/data", {}},
      {u"abc  def", u"/data", {}},
      {u"   ", u"/data", {}},
      {u"😀", u"/data", {}},
  };
  for (const auto& c : cases) {
    OneFolder fs;
    const InputVerdict verdict = CheckInput(c.keywords, c.folder, fs);
    SCOPED_TRACE(Utf16ToUtf8(c.keywords) + " in " + Utf16ToUtf8(c.folder));
    EXPECT_EQ(verdict.accepted, c.message.empty());
    EXPECT_EQ(verdict.message, c.message);
    // The folder is only looked at once the keywords and the folder text have passed.
    const bool asked = c.message.empty() || c.message == kMsgPathWrong;
    EXPECT_EQ(fs.asked, asked ? 1 : 0);
    EXPECT_EQ(verdict.focus, asked && !c.message.empty()  ? InputField::FilePath
                             : c.message == kMsgPathEmpty ? InputField::FilePath
                             : c.message.empty()          ? InputField::None
                                                          : InputField::KeyWord);
  }
  TempTree tree;
  StdFileSystem real;
  EXPECT_TRUE(FolderExists(PathText(tree.root()), real));
  EXPECT_FALSE(FolderExists(PathText(tree.Write("file.vek", u"x")), real));
  EXPECT_FALSE(FolderExists(PathText(tree / "missing"), real));
  EXPECT_FALSE(FolderExists(u"", real));
}

}  // namespace
}  // namespace vek
