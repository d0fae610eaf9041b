// The matching phase of a search: every collected file read and matched, on a few threads,
// with the results handed on in collection order.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <span>
#include <stop_token>
#include <thread>
#include <vector>

#include "file_system.h"
#include "line_matching.h"
#include "search_core.h"

namespace vek {

// A counting semaphore on a mutex and a condition variable. The standard one can miss a wake-up
// in some standard libraries (GCC 12's, seen under Windows), and a thread then waits for ever.
class Slots {
 public:
  void Release(std::size_t count = 1);
  void Acquire();

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  std::size_t free_ = 0;
};

// Matches files as the walk hands them over, on threads of its own, so that the matching
// overlaps the walk, and hands each file's results to the sink as soon as it and every file
// before it are done. The calling thread walks and delivers: the output overlaps the matching
// too. Whatever the thread count, the sink sees what a single thread matching the files in
// order would give it. Each thread holds one file and one read buffer at a time; files not
// yet handed on are bounded, and so are the result lines waiting for delivery: when too many
// wait, Add delivers or waits until there is room.
class MatchPool {
 public:
  // `threads` match: 0 for one per hardware thread. The calling thread walks and delivers,
  // then joins them in Finish; it matches only when no thread could be started. Each matched
  // file is counted into options.progress when given; once options.stop is requested no
  // further file is matched.
  MatchPool(const KeywordList& keywords, FileSystem& fileSystem, const SearchOptions& options,
            ResultSink sink);
  ~MatchPool();
  MatchPool(const MatchPool&) = delete;
  MatchPool& operator=(const MatchPool&) = delete;

  // Hands over files in walk order.
  void Add(std::span<const NativePath> files);

  // Matches and delivers what is left and waits for the other threads.
  void Finish();

 private:
  struct Job {
    FileResults results;
    bool done = false;
  };
  // What a thread does with its own matcher and buffer.
  struct Worker {
    LineMatcher matcher;
    ReadBuffer buffer;
  };

  // One step of a matching thread, under the lock: matches the next file, or delivers when
  // there is nothing to match, or waits. False once there is nothing more to match.
  bool MatchStep(std::unique_lock<std::mutex>& lock, Worker& worker);
  // One step of the calling thread, under the lock: delivers what is ready, or matches when
  // no thread does. False when it can only wait.
  bool DeliverStep(std::unique_lock<std::mutex>& lock);
  // Under the lock; false when a stop has been requested, which abandons the search.
  bool Going();
  void MatchNext(std::unique_lock<std::mutex>& lock, Worker& worker);
  void DeliverFront(std::unique_lock<std::mutex>& lock);
  // True when the open kept the thread waiting.
  bool Match(FileResults& file, Worker& worker);
  // Under the lock, counts an open; one more thread while most opens keep the caller waiting,
  // as far as the I/O threads go. (Most, not one: a thread that lost its core for a moment looks
  // slow too.)
  void NoteOpen(bool slow);
  void Work() noexcept;
  bool CanDeliver() const { return !delivering_ && !jobs_.empty() && jobs_.front().done; }
  // The first file is always taken; the others while few hit lines wait for delivery.
  bool CanTake() const {
    return next_ < jobs_.size() && (next_ == 0 || heldLines_ < kMostHeldLines);
  }

  // The first file done, and with it a quarter of the bound or every file waiting.
  bool BatchReady() const {
    return CanDeliver() && (doneJobs_ >= waitingLimit_ / 4 || doneJobs_ == jobs_.size());
  }

  static constexpr std::size_t kMostHeldLines = std::size_t{1} << 16;

  const LineMatcher prototype_;
  FileSystem& fileSystem_;
  const std::size_t slice_;
  const bool countOnly_;
  const bool hitBytesOnly_;
  const ResultSink sink_;
  const std::chrono::microseconds slowOpen_;
  SearchProgress* const progress_;
  const std::stop_token stop_;
  std::size_t mostThreads_ = 1;
  // The pool has grown past the matching threads: from then on they take turns at matching
  // (a file begun before may still be matched without one).
  std::atomic<bool> grown_ = false;
  std::size_t opens_ = 0;
  std::size_t slowOpens_ = 0;
  // Threads matching at once, so that a pool grown for a slow file system still matches on
  // as many threads as asked for; a thread lets go of it while it waits on the file system.
  Slots matching_;
  Worker own_;  // the calling thread's, when it has to match
  std::mutex mutex_;
  std::condition_variable work_;   // for the matching threads: a file to take, or the end
  std::condition_variable ready_;  // for the calling thread: a file to deliver, or room
  std::deque<Job> jobs_;           // not yet delivered, in order; a deque, so a job stays put
  std::size_t next_ = 0;           // the first job nobody has taken
  std::size_t waitingLimit_ = 0;   // jobs beyond which Add waits rather than adds more
  std::size_t heldLines_ = 0;      // hit lines in matched files not yet delivered
  std::size_t doneJobs_ = 0;       // matched, not yet delivered
  bool delivering_ = false;        // a thread is in the sink
  bool closed_ = false;            // no more jobs will come
  bool abandoned_ = false;         // an unfinished search: nothing more is delivered
  std::exception_ptr failure_;
  std::vector<std::jthread> helpers_;  // last: joined before the rest goes
};

}  // namespace vek
