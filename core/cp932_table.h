// The generated CP932 tables behind cp932.cpp (see tools/gen_cp932_table.py).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vek::cp932_table {

// Trail bytes below 0x40 never complete a pair, so a pair row covers 0x40..0xFF only.
inline constexpr unsigned kTrailBase = 0x40;
inline constexpr std::size_t kTrailSpan = 0x100 - kTrailBase;

extern const std::uint16_t kSingle[256];
extern const std::uint8_t kLeadRow[256];
extern const std::uint16_t kPairs[][kTrailSpan];
extern const std::uint8_t kEncodeIndex[256];
extern const std::uint16_t kEncodeBlocks[][256];
extern const std::span<const char16_t> kNonUnique;

}  // namespace vek::cp932_table
