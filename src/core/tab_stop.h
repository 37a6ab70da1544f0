#pragma once

#include <cstdint>

// The one tab-stop rule: a tab at a display column runs to the next multiple of the tab
// width. (A tab width of 0 means tabs are ordinary one-column bytes; callers check that.)
constexpr int32_t nextTabStop(int32_t column, int32_t tabWidth) {
  return (column + tabWidth) / tabWidth * tabWidth;
}
constexpr int64_t nextTabStop(int64_t column, int32_t tabWidth) {
  return (column + tabWidth) / tabWidth * tabWidth;
}
