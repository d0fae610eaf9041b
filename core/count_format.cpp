#include "count_format.h"

#include <string>

namespace vek {

std::u16string FormatCount(std::int64_t value, std::u16string_view separator) {
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const std::string digits = std::to_string(magnitude);
  std::u16string text;
  if (value < 0) text += u'-';
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += separator;
    text += static_cast<char16_t>(digits[i]);
  }
  return text;
}

std::u16string FormatHitCount(std::int64_t count, std::u16string_view separator) {
  return FormatCount(count, separator) + std::u16string(kCounterWord);
}

}  // namespace vek
