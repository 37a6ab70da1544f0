#pragma once

#include <cstdint>

#include "core/text_line.h"
class Editor;
class Matcher;

// Looking for the remembered search text (with the matcher made for it) in the runs of a large file
// that the document has not read, straight from the file.

// An occurrence found in a run: its document line and byte column; line is -1 for none.
// stopped: a key stopped the search or the file could not be read (a message says which).
struct RunHit {
  int32_t line = -1;
  int32_t byteColumn = 0;
  bool stopped = false;
};

// The first (forward) or last occurrence in the run record, whose first line is `first`.
RunHit findInRun(Editor& e, const TextLine& record, int64_t first, Matcher& matcher, bool forward);

// The occurrences in the run record, each search resuming behind the last; -1 when stopped.
int64_t countInRun(Editor& e, const TextLine& record, Matcher& matcher);

// Packs nothing: puts the cursor, whose line is packed into current, on the hit.
bool enterHit(Editor& e, TextLine current, const RunHit& hit);

// Lines a line stack record stands for.
inline int64_t linesOf(const TextLine& record) {
  return isRun(record) ? runOf(record).lines : 1;
}
