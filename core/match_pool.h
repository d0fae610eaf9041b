// The matching phase of a search: every collected file read and matched, on a few threads,
// with the results put back in collection order.
#pragma once

#include <filesystem>
#include <span>
#include <vector>

#include "file_system.h"
#include "search_core.h"

namespace vek {

// The threads a search uses for `requested` (0: one per hardware thread) and `files` files.
unsigned MatchThreads(unsigned requested, std::size_t files);

// Matches `files` in order, appending their result lines "name(n)：line" to `results` and
// each file that cannot be read to `problems`. Whatever the thread count, both come out as
// a single thread would produce them. Each thread holds one file at a time.
void MatchFiles(std::span<const std::filesystem::path> files, const KeywordList& keywords,
                FileSystem& fileSystem, unsigned threads, ResultList& results,
                std::vector<SearchProblem>& problems);

}  // namespace vek
