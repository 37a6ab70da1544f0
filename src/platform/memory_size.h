#pragma once

#include <cstdint>

namespace platform {

// The machine's physical memory in bytes; 0 when the system does not tell.
uint64_t physicalMemory();

}  // namespace platform
