// The cursor line read by character: the two cell stacks seen as one line's bytes, moves of
// whole characters between them, and the column kept right whatever the unit of text.
#include <algorithm>
#include <cstdint>
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

CharStep Editor::charBefore(CharactersBefore* characters) const {
  const size_t count = charsBefore.count();
  if (count == 0) return {0, 0};
  const CharCell& last = charsBefore.top();
  if (tabWidth != 0 && last.ch == '\t') return {1, last.span};  // a tab is a character alone
  if (textUnit == TextUnit::Byte ||
      (isPlainAscii(last.ch) && (count == 1 || charsBefore.fromTop(1).ch < 0x80)))
    return {1, 1};
  if (characters) return characters->before(bytesBefore());
  return characterBefore(textUnit, bytesBefore(), count);
}

CharStep Editor::charAt() const {
  const size_t count = charsAfter.count();
  if (count == 0 || charsAfter.top().span < 0) return {0, 0};
  const uint8_t first = charsAfter.top().ch;
  if (textUnit == TextUnit::Byte || first == '\t' ||
      (isPlainAscii(first) &&
       (count == 1 || charsAfter.fromTop(1).ch < 0x80 || charsAfter.fromTop(1).span < 0)))
    return {1, 1};
  return characterAt(textUnit, bytesAfter(), 0);
}

int32_t Editor::charAtWidthUpTo(int32_t most) const {
  const ByteView after = bytesAfter();
  if (textUnit == TextUnit::Character && after.size > 1 && after[0] != '\t' &&
      (after[0] >= 0x80 || after[1] >= 0x80)) {  // what charAt reads as characterAt does
    CharStep step;
    if (longGlyphCharacterAt(after, 0, static_cast<size_t>(most), step)) return most;
    return std::min(step.width, most);
  }
  return std::min(charAt().width, most);
}

size_t Editor::charBeforeSize() const {
  return charBefore().size;
}

size_t Editor::charAtSize() const {
  return charAt().size;
}

bool Editor::isWordBefore(const CharStep& before) const {
  if (before.size == 0) return false;
  const size_t count = charsBefore.count();
  return isWordChar(textUnit, bytesBefore(), count - before.size, count);
}

bool Editor::wordAtCursor() const {
  const size_t n = charAtSize();
  if (n == 0) return false;
  return isWordChar(textUnit, bytesAfter(), 0, n);
}

int32_t Editor::stepBackOverCharacter(size_t& start, int64_t& column) const {
  const ByteView before = bytesBefore();
  const size_t previous = previousCharBoundary(textUnit, before, start);
  const int32_t width = previous + 1 == start && before[previous] == '\t' && tabWidth != 0
                            ? charsBefore.data()[previous].span
                            : characterWidth(textUnit, before, previous, start);
  start = previous;
  column -= width;
  return width;
}

void Editor::settledStart(size_t pos, size_t& start, int32_t& column) const {
  const ByteView bytes = bytesBefore();
  start = settledCharacterStart(textUnit, bytes, pos);
  // The columns from there to the cursor, tabs by the spans they have.
  int32_t width = 0;
  for (CharacterReader reader(textUnit, bytes, start); !reader.atEnd();) {
    const size_t p = reader.position();
    const int32_t characterWidth = reader.next().width;
    width += (bytes[p] == '\t' && tabWidth != 0) ? charsBefore.data()[p].span : characterWidth;
  }
  column = cursorColumn - width;
}

int32_t Editor::layOutFrom(size_t from, int32_t column) {
  return layOutUpTo(from, charsBefore.count(), column);
}

int32_t Editor::layOutUpTo(size_t from, size_t to, int32_t column) {
  CharCell* cells = charsBefore.data();
  ByteView bytes = bytesBefore();
  bytes.size = to;
  const int64_t end =
      layOutColumns(textUnit, tabWidth, bytes, from, column,
                    [cells](size_t p, int32_t span) { cells[p].span = static_cast<int8_t>(span); });
  return end > INT32_MAX ? INT32_MAX : static_cast<int32_t>(end);
}

