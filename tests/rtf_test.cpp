// The result box's RTF: the writer, read back, and the keyword highlighting on the writer's
// documents and on other writers' RTF.
#include <gtest/gtest.h>

#include <string>

#include "rtf.h"
#include "rtf_reader.h"

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

// The highlighted document as the result box shows it, red runs in brackets.
std::u16string Shown(std::u16string_view text, const KeywordList& keywords) {
  const std::string rtf = HighlightKeywords(WriteRtf(text), keywords);
  EXPECT_TRUE(rtf.starts_with(Document("", kColourTable).substr(0, rtf.find("fs18 ") + 5)));
  return test::ReadRtf(rtf).Marked();
}

TEST(WriteRtf, WritesEachKindOfCharacterAsTheBoxsWriterDoes) {
  const std::pair<std::u16string_view, std::string_view> cases[] = {
      {u"", ""},
      {u"a\r\n 1", "a\\par\r\n 1"},
      {u"\\{}", "\\\\\\{\\}"},
      // Lead byte first, lower-case hex, even for a trail byte in the ASCII range (ソ is 83 5C).
      {u"Ｍソｶ", "\\'82\\'6c\\'83\\'5c\\'b6"},
      {u"\t\x1b\r\x7f", "\\tab \\'1b\\'0d\\'7f"},
      // Outside CP932, or only a best fit (¢ as ￠): one signed 16-bit \uN? per code unit.
      {u"é😀¢", "\\u233?\\u-10179?\\u-8704?\\u162?"},
  };
  for (const auto& [text, body] : cases) EXPECT_EQ(WriteRtf(text), Document(body));
}

// Every code unit in ascending order (so no CR LF pair): every escape the writer can write,
// every byte value in them.
std::u16string EveryCodeUnit() {
  std::u16string text;
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) text += static_cast<char16_t>(unit);
  return text;
}

TEST(WriteRtf, ReadsBackAsTheTextAndTheHighlighterReadsEveryEscapeAlike) {
  const std::u16string every = EveryCodeUnit();
  for (const std::u16string& text :
       {every, u"a\r\nb\r\n\r\n"s, u"line\r\n 12 digits after a line end"s,
        u"\\par \\'82\\'6c {\\b not markup}"s, u"lone\rCR\nLF\n\r"s}) {
    EXPECT_EQ(test::ReadRtf(WriteRtf(text)).text, text + u"\r\n");
  }
  // The whole text as one keyword is found only if the highlighter decodes each escape to
  // the unit the writer wrote.
  const std::string plain = WriteRtf(every);
  const std::size_t bodyAt = kHeader.size() + kBodyStart.size();
  const std::string body = plain.substr(bodyAt, plain.size() - bodyAt - kEnd.size());
  EXPECT_EQ(HighlightKeywords(plain, {every}), Document("\\cf1 " + body + "\\cf0 ", kColourTable));
}

TEST(ResultRtfPiece, PiecesInOrderHoldTheHighlightedDocumentsBody) {
  const ResultList results = {u"a(1)：red x", u"b(1)：y", u"c(1)：\\par red", u""};
  EXPECT_EQ(ResultText(results), u"a(1)：red x\r\nb(1)：y\r\nc(1)：\\par red\r\n");
  const KeywordList keywords = {u"red"};
  const std::string head = std::string(kHeader).append(kColourTable).append(kBodyStart);
  const auto body = [&head](const std::string& piece) {
    EXPECT_TRUE(piece.starts_with(head) && piece.ends_with("\\par\r\n}\r\n")) << piece;
    return piece.substr(head.size(), piece.size() - head.size() - 3);
  };
  EXPECT_EQ(HighlightKeywords(WriteRtf(ResultText(results)), keywords),
            head + body(ResultRtfPiece(results, 0, 1, keywords)) +
                body(ResultRtfPiece(results, 1, 3, keywords)) + std::string(kEnd));
}

