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

int Editor::transposeChars() {
  return 0;
}  // TODO(editing)
