// What the fuzz targets share: a check that stops the run with a message, and RTF without
// the colour markup that the highlighter adds.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace vek::fuzz {

inline void Require(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline constexpr std::string_view kColourTable = "{\\colortbl ;\\red255\\green0\\blue0;}\r\n";

// The RTF without any colour table or \cfN switch (with the space that ends it). A backslash
// and the symbol it escapes are copied together, and so is the data of \binN.
inline std::string WithoutColours(std::string_view rtf) {
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

}  // namespace vek::fuzz
