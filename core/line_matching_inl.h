// Template part of line_matching.h.
#pragma once

#include "cp932.h"

namespace vek {

// Calls `onLine` with each line of `text`: CR LF, a lone LF and a lone CR each end one.
template <typename OnLine>
void ForEachLine(std::u16string_view text, OnLine&& onLine) {
  if (text.empty()) return;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
    onLine(text.substr(start, end - start));
    if (end == text.size()) return;
    const bool crlf = text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n';
    start = end + (crlf ? 2 : 1);
  }
}

template <typename OnHit>
void LineMatcher::Match(std::string_view bytes, OnHit&& onHit) {
  text_.clear();
  AppendCp932(bytes, text_);
  ForEachLine(text_, [&](std::u16string_view line) {
    if (Holds(line)) onHit(line);
  });
}

}  // namespace vek
