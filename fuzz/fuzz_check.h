// What the fuzz targets share: a check that stops the run with a message, and the colour
// check of highlighted RTF against the reader.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "keyword_ranges.h"
#include "rtf_reader.h"

namespace vek::fuzz {

inline void Require(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

// `highlighted` must show the same text as `original`, red exactly over the keywords, and
// every other character in the colour the document gave it. The characters of \par are
// left out of the last test: a keyword may hold CR or LF alone, and the two share a switch.
inline void CheckHighlighted(std::string_view original, std::string_view highlighted,
                             const KeywordList& keywords, bool hasColourTable) {
  const test::RtfText before = test::ReadRtf(original);
  const test::RtfText after = test::ReadRtf(highlighted);
  Require(after.text == before.text, "highlighting changed the visible text");
  Require(after.colour.size() == after.text.size(), "reader gave a colour per character");

  std::vector<bool> inRange(before.text.size(), false);
  for (const TextRange& range : KeywordRanges(before.text, keywords)) {
    for (std::size_t i = range.begin; i < range.end; ++i) inRange[i] = true;
  }
  for (std::size_t i = 0; i < after.text.size(); ++i) {
    if (inRange[i]) {
      Require(after.colour[i] == 1, "a keyword character is not in colour 1");
      Require(!hasColourTable || after.IsRed(i), "colour 1 is not red");
    } else if (after.text[i] != u'\r' && after.text[i] != u'\n') {
      Require(after.colour[i] == before.colour[i], "a character outside keywords changed colour");
    }
  }
}

}  // namespace vek::fuzz
