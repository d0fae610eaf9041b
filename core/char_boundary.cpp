#include "char_boundary.h"

#include <string>

#include "cp932.h"

namespace vek {

Cp932Boundaries::Cp932Boundaries() {
  std::u16string text;
  for (unsigned lead = 0; lead < 0x100; ++lead) {
    for (unsigned trail = 0; trail < 0x100; ++trail) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      text.clear();
      AppendCp932({pair, 2}, text);
      // Two bytes decode to one code unit only when they form one character.
      if (text.size() == 1) {
        pairs_.set(lead << 8 | trail);
        leads_.set(lead);
      }
    }
  }
}

const Cp932Boundaries& Cp932Boundaries::Get() {
  static const Cp932Boundaries boundaries;
  return boundaries;
}

std::size_t Cp932Boundaries::NextBoundary(std::string_view bytes, std::size_t start,
                                          std::size_t at) const {
  const auto byte = [bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  // A character ends with every byte that cannot lead, so decoding can resume right after
  // the nearest one instead of at `start`.
  std::size_t i = at;
  while (i > start && MayLead(byte(i - 1))) --i;
  while (i < at) i += (i + 1 < bytes.size() && Pairs(byte(i), byte(i + 1))) ? 2 : 1;
  return i;
}

}  // namespace vek
