// The fast paths (decoding, byte scans, character boundaries, prefilters, slices, the thread
// pool) give exactly what decoding one character at a time and comparing code units gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <ranges>
#include <thread>

#include "byte_search.h"
#include "char_boundary.h"
#include "line_matching.h"
#include "line_number.h"
#include "match_pool.h"
#include "result_sources.h"
#include "test_support.h"
#include "text_convert.h"

namespace vek {
namespace {

using Lines = std::vector<std::u16string>;
using Placed = std::vector<std::pair<std::u16string, std::uint64_t>>;  // line, offset
using Strategy = LineMatcher::Strategy;
using testing::PrintToString;
using namespace std::string_literals;

// Bytes in memory read as a file, `most` bytes a call at most: reads that stop short anywhere.
struct MemoryReader final : FileReader {
  MemoryReader(std::string_view bytes, std::size_t most) : bytes(bytes), most(most) {}
  std::error_code Read(std::span<char> room, std::size_t& got) override {
    got = std::min({room.size(), most, bytes.size()});
    bytes.remove_prefix(std::copy_n(bytes.begin(), got, room.begin()) - room.begin());
    return {};
  }
  std::string_view bytes;
  std::size_t most;
};

Lines Plain(LineMatcher& matcher, std::string_view bytes) {
  Lines hits;
  matcher.MatchPlain(bytes, [&hits](std::u16string_view line) { hits.emplace_back(line); });
  return hits;
}

// The fast hits of a file read whole (slice 0; exactly its size on the heap, at an odd address,
// so that ASan sees any overread) or in slices of `slice` bytes by reads of `most` at most.
Placed Fast(LineMatcher& matcher, std::string_view bytes, std::size_t slice = 0,
            std::size_t most = 0) {
  Placed hits;
  const auto keep = [&hits](auto line, auto at) { hits.emplace_back(line, at); };
  const auto heap = std::make_unique<char[]>(bytes.size() + 1);
  if (slice == 0) matcher.Match({heap.get() + 1, bytes.copy(heap.get() + 1, bytes.size())}, keep);
  MemoryReader reader(bytes, most);
  ReadBuffer buffer;
  EXPECT_FALSE(slice != 0 && matcher.MatchSlices(reader, buffer, slice, keep));
  return hits;
}

Lines LinesOf(const Placed& hits) {
  const auto lines = hits | std::views::keys;
  return {lines.begin(), lines.end()};
}

// The plain hits, at the offsets of their lines, whatever the prefilter piece or the slices.
void ExpectSameAsPlain(const KeywordList& keywords, std::string_view bytes) {
  LineMatcher matcher(keywords);
  std::string shown = PrintToString(bytes);
  for (const std::u16string& keyword : keywords) shown += " [" + Utf16ToUtf8(keyword) + "]";
  const Placed whole = Fast(matcher, bytes);
  ASSERT_EQ(LinesOf(whole), Plain(matcher, bytes)) << shown;
  for (const auto& [line, offset] : whole) {
    const std::string_view rest = bytes.substr(offset);
    ASSERT_EQ(DecodeCp932(rest.substr(0, rest.find_first_of("\r\n"))), line) << shown;
  }
  for (std::size_t piece = 0; piece < matcher.PieceCount(); ++piece) {
    matcher.UsePrefilterPiece(piece);
    ASSERT_EQ(Fast(matcher, bytes), whole) << shown << " piece " << piece;
  }
  for (const auto& [slice, most] : {std::pair{1, 1}, {3, 3}, {5, 2}, {64, 64}})
    ASSERT_EQ(Fast(matcher, bytes, slice, most), whole) << shown << " slice " << slice;
}

// Bytes biased to lead and trail bytes, duplicated codes, unmapped pairs, ASCII and line ends.
std::string RandomBytes(std::mt19937& random, std::size_t most = 120) {
  static const std::string kBytes =
      "\x81\x82\x83\x84\x85\x87\x88\x95\x9F\xE0\xEA\xED\xEE\xFA\xFC"  // leads
      "\x40\x41\x5C\x7E\x7F\x80\x8B\x9E\x9F\xA0\xCA\xF9\xFC\xFD"      // trails
      "aA@\\ \xB1\xDF\xFF\r\n\0"s;
  static const std::string kWords[] = {"\x90\xDD\x92\xE8", "\x81\xCA", "\xEE\xF9", "\xFA\x54",
                                       "\x85\x40",         "\r\n",     "JPEG",     "ASCII runs"};
  std::string bytes;
  for (const std::size_t size = random() % most; bytes.size() < size;) {
    const unsigned kind = random() % 4;
    bytes += kind == 0
                 ? kWords[random() % std::size(kWords)]
                 : std::string(1, kind == 1 ? char(random()) : kBytes[random() % kBytes.size()]);
  }
  return bytes;
}

// Keywords cut from the text of `bytes`, mixed with awkward ones and repeats.
KeywordList RandomKeywords(std::mt19937& random, std::string_view bytes) {
  static const std::u16string kOdd[] = {u"\uFFFD", u"\uFFE2", u"@", u"\\", u"", u"設定", u"€"};
  const std::u16string text = DecodeCp932(bytes);
  KeywordList keywords;
  for (const std::size_t count = 1 + random() % 3; keywords.size() < count;) {
    keywords.push_back(random() % 3 == 0 || text.empty()
                           ? kOdd[random() % std::size(kOdd)]
                           : text.substr(random() % text.size(), 1 + random() % 4));
    if (random() % 8 == 0) keywords.push_back(keywords.back());
  }
  return keywords;
}

// A byte that starts no character is U+FFFD alone, and the next byte is read afresh.
std::u16string DecodeOneByOne(std::string_view bytes) {
  std::u16string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::u16string one = DecodeCp932(bytes.substr(i, 1)),
                         two = DecodeCp932(bytes.substr(i, 2));
    const bool pair = one == u"\uFFFD" && two.size() == 1 && two != u"\uFFFD";
    text += pair ? two : one;
    i += pair;
  }
  return text;
}

// Also: decoding straight to UTF-8 gives the UTF-16 text's UTF-8; a character boundary is exactly
// where decoding the two halves apart gives the whole, and the byte scan finds what a plain search
// finds with vectors of each width.
TEST(FastPath, EqualsPlainMatchingOnRandomInput) {
  std::mt19937 random(20240601);
  for (int round = 0; round < 100000 && !HasFatalFailure(); ++round) {
    const std::string bytes = RandomBytes(random);
    std::u16string text = u"kept";
    AppendCp932(bytes, text);
    ASSERT_EQ(text, u"kept" + DecodeOneByOne(bytes)) << PrintToString(bytes);
    std::string utf8 = "kept";
    AppendCp932AsUtf8(bytes, utf8);
    ASSERT_EQ(utf8, Utf16ToUtf8(text)) << PrintToString(bytes);
    ExpectSameAsPlain(RandomKeywords(random, bytes), bytes);
    const std::size_t from = random() % (bytes.size() + 1);
    const std::string piece = bytes.substr(random() % (bytes.size() + 1), random() % 8);
    for (const unsigned bits : {128u, 256u, 512u})
      ASSERT_EQ(ByteSearcher(piece, bits).Find(bytes, from), bytes.find(piece, from))
          << PrintToString(bytes) << PrintToString(piece) << from << " " << bits;
    for (std::size_t at = 0; round % 16 == 0 && at <= bytes.size(); ++at) {
      const bool apart =
          DecodeCp932(bytes.substr(0, at)) + DecodeCp932(bytes.substr(at)) == DecodeCp932(bytes);
      ASSERT_EQ(Cp932Boundaries::Get().IsBoundary(bytes, 0, at), apart)
          << PrintToString(bytes) << at;
    }
  }
}

// Past the first MiB, which the matcher samples to pick its piece: no piece a byte search can
// find, a one-byte piece (∵ has three codes), one long piece, several pieces.
TEST(FastPath, EachPrefilterShapeGivesThePlainHitsPastTheSample) {
  std::mt19937 random(77);
  const std::string marks[] = {"\x81\xE6\x61\x87\x9A", "\xFA\x5B\x61\x81\xE6", "ab",
                               "\xFA\x54"};  // ∵a∵
  std::string bytes;
  for (int line = 0; bytes.size() < (1 << 20) + 300000; ++line) {
    bytes += RandomBytes(random, 60) + "\x90\xDD\x92\xE8" + (line % 97 ? "" : marks[line / 97 % 4]);
    bytes += RandomBytes(random, 60) + "\r\n";
  }
  const std::tuple<KeywordList, Strategy, std::size_t> shapes[] = {
      {{u"\uFFE2"}, Strategy::kEveryLine, 0},
      {{u"∵a∵"}, Strategy::kPrefilter, 1},
      {{u"設定"}, Strategy::kPrefilter, 1},
      {{u"ab", u"設定", u"\uFFE2"}, Strategy::kPrefilter, 2},
  };
  for (const auto& [keywords, strategy, pieces] : shapes) {
    LineMatcher plain(keywords), whole(keywords), sliced(keywords);
    ASSERT_EQ(std::pair(whole.strategy(), whole.PieceCount()), std::pair(strategy, pieces));
    const Lines expected = Plain(plain, bytes);
    EXPECT_GE(expected.size(), 10u);
    EXPECT_EQ(LinesOf(Fast(whole, bytes)), expected);
    EXPECT_EQ(LinesOf(Fast(sliced, bytes, 65536, 40000)), expected);
  }
  // The longest piece leads until the sample shows that 設定 is everywhere and "ab" is rare.
  LineMatcher matcher({u"ab", u"設定"});
  EXPECT_EQ(matcher.Piece(matcher.PrefilterPiece()), "\x90\xDD\x92\xE8");
  Fast(matcher, bytes);
  EXPECT_EQ(matcher.Piece(matcher.PrefilterPiece()), "ab");
}

// A line of up to the longest a search takes is read whole, however it is carried from slice
// to slice; one byte more ends the file's reading there, with the hits before it.
TEST(LineMatcher, TakesLinesUpToTheLongestAndKeepsTheHitsBeforeALongerOne) {
  const std::string ten(10, 'x');
  const std::tuple<std::string, Lines, bool> cases[] = {
      {"x\n" + ten + "\r\nx", {u"x", u"xxxxxxxxxx", u"x"}, false},
      {"xxx\n" + ten + "\r\r", {u"xxx", u"xxxxxxxxxx"}, false},
      {ten + "x\nx", {}, true},
      {"x\r\n" + ten + "xx", {u"x"}, true},
      {"x\n" + ten + "x\r\nx", {u"x"}, true},
  };
  for (const auto& [bytes, lines, tooLong] : cases) {
    for (const std::size_t most : {1, 3, 7, 64}) {
      LineMatcher matcher({u"x"});
      MemoryReader reader(bytes, most);
      ReadBuffer buffer;
      Lines hits;
      const std::error_code error = matcher.MatchSlices(
          reader, buffer, 4, [&hits](std::u16string_view line) { hits.emplace_back(line); }, 10);
      EXPECT_EQ(std::pair(hits, error),
                std::pair(lines, tooLong ? LineTooLong() : std::error_code()))
          << PrintToString(bytes) << " read " << most;
    }
  }
}

// Each line holding "x" tells its own number, found again from the result's source in any
// slice size (CR LF across a slice edge included).
TEST(LineNumberAt, CountsLineEndsAsTheMatcherSplitsLinesAtEachResultsSource) {
  test::TempTree tree;
  StdFileSystem fileSystem;
  LineMatcher matcher({u"x"});
  ResultSources sources;
  ResultList lines;
  int files = 0;
  for (const std::string_view bytes :
       {"x1\r\nx2\nx3\rx4", "\r\n\r\nx3\r\rx5\n\nx7\r\n", "x1\n\rx3\r\n\nx5", "", "\rx2"}) {
    FileResults file;
    file.path = tree.WriteBytes(std::to_string(++files) + ".vek", bytes);
    for (auto& [line, offset] : Fast(matcher, bytes)) {
      file.lines.push_back(line);
      file.offsets.push_back(offset);
    }
    sources.Add(file, lines);
  }
  ASSERT_EQ(lines.size(), 11u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto source = sources.Find(i).value();
    for (const std::size_t slice : {1, 2, 3, 64})
      EXPECT_EQ(LineNumberAt(fileSystem, *source.file, source.offset, slice), lines[i][1] - u'0')
          << i;
  }
  EXPECT_FALSE(sources.Find(lines.size()));
  // Gone, or shorter than when it was searched: no number.
  EXPECT_EQ(LineNumberAt(fileSystem, *sources.Find(0)->file, 100), std::nullopt);
  EXPECT_EQ(LineNumberAt(fileSystem, tree / "missing.vek", 0), std::nullopt);
}

// Any thread count gives the single thread's results and problems, both in file order.
TEST(MatchPool, AnyThreadCountGivesTheSameResultsAndProblems) {
  test::TempTree tree;
  test::FaultyFileSystem fileSystem;
  std::vector<std::filesystem::path> files;
  std::mt19937 random(5);
  for (int f = 0; f < 150; ++f) {
    files.push_back(
        tree.WriteBytes(std::to_string(f % 4) + "/" + std::to_string(f) + ".vek",
                        RandomBytes(random) + EncodeCp932(u"\r\nアイ\r\n") + RandomBytes(random)));
    if (f % 13 == 5) fileSystem.unreadable.insert(files.back());
    if (f % 50 == 7) fileSystem.endless.insert(files.back());
  }
  files.push_back(tree / "missing.vek");

  std::vector<NativePath> paths;
  for (const std::filesystem::path& file : files) paths.push_back(file.native());

  // Tiny slices and few jobs in flight, so that delivery and the wait for room interleave.
  // Every open counts as slow, so that with I/O threads the pool grows as far as it may.
  // A sink that holds the first file until most are matched makes the matching thread
  // make the result lines itself (in whole slices: pieces would wait for the sink).
  using Problems = std::vector<std::pair<std::filesystem::path, std::error_code>>;
  const auto matchFiles = [&](unsigned threads, unsigned ioThreads, bool held = false) {
    std::pair<ResultList, Problems> out;
    SearchProgress progress;
    MatchPool pool({u"ア"}, fileSystem,
                   {.threads = threads,
                    .ioThreads = ioThreads,
                    .slowOpen = {},
                    .sliceBytes = held ? std::size_t{1} << 20 : 5,
                    .progress = &progress},
                   [&](FileResults& file) {
                     while (held && out.first.empty() && progress.filesSearched < 140)
                       std::this_thread::yield();
                     if (file.error) out.second.emplace_back(file.path, file.error);
                     out.first.insert(out.first.end(), file.lines.begin(), file.lines.end());
                   });
    // Handed over in runs of 1 to 7 files, as folders of different sizes would; all at once
    // when held, so that the matching thread never has to deliver.
    const std::span<const NativePath> all(paths);
    for (std::size_t at = 0, n = held ? all.size() : 1; at < all.size(); at += n, n = n % 7 + 1)
      pool.Add(all.subspan(at, std::min(n, all.size() - at)));
    pool.Finish();
    return out;
  };
  const auto expected = matchFiles(1, 0);
  ASSERT_GE(expected.first.size(), 50u);
  ASSERT_EQ(expected.second.size(), 15u);
  // A line too long for memory is a problem of its file alone.
  EXPECT_EQ(expected.second[1],
            std::pair(files[7], std::make_error_code(std::errc::not_enough_memory)));
  ASSERT_EQ(matchFiles(1, 0, true), expected);
  for (int round = 0; round < 100; ++round)  // a lost wake-up may hang only now and then
    for (const auto& [threads, ioThreads] :
         {std::pair{0u, 0u}, {2u, 0u}, {3u, 0u}, {100u, 0u}, {1u, 16u}, {2u, 9u}})
      ASSERT_EQ(matchFiles(threads, ioThreads), expected)
          << threads << " threads, " << ioThreads << " for I/O";
}

// A file's hits go on piece by piece while it is read. When the files behind it are all matched
// by then, its own thread makes its last piece's lines, numbered on from the pieces before.
TEST(MatchPool, NumbersOnTheLastPieceOfAFileWhoseThreadMakesItsLines) {
  test::TempTree tree;
  std::string hits;
  for (int i = 0; i < 1001; ++i) hits += "x\n";
  hits.pop_back();  // the last hit is taken after the end is read: alone in the last piece
  std::vector<NativePath> paths{tree.WriteBytes("0.vek", hits).native()};
  for (int i = 1; i <= 300; ++i)
    paths.push_back(tree.WriteBytes(std::to_string(i) + ".vek", "y").native());
  SearchProgress progress;
  // The first file's end is read once the other files are matched (a guard of 10 s apart).
  struct HeldEnd final : FileReader {
    std::unique_ptr<FileReader> file;
    const SearchProgress& progress;
    HeldEnd(std::unique_ptr<FileReader> file, const SearchProgress& progress)
        : file(std::move(file)), progress(progress) {}
    std::error_code Read(std::span<char> room, std::size_t& got) override {
      const std::error_code error = file->Read(room, got);
      for (int i = 0; got == 0 && i < 10000 && progress.filesSearched < 300; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return error;
    }
  };
  struct Held final : StdFileSystem {
    const NativePath& first;
    const SearchProgress& progress;
    Held(const NativePath& first, const SearchProgress& progress)
        : first(first), progress(progress) {}
    std::error_code Open(const NativePath& file, std::unique_ptr<FileReader>& reader) override {
      const std::error_code error = StdFileSystem::Open(file, reader);
      if (!error && file == first) reader = std::make_unique<HeldEnd>(std::move(reader), progress);
      return error;
    }
  } fileSystem(paths[0], progress);
  Lines lines;
  MatchPool pool({u"x"}, fileSystem,
                 {.threads = 2, .ioThreads = 0, .sliceBytes = 256, .progress = &progress},
                 [&lines](FileResults& file) {
                   lines.insert(lines.end(), file.lines.begin(), file.lines.end());
                 });
  pool.Add(paths);
  pool.Finish();
  ASSERT_EQ(lines.size(), 1001u);
  for (std::size_t i = 0; i < lines.size(); ++i)
    ASSERT_EQ(lines[i], u"0.vek(" + Utf8ToUtf16(std::to_string(i + 1)) + u")：x");
}

}  // namespace
}  // namespace vek
