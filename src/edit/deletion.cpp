// Removing text: by byte, to the line's ends, by word, whole lines and the selection.
#include <climits>

#include "core/editor.h"
#include "motion/word_char.h"

namespace {

// Terminator cells at the bottom of the cursor line's after-stack: 0, 1 or 2.
size_t endingCells(const Stack<CharCell>& after) {
  size_t n = 0;
  while (n < after.count() && after.data()[n].span == SPAN_LINE_END) ++n;
  return n;
}

}  // namespace

int Editor::deleteCharAt() {
  if (charsAfter.empty() || charsAfter.top().span < 0) return 0;
  charsAfter.drop(1);
  changed = 1;
  return 1;
}

// The same as stepping left and deleting the byte at the cursor, without the detour through
// the after-stack.
int Editor::deleteCharBefore() {
  if (charsBefore.empty()) return 0;
  const CharCell cell = charsBefore.pop();
  cursorColumn -= (tabWidth != 0 && cell.ch == '\t') ? cell.span : 1;
  changed = 1;
  return 1;
}

int Editor::deleteCharOrJoin() {
  if (deleteCharAt()) return 1;
  if (!hasLineBelow()) return 0;
  TextLine lower = linesBelow.pop();
  // Only the cursor line's terminator is left after the cursor: the lower line replaces it,
  // bringing its own terminator.
  charsAfter.drop(charsAfter.count());
  const int32_t size = lower.size();
  const uint8_t* text = reinterpret_cast<const uint8_t*>(lower.text);
  CharCell* slot = charsAfter.extend(static_cast<size_t>(size));
  for (int32_t i = 0; i < lower.endingSize; ++i)
    slot[i] = CharCell{text[size - 1 - i], SPAN_LINE_END};
  for (int32_t i = lower.endingSize; i < size; ++i) slot[i] = CharCell{text[size - 1 - i], 0};
  releaseText(lower);
  --lineCount;
  changed = 1;
  return 1;
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
  charsBefore.drop(charsBefore.count());
  cursorColumn = 0;
  changed = 1;
  return 1;
}

int Editor::deleteToLineEnd() {
  const size_t text = charsAfter.count() - endingCells(charsAfter);
  if (text == 0) return 0;
  charsAfter.drop(text);
  changed = 1;
  return 1;
}

int Editor::deleteWordLeft() {
  bool lastWasWord = false;
  for (;;) {
    const uint8_t b = charsBefore.empty() ? 0 : charsBefore.top().ch;
    if (!isWordChar(b) && lastWasWord) return 1;
    if (!deleteCharBefore()) return 0;
    lastWasWord = isWordChar(b);
  }
}

int Editor::deleteWordRight() {
  bool lastWasWord = true;
  for (;;) {
    const uint8_t b = charsAfter.empty() ? 0 : charsAfter.top().ch;
    if (isWordChar(b) && !lastWasWord) return 1;
    if (!deleteCharAt()) return 0;
    lastWasWord = isWordChar(b);
  }
}

int Editor::deleteLine() {
  if (!hasLineBelow() && charsBefore.empty() && charsAfter.empty()) return 0;  // nothing there
  const int32_t goal = cursorColumn;
  discardCursorLine();
  if (hasLineBelow()) {
    unpackLine(linesBelow.pop(), goal);
    --lineCount;
  }
  changed = 1;
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
  int deleted = 0;
  if (cursorLine > markLine) {
    charsBefore.drop(charsBefore.count());
    cursorColumn = 0;
    const size_t between = static_cast<size_t>(cursorLine - markLine - 1);
    for (size_t i = 0; i < between; ++i) releaseText(linesAbove.fromTop(i));
    linesAbove.drop(between);
    cursorLine -= static_cast<int32_t>(between);
    lineCount -= static_cast<int32_t>(between);
    deleted = backspace();
  }
  while (cursorColumn > markColumn && deleteCharBefore()) deleted = 1;
  return deleted;
}
