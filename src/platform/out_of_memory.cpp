#include "platform/out_of_memory.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

// Enough for the rescue to write a copy through its buffers.
constexpr size_t kReserveBytes = size_t{8} << 20;

void* reserve = nullptr;
OutOfMemoryRescue rescueAction = nullptr;
void* rescueContext = nullptr;
std::thread::id rescueThread;
std::atomic<bool> ending{false};
char note[1024];  // printed at exit; no allocation needed

void printNote() {
  if (note[0] != '\0') std::fprintf(stderr, "%s\n", note);
}

}  // namespace

void outOfMemory() {
  // Only the first failure says anything and runs the rescue: one within the rescue, or on
  // another thread meanwhile, ends the process as it stands.
  if (!ending.exchange(true)) {
    std::snprintf(note, sizeof note, "slate: out of memory");
    if (rescueAction && std::this_thread::get_id() == rescueThread) {
      std::free(reserve);
      reserve = nullptr;
      const char* kept = rescueAction(rescueContext);
      if (kept && kept[0] != '\0')
        std::snprintf(note, sizeof note, "slate: out of memory; %s", kept);
    }
  }
  std::exit(1);
}

void installOutOfMemoryRule() {
  std::set_new_handler(outOfMemory);
  if (!reserve) reserve = std::malloc(kReserveBytes);
  std::atexit(printNote);  // before the console exists: runs after its restore
}

void setOutOfMemoryRescue(OutOfMemoryRescue rescue, void* context) {
  rescueAction = rescue;
  rescueContext = context;
  rescueThread = std::this_thread::get_id();
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
