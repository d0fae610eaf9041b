// Arbitrary input through the result box's RTF, read two ways. As the keyword text in UTF-8
// up to the first LF, then RTF: highlighting only adds the colour table and colour switches,
// copying everything else as it was. As UTF-16 text (little-endian pairs) through WriteRtf:
// the whole text as the keyword is one red run only if every escape is read as it was meant.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "rtf.h"
#include "text_convert.h"

namespace {

constexpr std::string_view kColourTable = "{\\colortbl ;\\red255\\green0\\blue0;}\r\n";

// The RTF without any colour table or \cfN switch (with the space that ends it). A backslash
// and the symbol it escapes are copied together, and so is the data of \binN.
std::string WithoutColours(std::string_view rtf) {
  std::string out;
  for (std::size_t i = 0; i < rtf.size();) {
    if (rtf.substr(i).starts_with(kColourTable)) {
      i += kColourTable.size();
      continue;
    }
    const bool colour = rtf.substr(i).starts_with("\\cf");
    const bool binary = rtf.substr(i).starts_with("\\bin");
    std::size_t end = i + (colour ? 3 : binary ? 4 : 1);
    std::size_t data = 0;
    for (; (colour || binary) && end < rtf.size() && std::isdigit(rtf[end] & 0xFF); ++end)
      data = std::min<std::size_t>(data * 10 + (rtf[end] - '0'), rtf.size());
    if ((colour || binary) && end < rtf.size() && rtf[end] == ' ') ++end;
    if (binary) end = std::min(rtf.size(), end + data);
    if (!colour && !binary && rtf[i] == '\\' && end < rtf.size() && !std::isalpha(rtf[end] & 0xFF))
      ++end;  // an escaped symbol
    if (!colour) out += rtf.substr(i, end - i);
    i = end;
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
  if (WithoutColours(highlighted) != WithoutColours(rtf)) std::abort();  // more than colours

  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  const std::string written = vek::WriteRtf(text);
  const std::size_t body = written.find("\\fs18 ") + 6, end = written.rfind("\r\n\\par }");
  // When the text shows once in the document (its final paragraph mark follows it) and the
  // switch back can follow its last character's escape.
  if (text.empty() || text.ends_with(u"\r\n") ||
      (text + u"\r\n").find(text, 1) != std::u16string::npos)
    return 0;
  std::string red = written;
  red.insert(end, "\\cf0 ").insert(body, "\\cf1 ").insert(written.find("\\viewkind"), kColourTable);
  if (vek::HighlightKeywords(written, {text}) != red) std::abort();  // not one red run
  return 0;
}
