// Counts as the window shows them: the hit-count label, and the numbers of the status bar.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

inline constexpr std::u16string_view kCounterWord = u"問";

// The value as "#,##0" with the given thousands separator.
std::u16string FormatCount(std::int64_t value, std::u16string_view separator = u",");

// The count as "#,##0" with the given thousands separator, followed by 問 ("0問" for 0).
std::u16string FormatHitCount(std::int64_t count, std::u16string_view separator = u",");

}  // namespace vek
