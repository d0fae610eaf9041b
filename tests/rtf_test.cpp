// The result box's RTF: the writer, and the keyword highlighting on the writer's documents
// and on other writers' RTF.
#include <gtest/gtest.h>

#include <string>

#include "keyword_ranges.h"
#include "rtf.h"

namespace vek {
namespace {

using namespace std::string_literals;

constexpr std::string_view kHeader =
    "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 "
    "\\'83\\'53\\'83\\'56\\'83\\'62\\'83\\'4e;}}\r\n";
constexpr std::string_view kColourTable = "{\\colortbl ;\\red255\\green0\\blue0;}\r\n";
constexpr std::string_view kBodyStart = "\\viewkind4\\uc1\\pard\\lang1041\\f0\\fs18 ";
constexpr std::string_view kEnd = "\r\n\\par }\r\n";

std::string Document(std::string_view body, std::string_view colourTable = "") {
  return std::string(kHeader).append(colourTable).append(kBodyStart).append(body).append(kEnd);
}

// What the writer writes for `text` between the header and the end.
std::string Body(std::u16string_view text) {
  const std::string rtf = WriteRtf(text);
  const std::size_t at = kHeader.size() + kBodyStart.size();
  return rtf.substr(at, rtf.size() - at - kEnd.size());
}

// The writer's document for `marked`, red where it is in brackets.
std::string Highlighted(std::u16string_view marked) {
  std::string body;
  for (std::size_t at = 0, end = 0; at <= marked.size(); at = end + 1) {
    end = std::min(marked.find_first_of(u"[]", at), marked.size());
    body += Body(marked.substr(at, end - at));
    if (end < marked.size()) body += marked[end] == u'[' ? "\\cf1 " : "\\cf0 ";
  }
  return Document(body, kColourTable);
}

TEST(WriteRtf, WritesEachKindOfCharacterAsTheBoxsWriterDoesAndTheHighlighterReadsIt) {
  const std::pair<std::u16string_view, std::string_view> cases[] = {
      {u"", ""},
      {u"a\r\n 1", "a\\par\r\n 1"},
      {u"\\{}", "\\\\\\{\\}"},
      // Lead byte first, lower-case hex, even for a trail byte in the ASCII range (ソ is 83 5C).
      {u"Ｍソｶ", "\\'82\\'6c\\'83\\'5c\\'b6"},
      {u"\t\x1b\r\x1f \x7e\x7f\x80", "\\tab \\'1b\\'0d\\'1f ~\\'7f\\'80"},
      // Outside CP932, or only a best fit (¢ as ￠): one signed 16-bit \uN? per code unit.
      {u"é😀¢", "\\u233?\\u-10179?\\u-8704?\\u162?"},
  };
  for (const auto& [text, body] : cases) EXPECT_EQ(WriteRtf(text), Document(body));
  // The whole text as one keyword is found in the document of every code unit (ascending, so
  // no CR LF pair) and of line ends and markup look-alikes.
  std::u16string every;
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) every += static_cast<char16_t>(unit);
  for (const std::u16string& text :
       {every, u"a\r\nb\r\n\r\nc"s, u"line\r\n 12 digits after a line end"s,
        u"\\par \\'82\\'6c {\\b not markup}"s, u"lone\rCR\nLF\n\r"s})
    EXPECT_EQ(HighlightKeywords(WriteRtf(text), {text}),
              Document("\\cf1 " + Body(text) + "\\cf0 ", kColourTable));
}

// The result text ends with the line end of its last line; with no hits it is empty.
TEST(ResultRtfPiece, PiecesInOrderHoldTheHighlightedDocumentsBody) {
  const std::pair<ResultList, std::u16string_view> texts[] = {{{}, u""},
                                                              {{u""}, u""},
                                                              {{u"a(1)：x", u""}, u"a(1)：x\r\n"},
                                                              {{u"a", u"b", u""}, u"a\r\nb\r\n"}};
  for (const auto& [results, text] : texts) EXPECT_EQ(ResultText(results), text);
  const ResultList results = {u"a(1)：red x", u"b(1)：y", u"c(1)：\\par red", u""};
  const std::string head = std::string(kHeader).append(kColourTable).append(kBodyStart);
  const auto body = [&head](const std::string& piece) {
    EXPECT_TRUE(piece.starts_with(head) && piece.ends_with("\\par\r\n}\r\n")) << piece;
    return piece.substr(head.size(), piece.size() - head.size() - 3);
  };
  // Spaces alone as the keyword text: every line is a hit, and nothing is red.
  for (const KeywordList& keywords : {KeywordList{u"red"}, KeywordList{u"", u""}})
    EXPECT_EQ(HighlightKeywords(WriteRtf(ResultText(results)), keywords),
              head + body(ResultRtfPiece(results, 0, 1, keywords)) +
                  body(ResultRtfPiece(results, 1, 3, keywords)) + std::string(kEnd));
}

TEST(HighlightKeywords, ColoursEveryOccurrenceInTheShownTextOnly) {
  const std::pair<KeywordList, std::u16string_view> cases[] = {
      {{u"abc", u"abcd"}, u"x[abcd]x [abc]\r\n"},
      {{u"aa"}, u"[aaa] b[aa]b"},
      {{u"ab", u"bcd", u"xyzw", u"abaa"}, u"[abab] [abcd] xyz"},  // touching, overlapping, odd
      {{u"ab", u"", u"ab"}, u"[ab] [ab]"},
      {{u"", u""}, u"ab\r\n"},
      {{u"aab"}, u"[aab]ab"},  // no second "aab" from the first one's tail
      // Keywords that spell the header's and the body's control words colour only the text.
      {{u"par", u"red", u"ansi", u"fonttbl", u"viewkind", u"f0", u"cf"},
       u"a.vek(1)：[par] [red]\r\nx"},
      {{u"ab"}, u"a\r\nb"},
      {{u"Ｍ"}, u"[Ｍ]Ｓ"},  // Ｍ is in the font's name too
      // ソ and 表 end in the byte of "\"; only the real backslash is one.
      {{u"\\"}, u"ソ表[\\]"},
      {{u"{a}", u"ﾀｶ", u"😀", u"Ｍ"}, u"[{a}] ｶ[ﾀｶ]ﾅ [Ｍ] [😀]"},
      {{u"1"}, u"([1])：x"},
      // The table goes before the body's \viewkind only, and a space follows both switches.
      {{u"123"}, u"\\viewkind4 [123]x"},
  };
  for (const auto& [keywords, shown] : cases) {
    std::u16string text(shown);
    std::erase_if(text, [](char16_t c) { return c == u'[' || c == u']'; });
    EXPECT_EQ(HighlightKeywords(WriteRtf(text), keywords), Highlighted(shown));
  }
  // A terminal's marks, longer than the text.
  EXPECT_EQ(MarkKeywords(u"vek x", {u"vek", u"x"}, u"<", u"/>"), u"<vek/> <x/>");
  EXPECT_EQ(MarkKeywords(u"vek x", {u"", u""}, u"<", u"/>"), u"vek x");
}

// Raw or split trail bytes, upper-case hex, \uN with a two-byte fallback, groups,
// destinations, \line and own colours: only the table (#) and the switches are added. Control
// symbols are characters of their own (\- soft hyphen, \~ no-break space, \_ no-break hyphen;
// \| is nothing) and \* hides its group; letters, digits and hex digits at both ends of their
// ranges. A document may end anywhere: "^" ends the view, and what follows would change the
// result (or run past the end) if it were read.
TEST(HighlightKeywords, WorksOnAnyWritersRtf) {
  const std::tuple<std::string_view, KeywordList, std::string> cases[] = {
      {"{\\rtf1\\ansi{\\fonttbl{\\f0 red;}}\r\n{\\*\\generator red par;}{\\info{\\title red}}\r\n"
       "\\viewkind4\\uc1\\pard\\f0 \\'83\\\\\\'82\r\nl r{\\b e}d \\uc2\\u12354\\'82\r\n\\'A0 "
       "\\cf2 red\\cf0\\line red\\par\r\n}",
       {u"red", u"\\", u"Ｍ", u"あ"},
       "{\\rtf1\\ansi{\\fonttbl{\\f0 red;}}\r\n{\\*\\generator red par;}{\\info{\\title red}}\r\n#"
       "\\viewkind4\\uc1\\pard\\f0 \\'83\\\\\\cf1 \\'82\r\nl\\cf0  \\cf1 r{\\b e}d\\cf0  \\uc2"
       "\\cf1 \\u12354\\'82\r\n\\'A0\\cf0  \\cf2 \\cf1 red\\cf2 \\cf0\\line \\cf1 red\\cf0 "
       "\\par\r\n}"},
      // Runs stay red across groups, and back in a group's own colour inside it.
      {"{\\rtf1\\viewkind4 ab{\\b cd}ef{\\i g}h}",
       {u"bcde"},
       "{\\rtf1#\\viewkind4 a\\cf1 b{\\b cd}e\\cf0 f{\\i g}h}"},
      {"{\\viewkind4 ab{\\b cd}ef}", {u"abc"}, "{#\\viewkind4 \\cf1 ab{\\b c\\cf0 d}\\cf0 ef}"},
      {"{\\viewkind4 e{\\i g}h}", {u"gh"}, "{#\\viewkind4 e{\\i \\cf1 g}\\cf1 h\\cf0 }"},
      // A \uN fallback cut short by a brace or the end: the switch back waits.
      {"{\\viewkind4 \\u12354{e}f}", {u"あ"}, "{#\\viewkind4 \\cf1 \\u12354{\\cf0 e}\\cf0 f}"},
      {"{\\viewkind4 \\u12354\\", {u"あ"}, "{#\\viewkind4 \\cf1 \\u12354\\"},
      // The document's own switch inside a run: red again after it.
      {"{\\viewkind4 a\\cf2 b\\plain c}",
       {u"abc"},
       "{#\\viewkind4 \\cf1 a\\cf2 \\cf1 b\\plain \\cf1 c\\cf0 }"},
      {R"({\viewkind4 a\-b a\~b a\_b a\|b{\*\x ab}ab})",
       {u"ab"},
       R"({#\viewkind4 a\-b a\~b a\_b \cf1 a\|b{\*\x ab}ab\cf0 })"},
      {R"({\viewkind4 a\-b a\~b a\_b})",
       {u"a\u00ADb", u"a\u00A0b", u"a\u2011b"},
       R"({#\viewkind4 \cf1 a\-b\cf0  \cf1 a\~b\cf0  \cf1 a\_b\cf0 })"},
      {R"({\viewkind4 \AZaz@ \b[\b`\fs09/\fs90:})",
       {u"@", u"[", u"`", u"/", u":", u"Zaz", u"9/", u"0:"},
       R"({#\viewkind4 \AZaz\cf1 @\cf0  \b\cf1 [\b`\fs09/\fs90:\cf0 })"},
      {R"({\viewkind4 \'09\'6a\'6f\'6A\'6F\'30\'39 \'6g\'6G\'6/\'6:\'6`\'6@})",
       {u"\tjojo09", u"6g6G6/6:6`6@"},
       R"({#\viewkind4 \cf1 \'09\'6a\'6f\'6A\'6F\'30\'39\cf0  \'\cf1 6g\'6G\'6/\'6:\'6`\'6@\cf0 })"},
      // A lead byte at the end of its run of bytes stands alone.
      {R"({\viewkind4 \'82\'a0\'82})", {u"\uFFFD"}, R"({#\viewkind4 \'82\'a0\cf1 \'82\cf0 })"},
      {R"({\viewkind4 ab\^\)", {u"b", u"b\\"}, R"({#\viewkind4 a\cf1 b\cf0 \)"},
      {R"({\viewkind4 ab\'4^1)", {u"b4"}, R"({#\viewkind4 a\cf1 b\'4\cf0 )"},
      {R"({\viewkind4 ab\li-^5)", {u"-"}, R"({#\viewkind4 ab\li\cf1 -\cf0 )"},
      {R"({\viewkind4 ab\pa^r)", {u"b"}, R"({#\viewkind4 a\cf1 b\cf0 \pa)"},
      {R"({\viewkind4 ab\fs1^8 )", {u"b"}, R"({#\viewkind4 a\cf1 b\cf0 \fs1)"},
      {R"({\viewkind4 \u12354^?)", {u"あ"}, R"({#\viewkind4 \cf1 \u12354)"},
  };
  for (auto [rtf, keywords, highlighted] : cases) {
    std::string source(rtf);  // without the "^", which the view then ends at
    const std::size_t cut = source.find('^');
    if (cut != source.npos) source.erase(cut, 1);
    EXPECT_EQ(HighlightKeywords(std::string_view(source).substr(0, cut), keywords),
              highlighted.replace(highlighted.find('#'), 1, kColourTable))
        << rtf;
  }
}

}  // namespace
}  // namespace vek
