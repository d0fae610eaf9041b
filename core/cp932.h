// Code page 932 (Windows-31J) conversion, table-driven and identical on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

// Decodes CP932 bytes and appends the UTF-16 text to `out`. A byte that does not start a
// valid character (an undefined single byte, a lead byte whose pair has no mapping, a lead
// byte at the end) becomes U+FFFD and decoding goes on with the very next byte, so CR and
// LF always survive as themselves.
void AppendCp932(std::string_view bytes, std::u16string& out);
std::u16string DecodeCp932(std::string_view bytes);
// The same text appended as UTF-8, in one pass.
void AppendCp932AsUtf8(std::string_view bytes, std::string& out);

// The CP932 bytes of one UTF-16 code unit; size 0 when the table cannot encode it.
struct Cp932Code {
  std::uint8_t size = 0;
  std::uint8_t bytes[2] = {0, 0};
};
Cp932Code EncodeCp932(char16_t ch);

// Encodes a whole text; characters the table cannot encode become "?", as the system's
// conversion writes them (a surrogate pair is one character, so one "?").
std::string EncodeCp932(std::u16string_view text);

// Length of `text` in bytes once encoded as above.
std::size_t Cp932ByteLength(std::u16string_view text);

// True when exactly one byte sequence decodes to `ch`, so that a byte search for its code
// finds every occurrence in undecoded text. A byte hit can still be false (a trail byte that
// looks like ASCII, or a pair across two characters), so hits still need checking.
bool HasUniqueCp932Code(char16_t ch);

}  // namespace vek
