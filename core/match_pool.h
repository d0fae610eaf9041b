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
#include <optional>
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
// before it are done: the first file waiting hands its hits on in pieces as they are found.
// The calling thread walks and delivers: the output overlaps the matching too. Whatever the
// thread count, the sink sees what a single thread matching the files in order would give it.
// Each thread holds one file and one read buffer at a time; files not yet handed on are
// bounded, and so are the hits waiting for delivery: a file that is not the first holds a few
// pieces before its thread waits for its turn, no file is begun while too many wait, and when
// too many files wait, Add delivers or waits until there is room.
class MatchPool {
 public:
  // `threads` match: 0 for one per hardware thread, as far as memory has room for them. The
  // calling thread walks and delivers, then joins them in Finish; it matches only when no
  // thread could be started. Each matched file is counted into options.progress when given;
  // once options.stop is requested no further file is matched.
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
    FileResults results;  // the hits found and not yet handed on
    std::uint64_t handedOn = 0;
    std::size_t heldBytes = 0;  // of hit lines in `results`
    bool done = false;
  };
  // What a thread does with its own matcher and buffer.
  struct Worker {
    LineMatcher matcher;
    ReadBuffer buffer;
    FileResults piece;    // hits found and not yet handed to the job
    bool retire = false;  // its buffer could not be had again: the thread ends
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
  // Under the lock, before the thread waits or reads on: lets the sink write out what it has.
  void Idle(std::unique_lock<std::mutex>& lock);
  // Calls the front end outside the lock, as the one thread in it; a failure there abandons
  // the search.
  template <typename Call>
  void CallOut(std::unique_lock<std::mutex>& lock, const Call& call);
  // Under the lock: the search fails with `failure`, rethrown by Finish.
  void Fail(std::exception_ptr failure);
  // True when the open kept the thread waiting.
  bool Match(Job& job, Worker& worker);
  // The worker's piece to its job, from a matching thread, outside the lock: delivered when
  // the job is the first, else held, waiting for the job's turn when it holds too much.
  // What is ready of the files before is delivered on the way. `turns`: the thread's turn
  // at matching, let go of meanwhile.
  void HandOn(Job& job, FileResults& piece, Slots* turns);
  // Under the lock: the piece's hits added to the job's.
  void Hold(Job& job, FileResults& piece);
  bool Holds(const Job& job) const { return job.results.hits != 0; }
  bool HoldsTooMuch(const Job& job) const {
    return job.heldBytes >= kHeldPieces * pieceBytes_ ||
           job.results.offsets.size() >= kHeldPieces * pieceHits_;
  }
  // Under the lock, counts an open; one more thread while most opens keep the caller waiting,
  // as far as the I/O threads go. (Most, not one: a thread that lost its core for a moment looks
  // slow too.)
  void NoteOpen(std::unique_lock<std::mutex>& lock, bool slow);
  // A matching thread more, when memory has room for it (asked with `probe`); false when it
  // could not be started. `lock` is held; with `wait` it waits until the thread has its buffer.
  bool AddHelper(std::unique_lock<std::mutex>& lock, bool probe, bool wait);
  // No thread matches, nor is about to: the calling thread does.
  bool Unmanned() const { return workers_ == 0 && starting_ == 0; }
  std::size_t BufferBytes() const { return 2 * slice_ + ReadBuffer::kAlignment; }
  void Work() noexcept;
  bool CanDeliver() const {
    return !delivering_ && !jobs_.empty() && (jobs_.front().done || Holds(jobs_.front()));
  }
  // The first file is always taken; the others while few hits wait for delivery.
  bool CanTake() const { return next_ < jobs_.size() && (next_ == 0 || RoomToTake()); }
  bool RoomToTake() const {
    return heldLines_ < kMostHeldLines && heldBytes_ < kMostHeldPieces * pieceBytes_;
  }

  // The first file done, and with it a quarter of the bound or every file waiting.
  bool BatchReady() const {
    return CanDeliver() && (doneJobs_ >= waitingLimit_ / 4 || doneJobs_ == jobs_.size());
  }

  static constexpr std::size_t kMostHeldLines = std::size_t{1} << 16;
  static constexpr std::size_t kHeldPieces = 4;       // per file that is not the first
  static constexpr std::size_t kMostHeldPieces = 16;  // in all, before no new file is begun

  const LineMatcher prototype_;
  FileSystem& fileSystem_;
  const std::size_t slice_;
  const std::size_t longestLine_;
  const std::size_t pieceBytes_;  // a piece is handed on at this many bytes of hit lines
  const std::size_t pieceHits_;   // or at this many lines
  const bool countOnly_;
  const bool hitBytesOnly_;
  const ResultSink sink_;
  const std::function<void()> idle_;
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
  std::optional<Worker> own_;  // the calling thread's, made when it has to match
  std::mutex mutex_;
  std::condition_variable work_;   // for the matching threads: a file to take, or the end
  std::condition_variable ready_;  // for the calling thread: a file to deliver, or room
  std::condition_variable turn_;   // for threads whose file holds too much: its turn
  std::deque<Job> jobs_;           // not yet delivered, in order; a deque, so a job stays put
  std::size_t next_ = 0;           // the first job nobody has taken
  std::size_t waitingLimit_ = 0;   // jobs beyond which Add waits rather than adds more
  std::size_t heldLines_ = 0;      // hit lines matched and not yet delivered
  std::size_t heldBytes_ = 0;      // their bytes
  std::size_t doneJobs_ = 0;       // matched, not yet delivered
  std::size_t workers_ = 0;        // matching threads that have their buffer and run
  std::size_t starting_ = 0;       // threads started that have not yet got their buffer
  std::size_t waitingTurn_ = 0;    // threads waiting on turn_
  bool delivering_ = false;        // a thread is in the sink
  bool written_ = true;            // the sink has had its idle call since it last took results
  bool closed_ = false;            // no more jobs will come
  bool abandoned_ = false;         // an unfinished search: nothing more is delivered
  std::exception_ptr failure_;
  std::vector<std::jthread> helpers_;  // last: joined before the rest goes
};

}  // namespace vek
