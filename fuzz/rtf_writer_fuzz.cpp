// Arbitrary UTF-16 text (little-endian pairs) through WriteRtf and then HighlightKeywords, as
// the window shows a search's results: the whole text as the keyword is one red run, found
// only if the highlighter reads every escape as the writer meant it; pieces of the text as
// keywords change nothing but the colours.
#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vek::fuzz::Require;
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  const std::string rtf = vek::WriteRtf(text);
  const std::size_t body = rtf.find("\\fs18 ") + 6;
  const std::size_t end = rtf.rfind("\r\n\\par }");
  Require(body > 6 && end >= body, "the document has no header or no end");
  // When the text shows once in the document (its final paragraph mark follows it) and the
  // switch back can follow its last character's escape.
  if (!text.empty() && !text.ends_with(u"\r\n") &&
      (text + u"\r\n").find(text, 1) == std::u16string::npos) {
    std::string red = rtf;
    red.insert(end, "\\cf0 ")
        .insert(body, "\\cf1 ")
        .insert(rtf.find("\\viewkind"), vek::fuzz::kColourTable);
    Require(vek::HighlightKeywords(rtf, {text}) == red, "the whole text is not one red run");
  }
  // Two keywords: pieces of the text chosen by its first unit, so that they do occur.
  vek::KeywordList keywords;
  if (!text.empty()) {
    const std::size_t n = text.size();
    keywords.push_back(text.substr(text[0] % n, 1 + text[0] / 256 % 8));
    keywords.push_back(text.substr(n / 2, 1 + text[0] % 3));
  }
  Require(vek::fuzz::WithoutColours(vek::HighlightKeywords(rtf, keywords)) ==
              vek::fuzz::WithoutColours(rtf),
          "highlighting changed more than the colours");
  return 0;
}
