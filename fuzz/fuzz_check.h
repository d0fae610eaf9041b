// What the fuzz targets share: a check that stops the run with a message, and RTF without
// the colour markup that the highlighter adds.
#pragma once

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

// The RTF without any colour table or \cfN switch (with the space that ends it).
inline std::string WithoutColours(std::string_view rtf) {
  std::string out;
  for (std::size_t i = 0; i < rtf.size();) {
    if (rtf.substr(i).starts_with(kColourTable)) {
      i += kColourTable.size();
    } else if (rtf.substr(i).starts_with("\\cf")) {
      for (i += 3; i < rtf.size() && rtf[i] >= '0' && rtf[i] <= '9';) ++i;
      if (i < rtf.size() && rtf[i] == ' ') ++i;
    } else {
      out += rtf[i++];
    }
  }
  return out;
}

}  // namespace vek::fuzz
