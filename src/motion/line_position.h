#pragma once

#include <cstdint>

// "N" or "N:C" as typed: a line and a byte column, both counted from 1, each saturated at
// INT32_MAX (a position past the end goes to the end anyway); the column is 1 when not given.
// False unless N is all digits and C, when given, all digits and at least 1. N may be 0.
bool parseLinePosition(const char* text, int32_t& line, int32_t& column);
