#include "screen/screen.h"

#include <cstring>
#include <memory>

#include "core/editor.h"
#include "screen/row_painter.h"

using console::Coord;
using console::TextCell;

namespace {

// One row of cells from a text (tabs as bytes), cut or padded to the width.
void layOutText(TextCell* row, int columns, const char* text, size_t length, TextUnit unit) {
  RowPainter painter(row, columns, 0, unit, 0);
  painter.finish(painter.paint(ByteView::of(text, length), 0, length, 0));
}

// A terminal can be smaller than the editor needs: never fewer than one text row and one
// column.
int16_t atLeast(int16_t value, int16_t least) {
  return value < least ? least : value;
}

}  // namespace

Screen::Screen(console::Console& output) : outputHandle(output) {
  console::ScreenBufferInfo info = outputHandle.screenBufferInfo();
  rows = atLeast(static_cast<int16_t>(info.height - 1), 1);
  columns = atLeast(info.width, 1);
  savedAttributes = info.attributes;
  paintZones();
}

void Screen::paintZones() {
  const uint32_t textCells = static_cast<uint32_t>(rows) * columns;
  outputHandle.fillOutputCharacter(' ', textCells + columns, Coord{0, 0});
  outputHandle.fillOutputAttribute(TextAttribute, textCells, Coord{0, 0});
  outputHandle.fillOutputAttribute(StatusAttribute, columns, Coord{0, rows});
}

Screen::~Screen() {
  const uint32_t allCells = static_cast<uint32_t>(rows + 1) * columns;
  outputHandle.fillOutputCharacter(' ', allCells, Coord{0, 0});
  outputHandle.fillOutputAttribute(savedAttributes, allCells, Coord{0, 0});
  outputHandle.setCursorPosition(Coord{0, 0});
}

bool Screen::adoptNewSize() {
  console::ScreenBufferInfo info = outputHandle.screenBufferInfo();
  int16_t newRows = atLeast(static_cast<int16_t>(info.height - 1), 1);
  int16_t newColumns = atLeast(info.width, 1);
  if (newRows == rows && newColumns == columns) return false;
  widened_ |= newColumns > columns;
  rows = newRows;
  columns = newColumns;
  paintZones();
  textRowsCovered_ = true;  // for a redraw after a prompt or question took the new size
  return true;
}

void Screen::followResize() {
  if (adoptNewSize() && drawDocument) drawDocument();
}

void Screen::drawTextArea(Editor& editor, RowFormatter formatter) {
  const size_t cells = static_cast<size_t>(rows) * columns;
  std::unique_ptr<console::TextCell[]> grid(new console::TextCell[cells]);
  (editor.*formatter)(rows, columns, grid.get());
  outputHandle.writeOutputText(grid.get(), static_cast<uint32_t>(cells), Coord{0, 0});
}

void Screen::highlightRange(int startRow, int startColumn, int endRow, int endColumn) {
  const long long areaCells = static_cast<long long>(rows) * columns;
  auto cellIndex = [&](int row, int column) -> long long {
    if (row < 0) return 0;
    if (row >= rows) return areaCells;
    if (column < 0) column = 0;
    if (column > columns) column = columns;
    return static_cast<long long>(row) * columns + column;
  };
  outputHandle.fillOutputAttribute(TextAttribute, static_cast<uint32_t>(areaCells), Coord{0, 0});
  long long start = cellIndex(startRow, startColumn);
  long long end = cellIndex(endRow, endColumn);
  long long count = end > start ? end - start : 0;
  if (start >= areaCells) start = areaCells - 1;  // nothing is painted then: count is 0
  outputHandle.fillOutputAttribute(
      SelectionAttribute, static_cast<uint32_t>(count),
      Coord{static_cast<int16_t>(start % columns), static_cast<int16_t>(start / columns)});
}

void Screen::writeStatusLine(const char* text, int cursorRow, int cursorColumn) {
  std::unique_ptr<TextCell[]> line(new TextCell[columns]);
  layOutText(line.get(), columns, text, std::strlen(text), shownUnit());
  outputHandle.writeOutputText(line.get(), static_cast<uint32_t>(columns), Coord{0, rows});
  outputHandle.setCursorPosition(
      Coord{static_cast<int16_t>(cursorColumn), static_cast<int16_t>(cursorRow)});
}

void Screen::writePromptLine(const std::string& prompt, const std::string& answer,
                             int caretColumn) {
  std::unique_ptr<TextCell[]> line(new TextCell[columns]);
  RowPainter painter(line.get(), columns, 0, shownUnit(), 0);
  const int64_t column =
      painter.paint(ByteView::of(prompt.data(), prompt.size()), 0, prompt.size(), 0);
  painter.finish(
      painter.paint(ByteView::of(answer.data(), answer.size()), 0, answer.size(), column));
  outputHandle.writeOutputText(line.get(), static_cast<uint32_t>(columns), Coord{0, rows});
  outputHandle.setCursorPosition(Coord{static_cast<int16_t>(caretColumn), rows});
}

void Screen::showMessage(const char* text) {
  const size_t length = std::strlen(text);
  const int32_t width = columnOfByte(shownUnit(), 0, ByteView::of(text, length), length);
  int column = width < columns - 1 ? width : columns - 1;
  writeStatusLine(text, rows, column);
}

void Screen::drawLines(const std::vector<std::string>& lines, size_t first) {
  const size_t width = static_cast<size_t>(columns);
  const size_t cells = static_cast<size_t>(rows) * width;
  std::unique_ptr<TextCell[]> grid(new TextCell[cells]);
  for (size_t r = 0; r < static_cast<size_t>(rows); ++r) {
    const std::string line = first + r < lines.size() ? lines[first + r] : "";
    layOutText(grid.get() + r * width, columns, line.data(), line.size(), shownUnit());
  }
  outputHandle.fillOutputAttribute(TextAttribute, static_cast<uint32_t>(cells), Coord{0, 0});
  outputHandle.writeOutputText(grid.get(), static_cast<uint32_t>(cells), Coord{0, 0});
}

void Screen::showKeysRow(const std::string& text) {
  const int16_t row = static_cast<int16_t>(rows - 1);
  std::string line = text.substr(0, static_cast<size_t>(columns));
  line.resize(static_cast<size_t>(columns), ' ');
  outputHandle.fillOutputAttribute(StatusAttribute, static_cast<uint32_t>(columns), Coord{0, row});
  outputHandle.writeOutputCharacter(reinterpret_cast<const uint8_t*>(line.data()),
                                    static_cast<uint32_t>(columns), Coord{0, row});
  textRowsCovered_ = true;
}

bool Screen::takeTextRowsCovered() {
  const bool covered = textRowsCovered_;
  textRowsCovered_ = false;
  return covered;
}

bool Screen::takeWidened() {
  const bool widened = widened_;
  widened_ = false;
  return widened;
}
