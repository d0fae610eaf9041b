// A small RTF reader for the tests and fuzz targets: what the result box would show, and in
// which colour. It is written apart from the highlighter on purpose, so that the two check
// each other; they share only the reading rules:
// - text bytes (literal characters, \'hh, \\, \{, \}) form CP932 characters together until
//   any other token; CR and LF in the source are ignored and do not interrupt them;
// - a control word is letters, an optional number ("-" only before a digit, saturating at 32
//   bits) and an optional space; \binN skips N bytes of data;
// - \uN gives the code unit N modulo 65536 and skips the next \ucN tokens (a control word or
//   escape is one), stopping early at a brace;
// - \* and the destination words hide the rest of their group;
// - nothing before the first "{" or after the group it opens is read.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cp932.h"

namespace vek::test {

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
  bool automatic = true;  // the colour table's empty first entry
};

struct RtfText {
  std::u16string text;       // \par as CR LF
  std::vector<int> colour;   // per code unit of `text`, the \cf index in force
  std::vector<Rgb> colours;  // the colour table
  bool endsWithParagraphMark = false;

  // The text without the document's final paragraph mark, as the box gives it back.
  std::u16string DocumentText() const {
    return endsWithParagraphMark ? text.substr(0, text.size() - 2) : text;
  }
  bool IsRed(std::size_t i) const {
    const int index = colour[i];
    if (index <= 0 || static_cast<std::size_t>(index) >= colours.size()) return false;
    const Rgb& rgb = colours[static_cast<std::size_t>(index)];
    return !rgb.automatic && rgb.red == 255 && rgb.green == 0 && rgb.blue == 0;
  }
  // The text with "[" and "]" around each red run: easy to state in a test.
  std::u16string Marked() const {
    std::u16string marked;
    bool red = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (IsRed(i) != red) marked += (red = !red) ? u'[' : u']';
      marked += text[i];
    }
    if (red) marked += u']';
    return marked;
  }
};

class RtfReader {
 public:
  static RtfText Read(std::string_view rtf) {
    RtfReader reader(rtf);
    reader.Run();
    return std::move(reader.out_);
  }

 private:
  enum class Mode { Text, Hidden, ColourTable };
  struct State {
    Mode mode = Mode::Text;
    int colour = 0;
    long skip = 1;
  };

  explicit RtfReader(std::string_view rtf) : rtf_(rtf) {}

