#include <gtest/gtest.h>

#include <string>

#include "rtf.h"
#include "rtf_reader.h"

namespace vek {
namespace {

using test::ReadRtf;
using namespace std::string_literals;

constexpr std::string_view kHeader =
    "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 "
    "\\'83\\'53\\'83\\'56\\'83\\'62\\'83\\'4e;}}\r\n";
constexpr std::string_view kColourTable = "{\\colortbl ;\\red255\\green0\\blue0;}\r\n";
constexpr std::string_view kBodyStart = "\\viewkind4\\uc1\\pard\\lang1041\\f0\\fs18 ";
constexpr std::string_view kEnd = "\r\n\\par }\r\n";

std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (std::string_view part : parts) s += part;
  return s;
}

// The document as the result box shows it, red runs in brackets.
std::u16string Shown(std::u16string_view text, const KeywordList& keywords) {
  return ReadRtf(HighlightKeywords(WriteRtf(text), keywords)).Marked();
}

TEST(ResultText, JoinsLinesWithCrLfAndEndsWithTheTrailingEmptyElement) {
  EXPECT_EQ(ResultText({u"a(1)：x", u"b(1)：y", u""}), u"a(1)：x\r\nb(1)：y\r\n");
  EXPECT_EQ(ResultText({u""}), u"");
}

TEST(WriteRtf, WritesTheDesignTimeHeaderAndEnd) {
  EXPECT_EQ(WriteRtf(u""), Concat({kHeader, kBodyStart, kEnd}));
  EXPECT_EQ(WriteRtf(u"a\r\n"), Concat({kHeader, kBodyStart, "a\\par\r\n", kEnd}));
}

TEST(WriteRtf, EscapesEachKindOfCharacterAsTheBoxsWriterDoes) {
  EXPECT_EQ(WriteRtf(u"\\{}"), Concat({kHeader, kBodyStart, "\\\\\\{\\}", kEnd}));
  // Lead byte first, lower-case hex, even for a trail byte in the ASCII range (ソ is 83 5C).
  EXPECT_EQ(WriteRtf(u"Ｍソ"), Concat({kHeader, kBodyStart, "\\'82\\'6c\\'83\\'5c", kEnd}));
  EXPECT_EQ(WriteRtf(u"ｶ"), Concat({kHeader, kBodyStart, "\\'b6", kEnd}));
  // Outside CP932: one signed 16-bit \uN? per code unit.
  EXPECT_EQ(WriteRtf(u"é😀"), Concat({kHeader, kBodyStart, "\\u233?\\u-10179?\\u-8704?", kEnd}));
}

TEST(WriteRtf, ReadsBackAsExactlyTheText) {
  const std::u16string texts[] = {
      u"",
      u"plain ascii",
      u"a\r\nb\r\n",
      u"\r\n\r\n",
      u"line\r\n 12 leading space and digits\r\n",  // what follows \par stays text
      u"ｶﾀｶﾅﾞ 日本語 ①～－ 表示 ソ \\ { } ",
      u"lone\rCR and lone\nLF, LF CR\n\r",
      u"tab\tnul\0ctl\x1b del\x7f"s,
      u"é 😀 \xD800 lone \xDC00 surrogates \xFFFD \xFEFF",
      u"\\par \\'82\\'6c {\\b not markup}",
      u"ends without line end",
  };
  for (const std::u16string& text : texts) {
    const test::RtfText doc = ReadRtf(WriteRtf(text));
    EXPECT_EQ(doc.DocumentText(), text);
    EXPECT_TRUE(doc.endsWithParagraphMark);
  }
}

TEST(ResultRtfPiece, PiecesInOrderHoldTheHighlightedDocumentsBody) {
  const ResultList results = {u"a(1)：red x", u"b(1)：y", u"c(1)：\\par red", u""};
  const KeywordList keywords = {u"red"};
  const std::string head = Concat({kHeader, kColourTable, kBodyStart});
  const auto body = [&head](const std::string& piece) {
    EXPECT_TRUE(piece.starts_with(head) && piece.ends_with("\\par\r\n}\r\n")) << piece;
    return piece.substr(head.size(), piece.size() - head.size() - 3);
  };
  EXPECT_EQ(HighlightKeywords(WriteRtf(ResultText(results)), keywords),
            head + body(ResultRtfPiece(results, 0, 1, keywords)) +
                body(ResultRtfPiece(results, 1, 3, keywords)) + std::string(kEnd));
}

TEST(HighlightKeywords, InsertsTheColourTableBeforeTheBodyOnly) {
  // "\viewkind" in the text is escaped by the writer and must not get a table of its own.
  EXPECT_EQ(HighlightKeywords(WriteRtf(u"\\viewkind4"), {}),
            Concat({kHeader, kColourTable, kBodyStart, "\\\\viewkind4", kEnd}));
}

TEST(HighlightKeywords, WritesRedRunsWithASpaceAfterBothSwitches) {
  EXPECT_EQ(HighlightKeywords(WriteRtf(u"x123x"), {u"123"}),
            Concat({kHeader, kColourTable, kBodyStart, "x\\cf1 123\\cf0 x", kEnd}));
}

TEST(HighlightKeywords, ColoursEveryOccurrenceOverItsWholeLength) {
  EXPECT_EQ(Shown(u"xabcdx abc\r\n", {u"abc", u"abcd"}), u"x[abcd]x [abc]\r\n\r\n");
  EXPECT_EQ(Shown(u"aaa baab", {u"aa"}), u"[aaa] b[aa]b\r\n");
  EXPECT_EQ(Shown(u"ab ab", {u"ab", u"", u"ab"}), u"[ab] [ab]\r\n");
  EXPECT_EQ(Shown(u"ab", {u"", u""}), u"ab\r\n");
}

TEST(HighlightKeywords, NeverMatchesMarkupOrAcrossLines) {
  // Keywords that spell the header's and the body's control words colour only the text.
  const KeywordList markup = {u"par", u"red", u"ansi", u"fonttbl", u"viewkind", u"f0", u"cf"};
  EXPECT_EQ(Shown(u"a.vek(1)：par red\r\nx\r\n", markup), u"a.vek(1)：[par] [red]\r\nx\r\n\r\n");
  EXPECT_EQ(Shown(u"a\r\nb", {u"ab"}), u"a\r\nb\r\n");
  // Ｍ also stands in the font name as \'82\'6c; the header must stay as it is.
  const std::string rtf = HighlightKeywords(WriteRtf(u"ＭＳ"), {u"Ｍ"});
  EXPECT_EQ(rtf.substr(0, kHeader.size()), kHeader);
  EXPECT_EQ(ReadRtf(rtf).Marked(), u"[Ｍ]Ｓ\r\n");
}

TEST(HighlightKeywords, FindsCharactersHoweverTheyAreEscaped) {
  // ソ and 表 end in the byte of "\"; only the real backslash is one.
  EXPECT_EQ(Shown(u"ソ表\\", {u"\\"}), u"ソ表[\\]\r\n");
  EXPECT_EQ(Shown(u"{a} ｶﾀｶﾅ Ｍ 😀", {u"{a}", u"ﾀｶ", u"😀", u"Ｍ"}), u"[{a}] ｶ[ﾀｶ]ﾅ [Ｍ] [😀]\r\n");
  EXPECT_EQ(Shown(u"(1)：x", {u"1"}), u"([1])：x\r\n");
}

// RTF as another writer could produce it: a trail byte left raw, a double-byte character
// split by a source line break, \uN with a two-byte fallback, groups, destinations, \line,
// and a colour of its own.
constexpr std::string_view kForeign =
    "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0 red;}}\r\n"
    "{\\*\\generator red par;}{\\info{\\title red}}\r\n"
    "\\viewkind4\\uc1\\pard\\f0 \\'83\\\\\\'82\r\nl r{\\b e}d \\uc2\\u12354\\'82\r\n\\'a0 "
    "\\cf2 red\\cf0\\line red\\par\r\n}";

TEST(HighlightKeywords, WorksOnAnyWritersRtf) {
  const std::string rtf = HighlightKeywords(kForeign, {u"red", u"\\", u"Ｍ", u"あ"});
  const test::RtfText before = ReadRtf(kForeign);
  const test::RtfText after = ReadRtf(rtf);
  ASSERT_EQ(before.text, u"ソＭ red あ red\vred\r\n");
  EXPECT_EQ(after.Marked(), u"ソ[Ｍ] [red] [あ] [red]\v[red]\r\n");
  // Outside the red runs each character keeps the document's own colour.
  for (std::size_t i = 0; i < after.text.size(); ++i) {
    if (!after.IsRed(i)) {
      EXPECT_EQ(after.colour[i], before.colour[i]) << i;
    }
  }
  // Nothing but the colour table and the switches was added.
  std::string stripped = rtf;
  for (std::string_view added : {kColourTable, std::string_view("\\cf1 "),
                                 std::string_view("\\cf0 "), std::string_view("\\cf2 ")}) {
    for (std::size_t at; (at = stripped.find(added)) != std::string::npos;) {
      stripped.erase(at, added.size());
    }
  }
  std::string original(kForeign);
  original.replace(original.find("\\cf2 "), 5, "");
  EXPECT_EQ(stripped, original);
}

TEST(HighlightKeywords, KeepsRunsRedAcrossGroups) {
  const std::string_view rtf = "{\\rtf1\\viewkind4 ab{\\b cd}ef{\\i g}h}";
  EXPECT_EQ(ReadRtf(HighlightKeywords(rtf, {u"bcde"})).Marked(), u"a[bcde]fgh");
  EXPECT_EQ(ReadRtf(HighlightKeywords(rtf, {u"abc"})).Marked(), u"[abc]defgh");
  EXPECT_EQ(ReadRtf(HighlightKeywords(rtf, {u"fgh"})).Marked(), u"abcde[fgh]");
}

TEST(HighlightKeywords, WritesNothingWhereAFallbackWouldSwallowIt) {
  // A \uN whose fallback a brace or the end cuts short skips what comes next, so the switch
  // back must wait for the next character.
  EXPECT_EQ(ReadRtf(HighlightKeywords("{\\viewkind4 \\u12354{e}f}", {u"あ"})).Marked(), u"[あ]ef");
  const std::string atEnd = HighlightKeywords("{\\viewkind4 \\u12354\\", {u"あ"});
  EXPECT_TRUE(atEnd.ends_with("\\cf1 \\u12354\\")) << atEnd;
}

}  // namespace
}  // namespace vek
