#include "memory_room.h"

#ifdef _WIN32
#include <cstdlib>
#else
#include <sys/mman.h>
#endif

namespace vek {

bool RoomFor(std::size_t bytes) {
#ifdef _WIN32
  // Through a volatile pointer, so that the compiler cannot assume the allocation and drop it.
  void* volatile block = std::malloc(bytes);
  const bool room = block != nullptr;
  std::free(block);
  return room;
#else
  // Address space only, no memory: what an address-space limit counts, at no cost (the heap
  // would touch, and a sanitizer's heap mark, what it frees).
  void* const block =
      ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (block == MAP_FAILED) return false;
  ::munmap(block, bytes);
  return true;
#endif
}

}  // namespace vek
