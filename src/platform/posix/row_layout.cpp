#include "platform/posix/row_layout.h"

#include <algorithm>

#include "platform/posix/cp437.h"
#include "platform/posix/unicode_char.h"

namespace terminal {

namespace {

ShownCell textCell(const char* text, int length, int width, uint16_t attr) {
  ShownCell cell{};
  std::memcpy(cell.text, text, static_cast<size_t>(length));
  cell.length = static_cast<uint8_t>(length);
  cell.width = static_cast<uint8_t>(width);
  cell.attr = attr;
  return cell;
}

ShownCell glyphCell(const ByteCell& byte) {
  const std::string_view glyph = cp437Glyph(byte.ch);
  return textCell(glyph.data(), static_cast<int>(glyph.size()), 1, byte.attr);
}

ShownCell rightHalf(uint16_t attr) {
  ShownCell cell{};
  cell.attr = attr;
  return cell;
}

// Lays out the row in UTF-8 mode. `joinable` is the column of the character that a
// combining mark may join: the one placed just before, when it is a character and not a
// glyph.
void layoutUtf8(const ByteCell* cells, int width, ShownCell* shown, int16_t* columnOf) {
  int column = 0;
  int joinable = -1;
  int x = 0;
  while (x < width) {
    const ByteCell& first = cells[x];
    if (first.ch >= 0x20 && first.ch < 0x7F) {
      const char ch = static_cast<char>(first.ch);
      shown[column] = textCell(&ch, 1, 1, first.attr);
      if (columnOf) columnOf[x] = static_cast<int16_t>(column);
      joinable = column++;
      ++x;
      continue;
    }
    uint8_t bytes[4];
    const int available = std::min(4, width - x);
    for (int i = 0; i < available; ++i) bytes[i] = cells[x + i].ch;
    char32_t codePoint;
    const int length = first.ch >= 0x80 ? decodeUtf8(bytes, available, codePoint) : 0;
    if (length > 1) {
      const CharInfo info = classifyChar(codePoint);
      const char* text = reinterpret_cast<const char*>(bytes);
      if (info.kind == CharKind::Combining) {
        if (joinable >= 0 && shown[joinable].length + length <= ShownCell::Capacity) {
          ShownCell& base = shown[joinable];
          std::memcpy(base.text + base.length, text, static_cast<size_t>(length));
          base.length = static_cast<uint8_t>(base.length + length);
          base.unsure |= info.widthUnsure ? 1 : 0;
          if (columnOf) std::fill_n(columnOf + x, length, static_cast<int16_t>(joinable));
          x += length;
          continue;
        }
      } else if (info.kind != CharKind::Hidden) {
        const int columns = info.kind == CharKind::Wide ? 2 : 1;
        if (column + columns <= width) {
          shown[column] = textCell(text, length, columns, first.attr);
          shown[column].unsure = info.widthUnsure ? 1 : 0;
          if (columns == 2) shown[column + 1] = rightHalf(first.attr);
          if (columnOf) std::fill_n(columnOf + x, length, static_cast<int16_t>(column));
          joinable = column;
          column += columns;
          x += length;
          continue;
        }
      }
    }
    shown[column] = glyphCell(first);
    if (columnOf) columnOf[x] = static_cast<int16_t>(column);
    joinable = -1;
    ++column;
    ++x;
  }
  const ShownCell blank = textCell(" ", 1, 1, cells[width - 1].attr);
  std::fill(shown + column, shown + width, blank);
}

}  // namespace

void layoutRow(console::DisplayMode mode, const ByteCell* cells, int width, ShownCell* shown,
               int16_t* columnOf) {
  if (mode == console::DisplayMode::Utf8) {
    layoutUtf8(cells, width, shown, columnOf);
    return;
  }
  for (int x = 0; x < width; ++x) {
    shown[x] = glyphCell(cells[x]);
    if (columnOf) columnOf[x] = static_cast<int16_t>(x);
  }
}

}  // namespace terminal
