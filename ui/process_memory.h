// What the program holds of the machine's memory, for the bounds the window keeps.
#pragma once

#include <cstdint>

namespace vek::ui {

// The process's committed private memory, in bytes; 0 when the system does not say.
std::uint64_t ProcessMemoryInUse();

}  // namespace vek::ui
