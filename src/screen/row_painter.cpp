#include "screen/row_painter.h"

#include <algorithm>
#include <cstring>

#include "core/tab_stop.h"

using console::TextCell;

int64_t RowPainter::paint(const ByteView& bytes, size_t from, size_t to, int64_t column) {
  const TextCell blank = console::byteCell(' ');
  size_t p = from;
  while (p < to && !full(column)) {
    if (column < left_) {  // what lies wholly left of the row shows nothing: passed in bulk
      const size_t passed = passLeftOfRow(bytes, p, to, column);
      if (passed != p) {
        p = passed;
        continue;
      }
    }
    const uint8_t first = bytes[p];
    if (first == '\t' && tabWidth_ != 0) {
      const int64_t stop = nextTabStop(column, tabWidth_);
      for (; column < stop; ++column) put(column, blank);
      ++p;
    } else if (unit_ == TextUnit::Byte ||
               (first >= 0x20 && first < 0x7F && (p + 1 == bytes.size || bytes[p + 1] < 0x80))) {
      put(column++, console::byteCell(first));
      ++p;
    } else {
      size_t next;
      if (glyphsToRightEdge(bytes, p, column, next)) return left_ + columns_;
      column = paintCharacter(bytes, p, next, column);
      p = next;
    }
  }
  return column;
}

bool RowPainter::glyphsToRightEdge(const ByteView& bytes, size_t p, int64_t column, size_t& next) {
  const size_t room = static_cast<size_t>(left_ + columns_ - column);
  CharStep step;
  if (!longGlyphCharacterAt(bytes, p, room, step)) {
    next = p + step.size;
    return false;
  }
  for (size_t i = column < left_ ? static_cast<size_t>(left_ - column) : 0; i < room; ++i)
    put(column + static_cast<int64_t>(i), console::byteCell(bytes[p + i]));
  return true;
}

size_t RowPainter::passLeftOfRow(const ByteView& bytes, size_t p, size_t to,
                                 int64_t& column) const {
  const size_t room = static_cast<size_t>(left_ - column);
  const size_t limit = to - p < room ? to : p + room;
  if (unit_ == TextUnit::Character)  // no more columns than bytes: all left of the row
    return addCertainColumnsBefore(bytes, p, limit, column);
  size_t end = limit;
  if (tabWidth_ != 0) {
    if (bytes.stride == 1) {
      const void* tab = std::memchr(bytes.first + p, '\t', limit - p);
      if (tab != nullptr) end = static_cast<size_t>(static_cast<const uint8_t*>(tab) - bytes.first);
    } else {
      end = p;
      while (end < limit && bytes[end] != '\t') ++end;
    }
  }
  column += static_cast<int64_t>(end - p);
  return end;
}

int64_t RowPainter::paintCharacter(const ByteView& bytes, size_t start, size_t end,
                                   int64_t column) {
  if (end - start == 1) {
    put(column, console::byteCell(bytes[start]));
    return column + 1;
  }
  const CharShape shape = characterShape(bytes, start, end);
  if (shape.glyphs) {  // the bytes of the columns in the row
    const int64_t after = column + static_cast<int64_t>(end - start);
    for (int64_t c = std::max(column, left_); c < std::min(after, left_ + columns_); ++c)
      put(c, console::byteCell(bytes[start + static_cast<size_t>(c - column)]));
    return after;
  }
  const int64_t after = column + shape.width;
  if (column >= left_ && after <= left_ + columns_) {
    for (size_t p = start; p < end;) {
      CharText text;
      p = characterCell(bytes, p, end, text);
      TextCell cell{text.length, {}};
      for (size_t i = 0; i < text.length; ++i) cell.bytes[i] = text.text[i];
      put(column, cell);
      for (int64_t c = column + 1; c < column + text.width; ++c) put(c, TextCell{0, {}});
      column += text.width;
    }
    return after;
  }
  const TextCell marker = console::byteCell(column < left_ ? kCutOnLeft : kCutOnRight);
  for (int64_t c = column; c < after; ++c) put(c, marker);
  return after;
}

void RowPainter::finish(int64_t column) {
  if (column < left_) column = left_;
  for (; !full(column); ++column) put(column, console::byteCell(' '));
}
