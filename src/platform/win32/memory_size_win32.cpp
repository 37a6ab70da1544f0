#include "platform/memory_size.h"
#include "platform/win32/windows_api.h"

namespace platform {

uint64_t physicalMemory() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return static_cast<uint64_t>(status.ullTotalPhys);
}

}  // namespace platform
