#include "screen/status_line.h"

#include <cstdio>
#include <cstring>

const char statusDateText[] = "<Sep 07 1996>";

std::unique_ptr<char[]> statusLineText(int modified, int line, int column, const char* fileName) {
  const size_t size = std::strlen(fileName) + 44;
  std::unique_ptr<char[]> text(new char[size]);
  std::snprintf(text.get(), size, "%s%c R %d  C %d  %s", statusDateText, modified ? '*' : ' ', line,
                column, fileName);
  return text;
}
