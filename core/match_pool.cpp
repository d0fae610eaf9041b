#include "match_pool.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>

#include "result_lines.h"

namespace vek {
namespace {

// Files found but not yet handed on, per thread, before the walk waits for them: enough to
// keep every thread busy, few enough that a tree of any size costs little memory.
constexpr std::size_t kWaitingPerThread = 256;

// The file system as the matching sees it: while a thread waits for a read, it does not
// count as matching.
class ReaderLettingGo final : public FileReader {
 public:
  ReaderLettingGo(FileReader& reader, Slots& matching) : reader_(reader), matching_(matching) {}
  std::error_code Read(std::span<char> room, std::size_t& got) override {
    matching_.Release();
    const std::error_code error = reader_.Read(room, got);
    matching_.Acquire();
    return error;
  }

 private:
  FileReader& reader_;
  Slots& matching_;
};

}  // namespace

void Slots::Release(std::size_t count) {
  {
    const std::lock_guard lock(mutex_);
    free_ += count;
  }
  freed_.notify_all();
}

void Slots::Acquire() {
  std::unique_lock lock(mutex_);
  freed_.wait(lock, [this] { return free_ > 0; });
  --free_;
}

MatchPool::MatchPool(const KeywordList& keywords, FileSystem& fileSystem,
                     const SearchOptions& options, ResultSink sink)
    : prototype_(keywords),
      fileSystem_(fileSystem),
      slice_(std::max<std::size_t>(options.sliceBytes, 1)),
      countOnly_(options.countOnly),
      hitBytesOnly_(options.hitBytesOnly && options.onFile),
      sink_(std::move(sink)),
      slowOpen_(options.slowOpen),
      progress_(options.progress),
      stop_(options.stop),
      own_{prototype_, {}} {
  unsigned threads = options.threads;
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  matching_.Release(threads);
  mostThreads_ = std::max(threads, options.ioThreads);
  try {
    while (helpers_.size() < threads) helpers_.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
    // No more threads to be had: those running share the files, or the caller matches them.
  }
  waitingLimit_ = std::max<std::size_t>(helpers_.size(), 1) * kWaitingPerThread;
}

MatchPool::~MatchPool() {
  {
    const std::lock_guard lock(mutex_);
    abandoned_ = closed_ = true;  // an unfinished search: what nobody has taken is dropped
  }
  work_.notify_all();
}

void MatchPool::Add(std::span<const NativePath> files) {
  // At most a bound's worth at a time, with the paths copied outside the lock.
  while (!files.empty()) {
    const std::span<const NativePath> some = files.first(std::min(files.size(), waitingLimit_));
    files = files.subspan(some.size());
    std::vector<NativePath> paths(some.begin(), some.end());
    std::unique_lock lock(mutex_);
    for (NativePath& path : paths) jobs_.emplace_back().results.path = std::move(path);
    lock.unlock();
    work_.notify_all();
    lock.lock();
    // Delivers what is ready; past the bound, waits for a batch, not for each file: the two
    // sides would wake each other per file.
    while (Going()) {
      if (DeliverStep(lock)) continue;
      if (jobs_.size() <= waitingLimit_) break;
      ready_.wait(
          lock, [this] { return abandoned_ || BatchReady() || jobs_.size() <= waitingLimit_ / 2; });
    }
  }
}

void MatchPool::Finish() {
  {
    std::unique_lock lock(mutex_);
    closed_ = true;
    work_.notify_all();
    while (Going() && !jobs_.empty()) {
      if (!DeliverStep(lock))
        ready_.wait(lock, [this] { return abandoned_ || jobs_.empty() || BatchReady(); });
    }
  }
  for (std::jthread& helper : helpers_) helper.join();
  if (failure_) std::rethrow_exception(failure_);
}

bool MatchPool::Going() {
  if (abandoned_) return false;
  if (!stop_.stop_requested()) return true;
  // Nobody will look at the result: what is not matched yet is dropped.
  abandoned_ = true;
  work_.notify_all();
  ready_.notify_one();
  return false;
}

bool MatchPool::MatchStep(std::unique_lock<std::mutex>& lock, Worker& worker) {
  if (!Going()) return false;
  if (CanTake()) {
    MatchNext(lock, worker);
  } else if (CanDeliver()) {
    DeliverFront(lock);  // nothing to match: the calling thread may be busy walking
  } else if (closed_ && next_ == jobs_.size()) {
    return false;  // what is left to deliver, the calling thread delivers
  } else {
    work_.wait(lock);
  }
  return true;
}

bool MatchPool::DeliverStep(std::unique_lock<std::mutex>& lock) {
  if (!Going()) return false;
  if (CanDeliver()) {
    DeliverFront(lock);
  } else if (helpers_.empty() && CanTake()) {
    MatchNext(lock, own_);
  } else {
    return false;
  }
  return true;
}

void MatchPool::MatchNext(std::unique_lock<std::mutex>& lock, Worker& worker) {
  Job& job = jobs_[next_++];
  // The delivering thread makes the result lines, unless it falls behind: then this one does.
  const bool makeLines = !hitBytesOnly_ && doneJobs_ >= waitingLimit_ / 2;
  lock.unlock();
  const bool slowOpen = Match(job.results, worker);
  if (makeLines) MakeResultLines(job.results);
  if (progress_) {
    progress_->filesSearched.fetch_add(1, std::memory_order_relaxed);
    progress_->hits.fetch_add(static_cast<std::int32_t>(job.results.hits),
                              std::memory_order_relaxed);
  }
  lock.lock();
  NoteOpen(slowOpen);
  job.done = true;
  ++doneJobs_;
  heldLines_ += job.results.offsets.size();
  // A batch for the calling thread to deliver, while this one has more to match (else it
  // delivers them itself). Woken outside the lock, which it would otherwise wait for at once.
  if (BatchReady() && CanTake()) {
    lock.unlock();
    ready_.notify_one();
    lock.lock();
  }
}

void MatchPool::DeliverFront(std::unique_lock<std::mutex>& lock) {
  delivering_ = true;
  Job job = std::move(jobs_.front());
  jobs_.pop_front();
  --next_;
  --doneJobs_;
  const bool wasFull = heldLines_ >= kMostHeldLines;
  heldLines_ -= job.results.offsets.size();
  lock.unlock();
  FileResults& results = job.results;
  if (!hitBytesOnly_) MakeResultLines(results);
  sink_(results);
  lock.lock();
  delivering_ = false;
  if (wasFull && heldLines_ < kMostHeldLines) work_.notify_all();
  if (jobs_.empty() || (!closed_ && jobs_.size() <= waitingLimit_ / 2)) ready_.notify_one();
}

bool MatchPool::Match(FileResults& file, Worker& worker) {
  bool slowOpen = false;
  try {
    std::unique_ptr<FileReader> reader;
    const auto start = std::chrono::steady_clock::now();
    file.error = fileSystem_.Open(file.path, reader);
    slowOpen = std::chrono::steady_clock::now() - start >= slowOpen_;
    if (!file.error) {
      // Turns at matching are taken only once the pool has grown past the matching threads.
      Slots* const turns = grown_.load(std::memory_order_relaxed) ? &matching_ : nullptr;
      if (turns) turns->Acquire();
      const struct Release {
        Slots* turns;
        ~Release() {
          if (turns) turns->Release();
        }
      } release{turns};
      std::optional<ReaderLettingGo> lettingGo;
      if (turns) lettingGo.emplace(*reader, *turns);
      FileReader& waiting = lettingGo ? static_cast<FileReader&>(*lettingGo) : *reader;
      file.error =
          worker.matcher.MatchSlices(waiting, worker.buffer, slice_, [&](const LineHit& hit) {
            ++file.hits;
            if (countOnly_) return;
            file.hitBytes.append(hit.bytes);
            file.hitEnds.push_back(file.hitBytes.size());
            file.offsets.push_back(hit.offset);
          });
    }
  } catch (const std::bad_alloc&) {
    // A line too long for memory: this file is a problem, the search goes on.
    file.error = std::make_error_code(std::errc::not_enough_memory);
  }
  if (file.error) {
    std::string().swap(file.hitBytes);
    std::vector<std::size_t>().swap(file.hitEnds);
    std::vector<std::uint64_t>().swap(file.offsets);
    file.hits = 0;
  }
  // A long line grew the buffer: back to the size of a slice for the next file.
  worker.buffer.Trim(2 * slice_ + ReadBuffer::kAlignment);
  return slowOpen;
}

void MatchPool::NoteOpen(bool slow) {
  ++opens_;
  if (slow) ++slowOpens_;
  if (!slow || 2 * slowOpens_ <= opens_ || closed_ || helpers_.size() >= mostThreads_) return;
  try {
    helpers_.emplace_back([this] { Work(); });
    grown_.store(true, std::memory_order_relaxed);
  } catch (const std::system_error&) {
    mostThreads_ = helpers_.size();
  }
}

void MatchPool::Work() noexcept {
  try {
    Worker worker{prototype_, {}};
    std::unique_lock lock(mutex_);
    while (MatchStep(lock, worker)) {
    }
  } catch (...) {
    const std::lock_guard lock(mutex_);
    if (!failure_) failure_ = std::current_exception();
    abandoned_ = true;  // the others stop at their next step
    work_.notify_all();
    ready_.notify_one();
  }
}

}  // namespace vek
