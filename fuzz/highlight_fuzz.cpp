// Arbitrary RTF and keywords through HighlightKeywords. Input: the keyword text in UTF-8 up
// to the first LF, then the RTF.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "rtf.h"
#include "search_core.h"
#include "text_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lf = input.find('\n');
  const std::string_view keywordText = lf == std::string_view::npos ? "" : input.substr(0, lf);
  const std::string_view rtf = lf == std::string_view::npos ? input : input.substr(lf + 1);

  const vek::KeywordList keywords = vek::SplitKeywords(vek::Utf8ToUtf16(keywordText));
  const std::string highlighted = vek::HighlightKeywords(rtf, keywords);
  // Whether our table is the one in force depends on the document's own tables; colour 1 is
  // checked in any case.
  vek::fuzz::CheckHighlighted(rtf, highlighted, keywords, false);
  return 0;
}
