#pragma once

#include <memory>

// The date the status line shows first.
extern const char buildDateText[];

// "<Sep 07 1996>" then the modified star, "R" and the 0-based line, "C" and the 0-based
// display column, and the file name.
std::unique_ptr<char[]> statusLineText(int modified, int line, int column, const char* fileName);
