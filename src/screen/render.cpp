// Bringing the console up to date with the editor: scroll the view to the cursor, rebuild
// the text rows when the text changed, repaint the selection when it changed, and write
// the status line with the cursor on its cell.
#include <algorithm>
#include <cstring>

#include "core/editor.h"
#include "screen/row_painter.h"
#include "screen/screen.h"
#include "screen/status_line.h"

void Editor::redraw() {
  if (screen->adoptNewSize()) textDirty = 1;
  if (screen->takeTextRowsCovered()) textDirty = 1;
  const int rows = screen->rows;
  const int columns = screen->columns;

  if (cursorLine < topLine) {
    topLine = cursorLine;
    textDirty = 1;
  } else if (cursorLine >= topLine + rows) {
    topLine = cursorLine - rows + 1;
    textDirty = 1;
  }
  // A view scrolled right on a narrower terminal comes back as far left as keeps the cursor
  // shown, so that the wider terminal is not left blank where the lines are short.
  if (screen->takeWidened() && leftColumn > 0) {
    leftColumn = std::min(leftColumn, std::max(cursorColumn - columns + 1, 0));
    textDirty = 1;
  }
  // The cursor's character is brought into view whole where it fits: a wide one in the last
  // column would show only its marker there.
  int32_t cursorEnd = cursorColumn + 1;
  if (textUnit == TextUnit::Character && !insidePartialSequence()) {
    const int32_t width = charAtWidthUpTo(columns);
    if (width > 1) cursorEnd = cursorColumn + width;
  }
  if (cursorColumn < leftColumn) {
    leftColumn = cursorColumn;
    textDirty = 1;
  } else if (cursorEnd > leftColumn + columns) {
    leftColumn = cursorEnd - columns;
    textDirty = 1;
  }

  if (source) {  // a large file: read the lines the view shows, if not yet read
    pollCount();
    const int32_t above = cursorLine - topLine;
    ensureWindow(static_cast<size_t>(above), static_cast<size_t>(rows - 1 - above));
  }

  // While the cursor stands inside a sequence being typed, its line is laid out in two pieces,
  // the bytes before the cursor read on their own; a line so drawn is drawn whole again once
  // the cursor has left it, whatever moved it.
  const bool insideSequence = insidePartialSequence();
  if (insideSequence || drawnInsideSequence) textDirty = 1;
  drawnInsideSequence = insideSequence;

  if (textDirty) {
    selectionDirty = 1;
    screen->drawTextArea(*this, &Editor::formatRows);
    textDirty = 0;
  }

  if (selectionDirty) {
    bool markFirst = markLine < cursorLine || (markLine == cursorLine && markColumn < cursorColumn);
    int32_t startLine = markFirst ? markLine : cursorLine;
    int32_t startColumn = markFirst ? markColumn : cursorColumn;
    int32_t endLine = markFirst ? cursorLine : markLine;
    int32_t endColumn = markFirst ? cursorColumn : markColumn;
    screen->highlightRange(startLine - topLine, startColumn - leftColumn, endLine - topLine,
                           endColumn - leftColumn);
    selectionDirty = 0;
  }

  if (pendingMessage) {
    screen->writeStatusLine(pendingMessage.get(), cursorLine - topLine, cursorColumn - leftColumn);
  } else {
    const bool exact = !source || rowExact();
    std::unique_ptr<char[]> text =
        statusLineText(modified, cursorLine, cursorColumn, fileName.get(),
                       exact ? RowKind::Exact : RowKind::Estimated, exact ? -1 : estimatedRow());
    screen->writeStatusLine(text.get(), cursorLine - topLine, cursorColumn - leftColumn);
  }
}

void Editor::formatRows(int rows, int columns, console::TextCell* grid) {
  const int cursorRow = cursorLine - topLine;
  formatCursorLine(columns, grid + static_cast<size_t>(cursorRow) * columns);
  for (int r = cursorRow + 1; r < rows; ++r) {
    size_t i = static_cast<size_t>(r - cursorRow - 1);
    const TextLine& line = i < linesBelow.count() ? linesBelow.fromTop(i) : kBottomLine;
    formatLine(columns, grid + static_cast<size_t>(r) * columns, line);
  }
  for (int r = cursorRow - 1; r >= 0; --r) {
    size_t i = static_cast<size_t>(cursorRow - 1 - r);
    const TextLine& line = i < linesAbove.count() ? linesAbove.fromTop(i) : kBottomLine;
    formatLine(columns, grid + static_cast<size_t>(r) * columns, line);
  }
}

// The cursor line straight from its two stacks: the characters from the view's left edge
// (found by stepping back from the cursor, so the bytes further left are never read) to the
// cursor, then those after it.
void Editor::formatCursorLine(int columns, console::TextCell* row) {
  RowPainter painter(row, columns, leftColumn, textUnit, tabWidth);
  const ByteView before = bytesBefore();
  size_t start = before.size;
  int64_t column = cursorColumn;
  while (start > 0 && column > leftColumn) stepBackOverCharacter(start, column);
  painter.paint(before, start, before.size, column);
  const ByteView after = bytesAfter();
  painter.finish(painter.paint(after, 0, after.size, cursorColumn));
}

void Editor::formatLine(int columns, console::TextCell* row, const TextLine& line) {
  RowPainter painter(row, columns, leftColumn, textUnit, tabWidth);
  const size_t length = static_cast<size_t>(line.length);
  painter.finish(painter.paint(ByteView::of(line.text, length), 0, length, 0));
}

void Editor::setPendingMessage(const char* text) {
  size_t length = std::strlen(text);
  pendingMessage.reset(new char[length + 1]);
  std::memcpy(pendingMessage.get(), text, length + 1);
}
