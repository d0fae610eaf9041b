// Byte-level scans over undecoded file contents: one literal, and the line ends around a
// position. SSE2 where the target has it (every x86-64), a portable loop elsewhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vek {

// Finds every occurrence of one byte string. Candidates come from two of its bytes, tested
// 16 to 64 positions at a time (as wide as the processor's vectors go) and chosen to be rare in
// CP932 text, so that text full of kana lead bytes does not stop the scan at every character; each
// candidate is then compared whole.
class ByteSearcher {
 public:
  static constexpr std::size_t npos = std::string_view::npos;

  // `widestVector`: the widest vectors in bits a scan may use, if the processor has them
  // (narrower ones for tests: each width has its own loop).
  explicit ByteSearcher(std::string needle, unsigned widestVector = 512);

  // The first occurrence that starts at or after `from`, or npos.
  std::size_t Find(std::string_view haystack, std::size_t from = 0) const;

  const std::string& needle() const { return needle_; }

 private:
  std::string needle_;
  std::size_t first_ = 0;   // offset of the rarest byte
  std::size_t second_ = 0;  // offset of the next rarest, another one when there is one
  enum class Width { k128, k256, k512 };  // of the vectors a scan uses, in bits
  Width width_ = Width::k128;
};

// How common a byte is in CP932 Japanese text, 0 (rare) to 255, from the structure of the
// code: kana and punctuation lead bytes and lower-case ASCII are everywhere, kanji lead
// bytes and trail-only bytes are spread over thousands of characters.
unsigned char ByteCommonness(unsigned char byte);

// Offset of the first CR or LF at or after `from`, or the size of `bytes`.
std::size_t FindLineEnd(std::string_view bytes, std::size_t from);

// Offset just after the last CR or LF before `at`, or 0: where the line holding `at` starts.
std::size_t FindLineStart(std::string_view bytes, std::size_t at);

}  // namespace vek
