// Arbitrary RTF and keywords through HighlightKeywords: it only adds the colour table and
// colour switches, copying everything else as it was. Input: the keyword text in UTF-8 up to
// the first LF, then the RTF.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "rtf.h"
#include "text_convert.h"

namespace {

// The RTF without any colour table or \cfN switch (with the space that ends it).
std::string WithoutColours(std::string_view rtf) {
  constexpr std::string_view kTable = "{\\colortbl ;\\red255\\green0\\blue0;}\r\n";
  std::string out;
  for (std::size_t i = 0; i < rtf.size();) {
    if (rtf.substr(i).starts_with(kTable)) {
      i += kTable.size();
    } else if (rtf.substr(i).starts_with("\\cf")) {
      for (i += 3; i < rtf.size() && rtf[i] >= '0' && rtf[i] <= '9';) ++i;
      if (i < rtf.size() && rtf[i] == ' ') ++i;
    } else {
      out += rtf[i++];
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lf = input.find('\n');
  const std::string_view keywordText = lf == std::string_view::npos ? "" : input.substr(0, lf);
  const std::string_view rtf = lf == std::string_view::npos ? input : input.substr(lf + 1);
  const std::string highlighted =
      vek::HighlightKeywords(rtf, vek::SplitKeywords(vek::Utf8ToUtf16(keywordText)));
  vek::fuzz::Require(WithoutColours(highlighted) == WithoutColours(rtf),
                     "highlighting changed more than the colours");
  return 0;
}
