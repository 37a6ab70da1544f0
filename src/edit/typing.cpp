// Putting text in at the cursor: typed bytes, line breaks, tabs, and Ctrl+T.
#include <vector>

#include "core/editor.h"

int Editor::insertChar(uint8_t ch) {
  addByte(ch);
  typedText = 1;
  return 1;
}

int Editor::newLine() {
  return splitLine(autoIndent != 0);
}

int Editor::insertTab() {
  return insertChar('\t');
}

// Exchanges the characters before and at the cursor; at the end of the line's text, the last
// two. Never reaches across a line break.
int Editor::transposeChars() {
  if (charsBefore.empty()) return 0;
  if (charAtSize() == 0) {
    moveLeft();
    const int exchanged = transposeChars();
    shiftRight(bytesAfter().size);  // back to the end, over what the exchange made of the text
    return exchanged;
  }
  const size_t xSize = charBeforeSize();
  const size_t ySize = charAtSize();
  std::vector<uint8_t> x(xSize), y(ySize);
  for (size_t i = 0; i < xSize; ++i) x[i] = charsBefore.fromTop(xSize - 1 - i).ch;
  for (size_t i = 0; i < ySize; ++i) y[i] = charsAfter.fromTop(i).ch;
  eraseBefore(xSize, true);
  eraseAfter(ySize);
  for (const uint8_t b : y) addByte(b);  // a tab gets its span from the column it now starts at
  for (size_t i = xSize; i-- > 0;) addByteAfter(x[i]);
  return 1;
}