void Editor::shiftRight(size_t n) {
  if (textUnit == TextUnit::Byte || n == 1) {  // insertByte finds out whether a byte joins
    for (size_t i = 0; i < n; ++i) insertByte(charsAfter.pop().ch);
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

// With the cursor on a boundary, the character after it takes the same columns whatever
// precedes it, so stepping over it adds them (a tab: up to the next stop).
void Editor::stepRight(const CharStep& step) {
  if (step.size == 1 && charsAfter.top().ch == '\t') {
    insertByte(charsAfter.pop().ch);
    return;
  }
  cursorColumn += step.width;
  CharCell* slot = charsBefore.extend(step.size);
  for (size_t i = 0; i < step.size; ++i) slot[i] = CharCell{charsAfter.fromTop(i).ch, 0};
  charsAfter.drop(step.size);
}

void Editor::stepLeft(const CharStep& step) {
  cursorColumn -= step.width;
  CharCell* slot = charsAfter.extend(step.size);
  for (size_t i = 0; i < step.size; ++i) slot[i] = CharCell{charsBefore.fromTop(i).ch, 0};
  charsBefore.drop(step.size);
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

void Editor::shiftLeft(size_t n) {
  const size_t count = charsBefore.count();
  const bool alone = n == 1 && charsBefore.top().ch < 0x80 &&
                     (count == 1 || charsBefore.fromTop(1).ch < 0x80);  // an ASCII byte after one
  if (textUnit == TextUnit::Character && !alone) {
    size_t start;
    int32_t column;
    settledStart(count - n, start, column);
    CharCell* slot = charsAfter.extend(n);
    for (size_t i = 0; i < n; ++i) slot[i] = CharCell{charsBefore.fromTop(i).ch, 0};
    charsBefore.drop(n);
    cursorColumn = layOutFrom(start, column);
    return;
  }
  for (size_t i = 0; i < n; ++i) {  // bytes, or one ASCII byte after another
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

// The bytes before the cursor end in a sequence cut short; as text, its last byte is then a
// character of its own, which the test of the byte before the cursor finds cheaply first.
bool Editor::insidePartialSequence() const {
  return textUnit == TextUnit::Character && !charsBefore.empty() && charsBefore.top().ch >= 0x80 &&
         endsInPartialSequence(bytesBefore());
}

void Editor::characterAroundCursor(size_t& back, size_t& ahead) const {
  back = ahead = 0;
  if (textUnit == TextUnit::Byte || charsBefore.empty()) return;
  const ByteView after = bytesAfter();
  if (after.size == 0) return;
  if (charsBefore.top().ch < 0x80 && isPlainAscii(after[0])) return;
  const ByteView before = bytesBefore();
  if (certainBoundaryBetween(textUnit, before, after)) return;
  // The character holding the cursor mostly lies within a stretch around it; read that
  // stretch as one line, or the whole line where the character reaches the stretch's ends (a
  // byte or a unit cut off there could change it).
  constexpr size_t kBack = 1024, kAhead = 64;
  std::vector<uint8_t> stretch;
  for (size_t most = kBack;; most = SIZE_MAX) {
    const size_t stretchBack = std::min(before.size, most);
    const size_t stretchAhead = std::min(after.size, most == kBack ? kAhead : most);
    stretch.resize(stretchBack + stretchAhead);
    for (size_t i = 0; i < stretchBack; ++i) stretch[i] = before[before.size - stretchBack + i];
    for (size_t i = 0; i < stretchAhead; ++i) stretch[stretchBack + i] = after[i];
    const ByteView bytes{stretch.data(), 1, stretch.size()};
    const size_t start = lineCharacterStart(textUnit, bytes, stretchBack);
    const size_t end = start == stretchBack ? start : nextCharBoundary(textUnit, bytes, start);
    if (most == kBack && ((stretchBack < before.size && start < 4) ||
                          (stretchAhead < after.size && end + 4 > bytes.size)))
      continue;
    if (start == stretchBack) return;
    back = stretchBack - start;
    ahead = end - stretchBack;
    return;
  }
}

void Editor::keepCursorOnCharacter() {
  size_t back, ahead;
  characterAroundCursor(back, ahead);
  if (back != 0) shiftLeft(back);
}

void Editor::keepTypedCursorOnCharacter() {
  if (textUnit == TextUnit::Byte || insidePartialSequence()) return;
  size_t back, ahead;
  characterAroundCursor(back, ahead);
  if (ahead != 0) shiftRight(ahead);
}

void Editor::setTextUnit(TextUnit unit) {
  if (unit == textUnit) return;
  textUnit = unit;
  cursorColumn = layOutFrom(0, 0);
  keepCursorOnCharacter();
  textDirty = 1;
}
