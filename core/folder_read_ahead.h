// Folder listings fetched ahead of the walk, so that on a slow file server many listings are
// in flight while the walk still takes them one by one, in its own order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "file_system.h"

namespace vek {

// The walk's view of the folder tree. Every folder is read by one job: its identity (when
// the walk recurses), then, unless it is a loop, its listing. A folder is a loop when its
// identity is one of its ancestors' and a link lies between the two (the folder itself or one
// on the way down to it): only a link leads back up a tree, and a file system that repeats
// identities (a server that gives every folder the same, or ids made from names) must not lose
// a folder for it. Helper threads run the jobs of the folders the walk will enter next, in
// walk order (depth first, pre-order), at most `window` jobs ahead of it; a job that no
// helper has started when the walk needs it runs on the walk's thread. With no helpers the
// file system sees exactly the calls of a plain recursive walk, one at a time, in its order.
// Helpers are started one at a time, each after an identity that took `slowCall` or longer,
// up to `helpers`: a local disk answers at once and needs none, a file server gets them in
// the first few folders.
class FolderReadAhead {
 public:
  class Folder;

  FolderReadAhead(FileSystem& fileSystem, unsigned helpers, std::size_t window,
                  std::chrono::microseconds slowCall = {});
  // Drops the jobs nobody has started and waits for those that run.
  ~FolderReadAhead();
  FolderReadAhead(const FolderReadAhead&) = delete;
  FolderReadAhead& operator=(const FolderReadAhead&) = delete;

  // The walk's root; `recurse` makes its subfolders part of the tree.
  Folder& Root(const NativePath& path, bool recurse);

  // Waits until `folder` has been read, reading it here if no helper has started it. After
  // that its results below may be used by the walk's thread.
  void Wait(Folder& folder);

  // Frees what is known below `folder`, once the walk is done with its subtree.
  void Forget(Folder& folder);

 private:
  struct Key {
    explicit Key() = default;
  };
  using Order = std::vector<std::uint32_t>;  // child indexes from the root: walk order
  struct ByOrder {
    bool operator()(const Folder* a, const Folder* b) const;
  };

  // One more helper, as far as they go; `lock` is held.
  void AddHelper();
  void Help() noexcept;
  // Reads `folder` outside the lock, then publishes it; `lock` is held on entry and exit.
  void Read(Folder& folder, std::unique_lock<std::mutex>& lock);

  FileSystem& fileSystem_;
  const std::size_t window_;
  std::size_t mostHelpers_;
  const std::chrono::microseconds slowCall_;
  bool recurse_ = false;
  std::unique_ptr<Folder> root_;
  std::mutex mutex_;
  std::condition_variable work_;        // for helpers: a job to start, or stop
  std::condition_variable done_;        // for the walk: a job finished
  std::set<Folder*, ByOrder> waiting_;  // known folders whose job nobody has started
  std::size_t ahead_ = 0;               // jobs started by helpers and not yet waited for
  bool stopping_ = false;
  std::vector<std::jthread> helpers_;  // last: joined before the rest goes
};

class FolderReadAhead::Folder {
 public:
  const NativePath& path() const { return path_; }
  // A link back to a folder on the walk's current path: not to be entered.
  bool loop() const { return loop_; }
  std::error_code error() const { return error_; }
  // The listing's files; the walk may take them.
  std::deque<FolderEntry>& files() { return files_; }
  // The subfolders, in listing order (none without recursion or for a loop).
  std::vector<std::unique_ptr<Folder>>& subfolders() { return subfolders_; }

 private:
  friend class FolderReadAhead;
  enum class State { Known, Running, Read };

 public:
  Folder(Key, NativePath path, const Folder* parent, Order order, bool link)
      : path_(std::move(path)), parent_(parent), link_(link), order_(std::move(order)) {}

 private:
  NativePath path_;
  const Folder* parent_;
  bool link_;  // listed as a link in its parent
  Order order_;
  State state_ = State::Known;
  std::optional<FolderIdentity> identity_;
  bool loop_ = false;
  std::error_code error_;
  std::deque<FolderEntry> files_;
  std::vector<std::unique_ptr<Folder>> subfolders_;
  std::exception_ptr failure_;  // thrown by the file system, rethrown to the walk
};

}  // namespace vek
