#include "cp932.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vek {
namespace {

using namespace std::literals;

using MaybeBytes = std::optional<std::string>;

std::string Hex(const MaybeBytes& bytes) {
  if (!bytes) return "none";
  std::string out;
  for (unsigned char c : *bytes) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", c);
    out += digits;
  }
  return out;
}

std::string Utf16Le(char16_t ch) {
  return {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
}

MaybeBytes Encoded(char16_t ch) {
  const Cp932Code code = EncodeCp932(ch);
  if (code.size == 0) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(code.bytes), code.size);
}

// Our reading of `bytes` as exactly one character.
std::optional<char16_t> DecodeOne(const std::string& bytes) {
  const std::u16string text = DecodeCp932(bytes);
  if (text.size() != 1 || text[0] == u'\uFFFD') return std::nullopt;
  return text[0];
}

// Every byte that decodes alone, and every pair after a byte that does not.
std::vector<std::string> AllSequences() {
  std::vector<std::string> all;
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    if (DecodeOne(one)) {
      all.push_back(one);
    } else {
      for (int t = 0; t < 256; ++t) all.push_back(one + static_cast<char>(t));
    }
  }
  return all;
}

// One strict conversion through glibc's iconv; nullopt when it rejects the input.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from), &iconv_close) {}
  bool ok() const { return cd_.get() != reinterpret_cast<iconv_t>(-1); }
  MaybeBytes operator()(std::string in) const {
    char buffer[16];
    char* in_ptr = in.data();
    char* out_ptr = buffer;
    std::size_t in_left = in.size(), out_left = sizeof buffer;
    iconv(cd_.get(), nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_.get(), &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1))
      return std::nullopt;
    return std::string(buffer, out_ptr);
  }

 private:
  std::unique_ptr<void, int (*)(iconv_t)> cd_;
};

// glibc's CP932 lacks Windows' single bytes 80, A0 and FD-FF (U+0080, U+F8F0-U+F8F3), and it
// encodes three characters that Windows' table cannot (its best fits for U+00A5, U+203E and
// U+2014). Everything else, duplicates and the user-defined rows F0-F9 included, is the same.
TEST(Cp932Table, AgreesWithGlibcIconvApartFromKnownDifferences) {
  const Iconv decoder("UTF-16LE", "CP932"), encoder("CP932", "UTF-16LE");
  if (!decoder.ok() || !encoder.ok()) GTEST_SKIP() << "iconv has no CP932";

  std::map<std::string, std::string> differences;  // input -> "ours glibc"
  for (const std::string& bytes : AllSequences()) {
    const std::optional<char16_t> ch = DecodeOne(bytes);
    const MaybeBytes ours = ch ? MaybeBytes(Utf16Le(*ch)) : std::nullopt;
    if (const MaybeBytes glibc = decoder(bytes); glibc != ours)
      differences[Hex(bytes)] = Hex(ours) + " " + Hex(glibc);
  }
  for (unsigned c = 0; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const auto ch = static_cast<char16_t>(c);
    if (const MaybeBytes glibc = encoder(Utf16Le(ch)); glibc != Encoded(ch))
      differences["U+" + Hex(std::string{static_cast<char>(c >> 8), static_cast<char>(c)})] =
          Hex(Encoded(ch)) + " " + Hex(glibc);
  }
  const std::map<std::string, std::string> expected = {
      {"80", "8000 none"},     {"A0", "F0F8 none"},   {"FD", "F1F8 none"},   {"FE", "F2F8 none"},
      {"FF", "F3F8 none"},     {"U+0080", "80 none"}, {"U+F8F0", "A0 none"}, {"U+F8F1", "FD none"},
      {"U+F8F2", "FE none"},   {"U+F8F3", "FF none"}, {"U+00A5", "none 5C"}, {"U+203E", "none 7E"},
      {"U+2014", "none 815C"},
  };
  EXPECT_EQ(differences, expected);
}

// Every decoded character encodes to one of the codes it came from, and HasUniqueCp932Code is
// true exactly when there is only one.
TEST(Cp932Table, EncoderAndUniquenessMatchTheDecoder) {
  std::map<char16_t, std::vector<std::string>> sources;
  for (const std::string& bytes : AllSequences()) {
    if (const std::optional<char16_t> ch = DecodeOne(bytes)) sources[*ch].push_back(bytes);
  }
  std::vector<char16_t> one_way;
  for (unsigned c = 0; c <= 0xFFFF; ++c) {
    const auto ch = static_cast<char16_t>(c);
    const MaybeBytes code = Encoded(ch);
    const auto found = sources.find(ch);
    if (found == sources.end()) {
      if (code) one_way.push_back(ch);
      EXPECT_FALSE(HasUniqueCp932Code(ch)) << c;
      continue;
    }
    ASSERT_TRUE(code) << c;
    EXPECT_NE(std::ranges::find(found->second, *code), found->second.end()) << c;
    EXPECT_EQ(HasUniqueCp932Code(ch), found->second.size() == 1) << c;
  }
  // Best fits onto look-alikes, which Windows and glibc have too: ¢ £ ¬ ‖ − 〜 (as ￠ ￡ ￢ ∥ －
  // ～).
  EXPECT_EQ(one_way, (std::vector<char16_t>{0xA2, 0xA3, 0xAC, 0x2016, 0x2212, 0x301C}));
}

