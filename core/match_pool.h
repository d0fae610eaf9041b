// The matching phase of a search: every collected file read and matched, on a few threads,
// with the results handed on in collection order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "file_system.h"
#include "line_matching.h"
#include "search_core.h"

namespace vek {

// Matches files as the walk hands them over, so that with more than one thread the matching
// overlaps the walk, and hands each file's results to the sink as soon as it and every file
// before it are done, so that the output overlaps the matching. Whatever the thread count,
// the sink sees what a single thread matching the files in order would give it. Each thread
// holds one file and one read buffer at a time; files not yet handed on are bounded too: when
// too many wait, Add lets the calling thread match or deliver until there is room.
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

class MatchPool {
 public:
  // `threads`: 0 for one per hardware thread. The calling thread counts as one: it walks
  // while the others match, then joins them in Finish. Each matched file is counted into
  // options.progress when given; once options.stop is requested no further file is matched.
  MatchPool(const KeywordList& keywords, FileSystem& fileSystem, const SearchOptions& options,
            ResultSink sink);
  ~MatchPool();
  MatchPool(const MatchPool&) = delete;
  MatchPool& operator=(const MatchPool&) = delete;

  void Add(std::filesystem::path path);

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

  // One step of a thread's share, under the lock: delivers the files that are ready, or
  // matches the next one, or waits. False when there is nothing to do and nothing to wait for.
  bool Step(std::unique_lock<std::mutex>& lock, Worker& worker);
  void Match(FileResults& file, Worker& worker);
  // Counts an open; one more thread while most opens keep the caller waiting, as far as the
  // I/O threads go. (Most, not one: a thread that lost its core for a moment looks slow too.)
  void NoteOpen(bool slow);
  void Work() noexcept;
  bool CanDeliver() const { return !delivering_ && !jobs_.empty() && jobs_.front().done; }

  const LineMatcher prototype_;
  FileSystem& fileSystem_;
  const std::size_t slice_;
  const bool countOnly_;
  const ResultSink sink_;
  const std::chrono::microseconds slowOpen_;
  SearchProgress* const progress_;
  const std::stop_token stop_;
  std::size_t mostThreads_ = 1;  // the calling thread included
  std::size_t opens_ = 0;
  std::size_t slowOpens_ = 0;
  // Threads matching at once, so that a pool grown for a slow file system still matches on
  // as many threads as asked for; a thread lets go of it while it waits on the file system.
  Slots matching_;
  Worker own_;  // the calling thread's
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;          // not yet delivered, in order; a deque, so a job stays put
  std::size_t next_ = 0;          // the first job nobody has taken
  std::size_t waitingLimit_ = 0;  // jobs beyond which Add helps rather than adds more
  bool delivering_ = false;       // a thread is in the sink
  bool closed_ = false;           // no more jobs will come
  bool abandoned_ = false;        // an unfinished search: nothing more is delivered
  std::exception_ptr failure_;
  std::vector<std::jthread> helpers_;  // last: joined before the rest goes
};

}  // namespace vek
