#include "match_pool.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>

#include "line_matching.h"
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

struct FileOutcome {
  ResultList lines;
  std::error_code error;
};

}  // namespace

unsigned MatchThreads(unsigned requested, std::size_t files) {
  const unsigned wanted =
      requested != 0 ? requested : std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(std::clamp<std::size_t>(files, 1, wanted));
}

void MatchFiles(std::span<const std::filesystem::path> files, const KeywordList& keywords,
                FileSystem& fileSystem, unsigned threads, ResultList& results,
                std::vector<SearchProblem>& problems) {
  const LineMatcher prototype(keywords);
  threads = MatchThreads(threads, files.size());
  if (threads == 1) {
    LineMatcher matcher(prototype);
    ByteBuffer content;
    for (const std::filesystem::path& path : files) {
      if (std::error_code error = fileSystem.ReadFile(path, content)) {
        problems.push_back({path, error});
        continue;
      }
      AppendResults(path, matcher, content.View(), results);
    }
    return;
  }

  // Files are handed out one at a time, so a large file delays nobody; each keeps its own
  // slot, which puts the merge back in collection order.
  std::vector<FileOutcome> outcomes(files.size());
  std::atomic<std::size_t> next{0};
  std::mutex failureMutex;
  std::exception_ptr failure;
  const auto work = [&]() noexcept {
    try {
      LineMatcher matcher(prototype);
      ByteBuffer content;
      for (std::size_t d; (d = next.fetch_add(1, std::memory_order_relaxed)) < files.size();) {
        FileOutcome& outcome = outcomes[d];
        outcome.error = fileSystem.ReadFile(files[d], content);
        if (!outcome.error) AppendResults(files[d], matcher, content.View(), outcome.lines);
      }
    } catch (...) {
      next.store(files.size());  // the others stop at their next file
      const std::lock_guard lock(failureMutex);
      if (!failure) failure = std::current_exception();
    }
  };
  {
    std::vector<std::jthread> helpers;
    helpers.reserve(threads - 1);
    try {
      while (helpers.size() + 1 < threads) helpers.emplace_back(work);
    } catch (const std::system_error&) {
      // No more threads to be had: those already running share the files.
    }
    work();
  }
  if (failure) std::rethrow_exception(failure);

  std::size_t total = results.size();
  for (const FileOutcome& outcome : outcomes) total += outcome.lines.size();
  results.reserve(total + 1);  // and the empty element that ends a result list
  for (std::size_t d = 0; d < files.size(); ++d) {
    if (outcomes[d].error) problems.push_back({files[d], outcomes[d].error});
    std::move(outcomes[d].lines.begin(), outcomes[d].lines.end(), std::back_inserter(results));
    ResultList().swap(outcomes[d].lines);
  }
}

}  // namespace vek
