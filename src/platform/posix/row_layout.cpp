#include "platform/posix/row_layout.h"

#include "platform/posix/cp437.h"
#include "platform/unicode.h"

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

ShownCell glyphCell(uint8_t byte, uint16_t attr) {
  const std::string_view glyph = cp437Glyph(byte);
  return textCell(glyph.data(), static_cast<int>(glyph.size()), 1, attr);
}

ShownCell furtherColumn(uint16_t attr) {
  ShownCell cell{};
  cell.attr = attr;
  return cell;
}

// Whether a character's text may go to the terminal as it is, in the columns given it, and
// whether terminals disagree on its width.
bool safeCharacter(const console::TextCell& text, int columns, bool& unsure) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.bytes);
  unsure = false;
  int width = 0;
  for (size_t p = 0; p < text.length;) {
    char32_t codePoint;
    const int length = unicode::decodeUtf8(bytes + p, text.length - p, codePoint);
    if (length == 0) return false;
    const unicode::CharInfo info = unicode::classifyChar(codePoint);
    if (info.kind == unicode::CharKind::Hidden) return false;
    if (info.ignorable && !unicode::isVariationSelector(codePoint)) return false;
    if (p == 0 && info.kind == unicode::CharKind::Combining) return false;
    unsure = unsure || info.widthUnsure;
    width += info.kind == unicode::CharKind::Wide ? 2 : info.kind == unicode::CharKind::Narrow;
    p += static_cast<size_t>(length);
  }
  return width == columns;
}

void layoutUtf8(const GridCell* cells, int width, ShownCell* shown) {
  for (int x = 0; x < width;) {
    const GridCell& cell = cells[x];
    const auto first = static_cast<uint8_t>(cell.text.bytes[0]);
    if (cell.text.length == 0) {
      shown[x++] = textCell(" ", 1, 1, cell.attr);
    } else if (cell.text.length == 1) {
      shown[x++] = first >= 0x20 && first < 0x7F ? textCell(cell.text.bytes, 1, 1, cell.attr)
                                                 : glyphCell(first, cell.attr);
    } else {
      int columns = 1;
      while (x + columns < width && cells[x + columns].text.length == 0) ++columns;
      bool unsure = false;
      if (!safeCharacter(cell.text, columns, unsure)) {
        shown[x++] = glyphCell(first, cell.attr);
        continue;
      }
      shown[x] = textCell(cell.text.bytes, cell.text.length, columns, cell.attr);
      shown[x].unsure = unsure ? 1 : 0;
      for (int i = 1; i < columns; ++i) shown[x + i] = furtherColumn(cell.attr);
      x += columns;  // (a cell that is not as wide shows its first byte's glyph instead)
    }
  }
}

}  // namespace

void layoutRow(console::DisplayMode mode, const GridCell* cells, int width, ShownCell* shown) {
  if (mode == console::DisplayMode::Utf8) {
    layoutUtf8(cells, width, shown);
    return;
  }
  for (int x = 0; x < width; ++x) {
    shown[x] = cells[x].text.length == 0
                   ? textCell(" ", 1, 1, cells[x].attr)
                   : glyphCell(static_cast<uint8_t>(cells[x].text.bytes[0]), cells[x].attr);
  }
}

}  // namespace terminal
