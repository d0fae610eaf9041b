#include "keyword_ranges.h"

#include <algorithm>

namespace vek {
namespace {

// Appends `range`, joining it to the last one when they overlap or touch. Ranges must come
// in ascending order of their start.
void AppendMerged(std::vector<TextRange>& ranges, TextRange range) {
  if (!ranges.empty() && range.begin <= ranges.back().end) {
    ranges.back().end = std::max(ranges.back().end, range.end);
  } else {
    ranges.push_back(range);
  }
}

// Knuth-Morris-Pratt: overlapping occurrences without ever looking back in the text, so a
// pathological text ("aaaa...") costs no more than any other.
void AppendOccurrences(std::u16string_view text, std::u16string_view keyword,
                       std::vector<TextRange>& ranges) {
  const std::size_t m = keyword.size();
  std::vector<std::size_t> border(m, 0);
  for (std::size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && keyword[i] != keyword[k]) k = border[k - 1];
    if (keyword[i] == keyword[k]) ++k;
    border[i] = k;
  }
  for (std::size_t i = 0, k = 0; i < text.size(); ++i) {
    while (k > 0 && text[i] != keyword[k]) k = border[k - 1];
    if (text[i] == keyword[k]) ++k;
    if (k == m) {
      AppendMerged(ranges, {i + 1 - m, i + 1});
      k = border[k - 1];
    }
  }
}

}  // namespace

std::vector<TextRange> KeywordRanges(std::u16string_view text, const KeywordList& keywords) {
  std::vector<std::u16string_view> distinct;
  for (const std::u16string& keyword : keywords) {
    if (!keyword.empty() && keyword.size() <= text.size()) distinct.push_back(keyword);
  }
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());

  std::vector<TextRange> found;
  if (distinct.size() == 1) {
    AppendOccurrences(text, distinct.front(), found);
    return found;
  }
  std::vector<TextRange> own;
  for (std::u16string_view keyword : distinct) {
    own.clear();
    AppendOccurrences(text, keyword, own);
    found.insert(found.end(), own.begin(), own.end());
  }

  // Each keyword's ranges are ascending on their own; together they need one sort.
  std::sort(found.begin(), found.end(),
            [](const TextRange& a, const TextRange& b) { return a.begin < b.begin; });
  std::vector<TextRange> merged;
  merged.reserve(found.size());
  for (const TextRange& range : found) AppendMerged(merged, range);
  return merged;
}

std::u16string MarkKeywords(std::u16string_view text, const KeywordList& keywords,
                            std::u16string_view before, std::u16string_view after) {
  const std::vector<TextRange> ranges = KeywordRanges(text, keywords);
  std::u16string marked;
  marked.reserve(text.size() + ranges.size() * (before.size() + after.size()));
  std::size_t copied = 0;
  for (const TextRange& range : ranges) {
    marked.append(text.substr(copied, range.begin - copied));
    marked.append(before);
    marked.append(text.substr(range.begin, range.end - range.begin));
    marked.append(after);
    copied = range.end;
  }
  marked.append(text.substr(copied));
  return marked;
}

}  // namespace vek
