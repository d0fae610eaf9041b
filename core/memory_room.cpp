#include "memory_room.h"

#include <cstdlib>

namespace vek {

bool RoomFor(std::size_t bytes) {
  // Through a volatile pointer, so that the compiler cannot assume the allocation and drop it.
  void* volatile block = std::malloc(bytes);
  const bool room = block != nullptr;
  std::free(block);
  return room;
}

}  // namespace vek
