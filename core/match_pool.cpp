#include "match_pool.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <new>
#include <optional>
#include <utility>

#include "memory_room.h"
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

// Appends `from`'s hits to `to`'s and empties `from`. Nothing changes when memory runs out.
void MoveHits(FileResults& from, FileResults& to) {
  if (to.hits == 0 && to.lines.empty() && to.offsets.empty()) {
    std::swap(from.lines, to.lines);
    std::swap(from.hitBytes, to.hitBytes);
    std::swap(from.hitEnds, to.hitEnds);
    std::swap(from.offsets, to.offsets);
    to.hits = std::exchange(from.hits, 0);
  } else {
    to.lines.reserve(to.lines.size() + from.lines.size());
    to.hitBytes.reserve(to.hitBytes.size() + from.hitBytes.size());
    to.hitEnds.reserve(to.hitEnds.size() + from.hitEnds.size());
    to.offsets.reserve(to.offsets.size() + from.offsets.size());
    std::move(from.lines.begin(), from.lines.end(), std::back_inserter(to.lines));
    for (const std::size_t end : from.hitEnds) to.hitEnds.push_back(to.hitBytes.size() + end);
    to.hitBytes.append(from.hitBytes);
    to.offsets.insert(to.offsets.end(), from.offsets.begin(), from.offsets.end());
    to.hits += std::exchange(from.hits, 0);
  }
  from.lines.clear();
  from.hitBytes.clear();
  from.hitEnds.clear();
  from.offsets.clear();
}

// The hits that a piece counts and holds agree again after an allocation failed mid-hit.
void KeepWholeHits(FileResults& piece) {
  if (piece.hitEnds.empty() && piece.offsets.empty()) return;  // only counting
  const std::size_t whole = std::min({piece.hits, piece.hitEnds.size(), piece.offsets.size()});
  piece.hits = whole;
  piece.hitEnds.resize(whole);
  piece.offsets.resize(whole);
  piece.hitBytes.resize(whole == 0 ? 0 : piece.hitEnds.back());
}

// Counts the hits of a file, each line or a run of them.
struct Counting {
  FileResults& piece;
  void operator()(const LineHit&) const { ++piece.hits; }
  void operator()(HitRun run) const { piece.hits += run.lines; }
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
      longestLine_(options.longestLine),
      pieceBytes_(slice_),
      pieceHits_(std::max<std::size_t>(slice_ / 64, 1)),
      countOnly_(options.countOnly),
      hitBytesOnly_(options.hitBytesOnly && options.onFile),
      sink_(std::move(sink)),
      idle_(options.onIdle),
      slowOpen_(options.slowOpen),
      progress_(options.progress),
      stop_(options.stop) {
  unsigned threads = options.threads;
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  matching_.Release(threads);
  mostThreads_ = std::max(threads, options.ioThreads);
  // With room for all of them, as without a memory limit, the threads start at once; else one
  // at a time, each once the one before has its memory, while there is room for one more.
  const bool careful = !RoomFor(threads * kThreadRoom);
  std::unique_lock lock(mutex_);
  while (helpers_.size() < threads && AddHelper(lock, careful, careful)) {
  }
  waitingLimit_ = std::max<std::size_t>(helpers_.size(), 1) * kWaitingPerThread;
}

MatchPool::~MatchPool() {
  {
    const std::lock_guard lock(mutex_);
    abandoned_ = closed_ = true;  // an unfinished search: what nobody has taken is dropped
  }
  work_.notify_all();
  turn_.notify_all();
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
      if (!written_) {
        Idle(lock);
        continue;
      }
      ready_.wait(lock, [this] {
        return abandoned_ || BatchReady() || jobs_.size() <= waitingLimit_ / 2 ||
               (Unmanned() && CanTake());
      });
    }
  }
}

