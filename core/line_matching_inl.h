// Template part of line_matching.h.
#pragma once

#include <algorithm>
#include <cstring>
#include <type_traits>

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

namespace detail {
// A hit callback as one that takes a LineHit: one that takes the text gets the line decoded,
// and its offset if it takes one. A HitRun goes through to a callback that takes it.
template <typename OnHit>
class TakingHits {
 public:
  explicit TakingHits(OnHit& onHit) : onHit_(onHit) {}

  void operator()(const LineHit& hit) {
    if constexpr (std::is_invocable_v<OnHit&, const LineHit&>) {
      onHit_(hit);
    } else {
      text_.clear();
      AppendCp932(hit.bytes, text_);
      if constexpr (std::is_invocable_v<OnHit&, std::u16string_view, std::uint64_t>) {
        onHit_(std::u16string_view(text_), hit.offset);
      } else {
        onHit_(std::u16string_view(text_));
      }
    }
  }
  void operator()(HitRun run) requires std::is_invocable_v<OnHit&, HitRun> { onHit_(run); }

 private:
  OnHit& onHit_;
  std::u16string text_;
};

// The lines of whole lines, the last one without its line end (so an empty view is one).
std::uint64_t CountLines(std::string_view bytes);
}  // namespace detail

template <typename OnHit>
void LineMatcher::Match(std::string_view bytes, OnHit&& onHit) {
  if (!bytes.empty()) MatchLines(bytes, 0, detail::TakingHits<OnHit>(onHit));
}

template <typename OnHit>
void LineMatcher::MatchLines(std::string_view bytes, std::uint64_t base, OnHit&& onHit) {
  switch (strategy_) {
    case Strategy::kNoLine:
      return;
    case Strategy::kEveryLine:
      if constexpr (std::is_invocable_v<OnHit&, HitRun>) {
        if (keywords_.empty()) return onHit(HitRun{detail::CountLines(bytes)});
      }
      if (bytes.empty()) {
        if (DecodedLineHolds(bytes)) onHit(LineHit{bytes, base});
        return;
      }
      ForEachLine(bytes, [&](std::string_view line) {
        if (DecodedLineHolds(line))
          onHit(LineHit{line, base + static_cast<std::uint64_t>(line.data() - bytes.data())});
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
        const std::string_view line = bytes.substr(begin, end - begin);
        if (CandidateHolds(bytes, begin, end, at) && (exact_ || DecodedLineHolds(line)))
          onHit(LineHit{line, base + begin});
      }
    }
  }
}

template <typename OnHit, typename OnSlice>
std::error_code LineMatcher::MatchSlices(FileReader& reader, ReadBuffer& buffer, std::size_t slice,
                                         OnHit&& onHit, std::size_t longestLine, OnSlice onSlice) {
  detail::TakingHits<OnHit> hit(onHit);
  const std::size_t longest = std::max(longestLine, slice);
  constexpr std::size_t kAlign = ReadBuffer::kAlignment;
  std::uint64_t offset = 0;  // where in the file the carried line starts
  std::size_t begin = 0;     // the carried line: [begin, end) of the buffer
  std::size_t end = 0;
  std::size_t scanned = 0;  // [begin, scanned) holds no line end
  bool empty = true;
  for (;;) {
    // The carried bytes move to just below a boundary, so that the read lands on one.
    if (begin > 0) {
      const std::size_t carry = end - begin;
      const std::size_t to = (carry + kAlign - 1) / kAlign * kAlign - carry;
      char* const data = buffer.Reserve(to + carry + slice, end);
      std::memmove(data + to, data + begin, carry);
      scanned = scanned - begin + to;
      begin = to;
      end = to + carry;
    }
    char* const data = buffer.Reserve(end + slice, end);
    const bool carried = end > begin;
    std::size_t got = 0;
    if (std::error_code error = reader.Read({data + end, slice}, got)) return error;
    if (got == 0) break;
    empty = false;
    end += got;
    // A CR at the end may be the first half of a CR LF.
    const std::size_t limit = data[end - 1] == '\r' ? end - 1 : end;
    const std::size_t after = FindLineStart({data + scanned, limit - scanned}, limit - scanned);
    if (after == 0) {
      if (limit - begin > longest) return LineTooLong();
      scanned = limit;  // one line longer than what is read: read on
      continue;
    }
    // A line carried from before ends here; one within a read is no longer than a slice.
    if (carried && scanned + FindLineEnd({data + scanned, limit - scanned}, 0) - begin > longest)
      return LineTooLong();
    const std::size_t last = scanned + after - 1;  // the last line end
    const bool pair = data[last] == '\n' && last > begin && data[last - 1] == '\r';
    MatchLines({data + begin, last - (pair ? 1 : 0) - begin}, offset, hit);
    offset += last + 1 - begin;
    begin = scanned = last + 1;
    onSlice();
  }
  if (!empty) MatchLines({buffer.data() + begin, end - begin}, offset, hit);
  return {};
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
