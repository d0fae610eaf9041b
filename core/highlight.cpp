// Keyword highlighting works on the text a reader of the RTF shows, never on the RTF source:
// a keyword such as "par" or "red" must not hit the markup, and a keyword must be found
// however its characters are escaped. One scanner decodes the document text; a first pass
// collects it, KeywordRanges finds the keywords in it, and a second pass over the same
// scanner copies the source, adding colour switches only between the source spans of
// visible characters.
#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "cp932.h"
#include "keyword_ranges.h"
#include "rtf.h"

namespace vek {
namespace {

constexpr std::string_view kColourTable = "{\\colortbl ;\\red255\\green0\\blue0;}\r\n";

// Control words that open a destination whose content is not document text. Sorted.
// clang-format off
constexpr std::string_view kDestinations[] = {
    "annotation", "atnauthor", "atnid", "author", "bkmkend", "bkmkstart", "buptim", "colortbl",
    "comment", "creatim", "datastore", "doccomm", "falt", "filetbl", "fldinst", "fonttbl",
    "footer", "footerf", "footerl", "footerr", "footnote", "generator", "header", "headerf",
    "headerl", "headerr", "info", "keywords", "listoverridetable", "listtable", "listtext",
    "nonshppict", "objdata", "object", "operator", "pict", "pntext", "pntxta", "pntxtb",
    "printim", "revtbl", "revtim", "rsidtbl", "stylesheet", "subject", "tc", "template",
    "title", "txe", "xe"};
// clang-format on
static_assert(std::is_sorted(std::begin(kDestinations), std::end(kDestinations)));

bool IsDestination(std::string_view word) {
  return std::binary_search(std::begin(kDestinations), std::end(kDestinations), word);
}

// The text of a control word that stands for characters; empty for any other word.
std::u16string_view WordText(std::string_view word) {
  struct Entry {
    std::string_view word;
    std::u16string_view text;
  };
  static constexpr auto kEntries = std::to_array<Entry>({
      {"bullet", u"\u2022"},
      {"emdash", u"\u2014"},
      {"emspace", u"\u2003"},
      {"endash", u"\u2013"},
      {"enspace", u"\u2002"},
      {"ldblquote", u"\u201C"},
      {"line", u"\v"},
      {"lquote", u"\u2018"},
      {"ltrmark", u"\u200E"},
      {"par", u"\r\n"},
      {"qmspace", u"\u2005"},
      {"rdblquote", u"\u201D"},
      {"rquote", u"\u2019"},
      {"rtlmark", u"\u200F"},
      {"sect", u"\r\n"},
      {"tab", u"\t"},
      {"zwj", u"\u200D"},
      {"zwnj", u"\u200C"},
  });
  for (const Entry& entry : kEntries) {
    if (entry.word == word) return entry.text;
  }
  return {};
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

enum class TokenKind { GroupOpen, GroupClose, Ignored, Byte, Word, Symbol };

// One lexical unit of RTF source at [begin, end).
struct Token {
  TokenKind kind = TokenKind::Ignored;
  std::size_t begin = 0;
  std::size_t end = 0;
  std::uint8_t byte = 0;   // Byte: a literal character, \'xx, \\, \{ or \}
  std::string_view name;   // Word
  std::int32_t param = 0;  // Word; 0 when it has none
  char symbol = 0;         // Symbol: the character after the backslash
};

Token MakeToken(TokenKind kind, std::size_t begin, std::size_t end, std::uint8_t byte = 0) {
  Token token;
  token.kind = kind;
  token.begin = begin;
  token.end = end;
  token.byte = byte;
  return token;
}

// A control word: letters, an optional signed number, and a space that belongs to it.
Token LexWord(std::string_view rtf, std::size_t begin) {
  Token token = MakeToken(TokenKind::Word, begin, begin);
  std::size_t pos = begin + 1;
  while (pos < rtf.size() && IsLetter(rtf[pos])) ++pos;
  token.name = rtf.substr(begin + 1, pos - begin - 1);
  bool negative = false;
  if (pos + 1 < rtf.size() && rtf[pos] == '-' && IsDigit(rtf[pos + 1])) {
    negative = true;
    ++pos;
  }
  // Saturates instead of overflowing; a parameter that large means nothing anyway.
  constexpr std::int64_t kCap = std::int64_t{1} << 31;
  std::int64_t value = 0;
  while (pos < rtf.size() && IsDigit(rtf[pos])) {
    value = std::min(kCap, value * 10 + (rtf[pos] - '0'));
    ++pos;
  }
  value = negative ? -value : std::min(value, kCap - 1);
  token.param = static_cast<std::int32_t>(value);
  if (pos < rtf.size() && rtf[pos] == ' ') ++pos;
  if (token.name == "bin" && token.param > 0) {
    // Raw data follows; it may hold anything, braces and backslashes included.
    pos += std::min(static_cast<std::size_t>(token.param), rtf.size() - pos);
  }
  token.end = pos;
  return token;
}

Token Lex(std::string_view rtf, std::size_t pos) {
  const char c = rtf[pos];
  switch (c) {
    case '{':
      return MakeToken(TokenKind::GroupOpen, pos, pos + 1);
    case '}':
      return MakeToken(TokenKind::GroupClose, pos, pos + 1);
    case '\r':
    case '\n':
      return MakeToken(TokenKind::Ignored, pos, pos + 1);
    case '\\':
      break;
    default:
      return MakeToken(TokenKind::Byte, pos, pos + 1, static_cast<std::uint8_t>(c));
  }
  if (pos + 1 >= rtf.size()) return MakeToken(TokenKind::Ignored, pos, pos + 1);
  const char next = rtf[pos + 1];
  if (IsLetter(next)) return LexWord(rtf, pos);
  if (next == '\\' || next == '{' || next == '}') {
    return MakeToken(TokenKind::Byte, pos, pos + 2, static_cast<std::uint8_t>(next));
  }
  if (next == '\'' && pos + 3 < rtf.size()) {
    const int high = HexValue(rtf[pos + 2]);
    const int low = HexValue(rtf[pos + 3]);
    if (high >= 0 && low >= 0) {
      return MakeToken(TokenKind::Byte, pos, pos + 4, static_cast<std::uint8_t>(high * 16 + low));
    }
  }
  Token symbol = MakeToken(TokenKind::Symbol, pos, pos + 2);
  symbol.symbol = next;
  return symbol;
}

// Walks an RTF document and reports, in source order, every piece of document text with
// the source span it comes from, every group brace, and every other control word of the
// document text. The sink has Text(begin, end, units, closable), Open(), Close() and
// Word(token); `closable` is false where nothing may be written right after the span.
template <typename Sink>
class Scanner {
 public:
  Scanner(std::string_view rtf, Sink& sink) : rtf_(rtf), sink_(sink) {}

  void Run() {
    std::size_t pos = 0;
    while (pos < rtf_.size()) {
      const Token token = Lex(rtf_, pos);
      pos = token.end;
      // CR and LF in the source are not text and do not split a double-byte character.
      if (token.kind == TokenKind::Ignored) continue;
      if (token.kind == TokenKind::Byte) {
        if (Visible()) {
          run_.push_back({token.byte, token.begin, token.end});
          if (run_.size() == 2) FlushFront();
        }
        continue;
      }
      FlushRun();
      switch (token.kind) {
        case TokenKind::GroupOpen:
          groups_.push_back(groups_.empty() ? Group{} : groups_.back());
          sink_.Open();
          break;
        case TokenKind::GroupClose:
          if (groups_.empty()) break;  // a stray brace before the document
          groups_.pop_back();
          sink_.Close();
          if (groups_.empty()) return;  // readers stop at the end of the outermost group
          break;
        case TokenKind::Word:
          pos = OnWord(token);
          break;
        case TokenKind::Symbol:
          OnSymbol(token);
          break;
        default:
          break;
      }
    }
    FlushRun();
  }

 private:
  struct Group {
    bool hidden = false;    // inside a destination
    std::int32_t skip = 1;  // \ucN: fallback characters after each \uN
  };
  struct RunByte {
    std::uint8_t byte;
    std::size_t begin;
    std::size_t end;
  };

  bool Visible() const { return !groups_.empty() && !groups_.back().hidden; }

  // Gives where scanning goes on: after a \uN, past its fallback characters.
  std::size_t OnWord(const Token& token) {
    if (!Visible()) return token.end;
    Group& group = groups_.back();
    if (token.name == "u") {
      const char16_t unit = static_cast<char16_t>(token.param);
      std::int32_t left = group.skip;
      const std::size_t end = SkipFallback(token.end, left);
      // A fallback cut short by a brace would swallow whatever is written right after it.
      sink_.Text(token.begin, end, std::u16string_view(&unit, 1), left == 0);
      return end;
    }
    if (token.name == "uc") {
      group.skip = std::max<std::int32_t>(0, token.param);
    } else if (IsDestination(token.name)) {
      group.hidden = true;
    } else if (const std::u16string_view text = WordText(token.name); !text.empty()) {
      sink_.Text(token.begin, token.end, text);
      return token.end;
    }
    sink_.Word(token);
    return token.end;
  }

  void OnSymbol(const Token& token) {
    if (!Visible()) return;
    switch (token.symbol) {
      case '*':
        groups_.back().hidden = true;
        return;
      case '~':
        sink_.Text(token.begin, token.end, u"\u00A0");
        return;
      case '_':
        sink_.Text(token.begin, token.end, u"\u2011");
        return;
      case '-':
        sink_.Text(token.begin, token.end, u"\u00AD");
        return;
      case '\r':
      case '\n':
        sink_.Text(token.begin, token.end, u"\r\n");
        return;
      default:
        return;
    }
  }

  // The fallback of a \uN: up to `count` characters, a control word or escape counting as
  // one; a brace ends it early, leaving `count` above 0.
  std::size_t SkipFallback(std::size_t pos, std::int32_t& count) const {
    while (count > 0 && pos < rtf_.size() && rtf_[pos] != '{' && rtf_[pos] != '}') {
      const Token token = Lex(rtf_, pos);
      // A backslash that ends the source must stay outside the span: a switch written after
      // the span would complete it.
      if (token.kind == TokenKind::Ignored && rtf_[pos] == '\\') break;
      pos = token.end;
      if (token.kind != TokenKind::Ignored) --count;
    }
    return pos;
  }

  // Text bytes, literal or escaped, form CP932 characters together, so a character is only
  // known once the byte after its first one is known, or the run of bytes has ended.
  void FlushRun() {
    while (!run_.empty()) FlushFront();
  }

  // The character that the run's first byte starts: run_ holds at most two bytes.
  void FlushFront() {
    const std::uint8_t lead = run_[0].byte;
    const bool next = run_.size() > 1;
    std::size_t width = 1;
    char16_t unit = lead;
    if (lead >= 0x80) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(next ? run_[1].byte : 0)};
      decoded_.clear();
      AppendCp932(std::string_view(pair, next ? 2 : 1), decoded_);
      // Two bytes that give one character are a pair; otherwise the lead stands alone.
      if (next && decoded_.size() == 1) width = 2;
      unit = decoded_[0];
    }
    sink_.Text(run_[0].begin, run_[width - 1].end, std::u16string_view(&unit, 1));
    run_.erase(run_.begin(), run_.begin() + static_cast<std::ptrdiff_t>(width));
  }

