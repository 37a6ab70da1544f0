// Cursor movement by byte, word, line, page and to the document's ends. Horizontal moves
// shift cells between the two halves of the cursor line; vertical moves pack the cursor line
// and unpack a neighbour.
#include <climits>
#include <cstring>
#include <utility>

#include "core/editor.h"
#include "core/tab_stop.h"
#include "screen/screen.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define SLATE_MOVE_SSE2 1
#endif

constexpr int pageOverlap = 1;

int Editor::moveLeft() {
  return moveLeftOver(charBefore());
}

int Editor::moveLeftOver(const CharStep& step) {
  if (step.size == 0) return 0;
  if (step.size == 1 && insidePartialSequence()) {
    // Typing left the cursor inside a sequence, maybe inside a character that goes on past
    // it: to that character's start.
    size_t back, ahead;
    characterAroundCursor(back, ahead);
    if (back != 0) {
      shiftLeft(back);
      return 1;
    }
  }
  stepLeft(step);
  steppedByCharacter = 1;
  return 1;
}

int Editor::moveRight() {
  const CharStep step = charAt();
  if (step.size == 0) return 0;
  if (insidePartialSequence()) {
    // Typing left the cursor inside a sequence, maybe inside a character that goes on past
    // it: to that character's end, its columns counted again.
    size_t back, ahead;
    characterAroundCursor(back, ahead);
    shiftRight(ahead != 0 ? ahead : step.size);
    return 1;
  }
  stepRight(step);
  steppedByCharacter = 1;
  return 1;
}

namespace {

// The two moves to a line's ends shift the cells across in bulk, a slice at a time, with the
// same result as repeating moveLeft or moveRight: the source stack gives back each slice's
// memory as it goes, so a long line's cells are never held twice.
constexpr size_t kMoveSlice = size_t{1} << 20;

// Copies n cells in reverse order, each made anew by cell(ch).
template <typename MakeCell>
void copyReversed(CharCell* slot, const CharCell* source, size_t n, MakeCell cell) {
  for (size_t i = 0; i < n; ++i) slot[i] = cell(source[n - 1 - i].ch);
}

// A moved byte's cell with no span.
struct PlainCell {
  CharCell operator()(uint8_t ch) const { return CharCell{ch, 0}; }
};
constexpr PlainCell plainCell;

// The same for plain cells, each cell copied whole with its span masked off: sixteen cells
// at a time where SSE2 is there (the eight 16-bit lanes of each block reversed), the rest
// one at a time.
void copyReversed(CharCell* slot, const CharCell* source, size_t n, PlainCell) {
  static_assert(sizeof(CharCell) == sizeof(uint16_t));
  uint16_t byteOnly;
  const CharCell mask{0xFF, 0};
  std::memcpy(&byteOnly, &mask, sizeof mask);
  size_t i = 0;
#ifdef SLATE_MOVE_SSE2
  const __m128i byteLanes = _mm_set1_epi16(static_cast<int16_t>(byteOnly));
  const auto reversed = [byteLanes](__m128i block) {
    block = _mm_shuffle_epi32(block, _MM_SHUFFLE(0, 1, 2, 3));
    block = _mm_shufflelo_epi16(block, _MM_SHUFFLE(2, 3, 0, 1));
    block = _mm_shufflehi_epi16(block, _MM_SHUFFLE(2, 3, 0, 1));
    return _mm_and_si128(block, byteLanes);
  };
  for (; i + 16 <= n; i += 16) {
    const CharCell* from = source + (n - 16 - i);  // the 16 cells that go to slot[i]...
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(slot + i), reversed(high));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(slot + i + 8), reversed(low));
  }
#endif
  for (; i < n; ++i) {
    uint16_t cell;
    std::memcpy(&cell, &source[n - 1 - i], sizeof cell);
    cell &= byteOnly;
    std::memcpy(&slot[i], &cell, sizeof cell);
  }
}

// The cells are copied a piece at a time, small enough for the cache: work on the moved
// cells done after each piece (counting their columns) finds them there.
constexpr size_t kCachePiece = size_t{1} << 16;

// Moves n cells from the top of `from` onto `to`, which reverses their order as the two
// halves of the cursor line want; cell(ch) makes each moved byte's new cell, and moved()
// hears of each piece once it is on `to`.
template <typename MakeCell, typename Moved>
void moveCells(Stack<CharCell>& from, Stack<CharCell>& to, size_t n, MakeCell cell, Moved moved) {
  const bool large = n >= kMoveSlice;
  to.reserve(to.count() + n);
  size_t untrimmed = 0;
  while (n > 0) {
    const size_t piece = n < kCachePiece ? n : kCachePiece;
    copyReversed(to.extend(piece), &from.fromTop(piece - 1), piece, cell);
    from.drop(piece);
    n -= piece;
    untrimmed += piece;
    if (large && (untrimmed >= kMoveSlice || n == 0)) {
      from.trim();
      untrimmed = 0;
    }
    moved();
  }
}

