#include "cp932.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "cp932_table.h"

namespace vek {
namespace {

namespace table = cp932_table;

constexpr std::uint64_t kHighBits = 0x8080808080808080u;
constexpr std::uint8_t kUnencodable = '?';

// Four bytes in the low half become four 16-bit lanes.
std::uint64_t Spread(std::uint64_t x) {
  x = (x | x << 16) & 0x0000FFFF0000FFFFu;
  return (x | x << 8) & 0x00FF00FF00FF00FFu;
}

bool IsHighSurrogate(char16_t ch) {
  return ch >= 0xD800 && ch <= 0xDBFF;
}
bool IsLowSurrogate(char16_t ch) {
  return ch >= 0xDC00 && ch <= 0xDFFF;
}

// Calls `emit` with the code of each character of `text`, "?" standing in for what the table
// cannot encode; a surrogate pair is a single character.
template <typename Emit>
void ForEachCode(std::u16string_view text, Emit emit) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    Cp932Code code = EncodeCp932(text[i]);
    if (code.size == 0) {
      if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
      code = {1, {kUnencodable, 0}};
    }
    emit(code);
  }
}

// Where decoded text goes: UTF-16 code units, or their UTF-8 form.
struct Utf16Writer {
  char16_t* o;
  void Put(char16_t ch) { *o++ = ch; }
  // Eight ASCII bytes, widened in two 64-bit words without branches.
  void PutAscii(std::uint64_t word) {
    if constexpr (std::endian::native == std::endian::little) {
      const std::uint64_t low = Spread(word & 0xFFFFFFFFu), high = Spread(word >> 32);
      std::memcpy(o, &low, sizeof low);
      std::memcpy(o + 4, &high, sizeof high);
    } else {
      unsigned char bytes[8];
      std::memcpy(bytes, &word, sizeof word);  // back in memory order
      for (int k = 0; k < 8; ++k) o[k] = bytes[k];
    }
    o += 8;
  }
};

// CP932 decodes to the basic multilingual plane only, never to a surrogate.
struct Utf8Writer {
  char* o;
  void Put(char16_t ch) {
    if (ch < 0x80) {
      *o++ = static_cast<char>(ch);
    } else if (ch < 0x800) {
      *o++ = static_cast<char>(0xC0 | ch >> 6);
      *o++ = static_cast<char>(0x80 | (ch & 0x3F));
    } else {
      *o++ = static_cast<char>(0xE0 | ch >> 12);
      *o++ = static_cast<char>(0x80 | (ch >> 6 & 0x3F));
      *o++ = static_cast<char>(0x80 | (ch & 0x3F));
    }
  }
  void PutAscii(std::uint64_t word) {
    std::memcpy(o, &word, sizeof word);
    o += 8;
  }
};

template <typename Writer>
void Decode(std::string_view bytes, Writer& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  while (p < end) {
    // ASCII runs, eight bytes per test.
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      if (word & kHighBits) break;
      out.PutAscii(word);
      p += 8;
    }
    // Then character by character until an ASCII byte hints at another run, so that text of
    // mostly double-byte characters does not pay for the eight-byte test at each one.
    while (p < end) {
      const unsigned b = *p;
      if (b < 0x80) {
        out.Put(static_cast<char16_t>(b));
        ++p;
        break;
      }
      if (const unsigned row = table::kLeadRow[b]; row != 0 && end - p >= 2) {
        const unsigned trail = p[1];
        if (trail >= table::kTrailBase) {
          if (const char16_t ch = table::kPairs[row - 1][trail - table::kTrailBase]; ch != 0) {
            out.Put(ch);
            p += 2;
            continue;
          }
        }
      }
      // A single character, or a byte that starts none (U+FFFD in the table); either way the
      // next byte is decoded afresh.
      out.Put(static_cast<char16_t>(table::kSingle[b]));
      ++p;
    }
  }
}

}  // namespace

void AppendCp932(std::string_view bytes, std::u16string& out) {
  // Every byte yields at most one code unit: size once, write through a pointer, trim at the
  // end. That keeps the loop free of capacity checks.
  const std::size_t start = out.size();
  out.resize(start + bytes.size());
  Utf16Writer writer{out.data() + start};
  Decode(bytes, writer);
  out.resize(static_cast<std::size_t>(writer.o - out.data()));
}

void AppendCp932AsUtf8(std::string_view bytes, std::string& out) {
  // Every byte yields at most three UTF-8 bytes.
  const std::size_t start = out.size();
  out.resize(start + 3 * bytes.size());
  Utf8Writer writer{out.data() + start};
  Decode(bytes, writer);
  out.resize(static_cast<std::size_t>(writer.o - out.data()));
}

std::u16string DecodeCp932(std::string_view bytes) {
  std::u16string out;
  AppendCp932(bytes, out);
  return out;
}

Cp932Code EncodeCp932(char16_t ch) {
  // ASCII is itself; it also keeps U+0000 away from the table, where 0 means "none".
  if (ch < 0x80) return {1, {static_cast<std::uint8_t>(ch), 0}};
  const unsigned code = table::kEncodeBlocks[table::kEncodeIndex[ch >> 8]][ch & 0xFF];
  if (code == 0) return {};
  if (code < 0x100) return {1, {static_cast<std::uint8_t>(code), 0}};
  return {2, {static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code & 0xFF)}};
}

std::string EncodeCp932(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  ForEachCode(text, [&out](const Cp932Code& code) {
    out.append(reinterpret_cast<const char*>(code.bytes), code.size);
  });
  return out;
}

std::size_t Cp932ByteLength(std::u16string_view text) {
  std::size_t length = 0;
  ForEachCode(text, [&length](const Cp932Code& code) { length += code.size; });
  return length;
}

bool HasUniqueCp932Code(char16_t ch) {
  return EncodeCp932(ch).size != 0 &&
         !std::binary_search(table::kNonUnique.begin(), table::kNonUnique.end(), ch);
}

}  // namespace vek
