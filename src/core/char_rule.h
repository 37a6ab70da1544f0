#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "core/tab_stop.h"
#include "platform/unicode.h"

// The one rule for what a character of the text is and how many terminal columns it takes.
// Every command that moves over, removes or measures text asks it, by the editor's unit:
// - Byte (code page 437 display): every byte is a character of one column.
// - Character (UTF-8 display): a character is what a reader sees as one (an extended
//   grapheme cluster) made of well-formed UTF-8; every byte that belongs to no well-formed
//   sequence is a character of its own. Its width is what the terminal gives it (see
//   characterShape).
// Tabs are the callers' business: a tab is a character of its own in both units, and its
// width depends on the column it starts at (core/tab_stop.h).
enum class TextUnit : uint8_t { Byte, Character };

// A line's bytes in document order wherever they lie: a byte array, or the cells of the
// cursor line's two stacks (the after-stack read from its top down), by a stride.
struct ByteView {
  const uint8_t* first = nullptr;
  ptrdiff_t stride = 1;
  size_t size = 0;

  uint8_t operator[](size_t i) const { return first[static_cast<ptrdiff_t>(i) * stride]; }
  static ByteView of(const char* text, size_t length) {
    return {reinterpret_cast<const uint8_t*>(text), 1, length};
  }
};

// A character's bytes and the columns it takes (a tab: 1, its callers know better).
struct CharStep {
  size_t size;
  int32_t width;
};
// The character that starts at pos (pos < size).
CharStep characterAt(TextUnit unit, const ByteView& bytes, size_t pos);
// The character that ends at pos (0 < pos <= size).
CharStep characterBefore(TextUnit unit, const ByteView& bytes, size_t pos);

// Reads a line's characters forwards from a boundary, each unit decoded and classified once
// (reading a character looks at the first unit of the next one, which is kept).
class CharacterReader {
 public:
  CharacterReader(TextUnit unit, const ByteView& bytes, size_t pos)
      : unit_(unit), bytes_(bytes), pos_(pos) {}
  size_t position() const { return pos_; }
  bool atEnd() const { return pos_ >= bytes_.size; }
  // The character at position(), which then moves past it (not at the end).
  CharStep next();

 private:
  struct Ahead {
    char32_t codePoint;
    uint8_t length;
    unicode::CharInfo info;
  };
  TextUnit unit_;
  ByteView bytes_;
  size_t pos_;
  bool haveAhead_ = false;
  Ahead ahead_{};
};

// The characters before a cursor that goes back over them one by one, for one command (a
// word move, a word removed): before(bytes) is characterBefore(unit, bytes, bytes.size) for
// bytes (never empty) whose size never grows from one call to the next and whose first bytes
// stay the same (they may move). Where no boundary is certain for many units (emoji joiner
// sequences one after another), characterBefore reads a long stretch each time; this keeps the
// units, the certain boundaries and the characters read there for the next call, so that going back
// over such a run costs time in proportion to what is passed.
class CharactersBefore {
 public:
  explicit CharactersBefore(TextUnit unit) : unit_(unit) {}
  CharStep before(const ByteView& bytes);

 private:
  void lookBack(const ByteView& bytes);
  size_t readFrom(const ByteView& bytes, size_t from);

  TextUnit unit_;
  std::deque<size_t> units_;    // unit starts in order, the last of them the end of the bytes
  std::deque<size_t> certain_;  // those of units_ before which a boundary is certain
  std::deque<size_t> starts_;   // character starts read forwards from one of units_, each the
                                // end of the one before, the last of them the end
  std::vector<size_t> fresh_;   // the starts read in one call before meeting starts_
};

// The end of the character that starts at pos (pos < size).
size_t nextCharBoundary(TextUnit unit, const ByteView& bytes, size_t pos);
// The start of the character that ends at pos (0 < pos <= size).
size_t previousCharBoundary(TextUnit unit, const ByteView& bytes, size_t pos);
// The start of the character that byte pos belongs to (pos < size), or pos == size.
size_t characterStart(TextUnit unit, const ByteView& bytes, size_t pos);

// characterStart where reading the line from its start puts it, however far back that is
// (characterStart's look back for a certain boundary stops inside a longer character).
size_t lineCharacterStart(TextUnit unit, const ByteView& bytes, size_t pos);

// Whether the bytes end in the first bytes of a UTF-8 sequence that more bytes would make
// whole (as while the bytes of a typed character arrive one by one). Inline: the cursor
// line asks it of its cells at every step.
inline bool endsInPartialSequence(const ByteView& bytes) {
  for (size_t k = 1; k <= 3 && k <= bytes.size; ++k) {
    const uint8_t b = bytes[bytes.size - k];
    if ((b & 0xC0) == 0x80) continue;
    const size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 1;
    return b <= 0xF4 && length > k;
  }
  return false;
}

// Whether a character boundary lies between the end of `before` and the start of `after`
// whatever precedes them (so the character at the start of `after` is whole on its own).
bool certainBoundaryBetween(TextUnit unit, const ByteView& before, const ByteView& after);

// A character start at or before pos that stays one whatever is written or removed from pos
// on (in the Byte unit, pos itself).
size_t settledBoundary(TextUnit unit, const ByteView& bytes, size_t pos);

