// The search from keyword text and folder to result lines, its input rules, and the walk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <random>
#include <thread>

#include "file_collection.h"
#include "input_rules.h"
#include "line_matching.h"
#include "messages.h"
#include "result_lines.h"
#include "test_support.h"
#include "text_convert.h"

namespace vek {
namespace {

using test::TempTree;
using Lines = std::vector<std::u16string>;
using Problems = std::vector<std::pair<std::filesystem::path, std::error_code>>;

SearchOutcome Search(const fs::path& folder, std::u16string_view keywords,
                     FileSystem&& fileSystem = StdFileSystem()) {
  SearchState state;
  return RunSearch(state, keywords, PathText(folder), true, fileSystem);
}

// The result lines without the list's final empty element.
Lines Hits(const SearchOutcome& outcome) {
  EXPECT_TRUE(!outcome.results.empty() && outcome.results.back().empty());
  return {outcome.results.begin(), outcome.results.end() - 1};
}

Problems ProblemsOf(const std::vector<SearchProblem>& problems) {
  Problems pairs;
  for (const SearchProblem& problem : problems) pairs.emplace_back(problem.path, problem.error);
  return pairs;
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

// Listing order is upper-cased ("_" after "R", "ａ" before "Ｂ"), then ordinal. A cancel stops
// the walk at its next look at the flag; the files found by then are still matched.
TEST(RunSearch, WalksDataFilesDepthFirstOwnFilesFirstInListingOrderUntilCancelled) {
  TempTree tree;
  for (const char* name : {"b.Vek", "_.vek", "Root.vek", ".vek", "a.VEK", "Ｂ.vek", "ａ.vek",
                           "c.vek.bak", "d.ve", "e.vekk", "vek", "b/x.vek", "B/z.vek",
                           "B/a/deep.vek", "a/same.vek", "c/same.vek", "dir.vek/in.vek"})
    tree.Write(name, u"hit");
  std::deque<NativePath> expected{{}};
  for (const char* name :
       {".vek", "a.VEK", "b.Vek", "Root.vek", "_.vek", "ａ.vek", "Ｂ.vek", "a/same.vek", "B/z.vek",
        "B/a/deep.vek", "b/x.vek", "c/same.vek", "dir.vek/in.vek"})
    expected.push_back((tree / name).native());
  SearchState state;
  StdFileSystem fileSystem;
  int pumps = 0;
  std::function<void()> click = [] {};  // at the third pump
  const auto search = [&](const fs::path& folder, bool sub, const SearchOptions& options = {}) {
    pumps = 0;
    const EventPump pump = [&] {
      if (++pumps == 3) click();
    };
    return RunSearch(state, u"hit", PathText(folder), sub, fileSystem, pump, options);
  };
  // The same bare name in two folders: both searched, both shown by name alone.
  EXPECT_EQ(std::ranges::count(Hits(search(tree.root(), true)), u"same.vek(1)：hit"), 2);
  EXPECT_EQ(std::tuple(state.gFileList, state.gFileCount, state.gSearchPath),
            std::tuple(expected, 13, PathText(tree.root())));
  // The first upper-cased difference decides, whatever the ordinal order ("A" before "_"). A
  // name starting with the first of a pair sorts as one starting with the second exactly when
  // that is its upper case: both ends of each range upper-cased, and just outside them.
  EXPECT_TRUE(ListingOrderLess(u"a", u"_b"));
  const auto sortsAs = [](char16_t c, char16_t upper) {
    return ListingOrderLess(std::u16string{c, u'a'}, std::u16string{upper, u'b'});
  };
  const std::u16string_view upperCased = u"aAzZàÀþÞÿŸαΑϋΫςΣаАяЯѐЀџЏａＡｚＺāĀķĶŋŊŷŶĺĹňŇźŹžŽ";
  const std::u16string_view kept = u"`@{[ß\u00BF÷×ΰ\u0390όΌЯЏѠА\uFF40\uFF20\uFF5B\uFF3B";
  for (std::size_t i = 0; i < upperCased.size(); i += 2)
    EXPECT_TRUE(sortsAs(upperCased[i], upperCased[i + 1])) << i;
  for (std::size_t i = 0; i < kept.size(); i += 2) EXPECT_FALSE(sortsAs(kept[i], kept[i + 1])) << i;
  // Without subfolders: no pump, no folder entered.
  EXPECT_EQ(Hits(search(tree.root(), false)).size(), 7u);
  EXPECT_EQ(pumps, 0);

  // Pumps before a, B, B/a (the click) and b (where the root's loop stops); a click before
  // the search is forgotten.
  click = [&] { state.gCancel = true; };
  state.gCancel = true;
  const SearchOutcome outcome = search(tree.root(), true);
  EXPECT_EQ(Hits(outcome).size(), 9u);  // the root's own, a's and B's
  EXPECT_EQ(std::tuple(pumps, state.gFileCount, outcome.walkCancelled), std::tuple(4, 9, true));

  // A stop lets the walk end (only gCancel cuts it short) but matches nothing more.
  // (Requested before the start: the matching threads may take any file found before a
  // request during the walk.)
  for (const bool stopped : {false, true}) {
    std::stop_source stop;
    if (stopped) stop.request_stop();
    SearchProgress done;
    click = [] {};
    const SearchOutcome run =
        search(tree.root(), true, {.progress = &done, .stop = stop.get_token()});
    const int n = stopped ? 0 : 13;
    EXPECT_EQ(std::tuple(HitCount(run.results), run.walkCancelled, done.filesFound.load(),
                         done.filesSearched.load(), done.hits.load(), done.walkDone.load()),
              std::tuple(n, false, 13, n, n, true));
  }
}

// Links are followed but never around a loop; pipes and files not on this computer are not
// opened; problems are reported, the walk's first, and the rest searched (a read failing
// part-way keeps the lines before it: they may be out already); a size of 0 may hide content
// (a link to /proc).
TEST(RunSearch, SkipsAndReportsWhatCannotBeReadAndReadsFilesWhateverTheirSize) {
  TempTree tree;
  tree.Write("a.vek", u"hit");
  const fs::path locked = tree.Write("b.vek", u"hit");
  const fs::path cloud = tree.Write("cloud.vek", u"hit");
  tree.Write("closed/c.vek", u"hit");
  tree.Write("real/r.vek", u"hit");
  fs::create_directory_symlink(tree / "real", tree / "alias");      // followed: seen again
  fs::create_directory_symlink(tree.root(), tree / "real/up");      // back to the root: a loop
  fs::create_directory_symlink(tree / "real", tree / "real/self");  // a loop once, as "real"
  fs::create_symlink(tree / "missing.vek", tree / "broken.vek");
  fs::create_symlink("/proc/version", tree / "proc.vek");
  ASSERT_EQ(::mkfifo((tree / "pipe.vek").c_str(), 0600), 0);
  test::FaultyFileSystem fileSystem;
  fileSystem.unlistable.insert(tree / "closed");
  fileSystem.unreadable.insert(locked);
  fileSystem.offline.insert(cloud);
  fileSystem.anonymous.insert(tree / "real");
  const fs::path cut = tree.Write("cut.vek", u"hit\r\nhit");  // fails after its first line
  fileSystem.failing[cut] = "hit\r\n";
  const auto denied = fileSystem.denied;
  const auto missing = std::make_error_code(std::errc::no_such_file_or_directory);
  SearchOutcome outcome = Search(tree.root(), u"hit", std::move(fileSystem));
  EXPECT_EQ(Hits(outcome), (Lines{u"a.vek(1)：hit", u"cut.vek(1)：hit", u"r.vek(1)：hit",
                                  u"c.vek(1)：hit", u"r.vek(1)：hit", u"r.vek(1)：hit"}));
  EXPECT_EQ(ProblemsOf(outcome.problems),
            (Problems{{cloud, NotOnThisComputer()},
                      {tree / "closed", denied},
                      {locked, denied},
                      {tree / "broken.vek", missing},
                      {cut, std::make_error_code(std::errc::io_error)}}));
  EXPECT_EQ(NotOnThisComputer().message(), Utf16ToUtf8(kMsgNotOnThisComputer));

  const std::string version = test::Slurp("/proc/version");
  ASSERT_EQ(fs::file_size("/proc/version"), 0u);
  outcome = Search(tree.root(), Utf8ToUtf16(version.substr(0, version.find(' ', 8))));
  EXPECT_EQ(Hits(outcome),
            Lines{u"proc.vek(1)：" + Utf8ToUtf16(version.substr(0, version.size() - 1))});

  outcome = Search(tree / "gone", u"hit");
  EXPECT_EQ(Hits(outcome), Lines{});
  EXPECT_EQ(ProblemsOf(outcome.problems), (Problems{{tree / "gone", missing}}));
}

// Only a link leads back up a tree. A file system whose folders all have one identity, or none
// (a file id of zeros), or ids made from their names, loses no folder; a link back up is still
// not entered where the identities tell it. (With one identity for all, any link would look
// like one back up: no link here but that.)
TEST(RunSearch, RepeatedFolderIdentityIsALoopOnlyThroughALink) {
  TempTree tree;
  for (const char* name : {"a/a.vek", "a/b/a/deep.vek", "a/b/a/a/deeper.vek", "c/c.vek"})
    tree.Write(name, u"hit");
  using Rule = std::function<std::optional<FolderIdentity>(const fs::path&)>;
  struct Identities final : StdFileSystem {
    Rule rule;
    std::optional<FolderIdentity> Identity(const fs::path& folder) override { return rule(folder); }
  };
  StdFileSystem real;
  const auto same = [](std::uint64_t id) -> Rule {
    return [id](const fs::path&) { return FolderIdentity{7, {id, 0}}; };
  };
  const std::pair<const char*, Rule> systems[] = {
      {"unique", [&real](const fs::path& folder) { return real.Identity(folder); }},
      {"one for all", same(42)},
      {"zeros", same(0)},
      {"by name",
       [](const fs::path& folder) {
         return FolderIdentity{7, {std::hash<std::string>()(folder.filename()), 1}};
       }},
  };
  std::deque<NativePath> expected{{}};
  for (const char* name : {"a/a.vek", "a/b/a/deep.vek", "a/b/a/a/deeper.vek", "c/c.vek"})
    expected.push_back((tree / name).native());
  const auto walk = [&tree](const Rule& rule) {
    Identities fileSystem;
    fileSystem.rule = rule;
    SearchState state;
    RunSearch(state, u"hit", PathText(tree.root()), true, fileSystem);
    return state.gFileList;
  };
  for (const auto& [name, rule] : systems) EXPECT_EQ(walk(rule), expected) << name;
  fs::create_directory_symlink(tree.root(), tree / "a/b/up");
  for (const auto& [name, rule] : std::span(systems).first(2))
    EXPECT_EQ(walk(rule), expected) << name;
}

// Reads go to the end whatever the size said at the open: /proc files, a file cut short.
TEST(StdFileSystem, ReadsEveryByteThereIs) {
  TempTree tree;
  const fs::path cut = tree.WriteBytes("cut", std::string(10000, 'x'));
  StdFileSystem fileSystem;
  // The file is cut short after 5,000 bytes, and grown again after the short read: a short
  // read ends a file only once it has given the size it had at the open.
  const auto readAll = [&](const fs::path& path, std::size_t room = 1000) {
    std::unique_ptr<FileReader> reader;
    EXPECT_FALSE(fileSystem.Open(path, reader));
    std::string read;
    std::vector<char> buffer(room);
    for (std::size_t got = 1; got != 0; read.append(buffer.data(), got)) {
      if (path == cut && (read.size() == 5000 || read.size() == 5500))
        fs::resize_file(path, read.size() == 5000 ? 5500 : 7000);
      EXPECT_FALSE(reader->Read(buffer, got));
      EXPECT_LE(got, room);
    }
    return read;
  };
  // A /proc file of many pages gives a page a read, short of a larger room, and has size 0.
  if (fs::exists("/proc/kallsyms")) {
    EXPECT_GT(readAll("/proc/kallsyms", 1 << 20).size(), 1u << 16);
  }
  EXPECT_EQ(readAll(cut), std::string(5500, 'x') + std::string(1500, '\0'));
}

struct OneFolder final : StdFileSystem {
  int asked = 0;
  bool IsFolder(const fs::path& path) override { return ++asked, path == "/data"; }
};

TEST(CheckInput, RefusesWithTheFirstFailingChecksMessageAndFocus) {
  using enum InputField;
  // Half-width is one byte (ｶ, or "?" for é or a surrogate pair); empty words count; spaces
  // alone are accepted; only half-width spaces split.
  // Keywords, folder, message (empty: accepted), focus.
  const std::tuple<std::u16string_view, std::u16string_view, std::u16string_view, InputField>
      cases[] = {
          {u"", u"", kMsgKeywordEmpty, KeyWord},
          {u"ab", u"", kMsgTooShortOne, KeyWord},
          {u"ｶé", u"/data", kMsgTooShortOne, KeyWord},
          {u"abc ab", u"/data", kMsgTooShortMany, KeyWord},
          {u"ab ", u"/data", kMsgTooShortMany, KeyWord},
          {u"abc", u"", kMsgPathEmpty, FilePath},
          {u"abc", u"/missing", kMsgPathWrong, FilePath},
          {u"a日", u"/data", {}, None},
          {u"abc  def", u"/data", {}, None},
          {u"   ", u"/data", {}, None},
          {u"\U0010FFFF", u"/data", {}, None},                    // one character, one "?"
          {u"\xD7FF\xDC00", u"/data", kMsgTooShortOne, KeyWord},  // no pair: two "?"
          {u"ab　c\td", u"/data", {}, None},
      };
  for (const auto& [keywords, folder, message, focus] : cases) {
    OneFolder fs;
    const InputVerdict verdict = CheckInput(keywords, folder, fs);
    SCOPED_TRACE(Utf16ToUtf8(keywords) + " in " + Utf16ToUtf8(folder));
    // The folder is only looked at once the keywords and the folder text have passed.
    EXPECT_EQ(
        std::tuple(verdict.accepted, verdict.message == message, verdict.focus, fs.asked),
        std::tuple(message.empty(), true, focus, message.empty() || message == kMsgPathWrong));
  }
}

// A file server, slow at every open and folder identity: with the default thread counts the
// pools grow (the walk waits at its first subfolder until files are opened) and the search
// still ends with what one thread finds on a fast file system.
TEST(RunSearch, DefaultOptionsOnASlowFileSystemFindWhatOneThreadFinds) {
  struct Slow final : StdFileSystem {
    std::atomic<int> opens = 0;
    std::error_code Open(const NativePath& file, std::unique_ptr<FileReader>& reader) override {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      ++opens;
      opens.notify_all();
      return StdFileSystem::Open(file, reader);
    }
    std::optional<FolderIdentity> Identity(const fs::path& folder) override {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      return StdFileSystem::Identity(folder);
    }
  };
  TempTree tree;
  for (int i = 0; i < 64; ++i)
    tree.Write((i < 24 ? "" : "s" + std::to_string(i % 5) + "/") + std::to_string(i) + ".vek",
               i % 3 ? u"hit " + std::u16string(i % 7, u'x') + u"\r\nmiss" : u"miss");
  SearchState state;
  StdFileSystem fast;
  const SearchOutcome expected = RunSearch(state, u"hit", PathText(tree.root()), true, fast, {},
                                           {.threads = 1, .ioThreads = 0});
  ASSERT_EQ(HitCount(expected.results), 42);
  Slow slow;
  const EventPump pump = [&slow] {
    for (int seen = slow.opens; seen < 8; seen = slow.opens) slow.opens.wait(seen);
  };
  const SearchOutcome outcome = RunSearch(state, u"hit", PathText(tree.root()), true, slow, pump);
  EXPECT_EQ(std::pair(outcome.results, outcome.problems.empty()),
            std::pair(expected.results, true));
}

// An exception on a matching thread (here the file system's) ends the search with it, never
// with a result that silently lacks files.
TEST(RunSearch, AnExceptionOnAMatchingThreadEndsTheSearchWithIt) {
  struct Throwing final : StdFileSystem {
    std::error_code Open(const NativePath&, std::unique_ptr<FileReader>&) override {
      throw std::runtime_error("broken");
    }
  };
  TempTree tree;
  tree.Write("a.vek", u"hit");
  SearchState state;
  Throwing fileSystem;
  EXPECT_THROW(
      RunSearch(state, u"hit", PathText(tree.root()), true, fileSystem, {}, {.threads = 2}),
      std::runtime_error);
}

// The matched lines of one file; a read that fails part-way leaves none, with its error.
TEST(MatchFile, GivesTheHitLinesOrNoneWithTheErrorOfTheOpenOrARead) {
  TempTree tree;
  test::FaultyFileSystem fileSystem;
  const fs::path cut = tree / "cut.vek";
  fileSystem.failing[cut] = "hit\r\nhit\r\n";
  fileSystem.unreadable.insert(tree.WriteBytes("none.vek", "hit"));
  const auto eio = std::make_error_code(std::errc::io_error);
  const std::tuple<fs::path, KeywordList, Lines, std::error_code> cases[] = {
      {tree.Write("a.vek", u"猫と犬\r\n犬\n犬と猫\r猫"),
       {u"犬", u"", u"猫"},
       {u"猫と犬", u"犬と猫"},
       {}},
      {tree.WriteBytes("b.vek", "a\n\rb\r\n"), {u"", u""}, {u"a", u"", u"b", u""}, {}},
      {tree / "b.vek", {u"abd"}, {}, {}},
      {tree.WriteBytes("empty.vek", ""), {u""}, {}, {}},
      {cut, {u"hit"}, {}, eio},
      {tree / "none.vek", {u"hit"}, {}, fileSystem.denied},
  };
  for (const auto& [path, keywords, lines, expected] : cases) {
    std::error_code error;
    EXPECT_EQ(std::pair(MatchFile(path, keywords, fileSystem, error), error),
              std::pair(lines, expected))
        << path;
  }
}

// Numbered on from the file's pieces before, with more digits than its name has characters.
TEST(ResultLines, NumberOnFromThePiecesBefore) {
  FileResults piece;
  piece.path = ".vek";
  piece.hitBytes = "x";
  piece.hitEnds = {0, 1};
  piece.hitsBefore = 999'999'999;
  std::string utf8;
  AppendResultLinesUtf8(piece, utf8);
  EXPECT_EQ(utf8, ".vek(1000000000)：\n.vek(1000000001)：x\n");
  MakeResultLines(piece);
  EXPECT_EQ(piece.lines, (Lines{u".vek(1000000000)：", u".vek(1000000001)：x"}));
}

// Helpers listing ahead change nothing the walk finds, reports or pumps for, wherever a cancel
// comes, and stay within the window (of folders, each a listing and an identity); on random
// trees with links, faults and no identities.
TEST(ReadAheadWalk, SameFilesProblemsAndCancelPointsAsOneRequestAtATime) {
  for (std::uint32_t seed = 1; seed <= 120; ++seed) {
    static const char* const kNames[] = {"a.vek", "B.VEK", "c.txt", ".vek", "d.vek.bak"};
    std::mt19937 random(seed);
    TempTree tree;
    test::FaultyFileSystem fileSystem;
    std::vector<fs::path> folders{tree.root()};
    for (std::size_t i = 0; i < folders.size() && folders.size() < 50; ++i) {
      for (int files = random() % 4; files > 0; --files)
        std::ofstream(folders[i] / (std::to_string(files) + kNames[random() % 5]));
      for (int n = random() % 4; n > 0; --n)
        fs::create_directory(folders.emplace_back(folders[i] / ("s" + std::to_string(n))));
      if (random() % 8 == 0) fileSystem.unlistable.insert(folders[i]);
      if (random() % 8 == 0) fileSystem.anonymous.insert(folders[i]);
    }
    const auto any = [&] { return folders[random() % folders.size()]; };
    for (int links = random() % 4; links > 0; --links)
      fs::create_directory_symlink(any(), any() / ("L" + std::to_string(links)));
    const auto walk = [&](int cancelAt, unsigned threads, std::size_t window) {
      SearchState state;
      std::vector<SearchProblem> problems;
      int pumps = 0;
      const EventPump pump = [&] { state.gCancel = ++pumps == cancelAt || state.gCancel; };
      WalkContext context{fileSystem, pump, problems, {}, threads, window};
      const bool complete = CollectFiles(state, tree.root().native(), true, context);
      return std::tuple(state.gFileList, ProblemsOf(problems), pumps, complete);
    };
    for (int cancelAt : {0, 1 + static_cast<int>(random() % (std::get<2>(walk(0, 0, 0)) + 1)), 2}) {
      const std::size_t before = fileSystem.calls;
      const auto expected = walk(cancelAt, 0, 0);
      const std::size_t plain = fileSystem.calls - before, window = 1 + random() % 6;
      ASSERT_EQ(walk(cancelAt, 1 + random() % 6, window), expected)
          << "seed " << seed << ", cancel at pump " << cancelAt;
      EXPECT_LE(fileSystem.calls - before - plain, plain + 2 * window);
    }
  }
}

}  // namespace
}  // namespace vek
