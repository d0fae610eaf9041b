#include "line_matching.h"

#include <algorithm>
#include <numeric>

#include "char_boundary.h"

namespace vek {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// Enough text to rank the keyword pieces by how often they occur.
constexpr std::size_t kSampleBytes = 1 << 20;

bool IsLineEnd(char16_t ch) {
  return ch == u'\r' || ch == u'\n';
}

// True when some bytes decode to `ch`. Every such character encodes to one of its codes, so
// the round trip tells; it rules out what the table cannot encode and its best fits (¢ is
// written as the code of ￠).
bool Decodable(char16_t ch) {
  if (ch == kReplacement) return true;
  const Cp932Code code = EncodeCp932(ch);
  const std::u16string back = DecodeCp932({reinterpret_cast<const char*>(code.bytes), code.size});
  return back.size() == 1 && back[0] == ch;
}

// A keyword that holds a line end or a character no bytes decode to is in no line.
bool CanOccur(std::u16string_view keyword) {
  return std::all_of(keyword.begin(), keyword.end(),
                     [](char16_t ch) { return !IsLineEnd(ch) && Decodable(ch); });
}

// The CP932 bytes of the longest run of characters that each have one code only; empty
// when there is none. U+FFFD and the duplicated codes end a run: several byte sequences
// decode to them.
std::string LongestUniquePiece(std::u16string_view keyword) {
  std::string longest;
  std::string run;
  for (std::size_t i = 0; i <= keyword.size(); ++i) {
    if (i < keyword.size() && HasUniqueCp932Code(keyword[i])) {
      const Cp932Code code = EncodeCp932(keyword[i]);
      run.append(reinterpret_cast<const char*>(code.bytes), code.size);
      continue;
    }
    if (run.size() > longest.size()) longest = run;
    run.clear();
  }
  return longest;
}

// True when `keyword`'s bytes, found at a character start, always decode to the keyword:
// each character has one code only, and none of one byte can lead a pair.
bool WhollyUnique(std::u16string_view keyword, const Cp932Boundaries& boundaries) {
  return std::all_of(keyword.begin(), keyword.end(), [&boundaries](char16_t ch) {
    const Cp932Code code = EncodeCp932(ch);
    return HasUniqueCp932Code(ch) && (code.size == 2 || !boundaries.MayLead(code.bytes[0]));
  });
}

unsigned Commonness(std::string_view bytes) {
  return std::accumulate(bytes.begin(), bytes.end(), 0u, [](unsigned sum, char byte) {
    return sum + ByteCommonness(static_cast<unsigned char>(byte));
  });
}

class LineTooLongCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "vek.line"; }
  std::string message(int) const override {
    static_assert(kLongestLine == std::size_t{16} << 20, "the message names the limit");
    return "a line longer than 16 MiB";
  }
};

}  // namespace

std::error_code LineTooLong() {
  static const LineTooLongCategory category;
  return {1, category};
}

namespace detail {
std::uint64_t CountLines(std::string_view bytes) {
  // CR LF is one line end: each LF after a CR is taken back.
  std::uint64_t ends = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const bool lf = bytes[i] == '\n';
    ends += static_cast<unsigned>(lf || bytes[i] == '\r') -
            static_cast<unsigned>(lf && i > 0 && bytes[i - 1] == '\r');
  }
  return ends + 1;
}
}  // namespace detail

