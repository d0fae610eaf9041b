// Where CP932 characters start in undecoded bytes. The facts come from the decoder itself,
// once per process, so that a byte-level test can never disagree with decoding.
#pragma once

#include <bitset>
#include <cstddef>
#include <string_view>

namespace vek {

class Cp932Boundaries {
 public:
  static const Cp932Boundaries& Get();

  // True when the decoder takes `lead` and `trail` as one character.
  bool Pairs(unsigned char lead, unsigned char trail) const { return pairs_[lead << 8 | trail]; }
  // False when `byte` never starts a pair: a character always ends with such a byte.
  bool MayLead(unsigned char byte) const { return leads_[byte]; }

  // The first character start at or after `at` (so `at` or `at` + 1) when `bytes` are
  // decoded from `start`, a character start at or before `at` such as a line start. The
  // bytes between `start` and `at` are looked at only back to the nearest byte that cannot
  // lead, so checking one rising offset after another from the last answer costs no more
  // than one pass over the line.
  std::size_t NextBoundary(std::string_view bytes, std::size_t start, std::size_t at) const;
  bool IsBoundary(std::string_view bytes, std::size_t start, std::size_t at) const {
    return NextBoundary(bytes, start, at) == at;
  }

 private:
  Cp932Boundaries();

  std::bitset<0x10000> pairs_;
  std::bitset<0x100> leads_;
};

}  // namespace vek
