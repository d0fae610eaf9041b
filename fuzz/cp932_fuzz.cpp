// Arbitrary bytes through the CP932 decoder.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cp932.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vek::fuzz::Require;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string text = vek::DecodeCp932(bytes);

  Require(text.size() <= bytes.size(), "more characters than bytes");
  // Line ends are never part of a double-byte character.
  Require(
      std::count(text.begin(), text.end(), u'\r') == std::count(bytes.begin(), bytes.end(), '\r'),
      "CR count changed");
  Require(
      std::count(text.begin(), text.end(), u'\n') == std::count(bytes.begin(), bytes.end(), '\n'),
      "LF count changed");

  std::u16string appended = u"prefix";
  vek::AppendCp932(bytes, appended);
  Require(appended == u"prefix" + text, "AppendCp932 differs from DecodeCp932");

  // Every decoded character encodes to bytes that decode to it again.
  for (const char16_t ch : text) {
    if (ch == u'\uFFFD') continue;
    const vek::Cp932Code code = vek::EncodeCp932(ch);
    Require(code.size == 1 || code.size == 2, "a decoded character cannot be encoded");
    const std::u16string back =
        vek::DecodeCp932({reinterpret_cast<const char*>(code.bytes), code.size});
    Require(back.size() == 1 && back[0] == ch, "encoding does not decode to the character");
  }
  return 0;
}
