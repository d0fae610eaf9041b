// The fast paths of the search against the plain one: byte scans, character boundaries in
// undecoded bytes, prefiltered matching and the thread pool must give exactly what decoding
// every line and comparing code units gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "byte_search.h"
#include "char_boundary.h"
#include "cp932.h"
#include "line_matching.h"
#include "line_number.h"
#include "match_pool.h"
#include "test_support.h"
#include "text_convert.h"

namespace vek {
namespace {

using Lines = std::vector<std::u16string>;
using Strategy = LineMatcher::Strategy;

std::string Hex(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X ", c);
    out += digits;
  }
  return out;
}

Lines Hits(LineMatcher& matcher, std::string_view bytes, bool plain = false) {
  Lines hits;
  const auto keep = [&hits](std::u16string_view line) { hits.emplace_back(line); };
  plain ? matcher.MatchPlain(bytes, keep) : matcher.Match(bytes, keep);
  return hits;
}

using Placed = std::vector<std::pair<std::u16string, std::uint64_t>>;  // line, offset

// The hits of a file read in slices of `slice` bytes, by reads that stop after `most`.
Placed SlicedHits(LineMatcher& matcher, std::string_view bytes, std::size_t slice,
                  std::size_t most) {
  Placed hits;
  test::MemoryReader reader(bytes, most);
  ReadBuffer buffer;
  EXPECT_FALSE(matcher.MatchSlices(reader, buffer, slice,
                                   [&hits](std::u16string_view line, std::uint64_t offset) {
                                     hits.emplace_back(line, offset);
                                   }));
  return hits;
}

// With each piece as the prefilter in turn, the fast hits are the plain ones; read in slices
// of a few bytes, they are the same lines at the same offsets.
void ExpectSameAsPlain(const KeywordList& keywords, std::string_view bytes) {
  LineMatcher matcher(keywords);
  const Lines expected = Hits(matcher, bytes, true);
  std::string shown;
  for (const std::u16string& keyword : keywords) shown += "[" + Utf16ToUtf8(keyword) + "]";
  for (std::size_t piece = 0; piece < std::max<std::size_t>(matcher.PieceCount(), 1); ++piece) {
    if (matcher.strategy() == Strategy::kPrefilter) matcher.UsePrefilterPiece(piece);
    ASSERT_EQ(Hits(matcher, bytes), expected) << Hex(bytes) << shown << " piece " << piece;
  }
  Placed whole;
  matcher.Match(bytes, [&whole](std::u16string_view line, std::uint64_t offset) {
    whole.emplace_back(line, offset);
  });
  for (const auto& [line, offset] : whole) {
    const std::string_view rest = bytes.substr(offset);
    ASSERT_EQ(DecodeCp932(rest.substr(0, rest.find_first_of("\r\n"))), line) << Hex(bytes);
  }
  for (const auto& [slice, most] : {std::pair{1, 1}, {3, 3}, {5, 2}, {64, 64}})
    ASSERT_EQ(SlicedHits(matcher, bytes, slice, most), whole)
        << Hex(bytes) << shown << " slice " << slice << " read " << most;
}

// Each line holding "x" tells its own number: counted up to the offset the matcher gives for
// it, in any slice size (CR LF across a slice edge included), the number agrees.
TEST(LineNumberAt, CountsLineEndsAsTheMatcherSplitsLines) {
  test::TempTree tree;
  StdFileSystem fileSystem;
  LineMatcher matcher({u"x"});
  for (const std::string_view bytes :
       {"x1\r\nx2\nx3\rx4", "\r\n\r\nx3\r\rx5\n\nx7\r\n", "x1\n\rx3\r\n\nx5", "\rx2"}) {
    const auto file = tree.WriteBytes("f.vek", bytes);
    std::ptrdiff_t hits = 0;
    matcher.Match(bytes, [&](std::u16string_view line, std::uint64_t offset) {
      ++hits;
      const std::uint64_t number = line.at(1) - u'0';
      for (const std::size_t slice : {1, 2, 3, 64}) {
        EXPECT_EQ(LineNumberAt(fileSystem, file, offset, slice), number)
            << Hex(bytes) << " slice " << slice;
      }
    });
    EXPECT_EQ(hits, std::count(bytes.begin(), bytes.end(), 'x')) << Hex(bytes);
  }
  // Gone, or shorter than when it was searched: no number.
  EXPECT_EQ(LineNumberAt(fileSystem, tree / "f.vek", 100), std::nullopt);
  EXPECT_EQ(LineNumberAt(fileSystem, tree / "missing.vek", 0), std::nullopt);
}

// What the fast path assumes of the decoder, over every pair of bytes: CR and LF are never
// part of a character, so lines can be cut before decoding.
TEST(Cp932Facts, LineEndsAreNeverPartOfACharacter) {
  std::u16string text;
  for (unsigned a = 0; a < 0x100; ++a) {
    for (unsigned b = 0; b < 0x100; ++b) {
      const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
      text.clear();
      AppendCp932(bytes, text);
      for (char16_t end : {u'\r', u'\n'}) {
        ASSERT_EQ(std::count(text.begin(), text.end(), end),
                  std::count(bytes.begin(), bytes.end(), end))
            << Hex(bytes);
      }
    }
  }
}

// A boundary is exactly where decoding the two halves apart gives the whole text.
TEST(Cp932Facts, BoundariesAgreeWithDecodingInPieces) {
  std::mt19937 random(7);
  const std::string pool =
      "\x81\x82\x83\x85\x88\x9F\xE0\xEE\xFA\xFC\x40\x41\x7E\x7F\xA0\xB1\x80\xFD\r\na";
  for (int round = 0; round < 3000; ++round) {
    std::string bytes(random() % 12, '\0');
    for (char& c : bytes) c = pool[random() % pool.size()];
    for (std::size_t at = 0; at <= bytes.size(); ++at) {
      const bool apart =
          DecodeCp932(bytes.substr(0, at)) + DecodeCp932(bytes.substr(at)) == DecodeCp932(bytes);
      ASSERT_EQ(Cp932Boundaries::Get().IsBoundary(bytes, 0, at), apart) << Hex(bytes) << at;
    }
  }
}

TEST(ByteScans, AgreeWithTheObviousLoops) {
  std::mt19937 random(11);
  for (int round = 0; round < 2000; ++round) {
    // Few distinct bytes, so that partial matches, overlaps and line ends are common. The
    // haystack has exactly its own size on the heap, so that ASan sees any overread.
    const std::string alphabet = round % 2 ? "ab\r" : std::string("\x83\x40\n\x8B\0", 5);
    const std::size_t size = random() % 300;
    const auto heap = std::make_unique<char[]>(size + 1);
    for (std::size_t i = 0; i < size; ++i) heap[i] = alphabet[random() % alphabet.size()];
    const std::string_view haystack(heap.get() + 1, size);  // an odd start, too
    std::string needle(1 + random() % 9, '\0');
    for (char& c : needle) c = alphabet[random() % 2];
    const ByteSearcher searcher(needle);
    for (std::size_t at = 0; at <= haystack.size(); ++at) {
      ASSERT_EQ(searcher.Find(haystack, at), haystack.find(needle, at)) << Hex(haystack) << at;
      const std::size_t end = haystack.find_first_of("\r\n", at);
      const std::size_t start = haystack.find_last_of("\r\n", at == 0 ? 0 : at - 1);
      ASSERT_EQ(FindLineEnd(haystack, at), std::min(end, haystack.size())) << Hex(haystack);
      ASSERT_EQ(FindLineStart(haystack, at),
                at == 0 || start == std::string_view::npos ? 0 : start + 1)
          << Hex(haystack) << at;
    }
  }
}

TEST(LineMatcherStrategy, FollowsWhatTheKeywordsCanBeFoundBy) {
  const auto strategy = [](KeywordList keywords) { return LineMatcher(keywords).strategy(); };
  EXPECT_EQ(strategy({u"", u""}), Strategy::kEveryLine);
  EXPECT_EQ(strategy({u"\uFFFD"}), Strategy::kEveryLine);
  EXPECT_EQ(strategy({u"\uFFE2"}), Strategy::kEveryLine);  // 81 CA, EE F9 and FA 54
  EXPECT_EQ(strategy({u"\uFFE2", u"ab"}), Strategy::kPrefilter);
  EXPECT_EQ(strategy({u"ok", u"a\nb"}), Strategy::kNoLine);
  EXPECT_EQ(strategy({u"€"}), Strategy::kNoLine);       // not in CP932
  EXPECT_EQ(strategy({u"\u00A2"}), Strategy::kNoLine);  // ¢ is encoded as ￠, never decoded
  EXPECT_EQ(strategy({u"\xD83D"}), Strategy::kNoLine);

  LineMatcher matcher({u"\uFFE2ab\uFFFDcde", u"設定", u"ab\uFFE2ab"});
  ASSERT_EQ(matcher.PieceCount(), 3u);
  EXPECT_EQ(matcher.Piece(0), "cde");
  EXPECT_EQ(matcher.Piece(1), "\x90\xDD\x92\xE8");
  EXPECT_EQ(matcher.Piece(2), "ab");
  EXPECT_EQ(matcher.PrefilterPiece(), 1u);  // the longest, until a sample says otherwise
}

TEST(LineMatcherStrategy, PrefiltersOnThePieceTheFirstMegabyteShowsRarest) {
  std::string buffer;
  for (int line = 0; line < 20000; ++line) buffer += line % 500 ? "xyz x\r\n" : "xyz ab\r\n";
  LineMatcher matcher({u"ab", u"xyz"});
  LineMatcher reference({u"ab", u"xyz"});
  EXPECT_EQ(matcher.Piece(matcher.PrefilterPiece()), "xyz");
  for (int round = 0; round < 12; ++round)  // across the end of the sample
    ASSERT_EQ(Hits(matcher, buffer), Hits(reference, buffer, true)) << round;
  EXPECT_EQ(matcher.Piece(matcher.PrefilterPiece()), "ab");
}

TEST(FastPath, CasesWhereBytesAndCharactersPartWays) {
  const struct {
    const char* name;
    std::string bytes;
    KeywordList keywords;
    Lines hits;
  } cases[] = {
      {"trail byte that looks like ASCII", "\x83\x41", {u"A"}, {}},
      {"pair across two characters", "\x83\x83\x41", {u"ア"}, {}},
      {"false candidate, then a true one", "\x83\x83\x41\x83\x41", {u"ア"}, {u"ャAア"}},
      {"false candidates all along a line",
       "\x88\x9F\x88\x9F\x88\x9F\n\x88\x9F\x88\x9F\x9F\x88",
       {u"汕"},
       {u"亜亜汕"}},
      {"every code of a duplicated character",
       "\x81\xCAx\n\xEE\xF9x\n\xFA\x54x\nx",
       {u"\uFFE2x"},
       {u"\uFFE2x", u"\uFFE2x", u"\uFFE2x"}},
      {"U+FFFD from an unmapped pair", "\x85\x40\n@", {u"\uFFFD@"}, {u"\uFFFD@"}},
      {"lead byte before the line end", "\x83\r\n\x83", {u"\uFFFD"}, {u"\uFFFD", u"\uFFFD"}},
      {"only empty keywords: every line", "a\n\rb\r\n", {u"", u""}, {u"a", u"", u"b", u""}},
      {"lone CR, lone LF, LF CR, no last end",
       "k1\rk2\nk3\n\rk4",
       {u"k"},
       {u"k1", u"k2", u"k3", u"k4"}},
      {"several candidates in one line", "abab\nab", {u"ab", u"b", u"b"}, {u"abab", u"ab"}},
      {"backslash as a trail byte", "\x95\x5C\\", {u"\\"}, {u"表\\"}},
  };
  for (const auto& c : cases) {
    LineMatcher matcher(c.keywords);
    EXPECT_EQ(Hits(matcher, c.bytes, true), c.hits) << c.name;
    ExpectSameAsPlain(c.keywords, c.bytes);
  }
}

// Random bytes biased towards lead and trail bytes, duplicated codes, unmapped pairs and line
// ends; keywords cut from their decoded text, mixed with awkward ones and repeats.
class RandomCase {
 public:
  explicit RandomCase(unsigned seed) : random_(seed) {}

