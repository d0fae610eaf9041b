// The search from keyword text and folder to the numbered result lines, the input rules that
// come before it, and the folder walk with read-ahead against a plain one.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

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

  // Counted as it goes; a stop lets the walk end (only gCancel cuts it short) but matches
  // nothing more. (Requested before the start: the matching threads may take any file
  // found before a request during the walk.)
  for (const bool stopped : {false, true}) {
    std::stop_source stop;
    if (stopped) stop.request_stop();
    SearchProgress done;
    const SearchOutcome run = RunSearch(state, u"hit", PathText(tree / "s2"), true, fileSystem, {},
                                        {.progress = &done, .stop = stop.get_token()});
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
  const auto readAll = [&](const fs::path& path, std::size_t cutAt = 0, std::size_t room = 1000) {
    std::unique_ptr<FileReader> reader;
    EXPECT_FALSE(fileSystem.Open(path, reader));
    std::string read;
    std::vector<char> buffer(room);
    for (std::size_t got = 1; got != 0; read.append(buffer.data(), got)) {
      if (cutAt != 0 && read.size() >= cutAt) fs::resize_file(path, std::exchange(cutAt, 0) + 500);
      EXPECT_FALSE(reader->Read(buffer, got));
      EXPECT_LE(got, room);
    }
    return read;
  };
  EXPECT_EQ(readAll(bigPath), big);
  EXPECT_EQ(readAll("/proc/version"), test::Slurp("/proc/version"));
  // A /proc file of many pages gives a page a read, short of a larger room, and has size 0.
  if (fs::exists("/proc/kallsyms")) {
    EXPECT_GT(readAll("/proc/kallsyms", 0, 1 << 20).size(), 1u << 16);
  }
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
  using enum InputField;
  // Half-width means one byte: half-width katakana, and a character outside CP932 (one "?");
  // a surrogate pair is one "?" too, but two code units. Empty words count as words, and
  // spaces alone are accepted: the text is never trimmed.
  const struct {
    std::u16string_view keywords, folder, message;  // message empty: accepted
    InputField focus;
  } cases[] = {
      {u"", u"", kMsgKeywordEmpty, KeyWord},
      {u"ab", u"", kMsgTooShortOne, KeyWord},
      {u"ｶé", u"/data", kMsgTooShortOne, KeyWord},
      {u"abc ab", u"/data", kMsgTooShortMany, KeyWord},
      {u"ab ", u"/data", kMsgTooShortMany, KeyWord},
      {u"abc", u"", kMsgPathEmpty, FilePath},
      {u"abc", u"/missing", kMsgPathWrong, FilePath},
      {u"abc", u"/data", {}, None},
      {u"a日", u"/data", {}, None},
      {u"abc  def", u"/data", {}, None},
      {u"   ", u"/data", {}, None},
      {u"😀", u"/data", {}, None},
  };
  for (const auto& c : cases) {
    OneFolder fs;
    const InputVerdict verdict = CheckInput(c.keywords, c.folder, fs);
    SCOPED_TRACE(Utf16ToUtf8(c.keywords) + " in " + Utf16ToUtf8(c.folder));
    EXPECT_EQ(verdict.accepted, c.message.empty());
    EXPECT_EQ(verdict.message, c.message);
    EXPECT_EQ(verdict.focus, c.focus);
    // The folder is only looked at once the keywords and the folder text have passed.
    EXPECT_EQ(fs.asked, c.message.empty() || c.message == kMsgPathWrong ? 1 : 0);
  }
  TempTree tree;
  StdFileSystem real;
  EXPECT_TRUE(FolderExists(PathText(tree.root()), real));
  EXPECT_FALSE(FolderExists(PathText(tree.Write("file.vek", u"x")), real));
  EXPECT_FALSE(FolderExists(PathText(tree / "missing"), real));
  EXPECT_FALSE(FolderExists(u"", real));
}

// The walk with folders listed ahead on other threads is checked against a plain recursive
// walk that makes one request at a time, on random trees with links and faults.

