// Which lines of one data file are hits: every line that holds every non-empty keyword,
// compared as exact UTF-16 code units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "byte_search.h"
#include "char_boundary.h"
#include "file_system.h"
#include "search_core.h"

namespace vek {

// A hit as found: the line's CP932 bytes, without its line end, and where it starts in the
// file. The bytes are valid only during the call that reports them.
struct LineHit {
  std::string_view bytes;
  std::uint64_t offset = 0;
};

// Consecutive hit lines counted, not reported one by one: a hit callback that takes it gets
// one when the keywords make every line a hit.
struct HitRun {
  std::uint64_t lines = 0;
};

// The error of a file with a line longer than a search takes (kLongestLine).
std::error_code LineTooLong();

// The matching of a file read in slices calls this after each slice but the last.
struct NoSliceEnd {
  void operator()() const {}
};

// Matches the lines of raw CP932 file contents. Built once per search; keeps its work
// buffers between files, so one matcher serves one thread.
//
// CR and LF bytes are never part of a CP932 character, so lines can be cut before decoding,
// and only lines that can hold a hit need decoding at all: a keyword piece whose characters
// each have a single CP932 code must occur as those bytes in every line that holds it. When
// every keyword is such a piece, its bytes at a character start are the keyword itself, and
// no line is decoded: hits are reported as bytes, for the caller to decode when it needs
// the text.
class LineMatcher {
 public:
  enum class Strategy {
    kNoLine,     // some keyword holds a character that no bytes decode to, or a line end
    kEveryLine,  // every line is decoded and tested
    kPrefilter,  // only lines holding a keyword piece's bytes are decoded and tested
  };

  explicit LineMatcher(const KeywordList& keywords);

  // Calls `onHit` with each matching line of the whole contents `bytes`, in file order: with
  // a LineHit when it takes one, else with the decoded line, and with the byte offset of the
  // line's start when it takes one. The view is valid only during the call.
  template <typename OnHit>
  void Match(std::string_view bytes, OnHit&& onHit);

  // The same for a file read to its end in slices of `slice` bytes into `buffer`: the same
  // lines as reading it whole. Lines are cut only at line ends, so a slice edge never splits
  // a character, a CR LF pair or a candidate: a partial last line is carried into the next
  // slice, and a line longer than a slice grows the buffer until its end, up to
  // `longestLine` bytes (at least a slice); past that, LineTooLong(). `onSlice` runs after each
  // slice's lines have been matched, before the next read. Throws std::bad_alloc when a line does
  // not fit in memory.
  template <typename OnHit, typename OnSlice = NoSliceEnd>
  std::error_code MatchSlices(FileReader& reader, ReadBuffer& buffer, std::size_t slice,
                              OnHit&& onHit, std::size_t longestLine = kLongestLine,
                              OnSlice onSlice = {});

  // The same result the long way: decodes the whole contents, then splits and tests every
  // line. The fast paths are checked against it.
  template <typename OnHit>
  void MatchPlain(std::string_view bytes, OnHit&& onHit);

  const std::vector<std::u16string>& keywords() const { return keywords_; }
  Strategy strategy() const { return strategy_; }

  // The CP932 bytes of each keyword's longest uniquely encoded piece: every hit line holds
  // all of them. One is the prefilter; the others screen its candidate lines. The matcher
  // counts each piece in its first MiB and then prefilters on the rarest.
  std::size_t PieceCount() const { return pieces_.size(); }
  const std::string& Piece(std::size_t index) const { return pieces_[index].needle(); }
  std::size_t PrefilterPiece() const { return order_.front(); }
  // Fixes the prefilter; any choice gives the same hits.
  void UsePrefilterPiece(std::size_t index);

 private:
  // Matches `lines`: whole lines, the last one without its line end. Unlike Match, an empty
  // view is one empty line. `onHit` takes a LineHit, `base` added to its offset.
  template <typename OnHit>
  void MatchLines(std::string_view lines, std::uint64_t base, OnHit&& onHit);

  bool Holds(std::u16string_view line) const;
  // Decodes one line into the work buffer and tests it.
  bool DecodedLineHolds(std::string_view line);
  // Looks on from `at`, the prefilter piece's first occurrence in the line [begin, end),
  // for one that starts a character, then for the other pieces (also at a character start,
  // when the matcher is exact).
  bool CandidateHolds(std::string_view bytes, std::size_t begin, std::size_t end,
                      std::size_t at) const;
  // True when the piece `piece` occurs at `at` or later in [begin, end) at a character start.
  bool StartsCharacterFrom(const ByteSearcher& piece, std::string_view bytes, std::size_t begin,
                           std::size_t end, std::size_t at) const;
  // Counts the pieces in the sampled bytes; reorders them once the sample is complete.
  void Sample(std::string_view bytes);

  std::vector<std::u16string> keywords_;  // the distinct non-empty keywords
  Strategy strategy_ = Strategy::kEveryLine;
  bool exact_ = false;  // a line's bytes alone tell whether it is a hit
  std::vector<ByteSearcher> pieces_;
  std::vector<std::size_t> order_;   // prefilter first, then the order of screening
  std::vector<std::size_t> counts_;  // occurrences in the sample so far
  std::size_t sampleLeft_ = 0;       // bytes still to sample
  const Cp932Boundaries* boundaries_;
  std::u16string text_;  // the decoded line or file, reused
};

// The matched lines of the file at `path`. On a read failure `error` is set and the
// result is empty.
std::vector<std::u16string> MatchFile(const std::filesystem::path& path,
                                      const KeywordList& keywords, FileSystem& fileSystem,
                                      std::error_code& error);

}  // namespace vek

#include "line_matching_inl.h"
