// VekSearch's search core: one search from keyword text, folder and subfolder flag to the
// numbered result lines. Portable; the front ends (window, vekgrep) only show what it decides.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "file_system.h"

namespace vek {

// The keyword text split at every half-width space (U+0020), empty pieces kept.
using KeywordList = std::vector<std::u16string>;
KeywordList SplitKeywords(std::u16string_view keywordText);

// Result lines "name(n)：line" in order, followed by one empty element, so that the highest
// index is the hit count. An empty result is the single empty element.
using ResultList = std::vector<std::u16string>;
inline std::int32_t HitCount(const ResultList& results) {
  return results.empty() ? 0 : static_cast<std::int32_t>(results.size() - 1);
}

// The state a search shares with the window for the whole run.
struct SearchState {
  std::u16string gSearchPath;
  std::vector<std::filesystem::path> gFileList{1};  // index 0 is never used
  std::int32_t gFileCount = 0;
  // Set by the window, possibly from another thread than the one that walks.
  std::atomic<bool> gCancel = false;
};

// A folder that could not be listed or a file that could not be read. The search skips it
// and goes on; the front ends report it after the results.
struct SearchProblem {
  std::filesystem::path path;
  std::error_code error;
};

// Handles pending window events; runs before the walk enters each subfolder.
using EventPump = std::function<void()>;

struct SearchOutcome {
  ResultList results{1};
  std::vector<SearchProblem> problems;
  bool walkCancelled = false;  // gCancel ended the walk: the files below were not looked at
};

// How far a running search has got, for a front end to look at from another thread now and
// then. Relaxed counters: each is exact once the search has returned, roughly current before.
struct SearchProgress {
  std::atomic<std::int32_t> filesFound = 0;
  std::atomic<std::int32_t> filesSearched = 0;
  std::atomic<std::int32_t> hits = 0;
  std::atomic<bool> walkDone = false;
};

// How a search uses the machine; it never changes what the search finds.
struct SearchOptions {
  // Threads that read and match the files, the calling thread included: it walks the
  // folders while the others match what it has found so far, then joins them. 0 means one
  // per hardware thread. With more than one, the file system's ReadFile is called from
  // several threads at once, and while ListFolder runs.
  unsigned threads = 0;
  // Counted into as the search goes, when given.
  SearchProgress* progress = nullptr;
  // Once requested, no further file is matched and the result is incomplete: for a front end
  // that will not show it. (gCancel ends only the walk, and the matching still covers what
  // it found.)
  std::stop_token stop = {};
};

// One search. The input is expected to have passed the input rules already.
SearchOutcome RunSearch(SearchState& state, std::u16string_view keywordText,
                        std::u16string_view folderText, bool subFolders, FileSystem& fileSystem,
                        const EventPump& pump = {}, const SearchOptions& options = {});

}  // namespace vek