template <typename MakeCell>
void moveCells(Stack<CharCell>& from, Stack<CharCell>& to, size_t n, MakeCell cell) {
  moveCells(from, to, n, cell, [] {});
}

// Makes the whole line's text, all in `after` above `ending` terminator cells, the text of
// `before` (empty), reversing the cells where they lie instead of copying them into fresh
// memory; the terminator cells get a stack of their own. Whether the text holds a tab.
bool reverseWholeLine(Stack<CharCell>& before, Stack<CharCell>& after, size_t ending) {
  CharCell terminators[2];
  for (size_t k = 0; k < ending; ++k) terminators[k] = after.data()[k];
  std::swap(before, after);
  CharCell* cells = before.data();
  bool tabs = false;
  size_t i = 0, j = before.count() - 1;
  for (; i < j; ++i, --j) {
    const CharCell low = cells[i];
    cells[i] = cells[j];
    cells[j] = low;
    tabs |= (low.ch == '\t') | (cells[i].ch == '\t');
  }
  if (i == j) tabs |= cells[i].ch == '\t';  // the middle cell of an odd count
  before.drop(ending);                      // the terminator cells ended on top
  for (size_t k = 0; k < ending; ++k) after.push(terminators[k]);
  return tabs;
}

// The column after n cells laid out by byte from column 0, the tabs given their spans.
int32_t layOutBytes(CharCell* cells, size_t n, int32_t tabWidth) {
  int32_t column = 0;
  for (size_t k = 0; k < n; ++k) {
    if (cells[k].ch == '\t' && tabWidth != 0) {
      const int32_t next = nextTabStop(column, tabWidth);
      cells[k].span = static_cast<int8_t>(next - column);
      column = next;
    } else {
      ++column;
    }
  }
  return column;
}

// The word class of a character of one byte, as isWordChar gives it: ASCII letters and
// digits, and in the Byte unit every byte from 0x80 up.
bool byteIsWord(TextUnit unit, uint8_t b) {
  if (b < 0x80) return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9');
  return unit == TextUnit::Byte;
}

bool isPrintableAscii(uint8_t b) {
  return b >= 0x20 && b < 0x7F;
}

// How many characters of one byte each, all of the class of the first (given in word), lie
// after the cursor, each one as charAt finds it standing before it: any byte in the Byte unit,
// a tab, printable ASCII that no byte from 0x80 up follows.
size_t oneByteRunAfter(const Editor& e, bool& word) {
  const Stack<CharCell>& after = e.charsAfter;
  const size_t count = after.count();
  size_t n = 0;
  for (; n < count; ++n) {
    const CharCell& cell = after.fromTop(n);
    if (cell.span < 0) break;  // the line's end
    const bool alone =
        e.textUnit == TextUnit::Byte || cell.ch == '\t' ||
        (isPrintableAscii(cell.ch) &&
         (n + 1 == count || after.fromTop(n + 1).ch < 0x80 || after.fromTop(n + 1).span < 0));
    if (!alone) break;
    const bool w = byteIsWord(e.textUnit, cell.ch);
    if (n == 0)
      word = w;
    else if (w != word)
      break;
  }
  return n;
}

// The same before the cursor, each as charBefore finds it standing after it.
size_t oneByteRunBefore(const Editor& e, bool& word) {
  const Stack<CharCell>& before = e.charsBefore;
  const size_t count = before.count();
  size_t n = 0;
  for (; n < count; ++n) {
    const uint8_t b = before.fromTop(n).ch;
    const bool alone = (e.tabWidth != 0 && b == '\t') || e.textUnit == TextUnit::Byte ||
                       (isPrintableAscii(b) && (n + 1 == count || before.fromTop(n + 1).ch < 0x80));
    if (!alone) break;
    const bool w = byteIsWord(e.textUnit, b);
    if (n == 0)
      word = w;
    else if (w != word)
      break;
  }
  return n;
}

// Moves the cursor over n such characters after it, as n steps of stepRight would.
void stepRightOverBytes(Editor& e, size_t n) {
  while (n > 0) {
    if (e.charsAfter.top().ch == '\t') {
      e.insertByte(e.charsAfter.pop().ch);
      --n;
      continue;
    }
    size_t k = 1;
    while (k < n && e.charsAfter.fromTop(k).ch != '\t') ++k;
    CharCell* slot = e.charsBefore.extend(k);
    for (size_t i = 0; i < k; ++i) slot[i] = CharCell{e.charsAfter.fromTop(i).ch, 0};
    e.charsAfter.drop(k);
    e.cursorColumn += static_cast<int32_t>(k);
    n -= k;
  }
}

