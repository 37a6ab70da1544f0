// The cursor line read by character: the two cell stacks seen as one line's bytes, moves of
// whole characters between them, and the column kept right whatever the unit of text.
#include <algorithm>
#include <vector>

#include "core/editor.h"
#include "core/tab_stop.h"

namespace {

// Terminator cells at the bottom of the cursor line's after-stack: 0, 1 or 2.
size_t endingCells(const Stack<CharCell>& after) {
  size_t n = 0;
  while (n < after.count() && after.data()[n].span == SPAN_LINE_END) ++n;
  return n;
}

bool isPlainAscii(uint8_t b) {
  return b >= 0x20 && b < 0x7F;
}

}  // namespace

ByteView Editor::bytesBefore() const {
  if (charsBefore.empty()) return {nullptr, 1, 0};
  return {&charsBefore.data()->ch, static_cast<ptrdiff_t>(sizeof(CharCell)), charsBefore.count()};
}

ByteView Editor::bytesAfter() const {
  const size_t text = charsAfter.count() - endingCells(charsAfter);
  if (text == 0) return {nullptr, 1, 0};
  return {&charsAfter.fromTop(0).ch, -static_cast<ptrdiff_t>(sizeof(CharCell)), text};
}

size_t Editor::charBeforeSize() const {
  const size_t count = charsBefore.count();
  if (count == 0) return 0;
  if (textUnit == TextUnit::Byte) return 1;
  if (isPlainAscii(charsBefore.top().ch) && (count == 1 || charsBefore.fromTop(1).ch < 0x80))
    return 1;
  return count - previousCharBoundary(textUnit, bytesBefore(), count);
}

size_t Editor::charAtSize() const {
  if (charsAfter.empty() || charsAfter.top().span < 0) return 0;
  if (textUnit == TextUnit::Byte) return 1;
  const uint8_t first = charsAfter.top().ch;
  if (isPlainAscii(first) && (charsAfter.count() == 1 || charsAfter.fromTop(1).ch < 0x80 ||
                              charsAfter.fromTop(1).span < 0))
    return 1;
  return nextCharBoundary(textUnit, bytesAfter(), 0);
}

bool Editor::wordBeforeCursor() const {
  const size_t n = charBeforeSize();
  if (n == 0) return false;
  const size_t count = charsBefore.count();
  return isWordChar(textUnit, bytesBefore(), count - n, count);
}

bool Editor::wordAtCursor() const {
  const size_t n = charAtSize();
  if (n == 0) return false;
  return isWordChar(textUnit, bytesAfter(), 0, n);
}

void Editor::settledStart(size_t pos, size_t& start, int32_t& column) const {
  const ByteView bytes = bytesBefore();
  start = settledBoundary(textUnit, bytes, pos);
  // The columns from there to the cursor, tabs by the spans they have.
  int32_t width = 0;
  for (size_t p = start; p < bytes.size;) {
    const size_t next = nextCharBoundary(textUnit, bytes, p);
    if (next == p + 1 && bytes[p] == '\t' && tabWidth != 0)
      width += charsBefore.data()[p].span;
    else
      width += characterWidth(textUnit, bytes, p, next);
    p = next;
  }
  column = cursorColumn - width;
}

int32_t Editor::layOutFrom(size_t from, int32_t column) {
  const ByteView bytes = bytesBefore();
  CharCell* cells = charsBefore.data();
  for (size_t p = from; p < bytes.size;) {
    if (isPlainAscii(bytes[p]) && (p + 1 == bytes.size || bytes[p + 1] < 0x80)) {
      ++column;  // a character of one column that nothing joins
      ++p;
      continue;
    }
    const size_t next = nextCharBoundary(textUnit, bytes, p);
    if (next == p + 1 && bytes[p] == '\t' && tabWidth != 0) {
      const int32_t stop = nextTabStop(column, tabWidth);
      cells[p].span = static_cast<int8_t>(stop - column);
      column = stop;
    } else {
      column += characterWidth(textUnit, bytes, p, next);
    }
    p = next;
  }
  return column;
}