// settledBoundary where the line read from its start puts a character start, for a count of
// columns from there: where no boundary is certain within the look back, it reads on, however
// far back (the columns of a character depend on its first units).
size_t settledCharacterStart(TextUnit unit, const ByteView& bytes, size_t pos);

// Whether a character boundary lies before byte pos (pos < bytes.size) whatever precedes it.
// A settled boundary found no such place within its look back where this is false: a run of
// units that may all join (thousands of marks, emoji after emoji) cut there, not necessarily
// where reading the line from its start puts a boundary.
bool certainBoundaryAt(TextUnit unit, const ByteView& bytes, size_t pos);

// How a character of the Character unit shows: as text in `width` columns (text: the bytes
// sent, which leave out the default-ignorable code points other than variation selectors),
// or, where a terminal could not show it safely or at all (a control, a format character, a
// combining mark with nothing to join, a byte of no well-formed sequence, a code point that
// takes columns with more marks after it than one cell holds), the code page 437 glyph of
// each byte, one column each.
struct CharShape {
  int32_t width;
  bool glyphs;
};
CharShape characterShape(const ByteView& bytes, size_t start, size_t end);

// The text of a character shown as text goes out in cells of up to kMostCellText bytes: one
// cell for most, several for a longer one (a joiner sequence of many emoji), each new cell
// starting at a code point that takes columns.
constexpr size_t kMostCellText = 15;
struct CharText {
  int32_t width;
  uint8_t length;
  char text[kMostCellText];
};
// The cell of the character that ends at end which starts at pos (the character's start, then
// where the cell before ended); where it ends.
size_t characterCell(const ByteView& bytes, size_t pos, size_t end, CharText& cell);

// In the Character unit, whether the character at pos (a character start) runs on past
// pos + most bytes and shows as glyphs, one column for each byte (its first units decide
// that), found from its first most + 4 bytes only: then step is the part of it read. Else
// step is the character as characterAt gives it.
bool longGlyphCharacterAt(const ByteView& bytes, size_t pos, size_t most, CharStep& step);

// The columns the character [start, end) takes, a tab excepted.
int32_t characterWidth(TextUnit unit, const ByteView& bytes, size_t start, size_t end);

// Whether the character [start, end) belongs to words: ASCII letters and digits in both
// units; in the Byte unit every byte from 0x80 up, in the Character unit letters, marks and
// digits of any script and bytes of no well-formed sequence.
bool isWordChar(TextUnit unit, const ByteView& bytes, size_t start, size_t end);

// The first byte from pos on that is not printable ASCII (0x20-0x7E), or the end.
size_t printableAsciiRunEnd(const ByteView& bytes, size_t pos);

// How many bytes of a line lie before the column goal, the cursor landing as a move does:
// at the first character start whose column is at least the goal (so a tab or a wide
// character that straddles it is passed), or at the end of the text. The column where they
// end goes to column.
size_t bytesBeforeColumn(TextUnit unit, int32_t tabWidth, const ByteView& bytes, int32_t goal,
                         int32_t& column);
// The column where the same cursor lands, in bytes that start at column `from` (a line's
// text after the cursor).
int32_t boundaryColumnFrom(TextUnit unit, int32_t tabWidth, const ByteView& bytes, int32_t from,
                           int32_t goal);

// Adds the columns of the characters from pos, a character start, up to the first tab (when
// stopAtTab) or the end; where it stopped. Plain characters on their own (printable ASCII,
// and units whose class and the next unit's make the boundaries certain) are counted straight
// from their class; only the characters of several units are read by a CharacterReader.
size_t addColumnsUpToTab(TextUnit unit, const ByteView& bytes, size_t pos, bool stopAtTab,
                         int64_t& column);

// In the Character unit, adds the columns of the characters from pos, a character start, that
// end before byte `limit` (pos <= limit <= size) while every boundary between them is certain
// from their units' classes, as addColumnsUpToTab counts them; where it stopped, a character
// start: before a tab, a control, a byte of no sequence, or where the rest of the line may
// decide (a character that reaches limit is left, as what follows may join it). No character
// but a tab takes more columns than it has bytes, so column grows by at most the bytes passed.
size_t addCertainColumnsBefore(const ByteView& bytes, size_t pos, size_t limit, int64_t& column);

// The column where the characters from pos, a character start at column, to the end of the
// bytes end, each tab reaching the next stop; atTab(p, span) hears of the tab at byte p.
template <typename AtTab>
int64_t layOutColumns(TextUnit unit, int32_t tabWidth, const ByteView& bytes, size_t pos,
                      int64_t column, AtTab atTab) {
  for (;;) {
    pos = addColumnsUpToTab(unit, bytes, pos, tabWidth != 0, column);
    if (pos >= bytes.size) return column;
    const int64_t stop = nextTabStop(column, tabWidth);
    atTab(pos, static_cast<int32_t>(stop - column));
    column = stop;
    ++pos;
  }
}

// The column at which byte q of a line starts (the end of the character that holds it when
// q lies inside one).
int32_t columnOfByte(TextUnit unit, int32_t tabWidth, const ByteView& bytes, size_t q);
