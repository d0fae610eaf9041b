#include "text_convert.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace vek {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
// An escaped byte 0x80 to 0xFF: a lone low surrogate that valid UTF-8 never decodes to.
constexpr char16_t kEscapeBase = 0xDC00;

char16_t* WriteUtf16(char32_t cp, char16_t* p) {
  if (cp < 0x10000) {
    *p++ = static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    *p++ = static_cast<char16_t>(0xD800 + (cp >> 10));
    *p++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
  return p;
}

}  // namespace

namespace {

// Invalid bytes become U+FFFD, or with `escape` each becomes U+DC00 plus the byte.
// Appended through a pointer into room for one code unit a byte, which no form exceeds, then
// cut back: the walk decodes every file name.
void DecodeUtf8(std::string_view text, bool escape, std::u16string& out) {
  const std::size_t start = out.size();
  out.resize(start + text.size());
  char16_t* p = out.data() + start;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<std::uint8_t>(text[i]);
    if (b0 < 0x80) {
      *p++ = b0;
      ++i;
      continue;
    }
    // Length, minimum value and first-continuation range reject overlong forms and surrogates.
    int length = 0;
    char32_t cp = 0;
    std::uint8_t lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2, cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3, cp = b0 & 0x0F;
      if (b0 == 0xE0) lo = 0xA0;
      if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4, cp = b0 & 0x07;
      if (b0 == 0xF0) lo = 0x90;
      if (b0 == 0xF4) hi = 0x8F;
    }
    int used = 1;
    bool valid = length > 0;
    for (; valid && used < length; ++used) {
      if (i + used >= text.size()) {
        valid = false;
        break;
      }
      const auto b = static_cast<std::uint8_t>(text[i + used]);
      if (b < (used == 1 ? lo : 0x80) || b > (used == 1 ? hi : 0xBF)) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (b & 0x3F);
    }
    if (valid) {
      p = WriteUtf16(cp, p);
      i += length;
    } else if (escape) {
      for (int k = 0; k < used; ++k)
        *p++ = static_cast<char16_t>(kEscapeBase | static_cast<std::uint8_t>(text[i + k]));
      i += used;
    } else {
      // One U+FFFD per maximal invalid prefix, as the common decoders do.
      *p++ = kReplacement;
      i += used;
    }
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  DecodeUtf8(text, false, out);
  return out;
}

std::u16string BytesToUtf16(std::string_view bytes) {
  std::u16string out;
  DecodeUtf8(bytes, true, out);
  return out;
}

namespace {

// The code point at text[i], and how many code units it takes; a lone surrogate is U+FFFD.
char32_t CodePointAt(std::u16string_view text, std::size_t i, std::size_t& units) {
  const char32_t cp = text[i];
  units = 1;
  if (cp < 0xD800 || cp > 0xDFFF) return cp;
  if (cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
    units = 2;
    return 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
  }
  return kReplacement;
}

}  // namespace

void AppendUtf8(std::u16string_view text, std::string& out) {
  // Written through a pointer into room for the longest form (3 bytes a code unit), then cut
  // back: this is vekgrep's output path.
  const std::size_t start = out.size();
  out.resize(start + 3 * text.size());
  char* p = out.data() + start;
  for (std::size_t i = 0; i < text.size();) {
    const char16_t c = text[i];
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
      ++i;
      continue;
    }
    if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
      ++i;
      continue;
    }
    std::size_t units = 1;
    if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
      *p++ = static_cast<char>(c - kEscapeBase);  // an escaped byte
      ++i;
      continue;
    }
    const char32_t cp = (c & 0xF800) == 0xD800 ? CodePointAt(text, i, units) : c;
    i += units;
    if (cp < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (cp >> 12));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *p++ = static_cast<char>(0xF0 | (cp >> 18));
      *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  AppendUtf8(text, out);
  return out;
}

std::u16string PathText(const std::filesystem::path& path) {
  std::u16string text;
  AppendPathText(path.native(), text);
  return text;
}

#ifdef _WIN32
void AppendPathText(std::wstring_view text, std::u16string& out) {
  const std::size_t start = out.size();
  out.resize(start + text.size());
  std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(start));
}

std::filesystem::path PathFromText(std::u16string_view text) {
  return std::filesystem::path(std::wstring(text.begin(), text.end()));
}
#else
void AppendPathText(std::string_view text, std::u16string& out) {
  DecodeUtf8(text, true, out);
}

std::filesystem::path PathFromText(std::u16string_view text) {
  return std::filesystem::path(Utf16ToUtf8(text));
}
#endif

std::u16string FileNameText(const std::filesystem::path& path) {
  return PathText(path.filename());
}

}  // namespace vek