  std::string_view rtf_;
  Sink& sink_;
  std::vector<Group> groups_;
  std::vector<RunByte> run_;
  std::u16string decoded_;
};

// First pass: the document text alone.
struct TextCollector {
  std::u16string text;
  void Text(std::size_t, std::size_t, std::u16string_view units, bool = true) {
    text.append(units);
  }
  void Open() {}
  void Close() {}
  void Word(const Token&) {}
};

// Second pass: copies the source and switches to red before each visible character inside
// a keyword range and back after it. The colour state follows the groups, so a range that
// crosses a brace or an existing \cf is still red all along.
class Colourer {
 public:
  Colourer(std::string_view rtf, const std::vector<TextRange>& ranges)
      : rtf_(rtf), ranges_(ranges) {
    out_.reserve(rtf.size() + kColourTable.size() + ranges.size() * 12);
  }

  void Text(std::size_t begin, std::size_t end, std::u16string_view units, bool closable = true) {
    CopyTo(begin);
    Colour& colour = colours_.back();
    const bool red = Overlaps(unit_, unit_ + units.size());
    if (red && !colour.red) {
      out_ += "\\cf1 ";
      colour.red = true;
    } else if (!red && colour.red) {
      Restore(colour);
    }
    CopyTo(end);
    unit_ += units.size();
    // Otherwise the switch back waits for the next visible character.
    if (closable && colour.red && !Overlaps(unit_, unit_ + 1)) Restore(colour);
  }

