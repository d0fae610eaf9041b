#include <string>

#include "file_collection.h"
#include "line_matching.h"
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
                        const EventPump& pump) {
  state.gFileList.assign(1, {});
  state.gCancel = false;
  const KeywordList keywords = SplitKeywords(keywordText);
  state.gSearchPath = folderText;
  state.gFileCount = 0;

  SearchOutcome outcome;
  const std::filesystem::path root = PathFromText(state.gSearchPath);
  WalkContext walk{fileSystem, pump, outcome.problems};
  if (subFolders) {
    if (std::optional<FolderIdentity> identity = fileSystem.Identity(root))
      walk.ancestors.push_back(std::move(*identity));
  }
  CollectFiles(state, root, subFolders, walk);

  outcome.results.clear();
  LineMatcher matcher(keywords);
  ByteBuffer content;
  for (std::size_t d = 1; d < state.gFileList.size(); ++d) {
    const std::filesystem::path& path = state.gFileList[d];
    if (std::error_code ec = fileSystem.ReadFile(path, content)) {
      outcome.problems.push_back({path, ec});
      continue;
    }
    const std::u16string prefix = FileNameText(path) + u'(';
    int n = 0;
    matcher.Match(content.View(), [&](std::u16string_view line) {
      const std::u16string number = [](int value) {
        const std::string digits = std::to_string(value);
        return std::u16string(digits.begin(), digits.end());
      }(++n);
      std::u16string& result = outcome.results.emplace_back();
      result.reserve(prefix.size() + number.size() + 2 + line.size());
      result.append(prefix).append(number).append(u")：").append(line);
    });
  }
  outcome.results.emplace_back();
  return outcome;
}

}  // namespace vek
