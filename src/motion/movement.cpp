// Cursor movement by byte, word, line, page and to the document's ends. Horizontal moves
// shift cells between the two halves of the cursor line; vertical moves pack the cursor line
// and unpack a neighbour.
#include <climits>
#include <utility>

#include "core/editor.h"
#include "core/tab_stop.h"
#include "screen/screen.h"

constexpr int pageOverlap = 1;

int Editor::moveLeft() {
  const size_t n = charBeforeSize();
  if (n == 0) return 0;
  shiftLeft(n, true);
  return 1;
}

int Editor::moveRight() {
  const size_t n = charAtSize();
  if (n == 0) return 0;
  shiftRight(n, true);
  return 1;
}

// The two moves to a line's ends shift the cells across in bulk, a slice at a time, with the
// same result as repeating moveLeft or moveRight: the source stack gives back each slice's
// memory as it goes, so a long line's cells are never held twice.
constexpr size_t kMoveSlice = size_t{1} << 20;

int Editor::moveLineStart() {
  size_t n = charsBefore.count();
  const bool large = n >= kMoveSlice;
  charsAfter.reserve(charsAfter.count() + n);
  while (n > 0) {
    const size_t slice = n < kMoveSlice ? n : kMoveSlice;
    CharCell* slot = charsAfter.extend(slice);
    for (size_t i = 0; i < slice; ++i) slot[i] = CharCell{charsBefore.fromTop(i).ch, 0};
    charsBefore.drop(slice);
    if (large) charsBefore.trim();
    n -= slice;
  }
  cursorColumn = 0;
  return 1;
}

int Editor::moveLineEnd() {
  size_t ending = 0;  // the terminator cells lie at the bottom of charsAfter
  while (ending < charsAfter.count() && charsAfter.data()[ending].span == SPAN_LINE_END) ++ending;
  size_t n = charsAfter.count() - ending;
  if (textUnit == TextUnit::Character) {
    size_t start;
    int32_t column;
    settledStart(charsBefore.count(), start, column);
    charsBefore.reserve(charsBefore.count() + n);
    while (n > 0) {  // in slices, as below, the columns counted once at the end
      const size_t slice = n < kMoveSlice ? n : kMoveSlice;
      CharCell* to = charsBefore.extend(slice);
      for (size_t i = 0; i < slice; ++i) to[i] = CharCell{charsAfter.fromTop(i).ch, 0};
      charsAfter.drop(slice);
      if (slice == kMoveSlice) charsAfter.trim();
      n -= slice;
    }
    cursorColumn = layOutFrom(start, column);
    return 1;
  }
  const bool large = n >= kMoveSlice;
  if (large && charsBefore.empty() && ending <= 2) {
    // The whole line crosses: reverse the cells where they lie instead of copying them into
    // fresh memory, and give the terminator cells a stack of their own.
    CharCell terminators[2];
    for (size_t k = 0; k < ending; ++k) terminators[k] = charsAfter.data()[k];
    std::swap(charsBefore, charsAfter);
    CharCell* cells = charsBefore.data();
    bool tabs = false;
    size_t i = 0, j = charsBefore.count() - 1;
    for (; i < j; ++i, --j) {
      const CharCell low = cells[i];
      cells[i] = cells[j];
      cells[j] = low;
      tabs |= (low.ch == '\t') | (cells[i].ch == '\t');
    }
    if (i == j) tabs |= cells[i].ch == '\t';  // the middle cell of an odd count
    charsBefore.drop(ending);                 // the terminator cells ended on top
    for (size_t k = 0; k < ending; ++k) charsAfter.push(terminators[k]);
    int32_t column = 0;
    if (tabs && tabWidth != 0) {
      for (size_t k = 0; k < n; ++k) {
        if (cells[k].ch == '\t') {
          const int32_t next = nextTabStop(column, tabWidth);
          cells[k].span = static_cast<int8_t>(next - column);
          column = next;
        } else {
          ++column;
        }
      }
    } else {
      column = static_cast<int32_t>(n);
    }
    cursorColumn = column;
    return 1;
  }
  charsBefore.reserve(charsBefore.count() + n);
  while (n > 0) {
    const size_t slice = n < kMoveSlice ? n : kMoveSlice;
    // What insertByte does for each cell, with the column kept in a register.
    const CharCell* from = charsAfter.data() + charsAfter.count() - 1;
    CharCell* to = charsBefore.extend(slice);
    int32_t column = cursorColumn;
    const int32_t tab = tabWidth;
    for (size_t i = 0; i < slice; ++i) {
      const uint8_t ch = (from - i)->ch;
      if (ch == '\t' && tab != 0) {
        const int32_t next = nextTabStop(column, tab);
        to[i] = CharCell{ch, static_cast<int8_t>(next - column)};
        column = next;
      } else {
        to[i] = CharCell{ch, 0};
        ++column;
      }
    }
    cursorColumn = column;
    charsAfter.drop(slice);
    if (large) charsAfter.trim();
    n -= slice;
  }
  return 1;
}

int Editor::moveWordLeft() {
  bool previousWasWord = false;
  for (;;) {
    const bool word = wordBeforeCursor();
    if (!word && previousWasWord) return 1;
    if (!moveLeft()) return 0;
    previousWasWord = word;
  }
}

int Editor::moveWordRight() {
  bool previousWasWord = true;
  for (;;) {
    const bool word = wordAtCursor();
    if (word && !previousWasWord) return 1;
    if (!moveRight()) return 0;
    previousWasWord = word;
  }
}

int Editor::moveUp() {
  return transferUp(cursorColumn);
}

int Editor::moveDown() {
  return transferDown(cursorColumn);
}

int Editor::pageUp() {
  const int page = screen->rows - pageOverlap;
  int moved = 0;
  while (moved < page && moveUp()) ++moved;
  topLine = topLine - moved > 0 ? topLine - moved : 0;
  textDirty = 1;
  return 1;
}

int Editor::pageDown() {
  const int page = screen->rows - pageOverlap;
  int moved = 0;
  while (moved < page && moveDown()) ++moved;
  topLine = topLine + moved < lineCount ? topLine + moved : lineCount;
  textDirty = 1;
  return 1;
}

int Editor::moveDocumentStart() {
  return goToPosition(0, 0);
}

int Editor::moveDocumentEnd() {
  // In a large file whose lines are still being counted, the last line's number is one
  // past the uncounted part (which stands for one line) until the count is done.
  return goToPosition(lineCount - 1, INT_MAX);
}
