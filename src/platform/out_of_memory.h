#pragma once

#include <cstddef>

// A failed allocation ends the process with exit status 1 and no message.
// std::exit is used, so the session objects (console restore) are still torn down.

[[noreturn]] void outOfMemory();

// Makes operator new call outOfMemory() instead of throwing.
void installOutOfMemoryRule();

// malloc/realloc that never return null.
void* checkedMalloc(size_t bytes);
void* checkedRealloc(void* block, size_t bytes);
