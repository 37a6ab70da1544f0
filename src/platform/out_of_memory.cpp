#include "platform/out_of_memory.h"

#include <cstdlib>
#include <new>

void outOfMemory() {
  std::exit(1);
}

void installOutOfMemoryRule() {
  std::set_new_handler(outOfMemory);
}

void* checkedMalloc(size_t bytes) {
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (!block) outOfMemory();
  return block;
}

void* checkedRealloc(void* block, size_t bytes) {
  void* grown = std::realloc(block, bytes == 0 ? 1 : bytes);
  if (!grown) outOfMemory();
  return grown;
}
