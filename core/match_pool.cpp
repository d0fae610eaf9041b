#include "match_pool.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "text_convert.h"

namespace vek {
namespace {

// Appends the result lines of one file's hits, numbered from 1.
void AppendResults(const std::filesystem::path& path, LineMatcher& matcher, std::string_view bytes,
                   ResultList& out) {
  std::u16string prefix;  // built at the first hit: most files have none
  std::uint32_t n = 0;
  matcher.Match(bytes, [&](std::u16string_view line) {
    if (prefix.empty()) prefix = FileNameText(path) + u'(';
    char16_t digits[10];
    char16_t* const digitsEnd = std::end(digits);
    char16_t* first = digitsEnd;
    for (std::uint32_t value = ++n; value != 0; value /= 10)
      *--first = static_cast<char16_t>(u'0' + value % 10);
    const std::u16string_view number(first, static_cast<std::size_t>(digitsEnd - first));
    std::u16string& result = out.emplace_back();
    result.reserve(prefix.size() + number.size() + 2 + line.size());
    result.append(prefix).append(number).append(u")：").append(line);
  });
}

}  // namespace

MatchPool::MatchPool(const KeywordList& keywords, FileSystem& fileSystem, unsigned threads,
                     SearchProgress* progress, std::stop_token stop)
    : prototype_(keywords), fileSystem_(fileSystem), progress_(progress), stop_(std::move(stop)) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  try {
    while (helpers_.size() + 1 < threads) helpers_.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
    // No more threads to be had: those already running share the files.
  }
}

MatchPool::~MatchPool() {
  const std::lock_guard lock(mutex_);
  next_ = jobs_.size();  // an unfinished search: drop what nobody has taken
  Close();
}

void MatchPool::Close() {
  closed_ = true;
  ready_.notify_all();
}

void MatchPool::Add(const std::filesystem::path& path) {
  {
    const std::lock_guard lock(mutex_);
    jobs_.push_back({path, {}, {}});
  }
  ready_.notify_one();
}

void MatchPool::Work() noexcept {
  try {
    LineMatcher matcher(prototype_);
    ByteBuffer content;
    for (;;) {
      Job* job = nullptr;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return next_ < jobs_.size() || closed_; });
        if (next_ == jobs_.size()) return;
        if (stop_.stop_requested()) {
          next_ = jobs_.size();
          return;
        }
        job = &jobs_[next_++];
      }
      job->error = fileSystem_.ReadFile(job->path, content);
      if (!job->error) AppendResults(job->path, matcher, content.View(), job->lines);
      if (progress_) {
        progress_->filesSearched.fetch_add(1, std::memory_order_relaxed);
        progress_->hits.fetch_add(static_cast<std::int32_t>(job->lines.size()),
                                  std::memory_order_relaxed);
      }
    }
  } catch (...) {
    const std::lock_guard lock(mutex_);
    next_ = jobs_.size();  // the others stop at their next file
    if (!failure_) failure_ = std::current_exception();
    Close();
  }
}

void MatchPool::Finish(ResultList& results, std::vector<SearchProblem>& problems) {
  {
    const std::lock_guard lock(mutex_);
    Close();
  }
  Work();
  for (std::jthread& helper : helpers_) helper.join();
  if (failure_) std::rethrow_exception(failure_);

  std::size_t total = results.size();
  for (const Job& job : jobs_) total += job.lines.size();
  results.reserve(total + 1);  // and the empty element that ends a result list
  for (Job& job : jobs_) {
    if (job.error) problems.push_back({std::move(job.path), job.error});
    std::move(job.lines.begin(), job.lines.end(), std::back_inserter(results));
    ResultList().swap(job.lines);
  }
  jobs_.clear();
}

}  // namespace vek
