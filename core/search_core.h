// VekSearch's search core: one search from keyword text, folder and subfolder flag to the
// numbered result lines. Portable; the front ends (window, vekgrep) only show what it decides.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
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
inline std::int64_t HitCount(const ResultList& results) {
  return results.empty() ? 0 : static_cast<std::int64_t>(results.size() - 1);
}

// The state a search shares with the window for the whole run.
struct SearchState {
  std::u16string gSearchPath;
  std::deque<NativePath> gFileList{1};  // index 0 is never used; a deque costs no slack
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

// One file's share of a search, handed over as soon as it and every file before it are done;
// a file with many hits is handed over in pieces as they are found, one after another, each
// numbered on from the one before.
struct FileResults {
  NativePath path;   // as collected
  ResultList lines;  // "name(n)：line" in file order; none when only counting
  // The hit lines as found, their CP932 bytes one after another, and where each ends: what
  // the lines are made from, left to the sink with SearchOptions::hitBytesOnly.
  std::string hitBytes;
  std::vector<std::size_t> hitEnds;
  std::vector<std::uint64_t> offsets;  // where each hit line starts in the file, in bytes
  std::uint64_t hits = 0;              // in this piece
  std::uint64_t hitsBefore = 0;        // the file's hits in the pieces before this one
  // The file could not be read to its end (only in its last piece); the hits before stand.
  std::error_code error;
};

// Takes the files' results in collection order, one call at a time, on any of the search's
// threads. A sink that is slow (a full pipe) holds back only the delivery, not the matching,
// until the hits waiting for delivery reach a bound.
using ResultSink = std::function<void(FileResults&)>;

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
  std::atomic<std::int64_t> hits = 0;
  std::atomic<bool> walkDone = false;
};

// The longest line a search takes, in bytes without its line end: a longer line ends the
// reading of its file, which is then reported (LineTooLong, line_matching.h); its hits before
// that line stand. Far beyond any text, and what the output of such a line still fits in,
// beside the rest of a search, in 1.5 GB of address space.
inline constexpr std::size_t kLongestLine = std::size_t{16} << 20;

// How a search uses the machine; it never changes what the search finds, but for files with
// a line longer than `longestLine`.
struct SearchOptions {
  // Threads that read and match the files, beside the calling thread, which walks the
  // folders and hands the results on while they match what it has found so far. 0 means one
  // per hardware thread. The file system's Open and Read are called from those threads,
  // several at once when there are several, and while ListFolder runs.
  unsigned threads = 0;
  // Threads that wait on the file system, so that on a slow file server many requests are in
  // flight: up to that many list folders ahead of the walk, one more each time a folder's
  // identity takes `slowOpen` or longer, and the file reading grows up to that many threads
  // (still matching on `threads` at most) while most files take `slowOpen` or longer to open. They
  // mostly wait, so their number follows the server's latency, not the cores. 0: the walk and the
  // matching threads make every request themselves.
  unsigned ioThreads = 32;
  std::chrono::microseconds slowOpen{100};
  // Files are read and matched in slices of this many bytes, so that memory stays bounded
  // whatever their size; a line longer than a slice is kept whole until its end. The hits
  // are handed on in pieces of about a slice too (at most a 64th of it in lines), and a file
  // that is not the first one waiting holds a few pieces at most before its thread waits.
  std::size_t sliceBytes = std::size_t{1} << 20;
  std::size_t longestLine = kLongestLine;  // at least a slice
  // When set, each file's results go here as soon as they are ready, and the outcome's
  // result list stays empty; the outcome's problems still hold the unreadable files.
  ResultSink onFile = {};
  // Called, in turn with onFile, whenever the thread that delivered has nothing more to
  // deliver for now and is about to wait or read on: where buffered output is written out.
  std::function<void()> onIdle = {};
  // Only the hits are counted; no result line is made.
  bool countOnly = false;
  // The sink gets each file's hit lines as bytes, without result lines: for a front end that
  // writes them in another encoding (result_lines.h). Only with onFile.
  bool hitBytesOnly = false;
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
