#include "process_memory.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>

namespace vek::ui {

std::uint64_t ProcessMemoryInUse() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof(counters);
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters))) {
    return 0;
  }
  // Committed memory on Windows. Wine fills the two from the process's resident anonymous
  // memory and swap; the larger is the safer bound.
  return std::max<std::uint64_t>(counters.PrivateUsage, counters.PagefileUsage);
}

}  // namespace vek::ui
