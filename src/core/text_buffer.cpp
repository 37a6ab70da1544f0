// The document split at the cursor: lines above, lines below, and the cursor line as the
// bytes before and from the cursor.
#include <cstdlib>
#include <cstring>

#include "core/editor.h"

TextLine makeOwnedLine(const char* bytes, int32_t length, int32_t size) {
  char* text = static_cast<char*>(checkedMalloc(size));
  if (size > 0) std::memcpy(text, bytes, size);
  return TextLine{text, length, static_cast<uint8_t>(size - length), 1};
}

void releaseText(TextLine& line) {
  if (line.ownsText) std::free(line.text);
  line = kBottomLine;
}

namespace {

void releaseLines(Stack<TextLine>& lines) {
  for (size_t i = 0; i < lines.count(); ++i) releaseText(lines.data()[i]);
  lines.clear();
}

// Moves n records from the top of one line stack to the other, nearest first, in slices so
// that the source gives back its memory while the destination fills.
void moveLines(Stack<TextLine>& from, Stack<TextLine>& to, size_t n) {
  constexpr size_t kSlice = 1 << 16;
  to.reserve(to.count() + n);
  while (n > 0) {
    size_t slice = n < kSlice ? n : kSlice;
    TextLine* slot = to.extend(slice);
    for (size_t i = 0; i < slice; ++i) slot[i] = from.fromTop(i);
    from.drop(slice);
    n -= slice;
  }
}

}  // namespace

void Editor::initBuffer() {
  linesAbove.clear();
  linesBelow.clear();
  charsBefore.clear();
  charsAfter.clear();
  cursorOrigin = kBottomLine;
  markColumn = markLine = leftColumn = topLine = cursorColumn = cursorLine = 0;
  tabWidth = 8;
  textDirty = selectionDirty = 1;
  modified = autosavePending = changed = selectionActive = 0;
  autoIndent = defaultAutoIndent;
}

void Editor::freeBuffer() {
  releaseLines(linesAbove);
  releaseLines(linesBelow);
  charsBefore.clear();
  charsAfter.clear();
  releaseText(cursorOrigin);
  textArena.clear();
}

int32_t Editor::cellWidth(const CharCell& cell, int32_t column) const {
  if (tabWidth != 0 && cell.ch == '\t')
    return cell.span > 0 ? cell.span : tabWidth - column % tabWidth;
  return 1;
}

int Editor::insertByte(uint8_t ch) {
  if (tabWidth != 0 && ch == '\t') {
    int32_t next = (cursorColumn + tabWidth) / tabWidth * tabWidth;
    charsBefore.push(CharCell{ch, static_cast<int8_t>(next - cursorColumn)});
    cursorColumn = next;
  } else {
    charsBefore.push(CharCell{ch, 0});
    ++cursorColumn;
  }
  return 1;
}

TextLine Editor::packCursorLine() {
  const size_t before = charsBefore.count();
  const size_t after = charsAfter.count();
  uint8_t ending = 0;
  while (ending < after && charsAfter.data()[ending].span == SPAN_LINE_END) ++ending;
  const size_t size = before + after;
  const CharCell* head = charsBefore.data();
  const CharCell* tail = charsAfter.data();  // last byte of the line first

  TextLine line = cursorOrigin;
  bool same =
      line.text != nullptr && static_cast<size_t>(line.size()) == size && line.endingSize == ending;
  for (size_t i = 0; same && i < before; ++i)
    same = static_cast<uint8_t>(line.text[i]) == head[i].ch;
  for (size_t i = 0; same && i < after; ++i)
    same = static_cast<uint8_t>(line.text[before + i]) == tail[after - 1 - i].ch;
  if (same) {
    cursorOrigin = kBottomLine;
  } else {
    releaseText(cursorOrigin);
    char* text = static_cast<char*>(checkedMalloc(size));
    for (size_t i = 0; i < before; ++i) text[i] = static_cast<char>(head[i].ch);
    for (size_t i = 0; i < after; ++i) text[before + i] = static_cast<char>(tail[after - 1 - i].ch);
    line = TextLine{text, static_cast<int32_t>(size - ending), ending, 1};
  }
  charsBefore.drop(before);
  charsAfter.drop(after);
  return line;
}

void Editor::packCursorLine(int32_t& length, int32_t& size, char*& text) {
  TextLine line = packCursorLine();
  if (!line.ownsText) {  // callers of this form take the array over: give them their own
    line = makeOwnedLine(line.text, line.length, line.size());
  }
  length = line.length;
  size = line.size();
  text = line.text;
}

