#include <cstdint>
#include <string>

#include "cp932.h"
#include "rtf.h"

namespace vek {
namespace {

// The result box's design-time content: ＭＳ ゴシック, character set 128, 9 point.
constexpr std::string_view kHeader =
    "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 "
    "\\'82\\'6c\\'82\\'72 \\'83\\'53\\'83\\'56\\'83\\'62\\'83\\'4e;}}\r\n"
    "\\viewkind4\\uc1\\pard\\lang1041\\f0\\fs18 ";
// Read back, this \par is the document's final paragraph mark, not a line of the text.
constexpr std::string_view kTrailer = "\r\n\\par }\r\n";
// The end of a piece to append: no final paragraph mark, the box has its own.
constexpr std::string_view kPieceEnd = "}\r\n";

void AppendByteEscape(std::uint8_t byte, std::string& out) {
  constexpr char kHex[] = "0123456789abcdef";
  out += "\\'";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

class BodyWriter {
 public:
  explicit BodyWriter(std::string& out) : out_(out) {}

  void Write(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char16_t ch = text[i];
      if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
        // The CR LF after \par is only the source's line break; a reader ignores it, and it
        // ends the control word so that a digit or space of the next line stays text.
        out_ += "\\par\r\n";
        ++i;
      } else if (ch < 0x80) {
        WriteAscii(ch);
      } else {
        WriteOther(ch);
      }
    }
  }

 private:
  void WriteAscii(char16_t ch) {
    switch (ch) {
      case u'\\':
      case u'{':
      case u'}':
        out_ += '\\';
        out_ += static_cast<char>(ch);
        return;
      case u'\t':
        out_ += "\\tab ";
        return;
      default:
        break;
    }
    // A raw CR or LF in RTF source is ignored and other control bytes are unsafe there, so
    // a lone CR or LF (possible in a file name) stays a character of its own.
    if (ch < 0x20 || ch == 0x7F) {
      AppendByteEscape(static_cast<std::uint8_t>(ch), out_);
    } else {
      out_ += static_cast<char>(ch);
    }
  }

  void WriteOther(char16_t ch) {
    const Cp932Code code = EncodeCp932(ch);
    if (code.size != 0 && DecodesBackTo(code, ch)) {
      for (std::uint8_t k = 0; k < code.size; ++k) AppendByteEscape(code.bytes[k], out_);
      return;
    }
    // \uc1 in the header: one fallback character follows.
    out_ += "\\u";
    out_ += std::to_string(static_cast<std::int16_t>(ch));
    out_ += '?';
  }

  // Bytes that would read back as another character (a best-fit code) are no use here.
  bool DecodesBackTo(const Cp932Code& code, char16_t ch) {
    decoded_.clear();
    AppendCp932({reinterpret_cast<const char*>(code.bytes), code.size}, decoded_);
    return decoded_.size() == 1 && decoded_[0] == ch;
  }

  std::string& out_;
  std::u16string decoded_;
};

std::string WriteDocument(std::u16string_view text, std::string_view trailer) {
  std::string rtf;
  // Double-byte text dominates: 8 bytes of escapes per character.
  rtf.reserve(kHeader.size() + text.size() * 8 + trailer.size());
  rtf += kHeader;
  BodyWriter(rtf).Write(text);
  rtf += trailer;
  return rtf;
}

}  // namespace

std::u16string ResultText(const ResultList& results) {
  std::u16string text;
  std::size_t size = 0;
  for (const std::u16string& line : results) size += line.size() + 2;
  text.reserve(size);
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (i > 0) text += u"\r\n";
    text += results[i];
  }
  return text;
}

std::string WriteRtf(std::u16string_view text) {
  return WriteDocument(text, kTrailer);
}

std::string ResultRtfPiece(const ResultList& results, std::size_t first, std::size_t last,
                           const KeywordList& keywords) {
  std::u16string text;
  for (std::size_t i = first; i < last; ++i) text.append(results[i]).append(u"\r\n");
  // No final paragraph mark: the box that the piece is appended to has its own.
  return HighlightKeywords(WriteDocument(text, kPieceEnd), keywords);
}

std::string_view ResultRtfHead() {
  // The highlighter adds only its colour table to the header, whatever the keywords.
  static const std::string head = [] {
    std::string piece = ResultRtfPiece({}, 0, 0, {});
    piece.resize(piece.size() - kPieceEnd.size());
    return piece;
  }();
  return head;
}

std::string ResultRtfBody(const ResultList& lines, const KeywordList& keywords) {
  std::string piece = ResultRtfPiece(lines, 0, lines.size(), keywords);
  // In place: a piece may be as large as the longest line's escapes.
  piece.resize(piece.size() - kPieceEnd.size());
  piece.erase(0, ResultRtfHead().size());
  return piece;
}

std::string_view ResultRtfEnd() {
  return kTrailer;
}

}  // namespace vek