TEST(Cp932Decode, ReadsEachKindOfCharacter) {
  EXPECT_EQ(DecodeCp932(""), u"");
  EXPECT_EQ(DecodeCp932("a\\~\x82\xA0\xB1\xDF\x88\x9F\xFA\x40\xF0\x40"), u"a\\~あｱﾟ亜ⅰ\uE000"sv);
  EXPECT_EQ(DecodeCp932("\x80\xA0\xFD\xFE\xFF"), u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3");
  std::u16string out = u"kept";
  AppendCp932("\x93\xFA", out);
  EXPECT_EQ(out, u"kept日");
}

// A byte that starts no character is U+FFFD alone; the byte after it is read afresh.
TEST(Cp932Decode, ReplacesOnlyTheByteThatStartsNoCharacter) {
  EXPECT_EQ(DecodeCp932("\x85\x40"), u"\uFFFD@");                         // lead of an empty row
  EXPECT_EQ(DecodeCp932("\x82\x40"), u"\uFFFD@");                         // pair without a mapping
  EXPECT_EQ(DecodeCp932("\x81\x7F\x81\xFD"), u"\uFFFD\x7F\uFFFD\uF8F1");  // trail never valid
  EXPECT_EQ(DecodeCp932("a\x82"), u"a\uFFFD");                            // lead at the end
  EXPECT_EQ(DecodeCp932("a\x82\xA0"sv.substr(0, 2)), u"a\uFFFD");         // even before a trail
  EXPECT_EQ(DecodeCp932("\x82\r\n\x88\n"), u"\uFFFD\r\n\uFFFD\n");
  EXPECT_EQ(DecodeCp932("\x88\x82\xA0"), u"\uFFFDあ");  // 88 82 unmapped, 82 A0 is
  EXPECT_EQ(DecodeCp932(std::string("\x82\0x", 3)), std::u16string(u"\uFFFD\0x", 3));
}

// ASCII runs of every length around the 8-byte blocks, with a character or a stray lead byte
// at every position; each must come out exactly once and in place.
TEST(Cp932Decode, AsciiRunsAroundBlockBoundaries) {
  const std::string ascii("\x01 09AZaz~\x7F\0", 11);
  for (std::size_t length = 0; length <= 26; ++length) {
    std::string bytes;
    std::u16string text;
    for (std::size_t i = 0; i < length; ++i) {
      bytes += ascii[i % ascii.size()];
      text += static_cast<char16_t>(ascii[i % ascii.size()]);
    }
    EXPECT_EQ(DecodeCp932(bytes), text);
    for (std::size_t at = 0; at <= length; ++at) {
      for (const auto& [insert, expected] :
           {std::pair<std::string, std::u16string>{"\x82\xA0", u"あ"},
            {"\xB1", u"ｱ"},
            {"\x85", u"\uFFFD"}}) {
        const std::string input = bytes.substr(0, at) + insert + bytes.substr(at);
        EXPECT_EQ(DecodeCp932(input), text.substr(0, at) + expected + text.substr(at))
            << "length " << length << " at " << at;
      }
    }
  }
}

TEST(Cp932Encode, PrefersTheCodesWindowsWrites) {
  EXPECT_EQ(Hex(Encoded(u'\uFFE2')), "81CA");  // also EE F9, FA 54
  EXPECT_EQ(Hex(Encoded(u'≒')), "81E0");       // also 87 90
  EXPECT_EQ(Hex(Encoded(u'Ⅰ')), "8754");       // also FA 4A
  EXPECT_EQ(Hex(Encoded(u'ⅰ')), "FA40");       // also EE EF
  EXPECT_EQ(Hex(Encoded(u'\u4E28')), "FA68");  // also ED 4C
  EXPECT_EQ(Hex(Encoded(u'\u0000')), "00");
}

TEST(Cp932Encode, UnencodableCharactersAndSurrogatesAreOneQuestionMark) {
  const std::pair<std::u16string_view, std::string> cases[] = {
      {u"aあｱ日本", "a\x82\xA0\xB1\x93\xFA\x96\x7B"},
      {u"€x", "?x"},
      {u"\U0001F600", "?"},
      {u"a\xD83D-", "a?-"},                   // lone high
      {u"\xDE00\xD83D", "??"},                // low before high: two lone ones
      {u"\xD83D\xD83D\xDE00", "??"},          // lone high, then a pair
      {u"\xD83D\xDE00"sv.substr(0, 1), "?"},  // high at the end, even before a low
  };
  for (const auto& [text, bytes] : cases) {
    EXPECT_EQ(EncodeCp932(text), bytes) << Hex(bytes);
    EXPECT_EQ(Cp932ByteLength(text), bytes.size()) << Hex(bytes);
  }
}

TEST(Cp932Encode, HalfWidthMeansOneByteOrUnencodable) {
  for (char16_t ch = u'\uFF61'; ch <= u'\uFF9F'; ++ch) EXPECT_TRUE(IsHalfWidth(ch)) << int{ch};
  for (char16_t ch : u"a\\~\u0080\uF8F0€\xD800"sv) EXPECT_TRUE(IsHalfWidth(ch)) << int{ch};
  for (char16_t ch : u"あア日ａ\u00A2\uE000"sv) EXPECT_FALSE(IsHalfWidth(ch)) << int{ch};
}

}  // namespace
}  // namespace vek
