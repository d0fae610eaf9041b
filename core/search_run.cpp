#include <iterator>
#include <string>

#include "file_collection.h"
#include "match_pool.h"
#include "search_core.h"
#include "text_convert.h"

namespace vek {
namespace {

// Listings held ahead of the walk: enough to keep every I/O thread busy through a run of
// small folders, few enough that memory follows the walk, not the tree.
constexpr std::size_t kFoldersAheadPerIoThread = 4;

}  // namespace

KeywordList SplitKeywords(std::u16string_view keywordText) {
  KeywordList keywords;
  std::size_t start = 0;
  for (;;) {
    const std::size_t space = keywordText.find(u' ', start);
    keywords.emplace_back(keywordText.substr(start, space - start));
    if (space == std::u16string_view::npos) return keywords;
    start = space + 1;
  }
}

SearchOutcome RunSearch(SearchState& state, std::u16string_view keywordText,
                        std::u16string_view folderText, bool subFolders, FileSystem& fileSystem,
                        const EventPump& pump, const SearchOptions& options) {
  state.gFileList.assign(1, {});
  state.gCancel = false;
  const KeywordList keywords = SplitKeywords(keywordText);
  state.gSearchPath = folderText;
  state.gFileCount = 0;

  SearchOutcome outcome;
  outcome.results.clear();
  // Written by whichever thread delivers, one at a time; the walk's own problems come first.
  std::vector<SearchProblem> readProblems;
  const std::filesystem::path root = PathFromText(state.gSearchPath);
  MatchPool pool(keywords, fileSystem, options, [&](FileResults& file) {
    if (file.error) readProblems.push_back({file.path, file.error});
    if (options.onFile) {
      options.onFile(file);
    } else {
      std::move(file.lines.begin(), file.lines.end(), std::back_inserter(outcome.results));
    }
  });
  WalkContext walk{fileSystem,
                   pump,
                   outcome.problems,
                   [&pool, &options](std::span<const NativePath> files) {
                     pool.Add(files);
                     if (options.progress)
                       options.progress->filesFound.fetch_add(
                           static_cast<std::int32_t>(files.size()), std::memory_order_relaxed);
                   },
                   options.ioThreads,
                   kFoldersAheadPerIoThread * std::size_t{options.ioThreads},
                   options.slowOpen};
  // A cancel that comes after the walk's last look at the flag cuts nothing short.
  outcome.walkCancelled = !CollectFiles(state, root.native(), subFolders, walk);
  if (options.progress) options.progress->walkDone.store(true, std::memory_order_relaxed);
  pool.Finish();

  outcome.results.emplace_back();
  std::move(readProblems.begin(), readProblems.end(), std::back_inserter(outcome.problems));
  return outcome;
}

}  // namespace vek
