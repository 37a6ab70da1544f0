#pragma once

#include <memory>

// The fixed text the status line starts with, a date that never changes (not the build's).
extern const char statusDateText[];

// How the status line gives the row: the line's number, or (in a large file whose lines are
// not all counted yet, past the part counted) an estimate "~N", or "?" with none.
enum class RowKind { Exact, Estimated };

// "<Sep 07 1996>" then the modified star, "R" and the 0-based line, "C" and the 0-based
// display column, and the file name.
std::unique_ptr<char[]> statusLineText(int modified, int line, int column, const char* fileName,
                                       RowKind kind = RowKind::Exact, long long estimate = -1);
