// Whether the process could still have more memory: threads are started only while there is
// room for them and for the rest of the search, so that a tight address-space limit means
// fewer threads rather than an allocation that fails somewhere later.
#pragma once

#include <cstddef>

namespace vek {

// What a thread may take: its stack, the heap the C library may reserve for it, a read
// buffer, with room to spare for what the search still needs once it runs.
inline constexpr std::size_t kThreadRoom = std::size_t{160} << 20;

// True when `bytes` more could be had now: asks for them and gives them back untouched.
bool RoomFor(std::size_t bytes);

}  // namespace vek