  std::string Bytes() {
    static const std::string kLeads =
        "\x81\x82\x83\x84\x85\x87\x88\x95\x9F\xE0\xEA\xED\xEE\xFA\xFC";
    static const std::string kTrails = "\x40\x41\x5C\x7E\x7F\x80\x8B\x9E\x9F\xA0\xCA\xF9\xFC\xFD";
    static const std::string kSingles("aA@\\ \xA0\xB1\xDF\x80\xFD\xFF\0", 12);
    static const std::string kWords[] = {"\x83\x74\x83\x40\x83\x43\x83\x8B",
                                         "\x90\xDD\x92\xE8",
                                         "\x81\xCA",
                                         "\xEE\xF9",
                                         "\xFA\x54",
                                         "\x85\x40",
                                         "JPEG"};
    std::string bytes;
    for (const std::size_t size = random_() % 120; bytes.size() < size;) {
      switch (random_() % 8) {
        case 0:
          bytes += Pick(kLeads);
          break;
        case 1:
          bytes += Pick(kTrails);
          break;
        case 2:
          bytes += Pick(kSingles);
          break;
        case 3:
          bytes.append(1, Pick(kLeads)).append(1, Pick(kTrails));
          break;
        case 4:
          bytes += kWords[random_() % std::size(kWords)];
          break;
        case 5:
          bytes += std::string("\r\n\r\n\n\r").substr(random_() % 6, 1 + random_() % 2);
          break;
        default:
          bytes += static_cast<char>(random_());
          break;
      }
    }
    return bytes;
  }

