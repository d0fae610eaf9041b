#include "count_format.h"

#include <string>

namespace vek {

std::u16string FormatHitCount(std::int32_t count, std::u16string_view separator) {
  // Widened first: the magnitude of the lowest 32-bit value does not fit in 32 bits.
  const std::int64_t value = count;
  const std::string digits = std::to_string(value < 0 ? -value : value);
  std::u16string text;
  if (value < 0) text += u'-';
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += separator;
    text += static_cast<char16_t>(digits[i]);
  }
  text += kCounterWord;
  return text;
}

}  // namespace vek