// A folder tree in memory under "/r". Entries of a folder are files, subfolders, or links to
// a folder up the path (a loop) or to one without subfolders (walked again under another
// name). Some folders cannot be listed: they yield their first file and an error; some of
// those have no identity either.
class RandomTree final : public FileSystem {
 public:
  explicit RandomTree(std::uint32_t seed) : random_(seed) {
    Grow(0, 0);
    std::vector<std::size_t> leaves;
    for (std::size_t i = 0; i < folders_.size(); ++i)
      if (folders_[i].subfolders.empty()) leaves.push_back(i);
    for (int links = random_() % 4; links > 0; --links) {
      const std::size_t from = random_() % folders_.size();
      std::size_t to = from;
      if (random_() % 2 == 0) {
        for (int up = random_() % 3; up > 0 && to != 0; --up) to = folders_[to].parent;
      } else {
        to = leaves[random_() % leaves.size()];
      }
      if (folders_[to].anonymous) continue;  // a loop nothing could recognise
      auto& entries = folders_[from].subfolders;
      entries.insert(entries.begin() + random_() % (entries.size() + 1),
                     {u"link" + Utf8ToUtf16(std::to_string(links)), to});
    }
  }

  std::error_code ListFolder(const fs::path& path, FolderListing& listing) override {
    Called('L', path, lists);
    listing = {};
    const Folder* folder = Find(path);
    if (!folder) return std::make_error_code(std::errc::no_such_file_or_directory);
    const std::error_code denied = std::make_error_code(std::errc::permission_denied);
    for (const std::u16string& name : folder->files) {
      listing.files.push_back({path / PathFromText(name), name});
      if (folder->unlistable) return denied;
    }
    for (const auto& [name, target] : folder->subfolders)
      listing.subfolders.push_back({path / PathFromText(name), name});
    return folder->unlistable ? denied : std::error_code();
  }
  std::optional<FolderIdentity> Identity(const fs::path& path) override {
    Called('I', path, identities);
    const Folder* folder = Find(path);
    if (!folder || folder->anonymous) return std::nullopt;
    return std::to_string(folder - folders_.data());
  }
  std::error_code Open(const fs::path&, std::unique_ptr<FileReader>&) override {
    return std::make_error_code(std::errc::operation_not_supported);
  }
  bool IsFolder(const fs::path& path) override { return Find(path) != nullptr; }

  std::atomic<std::size_t> lists = 0, identities = 0;
  std::vector<std::string> log;  // every call in order, while only the walk's thread calls
  bool logging = false;

 private:
  struct Folder {
    std::vector<std::u16string> files;
    std::vector<std::pair<std::u16string, std::size_t>> subfolders;  // name, folder
    std::size_t parent = 0;
    bool unlistable = false;
    bool anonymous = false;
  };

  void Grow(std::size_t index, int depth) {
    static const char16_t* const kNames[] = {u"a.vek", u"B.VEK", u"c.txt", u".vek", u"d.vek.bak"};
    folders_.resize(std::max(folders_.size(), index + 1));
    for (int files = random_() % 4; files > 0; --files)
      folders_[index].files.push_back(u"f" + Utf8ToUtf16(std::to_string(files)) +
                                      kNames[random_() % std::size(kNames)]);
    folders_[index].unlistable = random_() % 8 == 0;
    folders_[index].anonymous = folders_[index].unlistable && random_() % 2 == 0;
    for (int i = 0, n = depth < 4 ? random_() % 4 : 0; i < n; ++i) {
      const std::size_t child = folders_.size();
      folders_[index].subfolders.emplace_back(u"s" + Utf8ToUtf16(std::to_string(i)), child);
      folders_.emplace_back().parent = index;
      Grow(child, depth + 1);
    }
  }

  const Folder* Find(const fs::path& path) const {
    std::size_t index = 0;
    for (const fs::path& part : path.lexically_relative("/r")) {
      if (part == ".") continue;
      const auto& entries = folders_[index].subfolders;
      const auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& entry) {
        return PathFromText(entry.first) == part;
      });
      if (it == entries.end()) return nullptr;
      index = it->second;
    }
    return &folders_[index];
  }

  // Calls take a little time that differs from path to path, so that the helpers finish
  // their jobs in ever different orders.
  void Called(char kind, const fs::path& path, std::atomic<std::size_t>& count) {
    std::this_thread::sleep_for(std::chrono::microseconds(std::hash<fs::path>()(path) % 40));
    ++count;
    if (logging) log.push_back(kind + path.string());
  }

  std::mt19937 random_;
  std::vector<Folder> folders_;
};

