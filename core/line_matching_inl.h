// Template part of line_matching.h.
#pragma once

#include "cp932.h"

namespace vek {

// Calls `onLine` with each line of `text`: CR LF, a lone LF and a lone CR each end one.
// Works alike on decoded text and on raw CP932 bytes.
template <typename Char, typename OnLine>
void ForEachLine(std::basic_string_view<Char> text, OnLine&& onLine) {
  if (text.empty()) return;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < text.size() && text[end] != Char('\r') && text[end] != Char('\n')) ++end;
    onLine(text.substr(start, end - start));
    if (end == text.size()) return;
    const bool crlf =
        text[end] == Char('\r') && end + 1 < text.size() && text[end + 1] == Char('\n');
    start = end + (crlf ? 2 : 1);
  }
}

template <typename OnHit>
void LineMatcher::Match(std::string_view bytes, OnHit&& onHit) {
  switch (strategy_) {
    case Strategy::kNoLine:
      return;
    case Strategy::kEveryLine:
      ForEachLine(bytes, [&](std::string_view line) {
        if (DecodedLineHolds(line)) onHit(std::u16string_view(text_));
      });
      return;
    case Strategy::kPrefilter: {
      if (sampleLeft_ != 0) Sample(bytes);
      const ByteSearcher& prefilter = pieces_[order_.front()];
      for (std::size_t from = 0;;) {
        const std::size_t at = prefilter.Find(bytes, from);
        if (at == ByteSearcher::npos) return;
        const std::size_t begin = FindLineStart(bytes, at);
        const std::size_t end = FindLineEnd(bytes, at + prefilter.needle().size());
        from = end;
        if (CandidateHolds(bytes, begin, end, at) &&
            DecodedLineHolds(bytes.substr(begin, end - begin)))
          onHit(std::u16string_view(text_));
      }
    }
  }
}

template <typename OnHit>
void LineMatcher::MatchPlain(std::string_view bytes, OnHit&& onHit) {
  text_.clear();
  AppendCp932(bytes, text_);
  ForEachLine(std::u16string_view(text_), [&](std::u16string_view line) {
    if (Holds(line)) onHit(line);
  });
}

}  // namespace vek
