#pragma once

#include <memory>

// The fixed text the status line starts with, a date that never changes (not the build's).
extern const char statusDateText[];

// "<Sep 07 1996>" then the modified star, "R" and the 0-based line, "C" and the 0-based
// display column, and the file name.
std::unique_ptr<char[]> statusLineText(int modified, int line, int column, const char* fileName);
