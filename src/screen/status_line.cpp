#include "screen/status_line.h"

#include <cstdio>
#include <cstring>

const char statusDateText[] = "<Sep 07 1996>";

std::unique_ptr<char[]> statusLineText(int modified, int line, int column, const char* fileName,
                                       RowKind kind, long long estimate) {
  char row[24];
  if (kind == RowKind::Exact)
    std::snprintf(row, sizeof row, "%d", line);
  else if (estimate >= 0)
    std::snprintf(row, sizeof row, "~%lld", estimate);
  else
    std::snprintf(row, sizeof row, "?");
  const size_t size = std::strlen(fileName) + 64;
  std::unique_ptr<char[]> text(new char[size]);
  std::snprintf(text.get(), size, "%s%c R %s  C %d  %s", statusDateText, modified ? '*' : ' ', row,
                column, fileName);
  return text;
}