void MatchPool::Finish() {
  {
    std::unique_lock lock(mutex_);
    closed_ = true;
    work_.notify_all();
    while (Going() && !jobs_.empty()) {
      if (DeliverStep(lock)) continue;
      if (!written_) {
        Idle(lock);
        continue;
      }
      ready_.wait(lock, [this] {
        return abandoned_ || jobs_.empty() || BatchReady() || (Unmanned() && CanTake());
      });
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
  turn_.notify_all();
  ready_.notify_all();
  return false;
}

bool MatchPool::MatchStep(std::unique_lock<std::mutex>& lock, Worker& worker) {
  if (!Going()) return false;
  if (worker.retire) {
    --workers_;  // fewer threads: the others, or the calling thread, match the rest
    ready_.notify_all();
    return false;
  }
  if (CanTake()) {
    MatchNext(lock, worker);
  } else if (CanDeliver()) {
    DeliverFront(lock);  // nothing to match: the calling thread may be busy walking
  } else if (closed_ && next_ == jobs_.size()) {
    return false;  // what is left to deliver, the calling thread delivers
  } else if (!written_) {
    Idle(lock);
  } else {
    work_.wait(lock);
  }
  return true;
}

bool MatchPool::DeliverStep(std::unique_lock<std::mutex>& lock) {
  if (!Going()) return false;
  if (CanDeliver()) {
    DeliverFront(lock);
  } else if (Unmanned() && CanTake()) {
    if (!own_) own_.emplace(Worker{prototype_, {}, {}, false});
    MatchNext(lock, *own_);
  } else {
    return false;
  }
  return true;
}

void MatchPool::MatchNext(std::unique_lock<std::mutex>& lock, Worker& worker) {
  Job& job = jobs_[next_++];
  lock.unlock();
  const bool slowOpen = Match(job, worker);
  FileResults& piece = worker.piece;
  // A long line grew the buffer: back to the size of a slice for the next file.
  try {
    worker.buffer.Trim(BufferBytes());
  } catch (const std::bad_alloc&) {
    worker.retire = true;
  }
  if (progress_) progress_->filesSearched.fetch_add(1, std::memory_order_relaxed);
  lock.lock();
  // The delivering thread makes the result lines, unless it falls behind: then this one does.
  if (!hitBytesOnly_ && !Holds(job) && doneJobs_ >= waitingLimit_ / 2) {
    piece.hitsBefore = job.handedOn;
    piece.path = job.results.path;
    lock.unlock();
    MakeResultLines(piece);
    lock.lock();
  }
  Hold(job, piece);
  job.results.error = std::exchange(piece.error, {});
  NoteOpen(lock, slowOpen);
  job.done = true;
  ++doneJobs_;
  if (waitingTurn_ > 0 && CanDeliver()) turn_.notify_all();
  // A batch for the calling thread to deliver, while this one has more to match (else it
  // delivers them itself). Woken outside the lock, which it would otherwise wait for at once.
  if (BatchReady() && CanTake()) {
    lock.unlock();
    ready_.notify_one();
    lock.lock();
  }
}

void MatchPool::Hold(Job& job, FileResults& piece) {
  const std::size_t lines = piece.offsets.size();
  const std::size_t bytes = piece.hitBytes.size();
  const std::uint64_t hits = piece.hits;
  MoveHits(piece, job.results);
  heldLines_ += lines;
  heldBytes_ += bytes;
  job.heldBytes += bytes;
  if (progress_) {
    progress_->hits.fetch_add(static_cast<std::int64_t>(hits), std::memory_order_relaxed);
  }
}

void MatchPool::HandOn(Job& job, FileResults& piece, Slots* turns) {
  if (turns) turns->Release();
  {
    std::unique_lock lock(mutex_);
    if (Going()) {
      Hold(job, piece);
    } else {
      FileResults dropped;  // nothing more is delivered
      MoveHits(piece, dropped);
    }
    while (Going()) {
      if (CanDeliver()) {
        DeliverFront(lock);  // the files before, then this one's own hits once it is the first
        continue;
      }
      if (!HoldsTooMuch(job)) break;
      ++waitingTurn_;
      turn_.wait(lock);
      --waitingTurn_;
    }
    if (!written_ && !abandoned_) Idle(lock);
  }
  if (turns) turns->Acquire();
}

template <typename Call>
void MatchPool::CallOut(std::unique_lock<std::mutex>& lock, const Call& call) {
  delivering_ = true;
  lock.unlock();
  std::exception_ptr failure;
  try {
    call();
  } catch (...) {
    failure = std::current_exception();
  }
  lock.lock();
  delivering_ = false;
  if (failure) Fail(failure);
}

void MatchPool::Fail(std::exception_ptr failure) {
  if (!failure_) failure_ = std::move(failure);
  abandoned_ = true;  // the others stop at their next step
  work_.notify_all();
  turn_.notify_all();
  ready_.notify_all();
}

void MatchPool::DeliverFront(std::unique_lock<std::mutex>& lock) {
  Job& front = jobs_.front();
  FileResults piece;
  if (front.done) {
    piece = std::move(front.results);
  } else {
    piece.path = front.results.path;
    MoveHits(front.results, piece);
  }
  piece.hitsBefore = front.handedOn;
  front.handedOn += piece.hits;
  const bool couldTake = RoomToTake();
  heldLines_ -= piece.offsets.size();
  heldBytes_ -= front.heldBytes;
  front.heldBytes = 0;
  if (front.done) {
    jobs_.pop_front();
    --next_;
    --doneJobs_;
  }
  CallOut(lock, [&] {
    if (!hitBytesOnly_) MakeResultLines(piece);
    sink_(piece);
  });
  written_ = false;
  if (!couldTake && RoomToTake()) work_.notify_all();
  if (waitingTurn_ > 0) turn_.notify_all();
  if (jobs_.empty() || (!closed_ && jobs_.size() <= waitingLimit_ / 2)) ready_.notify_one();
}

void MatchPool::Idle(std::unique_lock<std::mutex>& lock) {
  written_ = true;
  if (!idle_ || delivering_) return;
  CallOut(lock, idle_);
  if (waitingTurn_ > 0) turn_.notify_all();
  if (CanDeliver()) ready_.notify_one();
}

bool MatchPool::Match(Job& job, Worker& worker) {
  bool slowOpen = false;
  FileResults& piece = worker.piece;
  try {
    std::unique_ptr<FileReader> reader;
    const auto start = std::chrono::steady_clock::now();
    piece.error = fileSystem_.Open(job.results.path, reader);
    slowOpen = std::chrono::steady_clock::now() - start >= slowOpen_;
    if (!piece.error) {
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
      // After each slice but the first, the hits so far go on (and what the files before
      // have ready): a small file hands on all at once at its end.
      std::size_t slices = 0;
      const auto sliceEnd = [&] {
        if (slices++ > 0 && !countOnly_) HandOn(job, piece, turns);
      };
      const auto keep = [&](const LineHit& hit) {
        piece.hitBytes.append(hit.bytes);
        piece.hitEnds.push_back(piece.hitBytes.size());
        piece.offsets.push_back(hit.offset);
        ++piece.hits;
        if (piece.hitBytes.size() >= pieceBytes_ || piece.hits >= pieceHits_)
          HandOn(job, piece, turns);
      };
      piece.error = countOnly_ ? worker.matcher.MatchSlices(waiting, worker.buffer, slice_,
                                                            Counting{piece}, longestLine_, sliceEnd)
                               : worker.matcher.MatchSlices(waiting, worker.buffer, slice_, keep,
                                                            longestLine_, sliceEnd);
    }
  } catch (const std::bad_alloc&) {
    // A line too long for memory: this file is a problem, the search goes on; the hits
    // before the line stand.
    piece.error = std::make_error_code(std::errc::not_enough_memory);
    KeepWholeHits(piece);
  }
  return slowOpen;
}

void MatchPool::NoteOpen(std::unique_lock<std::mutex>& lock, bool slow) {
  ++opens_;
  if (slow) ++slowOpens_;
  if (!slow || 2 * slowOpens_ <= opens_ || closed_ || helpers_.size() >= mostThreads_) return;
  if (AddHelper(lock, true, false)) {
    grown_.store(true, std::memory_order_relaxed);
  } else {
    mostThreads_ = helpers_.size();
  }
}

bool MatchPool::AddHelper(std::unique_lock<std::mutex>& lock, bool probe, bool wait) {
  if (probe && !RoomFor(kThreadRoom)) return false;
  ++starting_;
  try {
    helpers_.emplace_back([this] { Work(); });
  } catch (const std::exception&) {
    --starting_;  // no more threads to be had: those running share the files
    return false;
  }
  if (!wait) return true;
  const std::size_t before = workers_;
  ready_.wait(lock, [this] { return starting_ == 0; });
  return workers_ > before;
}

void MatchPool::Work() noexcept {
  std::optional<Worker> worker;
  try {
    worker.emplace(Worker{prototype_, {}, {}, false});
    worker->buffer.Reserve(BufferBytes(), 0);
  } catch (const std::bad_alloc&) {
    worker.reset();  // no memory for this thread: one fewer
  }
  try {
    std::unique_lock lock(mutex_);
    --starting_;
    if (worker) ++workers_;
    ready_.notify_all();
    if (!worker) return;
    while (MatchStep(lock, *worker)) {
    }
  } catch (...) {
    const std::lock_guard lock(mutex_);
    Fail(std::current_exception());
  }
}

}  // namespace vek
