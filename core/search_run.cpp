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
  const std::filesystem::path root = PathFromText(state.gSearchPath);
  MatchPool pool(keywords, fileSystem, options.threads);
  WalkContext walk{
      fileSystem,        pump,
      outcome.problems,  [&pool](const std::filesystem::path& path) { pool.Add(path); },
      options.ioThreads, kFoldersAheadPerIoThread * std::size_t{options.ioThreads}};
  CollectFiles(state, root, subFolders, walk);

  outcome.results.clear();
  pool.Finish(outcome.results, outcome.problems);
  outcome.results.emplace_back();
  return outcome;
}

}  // namespace vek
