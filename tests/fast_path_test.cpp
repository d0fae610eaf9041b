// The fast paths of the search against the plain one: byte scans, character boundaries in
// undecoded bytes, prefiltered line matching and the thread pool must all give exactly what
// decoding every line and comparing code units gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "byte_search.h"
#include "char_boundary.h"
#include "cp932.h"
#include "line_matching.h"
#include "match_pool.h"
#include "search_core.h"
#include "test_support.h"
#include "text_convert.h"

namespace vek {
namespace {

using namespace std::literals;
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

std::string Shown(const KeywordList& keywords) {
  std::string out;
  for (const std::u16string& keyword : keywords)
    out.append("[").append(Utf16ToUtf8(keyword)).append("]");
  return out;
}

// "folder<n % folders>/<n>.vek"
std::filesystem::path DataFile(int n, int folders) {
  return std::filesystem::path("d" + std::to_string(n % folders)) / (std::to_string(n) + ".vek");
}

Lines Fast(LineMatcher& matcher, std::string_view bytes) {
  Lines hits;
  matcher.Match(bytes, [&hits](std::u16string_view line) { hits.emplace_back(line); });
  return hits;
}

Lines Plain(LineMatcher& matcher, std::string_view bytes) {
  Lines hits;
  matcher.MatchPlain(bytes, [&hits](std::u16string_view line) { hits.emplace_back(line); });
  return hits;
}

// The fast result with every possible prefilter piece equals the plain result.
void ExpectSameAsPlain(const KeywordList& keywords, std::string_view bytes) {
  LineMatcher matcher(keywords);
  const Lines expected = Plain(matcher, bytes);
  const std::size_t choices = std::max<std::size_t>(matcher.PieceCount(), 1);
  for (std::size_t piece = 0; piece < choices; ++piece) {
    if (matcher.strategy() == Strategy::kPrefilter) matcher.UsePrefilterPiece(piece);
    ASSERT_EQ(Fast(matcher, bytes), expected)
        << "bytes " << Hex(bytes) << "\nkeywords " << Shown(keywords) << " piece " << piece;
  }
}

// ---------------------------------------------------------------------------------------
// What the fast path assumes of CP932 decoding, checked against the decoder over every one-
// and two-byte sequence.

TEST(Cp932Facts, LineEndsAreNeverPartOfACharacter) {
  std::u16string text;
  for (unsigned a = 0; a < 0x100; ++a) {
    for (unsigned b = 0; b < 0x100; ++b) {
      const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
      text.clear();
      AppendCp932(bytes, text);
      for (char16_t end : {u'\r', u'\n'}) {
        const auto count = [end](const auto& s) { return std::count(s.begin(), s.end(), end); };
        ASSERT_EQ(count(text), count(bytes)) << Hex(bytes);
      }
      if (b == '\r' || b == '\n') {
        ASSERT_EQ(text.back(), b) << Hex(bytes);
      }
    }
  }
}

TEST(Cp932Facts, BoundariesAgreeWithDecodingInPieces) {
  // A boundary is exactly where decoding the two halves apart gives the whole text.
  std::mt19937 random(7);
  const std::string pool =
      "\x81\x82\x83\x85\x88\x9F\xE0\xEE\xFA\xFC\x40\x41\x7E\x7F\xA0\xB1\x80"
      "\xFD\x0D\x0A"
      "a";
  const Cp932Boundaries& boundaries = Cp932Boundaries::Get();
  for (int round = 0; round < 3000; ++round) {
    std::string bytes(random() % 12, '\0');
    for (char& c : bytes) c = pool[random() % pool.size()];
    const std::u16string whole = DecodeCp932(bytes);
    for (std::size_t at = 0; at <= bytes.size(); ++at) {
      const bool apart = DecodeCp932(bytes.substr(0, at)) + DecodeCp932(bytes.substr(at)) == whole;
      ASSERT_EQ(boundaries.IsBoundary(bytes, 0, at), apart) << Hex(bytes) << "at " << at;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Byte scans against the obvious loops.

TEST(ByteSearcher, FindsEveryOccurrenceLikeStringFind) {
  std::mt19937 random(11);
  for (int round = 0; round < 2000; ++round) {
    // Few distinct bytes, so that partial matches and overlaps are common.
    const std::string alphabet = round % 2 ? "ab" : "\x83\x40\x41\x8B\x00"s;
    std::string haystack(random() % 300, '\0');
    for (char& c : haystack) c = alphabet[random() % alphabet.size()];
    std::string needle(1 + random() % 9, '\0');
    for (char& c : needle) c = alphabet[random() % alphabet.size()];
    const ByteSearcher searcher(needle);
    for (std::size_t from = 0; from <= haystack.size() + 1; ++from) {
      ASSERT_EQ(searcher.Find(haystack, from), std::string_view(haystack).find(needle, from))
          << Hex(haystack) << "/ " << Hex(needle) << "from " << from;
    }
  }
}

TEST(ByteSearcher, NeverReadsPastTheHaystack) {
  // A needle that fits only at the very end, and haystacks cut just before it: under ASan
  // an overread of the view would be caught, the view ending inside a larger string.
  const std::string needle = "\x90\xDD\x92\xE8";
  const ByteSearcher searcher(needle);
  for (std::size_t size = 0; size < 80; ++size) {
    const std::string padded = std::string(size, 'x') + needle;
    const std::string exact(padded.begin(), padded.end());
    EXPECT_EQ(searcher.Find(exact), size);
    EXPECT_EQ(searcher.Find(std::string_view(exact).substr(0, exact.size() - 1)),
              ByteSearcher::npos);
  }
}

TEST(ByteSearcher, AvoidsCommonLeadBytesWhereItCan) {
  // ファイル: the prefilter bytes should not be the katakana lead byte 83.
  EXPECT_LT(ByteCommonness(0x8B), ByteCommonness(0x83));
  EXPECT_LT(ByteCommonness(0x40), ByteCommonness('a'));
}

TEST(LineEdges, FindLineStartAndEndAgreeWithALoop) {
  std::mt19937 random(3);
  const std::string alphabet = "ab\r\n\x83";
  for (int round = 0; round < 500; ++round) {
    std::string bytes(random() % 70, '\0');
    for (char& c : bytes) c = alphabet[random() % alphabet.size()];
    for (std::size_t at = 0; at <= bytes.size(); ++at) {
      std::size_t end = at, start = at;
      while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
      while (start > 0 && bytes[start - 1] != '\r' && bytes[start - 1] != '\n') --start;
      ASSERT_EQ(FindLineEnd(bytes, at), end) << Hex(bytes) << at;
      ASSERT_EQ(FindLineStart(bytes, at), start) << Hex(bytes) << at;
    }
  }
}

// ---------------------------------------------------------------------------------------
// The matcher's choices.

TEST(LineMatcherStrategy, FollowsWhatTheKeywordsCanBeFoundBy) {
  const auto strategy = [](KeywordList keywords) { return LineMatcher(keywords).strategy(); };
  EXPECT_EQ(strategy({u"", u""}), Strategy::kEveryLine);
  EXPECT_EQ(strategy({u"\uFFFD"}), Strategy::kEveryLine);
  EXPECT_EQ(strategy({u"\uFFE2"}), Strategy::kEveryLine);  // 81 CA, EE F9 and FA 54
  EXPECT_EQ(strategy({u"\uFFE2", u"ab"}), Strategy::kPrefilter);
  EXPECT_EQ(strategy({u"JPEG"}), Strategy::kPrefilter);
  EXPECT_EQ(strategy({u"a\nb"}), Strategy::kNoLine);
  EXPECT_EQ(strategy({u"ok", u"x\r"}), Strategy::kNoLine);
  EXPECT_EQ(strategy({u"€"}), Strategy::kNoLine);       // not in CP932
  EXPECT_EQ(strategy({u"\u00A2"}), Strategy::kNoLine);  // ¢ is encoded as ￠, never decoded
  EXPECT_EQ(strategy({u"\xD83D"}), Strategy::kNoLine);
}

TEST(LineMatcherStrategy, PiecesAreTheLongestUniquelyEncodedRuns) {
  LineMatcher matcher({u"\uFFE2ab\uFFFDcde", u"設定", u"ab\uFFE2ab"});
  ASSERT_EQ(matcher.PieceCount(), 3u);
  EXPECT_EQ(matcher.Piece(0), "cde");
  EXPECT_EQ(matcher.Piece(1), "\x90\xDD\x92\xE8");
  EXPECT_EQ(matcher.Piece(2), "ab");
  EXPECT_EQ(matcher.PrefilterPiece(), 1u);  // the longest
}

TEST(LineMatcherStrategy, PrefiltersOnThePieceTheFirstMegabyteShowsRarest) {
  // "xyz" is longer but common, "ab" rare; every buffer's hits stay those of plain matching.
  std::string buffer;
  for (int line = 0; line < 20000; ++line) buffer += line % 500 == 0 ? "xyz ab\r\n" : "xyz x\r\n";
  LineMatcher matcher({u"ab", u"xyz"});
  LineMatcher reference({u"ab", u"xyz"});
  EXPECT_EQ(matcher.Piece(matcher.PrefilterPiece()), "xyz");
  for (int round = 0; round < 12; ++round) {
    ASSERT_EQ(Fast(matcher, buffer), Plain(reference, buffer)) << round;
  }
  EXPECT_EQ(matcher.Piece(matcher.PrefilterPiece()), "ab");
}

// ---------------------------------------------------------------------------------------
// Hand-made cases where a byte search and decoding part ways.

struct Case {
  const char* name;
  std::string bytes;
  KeywordList keywords;
  Lines hits;
};

TEST(FastPath, AdversarialCases) {
  const Case cases[] = {
      {"trail byte that looks like ASCII", "\x83\x41", {u"A"}, {}},
      {"pair across two characters", "\x83\x83\x41", {u"ア"}, {}},
      {"false candidate, then a true one", "\x83\x83\x41\x83\x41", {u"ア"}, {u"ャAア"}},
      {"true candidate in a later line", "\x83\x83\x41\r\n\x83\x41", {u"ア"}, {u"ア"}},
      {"every code of a duplicated character",
       "\x81\xCAx\n\xEE\xF9x\n\xFA\x54x\nx",
       {u"\uFFE2x"},
       {u"\uFFE2x", u"\uFFE2x", u"\uFFE2x"}},
      {"U+FFFD from an unmapped pair", "\x85\x40\n@", {u"\uFFFD@"}, {u"\uFFFD@"}},
      {"U+FFFD from a lead before the line end",
       "\x83\r\n\x83",
       {u"\uFFFD"},
       {u"\uFFFD", u"\uFFFD"}},
      {"only empty keywords: every line", "a\n\rb\r\n", {u"", u""}, {u"a", u"", u"b", u""}},
      {"empty and repeated keywords", "ab\r\nb", {u"", u"b", u"b", u""}, {u"ab", u"b"}},
      {"last line without a line end", "x\r\nyx", {u"x"}, {u"x", u"yx"}},
      {"lone CR, lone LF, LF CR", "k1\rk2\nk3\n\rk4", {u"k"}, {u"k1", u"k2", u"k3", u"k4"}},
      {"several candidates in one line", "abab\nab", {u"ab", u"b"}, {u"abab", u"ab"}},
      {"keywords in either order",
       EncodeCp932(u"猫犬\n犬 猫\n猫"),
       {u"猫", u"犬"},
       {u"猫犬", u"犬 猫"}},
      {"a keyword with a line end", "a\nb", {u"a\nb"}, {}},
      {"backslash as a trail byte", "\x95\x5C\\", {u"\\"}, {u"表\\"}},
      {"empty file", "", {u""}, {}},
  };
  for (const Case& c : cases) {
    LineMatcher matcher(c.keywords);
    EXPECT_EQ(Plain(matcher, c.bytes), c.hits) << c.name;
    ExpectSameAsPlain(c.keywords, c.bytes);
  }
}

// ---------------------------------------------------------------------------------------
// Random differential test: random bytes biased towards the troublesome ones, keywords cut
// from their decoded text and mixed with awkward ones.

class RandomCase {
 public:
  explicit RandomCase(unsigned seed) : random_(seed) {}

  std::string Bytes() {
    static const std::string kLeads =
        "\x81\x82\x83\x84\x85\x87\x88\x89\x95\x9F\xE0\xEA\xED\xEE\xFA\xFC";
    static const std::string kTrails = "\x40\x41\x5C\x7E\x7F\x80\x8B\x9E\x9F\xA0\xCA\xF9\xFC\xFD";
    static const std::string kSingles = "aA@\\ \xA0\xB1\xDF\x80\xFD\xFF\x00"s;
    static const std::string kWords[] = {"\x83\x74\x83\x40\x83\x43\x83\x8B",
                                         "\x90\xDD\x92\xE8",
                                         "\x81\xCA",
                                         "\xEE\xF9",
                                         "\xFA\x54",
                                         "\x85\x40",
                                         "JPEG"};
    std::string bytes;
    const std::size_t size = random_() % 120;
    while (bytes.size() < size) {
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
          bytes += std::string(1, Pick(kLeads)) + Pick(kTrails);
          break;
        case 4:
          bytes += kWords[random_() % std::size(kWords)];
          break;
        case 5:
          bytes += "\r\n\r\n\n\r"s.substr(random_() % 6, 1 + random_() % 2);
          break;
        default:
          bytes += static_cast<char>(random_());
          break;
      }
    }
    return bytes;
  }

  KeywordList Keywords(std::string_view bytes) {
    const std::u16string text = DecodeCp932(bytes);
    static const std::u16string kOdd[] = {u"\uFFFD", u"\uFFE2",   u"@",    u"A", u"\\",
                                          u"",       u"ファイル", u"設定", u"€", u"\u00A2"};
    KeywordList keywords;
    const std::size_t count = 1 + random_() % 3;
    while (keywords.size() < count) {
      if (random_() % 3 == 0 || text.empty()) {
        keywords.push_back(kOdd[random_() % std::size(kOdd)]);
      } else {
        const std::size_t at = random_() % text.size();
        keywords.push_back(text.substr(at, 1 + random_() % 4));
      }
      if (random_() % 8 == 0) keywords.push_back(keywords.back());  // a repeat
    }
    return keywords;
  }

 private:
  char Pick(const std::string& from) { return from[random_() % from.size()]; }

  std::mt19937 random_;
};

TEST(FastPath, EqualsPlainMatchingOnRandomInput) {
  RandomCase random(20240601);
  for (int round = 0; round < 100000; ++round) {
    const std::string bytes = random.Bytes();
    ExpectSameAsPlain(random.Keywords(bytes), bytes);
    if (HasFatalFailure()) return;
  }
}

TEST(FastPath, OneMatcherServesManyBuffers) {
  // Work buffers carry over between files; nothing of one may show in the next.
  RandomCase random(99);
  const KeywordList keywords{u"ア", u""};
  LineMatcher reused(keywords);
  for (int round = 0; round < 500; ++round) {
    const std::string bytes = random.Bytes() + "\x83\x41" + random.Bytes();
    LineMatcher fresh(keywords);
    ASSERT_EQ(Fast(reused, bytes), Plain(fresh, bytes)) << Hex(bytes);
  }
}

// ---------------------------------------------------------------------------------------
// The pool: any thread count gives the single-threaded results and problems, in order.

TEST(MatchPool, AnyThreadCountGivesTheSameResultsAndProblems) {
  test::TempTree tree;
  test::FaultyFileSystem fileSystem;
  std::vector<std::filesystem::path> files;
  RandomCase random(5);
  for (int f = 0; f < 60; ++f) {
    std::string bytes = random.Bytes();
    bytes.append("\r\n").append(EncodeCp932(u"アイ")).append("\r\n").append(random.Bytes());
    files.push_back(tree.WriteBytes(DataFile(f, 4), bytes));
    if (f % 13 == 5) fileSystem.unreadable.insert(files.back());
  }
  files.push_back(tree / "missing.vek");

  const KeywordList keywords{u"ア"};
  ResultList expected;
  std::vector<SearchProblem> expectedProblems;
  MatchFiles(files, keywords, fileSystem, 1, expected, expectedProblems);
  ASSERT_GE(expected.size(), 50u);
  ASSERT_EQ(expectedProblems.size(), 6u);
  for (unsigned threads : {0u, 2u, 3u, 8u, 100u}) {
    ResultList results{u"kept"};
    std::vector<SearchProblem> problems;
    MatchFiles(files, keywords, fileSystem, threads, results, problems);
    ASSERT_EQ(results.size(), expected.size() + 1) << threads;
    EXPECT_EQ(results.front(), u"kept");
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), results.begin() + 1)) << threads;
    ASSERT_EQ(problems.size(), expectedProblems.size());
    for (std::size_t i = 0; i < problems.size(); ++i) {
      EXPECT_EQ(problems[i].path, expectedProblems[i].path);
      EXPECT_EQ(problems[i].error, expectedProblems[i].error);
    }
  }
}

TEST(MatchPool, NumbersHitsPerFile) {
  test::TempTree tree;
  StdFileSystem fileSystem;
  const std::vector<std::filesystem::path> files{tree.Write("a.vek", u"x1\nx2\ny"),
                                                 tree.Write("b.vek", u"yx")};
  for (unsigned threads : {1u, 2u}) {
    ResultList results;
    std::vector<SearchProblem> problems;
    MatchFiles(files, {u"x"}, fileSystem, threads, results, problems);
    EXPECT_EQ(results, (ResultList{u"a.vek(1)：x1", u"a.vek(2)：x2", u"b.vek(1)：yx"}));
  }
}

TEST(MatchPool, ThreadCount) {
  EXPECT_EQ(MatchThreads(4, 2), 2u);
  EXPECT_EQ(MatchThreads(4, 0), 1u);
  EXPECT_EQ(MatchThreads(1, 100), 1u);
  EXPECT_GE(MatchThreads(0, 100), 1u);
}

TEST(MatchPool, RunSearchTakesTheThreadCount) {
  test::TempTree tree;
  for (int f = 0; f < 20; ++f) tree.Write(DataFile(f, 3), u"hit " + Utf8ToUtf16(std::to_string(f)));
  StdFileSystem fileSystem;
  SearchState one, two;
  const SearchOutcome single =
      RunSearch(one, u"hit", PathText(tree.root()), true, fileSystem, {}, {.threads = 1});
  const SearchOutcome pooled =
      RunSearch(two, u"hit", PathText(tree.root()), true, fileSystem, {}, {.threads = 2});
  EXPECT_EQ(HitCount(single.results), 20);
  EXPECT_EQ(single.results, pooled.results);
}

}  // namespace
}  // namespace vek
