// Arbitrary UTF-16 text (little-endian pairs) through WriteRtf, read back, then highlighted
// with keywords cut from the text itself, as the window does with a search's results.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vek::fuzz::Require;
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  const std::string rtf = vek::WriteRtf(text);
  const vek::test::RtfText doc = vek::test::ReadRtf(rtf);
  Require(doc.endsWithParagraphMark, "no final paragraph mark");
  Require(doc.DocumentText() == text, "the document does not show the text");

  // Two keywords: pieces of the text chosen by its first unit, so that they do occur.
  vek::KeywordList keywords;
  if (!text.empty()) {
    const std::size_t n = text.size();
    const std::size_t start = text[0] % n;
    keywords.push_back(text.substr(start, 1 + text[0] / 256 % 8));
    keywords.push_back(text.substr(n / 2, 1 + text[0] % 3));
  }
  vek::fuzz::CheckHighlighted(rtf, vek::HighlightKeywords(rtf, keywords), keywords, true);
  return 0;
}