TEST(HighlightKeywords, ColoursEveryOccurrenceInTheShownTextOnly) {
  const struct {
    std::u16string_view text;
    KeywordList keywords;
    std::u16string_view shown;
  } cases[] = {
      {u"xabcdx abc\r\n", {u"abc", u"abcd"}, u"x[abcd]x [abc]\r\n\r\n"},
      {u"aaa baab", {u"aa"}, u"[aaa] b[aa]b\r\n"},
      {u"ab ab", {u"ab", u"", u"ab"}, u"[ab] [ab]\r\n"},
      {u"ab", {u"", u""}, u"ab\r\n"},
      // Keywords that spell the header's and the body's control words colour only the text.
      {u"a.vek(1)：par red\r\nx",
       {u"par", u"red", u"ansi", u"fonttbl", u"viewkind", u"f0", u"cf"},
       u"a.vek(1)：[par] [red]\r\nx\r\n"},
      {u"a\r\nb", {u"ab"}, u"a\r\nb\r\n"},
      {u"ＭＳ", {u"Ｍ"}, u"[Ｍ]Ｓ\r\n"},  // Ｍ is in the font's name too
      // ソ and 表 end in the byte of "\"; only the real backslash is one.
      {u"ソ表\\", {u"\\"}, u"ソ表[\\]\r\n"},
      {u"{a} ｶﾀｶﾅ Ｍ 😀", {u"{a}", u"ﾀｶ", u"😀", u"Ｍ"}, u"[{a}] ｶ[ﾀｶ]ﾅ [Ｍ] [😀]\r\n"},
      {u"(1)：x", {u"1"}, u"([1])：x\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Shown(c.text, c.keywords), c.shown);
  // The table goes before the body's \viewkind only, and a space follows both switches.
  EXPECT_EQ(HighlightKeywords(WriteRtf(u"\\viewkind4 123x"), {u"123"}),
            Document("\\\\viewkind4 \\cf1 123\\cf0 x", kColourTable));
}

// RTF as other writers produce it: a trail byte left raw or split by a source line break,
// upper-case hex, \uN with a two-byte fallback, groups, destinations, \line and colours of
// its own. Only the table and the switches are added, and outside the red runs each
// character keeps the document's colour.
TEST(HighlightKeywords, WorksOnAnyWritersRtf) {
  const struct {
    std::string_view rtf;
    KeywordList keywords;
    std::string highlighted;
  } cases[] = {
      {"{\\rtf1\\ansi{\\fonttbl{\\f0 red;}}\r\n{\\*\\generator red par;}{\\info{\\title red}}\r\n"
       "\\viewkind4\\uc1\\pard\\f0 \\'83\\\\\\'82\r\nl r{\\b e}d \\uc2\\u12354\\'82\r\n\\'A0 "
       "\\cf2 red\\cf0\\line red\\par\r\n}",
       {u"red", u"\\", u"Ｍ", u"あ"},
       "{\\rtf1\\ansi{\\fonttbl{\\f0 red;}}\r\n{\\*\\generator red par;}{\\info{\\title red}}\r\n"
       "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
       "\\viewkind4\\uc1\\pard\\f0 \\'83\\\\\\cf1 \\'82\r\nl\\cf0  \\cf1 r{\\b e}d\\cf0  "
       "\\uc2\\cf1 \\u12354\\'82\r\n\\'A0\\cf0  \\cf2 \\cf1 red\\cf2 \\cf0\\line \\cf1 red\\cf0 "
       "\\par\r\n}"},
      // Runs stay red across groups, and back in a group's own colour inside it.
      {"{\\rtf1\\viewkind4 ab{\\b cd}ef{\\i g}h}",
       {u"bcde"},
       "{\\rtf1" + std::string(kColourTable) + "\\viewkind4 a\\cf1 b{\\b cd}e\\cf0 f{\\i g}h}"},
      {"{\\viewkind4 ab{\\b cd}ef}",
       {u"abc"},
       "{" + std::string(kColourTable) + "\\viewkind4 \\cf1 ab{\\b c\\cf0 d}\\cf0 ef}"},
      {"{\\viewkind4 e{\\i g}h}",
       {u"gh"},
       "{" + std::string(kColourTable) + "\\viewkind4 e{\\i \\cf1 g}\\cf1 h\\cf0 }"},
      // A \uN whose fallback a brace or the end cuts short skips what comes next, so the
      // switch back waits for the next character.
      {"{\\viewkind4 \\u12354{e}f}",
       {u"あ"},
       "{" + std::string(kColourTable) + "\\viewkind4 \\cf1 \\u12354{\\cf0 e}\\cf0 f}"},
      {"{\\viewkind4 \\u12354\\",
       {u"あ"},
       "{" + std::string(kColourTable) + "\\viewkind4 \\cf1 \\u12354\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(HighlightKeywords(c.rtf, c.keywords), c.highlighted);
}

}  // namespace
}  // namespace vek