void Editor::shiftRight(size_t n, bool oneCharacter) {
  if (textUnit == TextUnit::Byte || n == 1) {  // insertByte finds out whether a byte joins
    for (size_t i = 0; i < n; ++i) insertByte(charsAfter.pop().ch);
    return;
  }
  const ByteView after = bytesAfter();
  if (oneCharacter && certainBoundaryBetween(textUnit, bytesBefore(), after)) {
    cursorColumn += characterWidth(textUnit, after, 0, n);
    CharCell* slot = charsBefore.extend(n);
    for (size_t i = 0; i < n; ++i) slot[i] = CharCell{charsAfter.fromTop(i).ch, 0};
    charsAfter.drop(n);
    return;
  }
  size_t start;
  int32_t column;
  settledStart(charsBefore.count(), start, column);
  CharCell* slot = charsBefore.extend(n);
  for (size_t i = 0; i < n; ++i) slot[i] = CharCell{charsAfter.fromTop(i).ch, 0};
  charsAfter.drop(n);
  cursorColumn = layOutFrom(start, column);
}

// The columns of the last character before the cursor, n bytes long: the cursor's column is
// the width of what lies before it read on its own, so taking the last character away takes
// exactly its width.
int32_t Editor::lastCharacterWidth(size_t n) const {
  const size_t count = charsBefore.count();
  const CharCell& last = charsBefore.top();
  if (n == 1 && (last.ch < 0x80 || textUnit == TextUnit::Byte))
    return (tabWidth != 0 && last.ch == '\t') ? last.span : 1;
  return characterWidth(textUnit, bytesBefore(), count - n, count);
}

void Editor::shiftLeft(size_t n, bool oneCharacter) {
  const size_t count = charsBefore.count();
  const bool alone = n == 1 && charsBefore.top().ch < 0x80 &&
                     (count == 1 || charsBefore.fromTop(1).ch < 0x80);  // an ASCII byte after one
  if (textUnit == TextUnit::Character && !alone && !oneCharacter) {
    size_t start;
    int32_t column;
    settledStart(count - n, start, column);
    CharCell* slot = charsAfter.extend(n);
    for (size_t i = 0; i < n; ++i) slot[i] = CharCell{charsBefore.fromTop(i).ch, 0};
    charsBefore.drop(n);
    cursorColumn = layOutFrom(start, column);
    return;
  }
  if (oneCharacter || textUnit == TextUnit::Character) {
    cursorColumn -= lastCharacterWidth(n);
    CharCell* slot = charsAfter.extend(n);
    for (size_t i = 0; i < n; ++i) slot[i] = CharCell{charsBefore.fromTop(i).ch, 0};
    charsBefore.drop(n);
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    const CharCell cell = charsBefore.pop();
    cursorColumn -= (tabWidth != 0 && cell.ch == '\t') ? cell.span : 1;
    charsAfter.push(CharCell{cell.ch, 0});
  }
}

void Editor::dropBefore(size_t n, bool oneCharacter) {
  const size_t count = charsBefore.count();
  const CharCell* cells = charsBefore.data() + (count - n);
  if (oneCharacter || n == count) {
    cursorColumn = n == count ? 0 : cursorColumn - lastCharacterWidth(n);
    charsBefore.drop(n);
    return;
  }
  if (textUnit == TextUnit::Character) {
    size_t start;
    int32_t column;
    settledStart(count - n, start, column);
    charsBefore.drop(n);
    cursorColumn = layOutFrom(start, column);
    return;
  }
  int32_t width = 0;
  for (size_t i = 0; i < n; ++i)
    width += (tabWidth != 0 && cells[i].ch == '\t') ? cells[i].span : 1;
  cursorColumn -= width;
  charsBefore.drop(n);
}

void Editor::keepCursorOnCharacter() {
  if (textUnit == TextUnit::Byte || charsBefore.empty()) return;
  const ByteView after = bytesAfter();
  if (after.size == 0) return;
  if (charsBefore.top().ch < 0x80 && isPlainAscii(after[0])) return;
  if (certainBoundaryBetween(textUnit, bytesBefore(), after)) return;
  // The character holding the cursor lies within a stretch around it; read that stretch as
  // one line.
  constexpr size_t kBack = 1024, kAhead = 64;
  const size_t back = std::min(charsBefore.count(), kBack);
  const size_t ahead = std::min(after.size, kAhead);
  std::vector<uint8_t> stretch(back + ahead);
  const ByteView before = bytesBefore();
  for (size_t i = 0; i < back; ++i) stretch[i] = before[before.size - back + i];
  for (size_t i = 0; i < ahead; ++i) stretch[back + i] = after[i];
  const size_t start = characterStart(textUnit, ByteView{stretch.data(), 1, stretch.size()}, back);
  if (start < back) shiftLeft(back - start);
}

void Editor::setTextUnit(TextUnit unit) {
  if (unit == textUnit) return;
  textUnit = unit;
  cursorColumn = layOutFrom(0, 0);
  keepCursorOnCharacter();
  textDirty = 1;
}
