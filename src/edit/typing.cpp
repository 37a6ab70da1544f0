// Putting text in at the cursor: typed bytes, line breaks, tabs, and Ctrl+T.
#include "core/editor.h"

int Editor::insertChar(uint8_t ch) {
  insertByte(ch);
  changed = 1;
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
  const CharCell x = charsBefore.pop();
  cursorColumn -= (tabWidth != 0 && x.ch == '\t') ? x.span : 1;
  const CharCell y = charsAfter.pop();
  insertByte(y.ch);  // a tab gets its span from the column it now starts at
  charsAfter.push(CharCell{x.ch, 0});
  changed = 1;
  return 1;
}
