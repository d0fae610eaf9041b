#include "line_matching.h"

#include <algorithm>

namespace vek {

std::vector<std::u16string_view> SplitLines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  ForEachLine(text, [&lines](std::u16string_view line) { lines.push_back(line); });
  return lines;
}

LineMatcher::LineMatcher(const KeywordList& keywords) {
  for (const std::u16string& keyword : keywords) {
    if (!keyword.empty() &&
        std::find(keywords_.begin(), keywords_.end(), keyword) == keywords_.end())
      keywords_.push_back(keyword);
  }
}

bool LineMatcher::Holds(std::u16string_view line) const {
  return std::all_of(keywords_.begin(), keywords_.end(), [line](const std::u16string& keyword) {
    return line.find(keyword) != std::u16string_view::npos;
  });
}

std::vector<std::u16string> MatchFile(const std::filesystem::path& path,
                                      const KeywordList& keywords, FileSystem& fileSystem,
                                      std::error_code& error) {
  ByteBuffer content;
  std::vector<std::u16string> hits;
  error = fileSystem.ReadFile(path, content);
  if (error) return hits;
  LineMatcher matcher(keywords);
  matcher.Match(content.View(), [&hits](std::u16string_view line) { hits.emplace_back(line); });
  return hits;
}

}  // namespace vek
