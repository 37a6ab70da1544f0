#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/editor.h"
#include "search/matcher.h"

// Where a forward scan ended: the line (0 is the cursor line, i > 0 the i-th line below it)
// and the byte offset of the occurrence found, or of the last text inserted; -1 for none.
struct ScanEnd {
  size_t line = 0;
  int32_t offset = -1;
  int32_t length = 0;  // of the match found
  bool cut = false;    // a replacement stopped early: a line would have grown too long
};

// The scanned lines: the cursor line from the cursor on (current holds it, packed), then
// every line below it from its start.
inline TextLine& scannedLine(Editor& e, TextLine& current, size_t i) {
  return i == 0 ? current : e.linesBelow.fromTop(i - 1);
}

// The first match at or after startOffset of the packed cursor line, or on a line below it.
ScanEnd findForward(Editor& e, TextLine& current, int32_t startOffset, Matcher& matcher);

// The matcher for the remembered search text with the search options, folding case as the
// display shows text (Unicode in UTF-8 mode, ASCII otherwise). Null when the text is not a
// valid pattern: the status line then says why.
std::unique_ptr<Matcher> searchMatcher(Editor& e);
