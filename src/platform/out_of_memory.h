#pragma once

#include <cstddef>

// A failed allocation ends the process with exit status 1, saying "slate: out of memory" on
// standard error once the console is restored. std::exit is used, so the session objects
// (console restore) are still torn down.

[[noreturn]] void outOfMemory();

// Makes operator new call outOfMemory() instead of throwing, and sets memory aside for the
// rescue below. Called first thing in main, so that the message comes after the console's
// restore.
void installOutOfMemoryRule();

// What outOfMemory runs before the process ends: once, on the thread that set it (a failure
// on another thread ends the process at once), with the memory set aside given back first.
// It keeps the unsaved work somewhere and returns what to say after "slate: out of memory; "
// (null or "" for nothing more); a failed allocation within it ends the process at once.
// null: nothing to run.
using OutOfMemoryRescue = const char* (*)(void* context);
void setOutOfMemoryRescue(OutOfMemoryRescue rescue, void* context);

// malloc/realloc that never return null.
void* checkedMalloc(size_t bytes);
void* checkedRealloc(void* block, size_t bytes);
