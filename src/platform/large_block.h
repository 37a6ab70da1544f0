#pragma once

#include <cstddef>

namespace platform {

// Resizes a block of many megabytes: from nothing (block null, oldBytes 0), to nothing
// (newBytes 0, the result is null), or from oldBytes to newBytes, keeping the bytes both
// sizes hold. Where the system allows, the block is a mapping of its own that grows and
// shrinks by remapping pages, never by copying them, and is backed by large pages, so
// filling it costs a page fault per 2 MB rather than one per 4 KB. Running out of memory
// ends the process, as every allocation does.
void* resizeLargeBlock(void* block, size_t oldBytes, size_t newBytes);

// Alignment and size granule at which preferLargePages can take effect.
constexpr size_t kLargePageSize = size_t{2} << 20;

// A hint that a large block about to be filled will be used whole, so the system may back it
// with large pages (far fewer page faults). start is aligned to kLargePageSize. Harmless where
// there is no such thing.
void preferLargePages(void* start, size_t bytes);

}  // namespace platform