void Editor::unpackLine(TextLine line, int32_t goal) {
  charsBefore.drop(charsBefore.count());
  charsAfter.drop(charsAfter.count());
  releaseText(cursorOrigin);
  cursorColumn = 0;
  const uint8_t* text = reinterpret_cast<const uint8_t*>(line.text);
  int32_t p = 0;
  if (goal > 0) {
    int32_t limit = line.length;
    if (goal < limit) limit = goal;  // at least this many bytes stay before the goal
    charsBefore.reserve(static_cast<size_t>(limit));
    while (cursorColumn < goal && p < line.length) insertByte(text[p++]);
  }
  const int32_t rest = line.size() - p;
  CharCell* slot = charsAfter.extend(static_cast<size_t>(rest));
  for (int32_t i = 0; i < line.endingSize; ++i)
    slot[i] = CharCell{text[line.size() - 1 - i], SPAN_LINE_END};
  for (int32_t i = line.endingSize; i < rest; ++i) slot[i] = CharCell{text[line.size() - 1 - i], 0};
  cursorOrigin = line;
}

void Editor::unpackLine(int32_t length, int32_t size, char* text, int32_t goal) {
  unpackLine(TextLine{text, length, static_cast<uint8_t>(size - length), 1}, goal);
}

void Editor::discardCursorLine() {
  charsBefore.drop(charsBefore.count());
  charsAfter.drop(charsAfter.count());
  releaseText(cursorOrigin);
  cursorColumn = 0;
}

int Editor::goToPosition(int32_t line, int32_t column) {
  if (line < 0 || line >= lineCount) return 0;
  TextLine current = packCursorLine();
  if (line < cursorLine) {
    linesBelow.push(current);
    moveLines(linesAbove, linesBelow, static_cast<size_t>(cursorLine - line - 1));
    current = linesAbove.pop();
  } else if (line > cursorLine) {
    linesAbove.push(current);
    moveLines(linesBelow, linesAbove, static_cast<size_t>(line - cursorLine - 1));
    current = linesBelow.pop();
  }
  cursorLine = line;
  unpackLine(current, column);
  return 1;
}

int Editor::transferDown(int32_t goal) {
  if (!hasLineBelow()) return 0;
  linesAbove.push(packCursorLine());
  unpackLine(linesBelow.pop(), goal);
  ++cursorLine;
  return 1;
}

int Editor::transferUp(int32_t goal) {
  if (!hasLineAbove()) return 0;
  linesBelow.push(packCursorLine());
  unpackLine(linesAbove.pop(), goal);
  --cursorLine;
  return 1;
}

int Editor::splitLine(bool indent) {
  const LineEnding& ending = LineEndings[lineEnding];
  const size_t before = charsBefore.count();
  const size_t size = before + ending.length;
  char* text = static_cast<char*>(checkedMalloc(size));
  for (size_t i = 0; i < before; ++i) text[i] = static_cast<char>(charsBefore.data()[i].ch);
  std::memcpy(text + before, ending.bytes, ending.length);

  size_t blanks = 0;
  if (indent) {
    while (blanks < before && (text[blanks] == ' ' || text[blanks] == '\t')) ++blanks;
  }
  char* indentSource = nullptr;
  if (indent && blanks == before) {
    indentSource = text;  // the upper line keeps only its terminator
    text = static_cast<char*>(checkedMalloc(ending.length));
    std::memcpy(text, ending.bytes, ending.length);
    linesAbove.push(TextLine{text, 0, static_cast<uint8_t>(ending.length), 1});
  } else {
    linesAbove.push(
        TextLine{text, static_cast<int32_t>(before), static_cast<uint8_t>(ending.length), 1});
    indentSource = text;
  }
  charsBefore.drop(before);
  ++cursorLine;
  ++lineCount;
  cursorColumn = 0;
  for (size_t i = 0; i < blanks; ++i) insertByte(static_cast<uint8_t>(indentSource[i]));
  if (indentSource != text) std::free(indentSource);
  changed = 1;
  return 1;
}

const char* Editor::byteAtColumn(const char* p, int32_t goal) const {
  int32_t col = 0;
  while (col < goal) {
    if (tabWidth != 0 && *p == '\t')
      col = (col + tabWidth) / tabWidth * tabWidth;
    else
      ++col;
    ++p;
  }
  return p;
}