struct Walk {
  std::vector<fs::path> files;
  std::vector<std::pair<fs::path, std::error_code>> problems;
  int pumps = 0;
  bool operator==(const Walk&) const = default;
};

// The walk as a plain recursion that waits for each request in turn. Once cancelled, each
// level still pumps before it sees the flag.
void PlainWalk(FileSystem& fileSystem, const fs::path& folder, std::vector<FolderIdentity>& path,
               int cancelAt, Walk& walk, bool& cancelled) {
  FolderListing listing;
  if (std::error_code ec = fileSystem.ListFolder(folder, listing))
    walk.problems.emplace_back(folder, ec);
  for (const FolderEntry& file : listing.files)
    if (IsDataFileName(file.name)) walk.files.push_back(file.path);
  for (const FolderEntry& subfolder : listing.subfolders) {
    cancelled = ++walk.pumps == cancelAt || cancelled;
    if (cancelled) return;
    const std::optional<FolderIdentity> identity = fileSystem.Identity(subfolder.path);
    if (identity && std::find(path.begin(), path.end(), *identity) != path.end()) continue;
    if (identity) path.push_back(*identity);
    PlainWalk(fileSystem, subfolder.path, path, cancelAt, walk, cancelled);
    if (identity) path.pop_back();
  }
}

Walk PlainWalk(FileSystem& fileSystem, int cancelAt) {
  Walk walk;
  std::vector<FolderIdentity> path;
  if (std::optional<FolderIdentity> identity = fileSystem.Identity("/r")) path.push_back(*identity);
  bool cancelled = false;
  PlainWalk(fileSystem, "/r", path, cancelAt, walk, cancelled);
  return walk;
}

Walk ReadAheadWalk(FileSystem& fileSystem, int cancelAt, unsigned threads, std::size_t window) {
  Walk walk;
  SearchState state;
  std::vector<SearchProblem> problems;
  const EventPump pump = [&] {
    if (++walk.pumps == cancelAt) state.gCancel = true;
    std::this_thread::yield();
  };
  WalkContext context{fileSystem, pump, problems, {}, threads, window};
  CollectFiles(state, "/r", true, context);
  walk.files.assign(state.gFileList.begin() + 1, state.gFileList.end());
  EXPECT_EQ(state.gFileCount, static_cast<std::int32_t>(walk.files.size()));
  for (const SearchProblem& problem : problems)
    walk.problems.emplace_back(problem.path, problem.error);
  return walk;
}

TEST(ReadAheadWalk, SameFilesProblemsAndCancelPointsAsOneRequestAtATime) {
  for (std::uint32_t seed = 1; seed <= 120; ++seed) {
    RandomTree tree(seed);
    tree.logging = true;
    const Walk whole = PlainWalk(tree, 0);
    const std::vector<std::string> plainCalls = std::exchange(tree.log, {});
    // With no helpers the file system sees exactly the plain walk's calls.
    ASSERT_EQ(ReadAheadWalk(tree, 0, 0, 0), whole) << "seed " << seed;
    ASSERT_EQ(tree.log, plainCalls) << "seed " << seed;
    tree.logging = false;

    std::mt19937 random(seed);
    for (int cancelAt : {0, 1 + static_cast<int>(random() % (whole.pumps + 1)), 2}) {
      const std::size_t lists = tree.lists, identities = tree.identities;
      const Walk expected = PlainWalk(tree, cancelAt);
      const std::size_t plainLists = tree.lists - lists,
                        plainIdentities = tree.identities - identities;
      const std::size_t window = 1 + random() % 6;
      ASSERT_EQ(ReadAheadWalk(tree, cancelAt, 1 + random() % 6, window), expected)
          << "seed " << seed << ", cancel at pump " << cancelAt;
      // No further ahead than the window, also after a cancel.
      EXPECT_LE(tree.lists - lists - plainLists, plainLists + window);
      EXPECT_LE(tree.identities - identities - plainIdentities, plainIdentities + window);
    }
  }
}

}  // namespace
}  // namespace vek
