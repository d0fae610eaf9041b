// Text: CP932 against glibc's iconv, UTF-8, where keywords occur; and what the window
// computes without a window: its layout in twips and the texts it shows.
#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <limits>
#include <map>

#include "count_format.h"
#include "layout.h"
#include "messages.h"
#include "status_text.h"
#include "test_support.h"
#include "text_convert.h"

namespace vek {
namespace {

using namespace std::literals;
using MaybeBytes = std::optional<std::string>;
using testing::PrintToString;

std::string Hex(const MaybeBytes& bytes) {
  std::string out = bytes ? "" : "none";
  for (unsigned char c : bytes.value_or(""))
    out += {"0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 15]};
  return out;
}

MaybeBytes Encoded(char16_t ch) {
  const Cp932Code code = EncodeCp932(ch);
  return code.size ? MaybeBytes({reinterpret_cast<const char*>(code.bytes), code.size})
                   : std::nullopt;
}

// One strict conversion through glibc's iconv; nullopt when it rejects the input.
MaybeBytes Convert(iconv_t cd, std::string in) {
  char buffer[16];
  char *inPtr = in.data(), *outPtr = buffer;
  std::size_t inLeft = in.size(), outLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
    return std::nullopt;
  return std::string(buffer, outPtr);
}

// Every byte, pair and code unit. glibc lacks Windows' single bytes 80, A0, FD-FF and encodes
// what Windows cannot (its best fits for U+00A5, U+203E, U+2014); the rest is the same. A
// unique code is one that alone decodes to its character.
TEST(Cp932Table, AgreesWithGlibcIconvApartFromKnownDifferences) {
  using Iconv = std::unique_ptr<void, int (*)(iconv_t)>;
  const Iconv decoder(iconv_open("UTF-16LE", "CP932"), &iconv_close),
      encoder(iconv_open("CP932", "UTF-16LE"), &iconv_close);
  if (decoder.get() == iconv_t(-1) || encoder.get() == iconv_t(-1)) GTEST_SKIP() << "no CP932";
  const auto utf16le = [](char16_t c) { return std::string{char(c & 0xFF), char(c >> 8)}; };
  std::map<std::string, std::string> differences;  // input -> "ours glibc"
  std::map<char16_t, int> sources;
  const auto decode = [&](const std::string& bytes) {
    const std::u16string text = DecodeCp932(bytes);
    const bool one = text.size() == 1 && text[0] != u'\uFFFD';  // exactly one character
    if (one) ++sources[text[0]];
    const MaybeBytes ours = one ? MaybeBytes(utf16le(text[0])) : std::nullopt;
    if (const MaybeBytes glibc = Convert(decoder.get(), bytes); glibc != ours)
      differences[Hex(bytes)] = Hex(ours) + " " + Hex(glibc);
    return one;
  };
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    if (!decode(one))
      for (int t = 0; t < 256; ++t) decode(one + static_cast<char>(t));
  }
  for (unsigned c = 0; c <= 0xFFFF; ++c) {
    const auto ch = static_cast<char16_t>(c);
    ASSERT_EQ(HasUniqueCp932Code(ch), sources[ch] == 1) << c;
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (const MaybeBytes glibc = Convert(encoder.get(), utf16le(ch)); glibc != Encoded(ch))
      differences["U+" + Hex(std::string{static_cast<char>(c >> 8), static_cast<char>(c)})] =
          Hex(Encoded(ch)) + " " + Hex(glibc);
  }
  const std::map<std::string, std::string> expected = {
      {"80", "8000 none"},     {"A0", "F0F8 none"},   {"FD", "F1F8 none"},   {"FE", "F2F8 none"},
      {"FF", "F3F8 none"},     {"U+0080", "80 none"}, {"U+F8F0", "A0 none"}, {"U+F8F1", "FD none"},
      {"U+F8F2", "FE none"},   {"U+F8F3", "FF none"}, {"U+00A5", "none 5C"}, {"U+203E", "none 7E"},
      {"U+2014", "none 815C"},
  };
  EXPECT_EQ(differences, expected);
}

TEST(Cp932Encode, UnencodableCharactersAndSurrogatesAreOneQuestionMark) {
  const std::pair<std::u16string_view, std::string> cases[] = {
      {u"aあｱ日本", "a\x82\xA0\xB1\x93\xFA\x96\x7B"},
      {u"€x", "?x"},
      {u"\U0001F600", "?"},
      {u"a\xD83D-", "a?-"},                   // lone high
      {u"\xDE00\xD83D", "??"},                // low before high: two lone ones
      {u"\xD83D\xD83D\xDE00", "??"},          // lone high, then a pair
      {u"\xD83D\xDE00"sv.substr(0, 1), "?"},  // high at the end, even before a low
      // Both ends of both surrogate ranges, then just outside them: each one alone.
      {u"\xD800\xDC00\xDBFF\xDFFF", "??"},
      {u"\xD7FF\xDC00\xD800\xDBFF\xD800\xE000", "?????\xF0\x40"},
  };
  for (const auto& [text, bytes] : cases)
    EXPECT_EQ(std::pair(EncodeCp932(text), Cp932ByteLength(text)), std::pair(bytes, bytes.size()));
}

// Each code point at both ends of each UTF-8 length and around the surrogates, both ways.
TEST(TextConvert, Utf8AndUtf16BothWays) {
  const std::pair<std::string_view, std::u16string_view> valid[] = {
      {"a\x7F", u"a\x7F"},
      {"\xC2\x80\xC2\xBF\xDF\xBF", u"\x80\xBF\x7FF"},
      {"\xE0\xA0\x80\xE1\x80\x80\xEC\xBF\xBF", u"\x800\x1000\xCFFF"},
      {"\xED\x80\x80\xED\x9F\xBF\xEE\x80\x80\xEE\xBF\xBF", u"\xD000\xD7FF\xE000\xEFFF"},
      {"\xEF\xBF\xBF\xEF\xBF\xBD", u"\xFFFF\uFFFD"},
      {"\xF0\x90\x80\x80\xF0\x9F\x98\x80", u"\U00010000\U0001F600"},
      {"\xF1\x80\x80\x80\xF3\xBF\xBF\xBF\xF4\x8F\xBF\xBF", u"\U00040000\U000FFFFF\U0010FFFF"},
  };
  for (const auto& [utf8, utf16] : valid) {
    EXPECT_EQ(Utf8ToUtf16(utf8), utf16) << PrintToString(utf8);
    EXPECT_EQ(Utf16ToUtf8(utf16), utf8) << PrintToString(utf8);
  }
  // Lone surrogates are written as U+FFFD; escaped bytes (U+DC80 to U+DCFF) as themselves.
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x\xDC00\xDC7F\xDC80\xDCFF\xDD00\xDFFF\xDBFF\xE000\xD800\xDBFF"),
            "\uFFFDx\uFFFD\uFFFD\x80\xFF\uFFFD\uFFFD\uFFFD\uE000\uFFFD\uFFFD");
  // Each invalid piece of UTF-8 is U+FFFD, and nothing after it is lost.
  const std::pair<std::string_view, std::u16string_view> invalid[] = {
      {"\x82\xa0!", u"\uFFFD\uFFFD!"},                    // CP932 bytes on Linux
      {"\xC0\xAF\xC1\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong
      {"\xC2\x7F\xC2\xC0", u"\uFFFD\x7F\uFFFD\uFFFD"},    // no continuation byte
      {"\xE0\x9F\xBF", u"\uFFFD\uFFFD\uFFFD"},            // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
      {"\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong
      {"\xE3\x81", u"\uFFFD"},                            // cut short at the end
      {"\xF0\x90\x80z", u"\uFFFDz"},                      // or before the next character
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const auto& [bytes, expected] : invalid)
    EXPECT_EQ(Utf8ToUtf16(bytes), expected) << PrintToString(bytes);
  // A name that is not UTF-8 keeps its bytes.
  const std::string name = "\x82\xa0\xE3\x81\x82\xFF\xE3\x81.vek\x80";
  EXPECT_EQ(BytesToUtf16(name), u"\xDC82\xDCA0\u3042\xDCFF\xDCE3\xDC81.vek\xDC80");
  std::string out = "head:";
  AppendUtf8(BytesToUtf16(name), out);
  EXPECT_EQ(out, "head:" + name);
}

// Keyword box and folder box widths, search and "..." button lefts, result box width, count
// label left, result box height (-1: left as it is).
TEST(ComputeLayout, FollowsTheWindowsSize) {
  using Flat = std::array<double, 7>;
  const std::tuple<double, double, double, Flat> cases[] = {
      // width, height, status bar
      // 640 x 480 pixels: buttons and result box end 360 twips before the right edge.
      {9600, 7200, 315, {8085, 8565, 8385, 8865, 9090, 8175, 4515}},
      {9600, 7200, 330, {8085, 8565, 8385, 8865, 9090, 8175, 4500}},
      // Too narrow: widths are zero, never negative; the lefts follow the formulas.
      {400, 7200, 315, {0, 0, -815, -335, 0, -915, 4515}},
      {1260, 7200, 315, {0, 225, 45, 525, 750, -165, 4515}},
      // Fractional twips round to even, except the result box's width.
      {9600.5, 7200.5, 315, {8085, 8565, 8385, 8865, 9090.5, 8175.5, 4516}},
      {9601.5, 7201.5, 315, {8087, 8567, 8387, 8867, 9091.5, 8176.5, 4516}},
      // No room below the result box (1770 + 315 + 600 = 2685), or one twip.
      {9600, 2685, 315, {8085, 8565, 8385, 8865, 9090, 8175, -1}},
      {9600, 2684.6, 315, {8085, 8565, 8385, 8865, 9090, 8175, -1}},
      {9600, 2686, 315, {8085, 8565, 8385, 8865, 9090, 8175, 1}},
  };
  for (const auto& [width, height, bar, expected] : cases) {
    const auto l =
        ComputeLayout({.windowWidth = width, .windowHeight = height, .statusBarHeight = bar});
    ASSERT_TRUE(l);
    EXPECT_EQ((Flat{l->txtKeyWordWidth, l->txtFilePathWidth, l->cmdSearchLeft, l->cmdDirectoryLeft,
                    l->rtbSearchResultWidth, l->lblSearchCountLeft,
                    l->rtbSearchResultHeight.value_or(-1)}),
              expected)
        << width << " x " << height;
  }
  EXPECT_FALSE(ComputeLayout({.windowWidth = 0, .windowHeight = 0, .minimised = true}));
  EXPECT_EQ(TwipsToPixels(9600, 144), 960);  // 150 %: as large to the eye
  EXPECT_EQ(TwipsToPixels(-315, 96), -21);
  EXPECT_DOUBLE_EQ(PixelsToTwips(100, 168), 100 * 1440.0 / 168);
}

TEST(ShownTexts, MessagesAndStatusTextsWithTheLocaleSeparator) {
  using Style = std::pair<std::uint8_t, unsigned>;
  for (const auto& [kind, style] :
       {Style{kKindCritical, 16}, Style{kKindQuestion, 52}, Style{kKindExclamation, 48},
        Style{kKindInformation, 64}, Style{0, 0}, Style{5, 0}})
    EXPECT_EQ(MessageStyle(kind), style);
  EXPECT_EQ(MessageText(kMsgPathWrong), kMsgPathWrong);
  EXPECT_EQ(MessageText(u"a", u"b"), u"a\r\nb");

  std::vector<ProblemLine> problems;
  EXPECT_EQ(ProblemReportText(problems), u"");
  for (char16_t c = u'a'; c <= u'c'; ++c) problems.push_back({{u'/', c}, u"denied"});
  const std::u16string heading = u"次のフォルダまたはファイルを読み込めませんでした。\r\n";
  EXPECT_EQ(ProblemReportText(problems, 3), heading + u"/a: denied\r\n/b: denied\r\n/c: denied");
  EXPECT_EQ(ProblemReportText(problems, 1), heading + u"/a: denied\r\nほか 2 件");
  EXPECT_EQ(ProblemReportText(problems, 0), heading + u"ほか 3 件");

  EXPECT_EQ(FormatHitCount(0), u"0問");
  EXPECT_EQ(FormatHitCount(1234567, u"."), u"1.234.567問");
  EXPECT_EQ(FormatHitCount(1234567, u""), u"1234567問");
  EXPECT_EQ(FormatHitCount(std::int64_t{1} << 32), u"4,294,967,296問");
  EXPECT_EQ(FormatHitCount(std::numeric_limits<std::int64_t>::min()),
            u"-9,223,372,036,854,775,808問");
  EXPECT_EQ(WalkStatusText(12345, u"."), u"ファイル収集中：12.345件");
  EXPECT_EQ(MatchStatusText(1000, 12345, std::int64_t{5} << 32, u","),
            u"検索中：1,000／12,345ファイル　ヒット21,474,836,480件");
  EXPECT_EQ(FillStatusText(2000, 52062, u","), u"表示中：2,000／52,062件");
  EXPECT_EQ(ShownLinesText(DisplayCut::Cancelled, 2000, 52062, u","),
            u"表示を中止：52,062件中2,000件を表示");
  EXPECT_EQ(ShownLinesText(DisplayCut::Bound, 25000, 1181128, u","),
            u"表示の上限：1,181,128件中25,000件を表示");
  EXPECT_EQ(ShownLinesText(DisplayCut::None, 52062, 52062, u","), u"");
  EXPECT_EQ(SummaryStatusText(8192, 2349, false, u","), u"検索完了：8,192ファイル　2.3秒");
  EXPECT_EQ(SummaryStatusText(3, 1234951, true, u","),
            u"収集を中止：見つけた3ファイルのみ検索　1,235.0秒");
  EXPECT_EQ(SummaryStatusText(0, 0, false, u","), u"検索完了：0ファイル　0.0秒");
  EXPECT_EQ(LineSourceText(u"C:\\d\\a.vek", 12345, u","), u"C:\\d\\a.vek　12,345行目");
  EXPECT_EQ(LineSourceText(u"C:\\d\\a.vek", std::nullopt, u","), u"C:\\d\\a.vek");
  // Only when nothing was found with a full-width space inside a keyword.
  const std::u16string hint =
      u"キーワードの区切りは半角スペースです（全角スペースは区切りになりません）";
  EXPECT_EQ(FullWidthSpaceHint({u"a", u"b　"}, 0), hint);
  EXPECT_EQ(FullWidthSpaceHint({u"ファイル　システム"}, 1), u"");
  EXPECT_EQ(FullWidthSpaceHint({u"ファイル", u"システム"}, 0), u"");
}

}  // namespace
}  // namespace vek