  void Open() { colours_.push_back(colours_.back()); }
  void Close() {
    if (colours_.size() > 1) colours_.pop_back();
  }

  void Word(const Token& token) {
    if (token.name == "viewkind") {
      CopyTo(token.begin);
      out_ += kColourTable;
    } else if (token.name == "cf" || token.name == "plain") {
      Colour& colour = colours_.back();
      colour.original = token.name == "cf" ? token.param : 0;
      colour.red = false;
    }
  }

  std::string Finish() && {
    CopyTo(rtf_.size());
    return std::move(out_);
  }

 private:
  struct Colour {
    bool red = false;           // our \cf1 is in force
    std::int32_t original = 0;  // the colour the document itself sets
  };

  void CopyTo(std::size_t pos) {
    out_.append(rtf_.substr(copied_, pos - copied_));
    copied_ = pos;
  }

  // Back to the document's own colour; the space keeps a following digit out of the number.
  void Restore(Colour& colour) {
    out_ += "\\cf";
    out_ += std::to_string(colour.original);
    out_ += ' ';
    colour.red = false;
  }

  // Whether units [from, to) meet a range. Calls come in ascending order.
  bool Overlaps(std::size_t from, std::size_t to) {
    while (next_ < ranges_.size() && ranges_[next_].end <= from) ++next_;
    return next_ < ranges_.size() && ranges_[next_].begin < to;
  }

  std::string_view rtf_;
  const std::vector<TextRange>& ranges_;
  std::string out_;
  std::size_t copied_ = 0;
  std::size_t unit_ = 0;
  std::size_t next_ = 0;
  std::vector<Colour> colours_{1};
};

}  // namespace

std::string HighlightKeywords(std::string_view rtf, const KeywordList& keywords) {
  TextCollector collector;
  Scanner(rtf, collector).Run();
  const std::vector<TextRange> ranges = KeywordRanges(collector.text, keywords);

  Colourer colourer(rtf, ranges);
  Scanner(rtf, colourer).Run();
  return std::move(colourer).Finish();
}

}  // namespace vek
