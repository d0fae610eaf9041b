// Reads back the RTF that WriteRtf writes and HighlightKeywords colours: the text the result
// box shows and the colour of each code unit. Written apart from the highlighter, for RTF of
// that shape only: groups inside the document are the header's tables and are skipped whole;
// text bytes (literal, \'hh, \\, \{, \}) form CP932 characters together until a control
// word; \par is CR LF, \tab a tab, \uN? one code unit, \cfN the colour.
#pragma once

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "cp932.h"

namespace vek::test {

struct RtfText {
  std::u16string text;      // the final paragraph mark included, as CR LF
  std::vector<int> colour;  // the \cf index in force, per code unit of `text`

  // The text with "[" and "]" around each run in colour 1: easy to state in a test.
  std::u16string Marked() const {
    std::u16string marked;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      const bool red = i < text.size() && colour[i] == 1;
      if (red != (i > 0 && colour[i - 1] == 1)) marked += red ? u'[' : u']';
      if (i < text.size()) marked += text[i];
    }
    return marked;
  }
};

inline RtfText ReadRtf(std::string_view rtf) {
  RtfText out;
  std::string bytes;
  int colour = 0;
  int depth = 0;
  const auto emit = [&](std::u16string_view units) {
    out.text += units;
    out.colour.insert(out.colour.end(), units.size(), colour);
  };
  const auto flush = [&] {
    emit(DecodeCp932(bytes));
    bytes.clear();
  };
  for (std::size_t i = 0; i < rtf.size(); ++i) {
    const char c = rtf[i];
    if (c == '{' || c == '}') {
      flush();
      depth += c == '{' ? 1 : -1;
    } else if (depth != 1 || c == '\r' || c == '\n') {
    } else if (c != '\\') {
      bytes += c;
    } else if (const char d = rtf.at(++i); d == '\\' || d == '{' || d == '}') {
      bytes += d;
    } else if (d == '\'') {
      bytes += static_cast<char>(std::stoi(std::string(rtf.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      flush();
      const std::size_t name = i;
      while (i < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i]))) ++i;
      const std::string_view word = rtf.substr(name, i - name);
      const bool minus = i < rtf.size() && rtf[i] == '-';
      long param = 0;
      for (i += minus; i < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[i])); ++i)
        param = param * 10 + (rtf[i] - '0');
      // A space ends the word as part of it; any other delimiter is read next.
      if (i < rtf.size() && rtf[i] != ' ') --i;
      if (word == "par") emit(u"\r\n");
      if (word == "tab") emit(u"\t");
      if (word == "cf") colour = static_cast<int>(param);
      if (word == "u") {
        emit(std::u16string(1, static_cast<char16_t>(minus ? -param : param)));
        ++i;  // its one fallback character
      }
    }
  }
  return out;
}

}  // namespace vek::test
