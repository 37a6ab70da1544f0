#pragma once

#include <cstdint>

#include "core/char_rule.h"
#include "platform/console.h"

// Lays the characters of a text out into one row of console cells, the row showing the text
// columns [left, left + columns). A character takes as many cells as it is wide: a byte or a
// character in its first cell, empty cells after it; a tab takes blanks up to its tab stop.
// A character that an edge of the row cuts shows a marker in each cell of it that is seen.
class RowPainter {
 public:
  RowPainter(console::TextCell* row, int columns, int64_t left, TextUnit unit, int32_t tabWidth)
      : row_(row), columns_(columns), left_(left), unit_(unit), tabWidth_(tabWidth) {}

  // Paints the characters of bytes [from, to), the first starting at text column `column`;
  // returns the column after the last one painted. Stops once the row is full (the column
  // returned then lies at or past its right edge).
  int64_t paint(const ByteView& bytes, size_t from, size_t to, int64_t column);
  // Blanks from text column `column` to the row's right edge.
  void finish(int64_t column);
  bool full(int64_t column) const { return column >= left_ + columns_; }

  static constexpr uint8_t kCutOnLeft = '<';
  static constexpr uint8_t kCutOnRight = '>';

 private:
  void put(int64_t column, const console::TextCell& cell) {
    if (column >= left_ && column < left_ + columns_) row_[column - left_] = cell;
  }
  // Passes characters from p (before `to`), at `column` left of the row, that end left of the
  // row and show nothing, without painting them: bytes up to a tab in the Byte unit, the
  // characters whose boundaries are certain in the Character unit. Where it stopped; their
  // columns are added to column.
  size_t passLeftOfRow(const ByteView& bytes, size_t p, size_t to, int64_t& column) const;
  int64_t paintCharacter(const ByteView& bytes, size_t start, size_t end, int64_t column);
  // The end of the character at p (Character unit, at `column` before the row's right edge) in
  // next, and false; or, for a character that shows as glyphs past the right edge, its
  // glyphs painted up to the edge without reading the rest of it, and true.
  bool glyphsToRightEdge(const ByteView& bytes, size_t p, int64_t column, size_t& next);

  console::TextCell* row_;
  int columns_;
  int64_t left_;
  TextUnit unit_;
  int32_t tabWidth_;
};
