// Bringing the console up to date with the editor: scroll the view to the cursor, rebuild
// the text rows when the text changed, repaint the selection when it changed, and write
// the status line with the cursor on its cell.
#include <cstring>

#include "core/editor.h"
#include "core/tab_stop.h"
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
  if (cursorColumn < leftColumn) {
    leftColumn = cursorColumn;
    textDirty = 1;
  } else if (cursorColumn >= leftColumn + columns) {
    leftColumn = cursorColumn - columns + 1;
    textDirty = 1;
  }

  if (source) {  // a large file: read the lines the view shows, if not yet read
    pollCount();
    const int32_t above = cursorLine - topLine;
    ensureWindow(static_cast<size_t>(above), static_cast<size_t>(rows - 1 - above));
  }

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
    std::unique_ptr<char[]> text =
        statusLineText(modified, cursorLine, cursorColumn, fileName.get());
    screen->writeStatusLine(text.get(), cursorLine - topLine, cursorColumn - leftColumn);
  }
}

void Editor::formatRows(int rows, int columns, char* grid) {
  const int cursorRow = cursorLine - topLine;
  const int x0 = cursorColumn - leftColumn;
  char* row = grid + static_cast<size_t>(cursorRow) * columns;
  const bool tabs = tabWidth != 0;

  // The cursor row from the cursor to the right edge.
  size_t next = 0;
  for (int x = x0; x < columns; ++x) {
    const CharCell cell = next < charsAfter.count() ? charsAfter.fromTop(next) : kBottomCell;
    if (cell.span < 0) {
      row[x] = ' ';
    } else if (tabs && cell.ch == '\t') {
      row[x] = ' ';
      if (nextTabStop(leftColumn + x, tabWidth) == leftColumn + x + 1) ++next;  // its last column
    } else {
      row[x] = static_cast<char>(cell.ch);
      ++next;
    }
  }
  // The cursor row from the cursor to the left edge.
  next = 0;
  for (int x = x0 - 1; x >= 0; --x) {
    if (next >= charsBefore.count()) {
      row[x] = ' ';
      continue;
    }
    const CharCell cell = charsBefore.fromTop(next);
    if (tabs && cell.ch == '\t') {
      row[x] = ' ';
      if (nextTabStop(leftColumn + x, tabWidth) == leftColumn + x + cell.span) ++next;  // its first
    } else {
      row[x] = static_cast<char>(cell.ch);
      ++next;
    }
  }
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

void Editor::formatLine(int columns, char* row, const TextLine& line) {
  const bool tabs = tabWidth != 0;
  const char* p = line.text;
  const char* end = line.text + line.length;
  int32_t col = 0;
  while (col < leftColumn) {
    if (p == end) {
      col = leftColumn;
      break;
    }
    if (tabs && *p == '\t') {
      if (nextTabStop(col, tabWidth) == col + 1) ++p;
    } else {
      ++p;
    }
    ++col;
  }
  for (int x = 0; x < columns; ++x, ++col) {
    if (p == end) {
      std::memset(row + x, ' ', columns - x);
      return;
    }
    if (tabs && *p == '\t') {
      row[x] = ' ';
      if (nextTabStop(col, tabWidth) == col + 1) ++p;
    } else {
      row[x] = *p++;
    }
  }
}

void Editor::setPendingMessage(const char* text) {
  size_t length = std::strlen(text);
  pendingMessage.reset(new char[length + 1]);
  std::memcpy(pendingMessage.get(), text, length + 1);
}
