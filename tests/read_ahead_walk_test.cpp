// The walk with folders listed ahead on other threads against a plain recursive walk that
// makes one request at a time: the same files in the same order, the same problems in the
// same order, the same stops after a cancel, on random trees with links and faults.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "file_collection.h"
#include "text_convert.h"

namespace vek {
namespace {

namespace fs = std::filesystem;

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
