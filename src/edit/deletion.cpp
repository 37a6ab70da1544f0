// Removing text: by byte, to the line's ends, by word, whole lines and the selection.
#include <climits>

#include "core/editor.h"

int Editor::deleteCharAt() {
  const size_t n = charAtSize();
  if (n == 0) return 0;
  eraseAfter(n);
  return 1;
}

// The same as stepping left and deleting the character at the cursor, without the detour
// through the after-stack.
int Editor::deleteCharBefore() {
  const size_t n = charBeforeSize();
  if (n == 0) return 0;
  eraseBefore(n, true);
  return 1;
}

int Editor::deleteCharOrJoin() {
  if (deleteCharAt()) return 1;
  return joinLineBelow();
}

int Editor::backspace() {
  if (deleteCharBefore()) return 1;
  // At column 0: to the end of the line above (moving up at the widest goal column lands
  // where moving up and then to the line's end would), then join.
  if (!transferUp(INT32_MAX)) return 0;
  return deleteCharOrJoin();
}

int Editor::deleteForward() {
  if (markLine != cursorLine || markColumn != cursorColumn) return deleteSelection();
  return deleteCharOrJoin();
}

int Editor::deleteToLineStart() {
  if (charsBefore.empty()) return 0;
  eraseBefore(charsBefore.count());
  return 1;
}

int Editor::deleteToLineEnd() {
  const size_t text = bytesAfter().size;  // the terminator stays
  if (text == 0) return 0;
  eraseAfter(text);
  return 1;
}

int Editor::deleteWordLeft() {
  bool lastWasWord = false;
  CharactersBefore characters(textUnit);
  for (;;) {
    const CharStep step = charBefore(&characters);
    const bool word = isWordBefore(step);
    if (!word && lastWasWord) return 1;
    if (step.size == 0) return 0;
    eraseBefore(step.size, true);
    lastWasWord = word;
  }
}

int Editor::deleteWordRight() {
  bool lastWasWord = true;
  for (;;) {
    const bool word = wordAtCursor();
    if (word && !lastWasWord) return 1;
    if (!deleteCharAt()) return 0;
    lastWasWord = word;
  }
}

int Editor::deleteLine() {
  if (!hasLineBelow() && charsBefore.empty() && charsAfter.empty()) return 0;  // nothing there
  if (hasLineBelow()) {
    removeCursorLine(cursorColumn);
  } else {  // the last line: it stays, empty
    if (!charsBefore.empty()) eraseBefore(charsBefore.count());
    if (!charsAfter.empty()) eraseAfter(charsAfter.count());
  }
  return 1;
}

int Editor::deleteSelection() {
  if (markLine == cursorLine && markColumn == cursorColumn) return 0;
  if (cursorLine < markLine || (cursorLine == markLine && cursorColumn < markColumn)) {
    const int32_t startLine = cursorLine;
    const int32_t startColumn = cursorColumn;
    if (!goToPosition(markLine, markColumn)) {
      // The mark no longer lies inside the document: there is no selection to delete.
      markLine = cursorLine;
      markColumn = cursorColumn;
      return 0;
    }
    markLine = startLine;
    markColumn = startColumn;
  }
  if (runAbove(cursorLine - markLine)) {
    setPendingMessage("Selection too large: part of it has not been read");
    return 0;
  }
  int deleted = 0;
  if (cursorLine > markLine) {
    if (!charsBefore.empty()) eraseBefore(charsBefore.count());
    removeLinesAbove(static_cast<size_t>(cursorLine - markLine - 1));
    deleted = backspace();
  }
  while (cursorColumn > markColumn && deleteCharBefore()) deleted = 1;
  return deleted;
}
