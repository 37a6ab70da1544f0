#include "platform/large_block.h"

#include <cstdlib>

#include "platform/out_of_memory.h"

#ifndef _WIN32
#include <sys/mman.h>
#endif

// Under AddressSanitizer the blocks come from malloc, so that their bounds are checked.
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
#include <unistd.h>
#define SLATE_LARGE_BLOCK_MAPPINGS 1
#endif

namespace platform {

#ifdef SLATE_LARGE_BLOCK_MAPPINGS

namespace {

size_t wholePages(size_t bytes) {
  static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

}  // namespace

void* resizeLargeBlock(void* block, size_t oldBytes, size_t newBytes) {
  if (newBytes == 0) {
    if (block != nullptr) munmap(block, wholePages(oldBytes));
    return nullptr;
  }
  if (block == nullptr) {
    void* mapped = mmap(nullptr, wholePages(newBytes), PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) outOfMemory();
    // The whole mapping, so that it stays one piece that mremap can move.
    madvise(mapped, wholePages(newBytes), MADV_HUGEPAGE);
    return mapped;
  }
  if (wholePages(newBytes) == wholePages(oldBytes)) return block;
  void* moved = mremap(block, wholePages(oldBytes), wholePages(newBytes), MREMAP_MAYMOVE);
  if (moved == MAP_FAILED) outOfMemory();
  return moved;
}

#else

void* resizeLargeBlock(void* block, size_t, size_t newBytes) {
  if (newBytes == 0) {
    std::free(block);
    return nullptr;
  }
  return checkedRealloc(block, newBytes);
}

#endif

#ifdef _WIN32

void preferLargePages(void*, size_t) {}  // large pages need a privilege users lack

#else

void preferLargePages(void* start, size_t bytes) {
#ifdef MADV_HUGEPAGE
  madvise(start, bytes, MADV_HUGEPAGE);
#else
  (void)start;
  (void)bytes;
#endif
}

#endif

}  // namespace platform