  static bool Letter(char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
  static bool Digit(char c) { return c >= '0' && c <= '9'; }
  static int Hex(char c) {
    if (Digit(c)) return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
  }
  static bool IsDestination(std::string_view w) {
    static constexpr auto kWords = std::to_array<std::string_view>(
        {"annotation", "atnauthor", "atnid",      "author",
         "bkmkend",    "bkmkstart", "buptim",     "comment",
         "creatim",    "datastore", "doccomm",    "falt",
         "filetbl",    "fldinst",   "fonttbl",    "footer",
         "footerf",    "footerl",   "footerr",    "footnote",
         "generator",  "header",    "headerf",    "headerl",
         "headerr",    "info",      "keywords",   "listoverridetable",
         "listtable",  "listtext",  "nonshppict", "object",
         "objdata",    "operator",  "pict",       "pntext",
         "pntxta",     "pntxtb",    "printim",    "revtbl",
         "revtim",     "rsidtbl",   "stylesheet", "subject",
         "tc",         "template",  "title",      "txe",
         "xe",         "colortbl"});
    return std::find(kWords.begin(), kWords.end(), w) != kWords.end();
  }
  static std::u16string_view WordChars(std::string_view w) {
    if (w == "par" || w == "sect") return u"\r\n";
    if (w == "line") return u"\v";
    if (w == "tab") return u"\t";
    if (w == "emdash") return u"\u2014";
    if (w == "endash") return u"\u2013";
    if (w == "emspace") return u"\u2003";
    if (w == "enspace") return u"\u2002";
    if (w == "qmspace") return u"\u2005";
    if (w == "bullet") return u"\u2022";
    if (w == "lquote") return u"\u2018";
    if (w == "rquote") return u"\u2019";
    if (w == "ldblquote") return u"\u201C";
    if (w == "rdblquote") return u"\u201D";
    if (w == "zwj") return u"\u200D";
    if (w == "zwnj") return u"\u200C";
    if (w == "ltrmark") return u"\u200E";
    if (w == "rtlmark") return u"\u200F";
    return {};
  }

  bool Shown() const { return !stack_.empty() && stack_.back().mode == Mode::Text; }

  void Emit(std::u16string_view chars) {
    out_.text += chars;
    out_.colour.insert(out_.colour.end(), chars.size(), stack_.back().colour);
    out_.endsWithParagraphMark = false;
  }
  void Flush() {
    if (bytes_.empty()) return;
    Emit(DecodeCp932(bytes_));
    bytes_.clear();
  }

  // Reads the control word at pos_ (just after the backslash): name, parameter, delimiter.
  void ReadWord(std::string_view& name, long& param) {
    const std::size_t start = pos_;
    while (pos_ < rtf_.size() && Letter(rtf_[pos_])) ++pos_;
    name = rtf_.substr(start, pos_ - start);
    const bool minus = pos_ + 1 < rtf_.size() && rtf_[pos_] == '-' && Digit(rtf_[pos_ + 1]);
    if (minus) ++pos_;
    long long value = 0;
    for (; pos_ < rtf_.size() && Digit(rtf_[pos_]); ++pos_) {
      value = std::min(value * 10 + (rtf_[pos_] - '0'), 2147483648LL);
    }
    param = static_cast<long>(minus ? -value : std::min(value, 2147483647LL));
    if (pos_ < rtf_.size() && rtf_[pos_] == ' ') ++pos_;
    if (name == "bin" && param > 0) {
      pos_ += std::min(static_cast<std::size_t>(param), rtf_.size() - pos_);
    }
  }

  // Skips one token of a \u's fallback; false when there is none to skip.
  bool SkipToken() {
    while (pos_ < rtf_.size() && (rtf_[pos_] == '\r' || rtf_[pos_] == '\n')) ++pos_;
    if (pos_ >= rtf_.size() || rtf_[pos_] == '{' || rtf_[pos_] == '}') return false;
    if (rtf_[pos_++] != '\\') return true;
    if (pos_ >= rtf_.size()) return false;  // a lone backslash at the very end is nothing
    if (Letter(rtf_[pos_])) {
      std::string_view name;
      long param = 0;
      ReadWord(name, param);
    } else if (rtf_[pos_] == '\'' && pos_ + 2 < rtf_.size() && Hex(rtf_[pos_ + 1]) >= 0 &&
               Hex(rtf_[pos_ + 2]) >= 0) {
      pos_ += 3;
    } else {
      ++pos_;
    }
    return true;
  }

  void OnWord(std::string_view name, long param) {
    State& state = stack_.back();
    if (state.mode == Mode::ColourTable) {
      if (name == "red") pending_.red = static_cast<int>(param);
      if (name == "green") pending_.green = static_cast<int>(param);
      if (name == "blue") pending_.blue = static_cast<int>(param);
      if (name == "red" || name == "green" || name == "blue") pending_.automatic = false;
      return;
    }
    if (state.mode != Mode::Text) return;
    if (name == "u") {
      const char16_t unit = static_cast<char16_t>(param);
      for (long n = state.skip; n > 0 && SkipToken(); --n) {
      }
      Emit(std::u16string_view(&unit, 1));
    } else if (name == "uc") {
      state.skip = std::max(0L, param);
    } else if (name == "cf") {
      state.colour = static_cast<int>(param);
    } else if (name == "plain") {
      state.colour = 0;
    } else if (name == "colortbl") {
      state.mode = Mode::ColourTable;
      out_.colours.clear();
      pending_ = {};
    } else if (IsDestination(name)) {
      state.mode = Mode::Hidden;
    } else if (const std::u16string_view chars = WordChars(name); !chars.empty()) {
      Emit(chars);
      out_.endsWithParagraphMark = name == "par";
    }
  }

  void OnSymbol(char c) {
    if (!Shown()) return;
    if (c == '*') stack_.back().mode = Mode::Hidden;
    if (c == '~') Emit(u"\u00A0");
    if (c == '_') Emit(u"\u2011");
    if (c == '-') Emit(u"\u00AD");
    if (c == '\r' || c == '\n') Emit(u"\r\n");
  }

  void OnByte(char byte) {
    if (Shown()) {
      bytes_ += byte;
    } else if (!stack_.empty() && stack_.back().mode == Mode::ColourTable && byte == ';') {
      out_.colours.push_back(pending_);
      pending_ = {};
    }
  }

  void Run() {
    while (pos_ < rtf_.size()) {
      const char c = rtf_[pos_++];
      if (c == '\r' || c == '\n') continue;
      if (c == '{') {
        Flush();
        stack_.push_back(stack_.empty() ? State{} : stack_.back());
        if (stack_.back().mode == Mode::ColourTable) stack_.back().mode = Mode::Hidden;
        continue;
      }
      if (c == '}') {
        Flush();
        if (stack_.empty()) continue;
        stack_.pop_back();
        if (stack_.empty()) return;
        continue;
      }
      if (c != '\\') {
        if (!stack_.empty()) OnByte(c);
        continue;
      }
      if (pos_ >= rtf_.size()) break;
      const char d = rtf_[pos_];
      if (d == '\\' || d == '{' || d == '}') {
        ++pos_;
        if (!stack_.empty()) OnByte(d);
        continue;
      }
      if (d == '\'' && pos_ + 2 < rtf_.size() && Hex(rtf_[pos_ + 1]) >= 0 &&
          Hex(rtf_[pos_ + 2]) >= 0) {
        if (!stack_.empty())
          OnByte(static_cast<char>(Hex(rtf_[pos_ + 1]) * 16 + Hex(rtf_[pos_ + 2])));
        pos_ += 3;
        continue;
      }
      Flush();
      if (Letter(d)) {
        std::string_view name;
        long param = 0;
        ReadWord(name, param);
        if (!stack_.empty()) OnWord(name, param);
      } else {
        ++pos_;
        OnSymbol(d);
      }
    }
    Flush();
  }

  std::string_view rtf_;
  std::size_t pos_ = 0;
  std::vector<State> stack_;
  std::string bytes_;
  Rgb pending_;
  RtfText out_;
};

inline RtfText ReadRtf(std::string_view rtf) {
  return RtfReader::Read(rtf);
}

}  // namespace vek::test
