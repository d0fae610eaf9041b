// The matching phase of a search: every collected file read and matched, on a few threads,
// with the results put back in collection order.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <stop_token>
#include <system_error>
#include <thread>
#include <vector>

#include "file_system.h"
#include "line_matching.h"
#include "search_core.h"

namespace vek {

// Matches files as the walk hands them over, so that with more than one thread the matching
// overlaps the walk. Whatever the thread count, the results and problems come out as a single
// thread matching the files in order would produce them. Each thread holds one file at a time.
class MatchPool {
 public:
  // `threads`: 0 for one per hardware thread. The calling thread counts as one: it walks
  // while the others match, then joins them in Finish. Each matched file is counted into
  // `progress` when given; once `stop` is requested no further file is matched.
  MatchPool(const KeywordList& keywords, FileSystem& fileSystem, unsigned threads,
            SearchProgress* progress = nullptr, std::stop_token stop = {});
  ~MatchPool();
  MatchPool(const MatchPool&) = delete;
  MatchPool& operator=(const MatchPool&) = delete;

  void Add(const std::filesystem::path& path);

  // Matches what is left, waits for the other threads and appends the result lines
  // "name(n)：line" and the files that could not be read, in the order the files were added.
  void Finish(ResultList& results, std::vector<SearchProblem>& problems);

 private:
  struct Job {
    std::filesystem::path path;
    ResultList lines;
    std::error_code error;
  };

  void Work() noexcept;
  void Close();

  const LineMatcher prototype_;
  FileSystem& fileSystem_;
  SearchProgress* const progress_;
  const std::stop_token stop_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Job> jobs_;  // a deque, so that a job stays put while more are added
  std::size_t next_ = 0;  // the first job nobody has taken
  bool closed_ = false;   // no more jobs will come
  std::exception_ptr failure_;
  std::vector<std::jthread> helpers_;  // last: joined before the rest goes
};

}  // namespace vek
