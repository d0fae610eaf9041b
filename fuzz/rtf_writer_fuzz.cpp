// Arbitrary UTF-16 text (little-endian pairs) through WriteRtf and HighlightKeywords: the
// whole text as the keyword is one red run only if every escape is read as it was meant.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  const std::string rtf = vek::WriteRtf(text);
  const std::size_t body = rtf.find("\\fs18 ") + 6;
  const std::size_t end = rtf.rfind("\r\n\\par }");
  if (body <= 6 || end < body) std::abort();  // no header or no end
  // When the text shows once in the document (its final paragraph mark follows it) and the
  // switch back can follow its last character's escape.
  if (!text.empty() && !text.ends_with(u"\r\n") &&
      (text + u"\r\n").find(text, 1) == std::u16string::npos) {
    std::string red = rtf;
    red.insert(end, "\\cf0 ")
        .insert(body, "\\cf1 ")
        .insert(rtf.find("\\viewkind"), "{\\colortbl ;\\red255\\green0\\blue0;}\r\n");
    if (vek::HighlightKeywords(rtf, {text}) != red) std::abort();  // not one red run
  }
  return 0;
}