LineMatcher::LineMatcher(const KeywordList& keywords) : boundaries_(&Cp932Boundaries::Get()) {
  for (const std::u16string& keyword : keywords) {
    if (!keyword.empty() &&
        std::find(keywords_.begin(), keywords_.end(), keyword) == keywords_.end())
      keywords_.push_back(keyword);
  }
  if (!std::all_of(keywords_.begin(), keywords_.end(), CanOccur)) {
    strategy_ = Strategy::kNoLine;
    return;
  }
  for (const std::u16string& keyword : keywords_) {
    if (std::string piece = LongestUniquePiece(keyword); !piece.empty())
      pieces_.emplace_back(std::move(piece));
  }
  if (pieces_.empty()) return;
  strategy_ = Strategy::kPrefilter;
  exact_ = std::all_of(keywords_.begin(), keywords_.end(), [this](const std::u16string& keyword) {
    return WhollyUnique(keyword, *boundaries_);
  });
  // Until the sample tells which piece is rare: the longest, of the rarest bytes.
  order_.resize(pieces_.size());
  std::iota(order_.begin(), order_.end(), std::size_t{0});
  std::stable_sort(order_.begin(), order_.end(), [this](std::size_t a, std::size_t b) {
    const std::string& x = pieces_[a].needle();
    const std::string& y = pieces_[b].needle();
    if (x.size() != y.size()) return x.size() > y.size();
    return Commonness(x) < Commonness(y);
  });
  if (pieces_.size() > 1) {
    counts_.assign(pieces_.size(), 0);
    sampleLeft_ = kSampleBytes;
  }
}

void LineMatcher::UsePrefilterPiece(std::size_t index) {
  std::rotate(order_.begin(), std::find(order_.begin(), order_.end(), index),
              std::find(order_.begin(), order_.end(), index) + 1);
  sampleLeft_ = 0;
}

void LineMatcher::Sample(std::string_view bytes) {
  const std::string_view sample = bytes.substr(0, sampleLeft_);
  for (std::size_t i = 0; i < pieces_.size(); ++i) {
    for (std::size_t at = pieces_[i].Find(sample); at != ByteSearcher::npos;
         at = pieces_[i].Find(sample, at + 1))
      ++counts_[i];
  }
  sampleLeft_ -= sample.size();
  if (sampleLeft_ == 0) {
    std::stable_sort(order_.begin(), order_.end(),
                     [this](std::size_t a, std::size_t b) { return counts_[a] < counts_[b]; });
  }
}

bool LineMatcher::Holds(std::u16string_view line) const {
  return std::all_of(keywords_.begin(), keywords_.end(), [line](const std::u16string& keyword) {
    return line.find(keyword) != std::u16string_view::npos;
  });
}

bool LineMatcher::DecodedLineHolds(std::string_view line) {
  text_.clear();
  AppendCp932(line, text_);
  return Holds(text_);
}

bool LineMatcher::StartsCharacterFrom(const ByteSearcher& piece, std::string_view bytes,
                                      std::size_t begin, std::size_t end, std::size_t at) const {
  const std::string_view upToEnd = bytes.substr(0, end);
  // Each look starts from the last boundary found, so a line full of false candidates is
  // still decoded in one pass.
  for (std::size_t boundary = begin; at != ByteSearcher::npos; at = piece.Find(upToEnd, at + 1)) {
    boundary = boundaries_->NextBoundary(bytes, boundary, at);
    if (boundary == at) return true;
  }
  return false;
}

bool LineMatcher::CandidateHolds(std::string_view bytes, std::size_t begin, std::size_t end,
                                 std::size_t at) const {
  if (!StartsCharacterFrom(pieces_[order_.front()], bytes, begin, end, at)) return false;
  // The other pieces, the rarest first. Unless the matcher is exact they only screen: a
  // false one is caught by the decoded test.
  const std::string_view upToEnd = bytes.substr(0, end);
  return std::all_of(order_.begin() + 1, order_.end(), [&](std::size_t i) {
    const std::size_t first = pieces_[i].Find(upToEnd, begin);
    return exact_ ? StartsCharacterFrom(pieces_[i], bytes, begin, end, first)
                  : first != ByteSearcher::npos;
  });
}

std::vector<std::u16string> MatchFile(const std::filesystem::path& path,
                                      const KeywordList& keywords, FileSystem& fileSystem,
                                      std::error_code& error) {
  std::vector<std::u16string> hits;
  std::unique_ptr<FileReader> reader;
  error = fileSystem.Open(path, reader);
  if (error) return hits;
  LineMatcher matcher(keywords);
  ReadBuffer buffer;
  error = matcher.MatchSlices(*reader, buffer, SearchOptions{}.sliceBytes,
                              [&hits](std::u16string_view line) { hits.emplace_back(line); });
  if (error) hits.clear();
  return hits;
}

}  // namespace vek