  KeywordList Keywords(std::string_view bytes) {
    static const std::u16string kOdd[] = {u"\uFFFD", u"\uFFE2",   u"@",    u"A", u"\\",
                                          u"",       u"ファイル", u"設定", u"€"};
    const std::u16string text = DecodeCp932(bytes);
    KeywordList keywords;
    for (const std::size_t count = 1 + random_() % 3; keywords.size() < count;) {
      if (random_() % 3 == 0 || text.empty()) {
        keywords.push_back(kOdd[random_() % std::size(kOdd)]);
      } else {
        keywords.push_back(text.substr(random_() % text.size(), 1 + random_() % 4));
      }
      if (random_() % 8 == 0) keywords.push_back(keywords.back());
    }
    return keywords;
  }

 private:
  char Pick(const std::string& from) { return from[random_() % from.size()]; }

  std::mt19937 random_;
};

// Lines far longer than a slice, and slices that end between CR and LF.
TEST(FastPath, SlicesGiveTheLinesOfTheWholeFile) {
  std::string bytes;
  for (int i = 0; i < 300; ++i)
    bytes += std::string(i * 7 % 50, 'x') + (i % 3 ? "\r\n" : i % 2 ? "\r" : "\n") + "\x83\x41";
  bytes += std::string(5000, '\x88') + "\x83\x41\r";
  for (const KeywordList& keywords : {KeywordList{u"ア"}, KeywordList{u""}, KeywordList{u"xア"}})
    ExpectSameAsPlain(keywords, bytes);
}

TEST(FastPath, EqualsPlainMatchingOnRandomInput) {
  RandomCase random(20240601);
  for (int round = 0; round < 100000 && !HasFatalFailure(); ++round) {
    const std::string bytes = random.Bytes();
    ExpectSameAsPlain(random.Keywords(bytes), bytes);
  }
}

// Any thread count gives the single thread's results and problems, both in file order.
TEST(MatchPool, AnyThreadCountGivesTheSameResultsAndProblems) {
  test::TempTree tree;
  test::FaultyFileSystem fileSystem;
  std::vector<std::filesystem::path> files;
  RandomCase random(5);
  for (int f = 0; f < 150; ++f) {
    const std::string bytes =
        random.Bytes() + "\r\n" + EncodeCp932(u"アイ") + "\r\n" + random.Bytes();
    files.push_back(
        tree.WriteBytes(std::to_string(f % 4) + "/" + std::to_string(f) + ".vek", bytes));
    if (f % 13 == 5) fileSystem.unreadable.insert(files.back());
  }
  files.push_back(tree / "missing.vek");

  // Tiny slices and few jobs in flight, so that delivery and the wait for room interleave.
  // Every open counts as slow, so that with I/O threads the pool grows as far as it may.
  const auto matchFiles = [&](unsigned threads, unsigned ioThreads, ResultList& results,
                              std::vector<SearchProblem>& problems) {
    SearchOptions options;
    options.threads = threads;
    options.ioThreads = ioThreads;
    options.slowOpen = {};
    options.sliceBytes = 5;
    MatchPool pool({u"ア"}, fileSystem, options, [&](FileResults& file) {
      if (file.error) problems.push_back({file.path, file.error});
      results.insert(results.end(), file.lines.begin(), file.lines.end());
    });
    for (const std::filesystem::path& file : files) pool.Add(file);
    pool.Finish();
  };
  ResultList expected;
  std::vector<SearchProblem> expectedProblems;
  matchFiles(1, 0, expected, expectedProblems);
  ASSERT_GE(expected.size(), 50u);
  ASSERT_EQ(expectedProblems.size(), 13u);
  for (const auto& [threads, ioThreads] :
       {std::pair{0u, 0u}, {2u, 0u}, {3u, 0u}, {100u, 0u}, {1u, 16u}, {2u, 9u}}) {
    ResultList results{u"kept"};
    std::vector<SearchProblem> problems;
    matchFiles(threads, ioThreads, results, problems);
    EXPECT_EQ(results.front(), u"kept");
    EXPECT_EQ(ResultList(results.begin() + 1, results.end()), expected)
        << threads << " threads, " << ioThreads << " for I/O";
    ASSERT_EQ(problems.size(), expectedProblems.size());
    for (std::size_t i = 0; i < problems.size(); ++i) {
      EXPECT_EQ(problems[i].path, expectedProblems[i].path);
      EXPECT_EQ(problems[i].error, expectedProblems[i].error);
    }
  }
}

}  // namespace
}  // namespace vek
