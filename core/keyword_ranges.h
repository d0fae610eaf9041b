// Where keywords occur in plain text. The result box's red runs and vekgrep's terminal colours
// both come from here, so the two front ends colour exactly the same characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "search_core.h"

namespace vek {

// Code units [begin, end) of a text.
struct TextRange {
  std::size_t begin = 0;
  std::size_t end = 0;
  friend bool operator==(const TextRange&, const TextRange&) = default;
};

// Every occurrence of every non-empty keyword (exact code units, overlaps included), merged:
// ascending, non-empty, neither overlapping nor touching. Empty and repeated keywords change
// nothing. Linear in the text for each distinct keyword.
std::vector<TextRange> KeywordRanges(std::u16string_view text, const KeywordList& keywords);

// `text` with `before` and `after` around each range of KeywordRanges; for example the SGR
// sequences u"\x1b[31m" and u"\x1b[0m" for a terminal.
std::u16string MarkKeywords(std::u16string_view text, const KeywordList& keywords,
                            std::u16string_view before, std::u16string_view after);

}  // namespace vek
