#include "screen/row_painter.h"

#include <cstring>

#include "core/tab_stop.h"

using console::TextCell;

int64_t RowPainter::paint(const ByteView& bytes, size_t from, size_t to, int64_t column) {
  const TextCell blank = console::byteCell(' ');
  size_t p = from;
  while (p < to && !full(column)) {
    if (column < left_) {  // what lies wholly left of the row shows nothing: passed in bulk
      const size_t passed = passPlainBytes(bytes, p, to, column);
      if (passed != p) {
        column += static_cast<int64_t>(passed - p);
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
      const size_t next = nextCharBoundary(unit_, bytes, p);
      column = paintCharacter(bytes, p, next, column);
      p = next;
    }
  }
  return column;
}

size_t RowPainter::passPlainBytes(const ByteView& bytes, size_t p, size_t to,
                                  int64_t column) const {
  const size_t room = static_cast<size_t>(left_ - column);
  const size_t limit = to - p < room ? to : p + room;
  if (unit_ == TextUnit::Byte) {
    if (tabWidth_ == 0) return limit;
    if (bytes.stride == 1) {
      const void* tab = std::memchr(bytes.first + p, '\t', limit - p);
      return tab != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(tab) - bytes.first)
                            : limit;
    }
    while (p < limit && bytes[p] != '\t') ++p;
    return p;
  }
  // Each printable ASCII byte is a character of one column, but the last of a run, which a
  // mark or a joiner after it may join. The run is looked at up to one byte past the limit,
  // not to its end, which may lie megabytes further.
  ByteView ahead = bytes;
  if (limit < bytes.size) ahead.size = limit + 1;
  const size_t end = printableAsciiRunEnd(ahead, p);
  size_t plain;
  if (end == ahead.size)
    plain = end == bytes.size ? end : end - 1;
  else
    plain = bytes[end] < 0x80 ? end : end - (end > p);
  return plain < limit ? plain : limit;
}

int64_t RowPainter::paintCharacter(const ByteView& bytes, size_t start, size_t end,
                                   int64_t column) {
  if (end - start == 1) {
    put(column, console::byteCell(bytes[start]));
    return column + 1;
  }
  const CharShape shape = characterShape(bytes, start, end);
  if (shape.glyphs) {
    for (size_t p = start; p < end; ++p) put(column++, console::byteCell(bytes[p]));
    return column;
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
