// Arbitrary UTF-16 text (little-endian pairs) through WriteRtf, read back, then highlighted
// with keywords cut from the text itself, as the window does with a search's results: red
// exactly where KeywordRanges says, the text unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "keyword_ranges.h"
#include "rtf.h"
#include "rtf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vek::fuzz::Require;
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  const std::string rtf = vek::WriteRtf(text);
  Require(vek::test::ReadRtf(rtf).text == text + u"\r\n", "the document does not show the text");

  // Two keywords: pieces of the text chosen by its first unit, so that they do occur.
  vek::KeywordList keywords;
  if (!text.empty()) {
    const std::size_t n = text.size();
    keywords.push_back(text.substr(text[0] % n, 1 + text[0] / 256 % 8));
    keywords.push_back(text.substr(n / 2, 1 + text[0] % 3));
  }
  const vek::test::RtfText shown = vek::test::ReadRtf(vek::HighlightKeywords(rtf, keywords));
  Require(shown.text == text + u"\r\n", "highlighting changed the text");
  std::vector<bool> red(shown.text.size(), false);
  for (const vek::TextRange& range : vek::KeywordRanges(shown.text, keywords))
    std::fill(red.begin() + range.begin, red.begin() + range.end, true);
  // A line end may be red beside a keyword's lone CR or LF: \par holds both.
  for (std::size_t i = 0; i < shown.text.size(); ++i) {
    const bool lineEnd = shown.text[i] == u'\r' || shown.text[i] == u'\n';
    Require(red[i] ? shown.colour[i] == 1 : lineEnd || shown.colour[i] == 0,
            "red is not exactly the keywords");
  }
  return 0;
}
