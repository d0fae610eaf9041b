#include <string>

#include "file_collection.h"
#include "match_pool.h"
#include "search_core.h"
#include "text_convert.h"

namespace vek {

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
  MatchPool pool(keywords, fileSystem, options.threads, options.progress, options.stop);
  WalkContext walk{
      fileSystem, pump, outcome.problems, {}, [&pool, &options](const std::filesystem::path& path) {
        pool.Add(path);
        if (options.progress) options.progress->filesFound.fetch_add(1, std::memory_order_relaxed);
      }};
  if (subFolders) {
    if (std::optional<FolderIdentity> identity = fileSystem.Identity(root))
      walk.ancestors.push_back(std::move(*identity));
  }
  CollectFiles(state, root, subFolders, walk);
  outcome.walkCancelled = subFolders && state.gCancel;
  if (options.progress) options.progress->walkDone.store(true, std::memory_order_relaxed);

  outcome.results.clear();
  pool.Finish(outcome.results, outcome.problems);
  outcome.results.emplace_back();
  return outcome;
}

}  // namespace vek
