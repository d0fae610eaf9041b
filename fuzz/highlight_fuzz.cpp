// Arbitrary RTF and keywords through HighlightKeywords: it only adds the colour table and
// colour switches, copying everything else as it was. Input: the keyword text in UTF-8 up to
// the first LF, then the RTF.
#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "rtf.h"
#include "text_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lf = input.find('\n');
  const std::string_view keywordText = lf == std::string_view::npos ? "" : input.substr(0, lf);
  const std::string_view rtf = lf == std::string_view::npos ? input : input.substr(lf + 1);
  const std::string highlighted =
      vek::HighlightKeywords(rtf, vek::SplitKeywords(vek::Utf8ToUtf16(keywordText)));
  vek::fuzz::Require(vek::fuzz::WithoutColours(highlighted) == vek::fuzz::WithoutColours(rtf),
                     "highlighting changed more than the colours");
  return 0;
}