// Moves the cursor back over n such characters before it, as n steps of stepLeft would.
void stepLeftOverBytes(Editor& e, size_t n) {
  int32_t width = 0;
  CharCell* slot = e.charsAfter.extend(n);
  for (size_t i = 0; i < n; ++i) {
    const CharCell cell = e.charsBefore.fromTop(i);
    width += (e.tabWidth != 0 && cell.ch == '\t') ? cell.span : 1;
    slot[i] = CharCell{cell.ch, 0};
  }
  e.charsBefore.drop(n);
  e.cursorColumn -= width;
}

}  // namespace

int Editor::moveLineStart() {
  moveCells(charsBefore, charsAfter, charsBefore.count(), plainCell);
  cursorColumn = 0;
  return 1;
}

int Editor::moveLineEnd() {
  const size_t n = bytesAfter().size;
  const size_t ending = charsAfter.count() - n;  // terminator cells, at the bottom
  if (textUnit == TextUnit::Character) {         // the columns counted as the cells arrive
    size_t start;
    int32_t column;
    settledStart(charsBefore.count(), start, column);
    moveCells(charsAfter, charsBefore, n, plainCell, [&] {
      // Only a certain boundary: two counts that meet inside a character would each count
      // its half as a character of its own.
      const ByteView bytes = bytesBefore();
      const size_t settled = settledBoundary(textUnit, bytes, charsBefore.count());
      if (settled <= start || !certainBoundaryAt(textUnit, bytes, settled)) return;
      column = layOutUpTo(start, settled, column);
      start = settled;
    });
    cursorColumn = layOutFrom(start, column);
  } else if (n >= kMoveSlice && charsBefore.empty()) {
    const bool tabs = reverseWholeLine(charsBefore, charsAfter, ending);
    cursorColumn = tabs ? layOutBytes(charsBefore.data(), n, tabWidth) : static_cast<int32_t>(n);
  } else {
    // What insertByte does for each cell, with the column kept in a register.
    int32_t column = cursorColumn;
    const int32_t tab = tabWidth;
    moveCells(charsAfter, charsBefore, n, [&column, tab](uint8_t ch) {
      if (ch != '\t' || tab == 0) {
        ++column;
        return CharCell{ch, 0};
      }
      const int32_t next = nextTabStop(column, tab);
      const CharCell cell{ch, static_cast<int8_t>(next - column)};
      column = next;
      return cell;
    });
    cursorColumn = column;
  }
  return 1;
}

// A run of characters of one byte each and of one class (a long word, a long run of blanks)
// is passed in one piece, as one step at a time would pass it.
int Editor::moveWordLeft() {
  bool previousWasWord = false;
  CharactersBefore characters(textUnit);
  for (;;) {
    bool runIsWord = false;
    if (const size_t n = oneByteRunBefore(*this, runIsWord); n > 1) {
      if (!runIsWord && previousWasWord) return 1;
      stepLeftOverBytes(*this, n);
      steppedByCharacter = 1;
      previousWasWord = runIsWord;
      continue;
    }
    const CharStep step = charBefore(&characters);
    const bool word = isWordBefore(step);
    if (!word && previousWasWord) return 1;
    if (!moveLeftOver(step)) return 0;
    previousWasWord = word;
  }
}

int Editor::moveWordRight() {
  bool previousWasWord = true;
  for (;;) {
    bool runIsWord = false;
    if (!insidePartialSequence()) {
      if (const size_t n = oneByteRunAfter(*this, runIsWord); n > 1) {
        if (runIsWord && !previousWasWord) return 1;
        stepRightOverBytes(*this, n);
        steppedByCharacter = 1;
        previousWasWord = runIsWord;
        continue;
      }
    }
    const bool word = wordAtCursor();
    if (word && !previousWasWord) return 1;
    if (!moveRight()) return 0;
    previousWasWord = word;
  }
}

int Editor::moveUp() {
  return transferUp(cursorColumn);
}

int Editor::moveDown() {
  return transferDown(cursorColumn);
}

int Editor::pageUp() {
  const int page = screen->rows - pageOverlap;
  int moved = 0;
  while (moved < page && moveUp()) ++moved;
  topLine = topLine - moved > 0 ? topLine - moved : 0;
  textDirty = 1;
  return 1;
}

int Editor::pageDown() {
  const int page = screen->rows - pageOverlap;
  int moved = 0;
  while (moved < page && moveDown()) ++moved;
  topLine = topLine + moved < lineCount ? topLine + moved : lineCount;
  textDirty = 1;
  return 1;
}

int Editor::moveDocumentStart() {
  return goToPosition(0, 0);
}

int Editor::moveDocumentEnd() {
  // In a large file whose lines are still being counted, the last line's number is one
  // past the uncounted part (which stands for one line) until the count is done.
  return goToPosition(lineCount - 1, INT_MAX);
}
