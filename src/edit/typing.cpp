// Putting text in at the cursor: typed bytes, line breaks, tabs, and Ctrl+T.
#include "core/editor.h"

int Editor::insertChar(uint8_t ch) {
  addByte(ch);
  return 1;
}

int Editor::newLine() {
  return splitLine(autoIndent != 0);
}

int Editor::insertTab() {
  return insertChar('\t');
}

// Exchanges the bytes before and at the cursor; at the end of the line's text, the last two.
// Never reaches across a line break.
int Editor::transposeChars() {
  if (cursorColumn == 0) return 0;
  if (charsAfter.empty() || charsAfter.top().span < 0) {
    moveLeft();
    const int exchanged = transposeChars();
    moveRight();
    return exchanged;
  }
  const uint8_t x = charsBefore.top().ch;
  const uint8_t y = charsAfter.top().ch;
  eraseBefore(1);
  eraseAfter(1);
  addByte(y);  // a tab gets its span from the column it now starts at
  addByteAfter(x);
  return 1;
}
