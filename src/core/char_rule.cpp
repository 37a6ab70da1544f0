#include "core/char_rule.h"

#include <bit>
#include <cstring>

#include "core/tab_stop.h"
#include "platform/unicode.h"

namespace {

using unicode::CharKind;

// A unit of UTF-8 text: a well-formed sequence, or one byte of none (invalid).
struct Unit {
  char32_t codePoint;
  uint8_t length;
  bool invalid;
};

// A line's bytes by a stride known when compiling (1: a byte array, 2: the cursor line's
// cells), read without a multiplication for each byte: the column count's view of them.
template <ptrdiff_t Stride>
struct StridedBytes {
  const uint8_t* first;
  size_t size;
  uint8_t operator[](size_t i) const { return first[static_cast<ptrdiff_t>(i) * Stride]; }
};

// The bytes from pos on (any view with operator[]).
template <typename Bytes>
struct BytesFrom {
  const Bytes& bytes;
  size_t pos;
  uint8_t operator[](size_t i) const { return bytes[pos + i]; }
};

// unicode::decodeUtf8 on the bytes from pos; where four or more bytes are left, without
// asking at each byte whether there is one more.
template <typename Bytes>
[[gnu::always_inline]] inline int decodeAt(const Bytes& bytes, size_t pos, char32_t& codePoint) {
  const BytesFrom<Bytes> from{bytes, pos};
  const size_t available = bytes.size - pos;
  return available >= 4 ? unicode::decodeUtf8(from, 4, codePoint)
                        : unicode::decodeUtf8(from, available, codePoint);
}

// Inlined everywhere: every step over text decodes its units here.
template <typename Bytes>
[[gnu::always_inline]] inline Unit unitAt(const Bytes& bytes, size_t pos) {
  const uint8_t lead = bytes[pos];
  if (lead < 0x80) return {lead, 1, false};
  char32_t codePoint = 0;
  const int length = decodeAt(bytes, pos, codePoint);
  if (length == 0) return {lead, 1, true};
  return {codePoint, static_cast<uint8_t>(length), false};
}

// What is known of every printable ASCII character; of a control or a byte of no sequence.
constexpr unicode::CharInfo kPlainAscii{CharKind::Narrow, false, false, unicode::BreakRole::Plain};
constexpr unicode::CharInfo kControl{CharKind::Hidden, false, false, unicode::BreakRole::Control};

// What the character rule needs to know of a unit. An invalid byte shows as a glyph and has
// a boundary on both sides.
[[gnu::always_inline]] inline unicode::CharInfo infoOf(const Unit& unit) {
  using unicode::BreakRole;
  if (unit.invalid) return kControl;
  if (unit.codePoint >= 0x20 && unit.codePoint < 0x7F) return kPlainAscii;
  return unicode::classifyChar(unit.codePoint);
}

// A unit together with what is known of it.
struct KnownUnit {
  Unit unit;
  unicode::CharInfo info;
};

template <typename Bytes>
[[gnu::always_inline]] inline KnownUnit knownUnitAt(const Bytes& bytes, size_t pos) {
  const Unit unit = unitAt(bytes, pos);
  return {unit, infoOf(unit)};
}

// The unit that holds byte pos, and its start: pos itself where pos starts one or belongs to
// none. A well-formed sequence cannot begin inside another one, so reading backwards finds
// the units that reading forwards does.
size_t unitHolding(const ByteView& bytes, size_t pos, Unit& unit) {
  for (size_t k = 1; k <= 3 && k <= pos && (bytes[pos] & 0xC0) == 0x80; ++k) {
    if ((bytes[pos - k] & 0xC0) == 0x80) continue;
    const Unit lead = unitAt(bytes, pos - k);
    if (lead.length > k) {
      unit = lead;
      return pos - k;
    }
    break;
  }
  unit = unitAt(bytes, pos);
  return pos;
}

size_t unitHolding(const ByteView& bytes, size_t pos) {
  Unit unit;
  return unitHolding(bytes, pos, unit);
}

// The unit that ends at end (end > 0), and its start; where a unit runs across end, the
// byte before end on its own.
size_t unitEndingAt(const ByteView& bytes, size_t end, Unit& unit) {
  const uint8_t last = bytes[end - 1];
  if (last < 0x80) {
    unit = {last, 1, false};
    return end - 1;
  }
  const size_t start = unitHolding(bytes, end - 1, unit);
  if (start + unit.length == end) return start;
  unit = {last, 1, true};
  return end - 1;
}

size_t unitStartBefore(const ByteView& bytes, size_t end) {
  Unit unit;
  return unitEndingAt(bytes, end, unit);
}

// What is known of the unit that ends at end.
unicode::CharInfo infoBefore(const ByteView& bytes, size_t end) {
  Unit unit;
  unitEndingAt(bytes, end, unit);
  return infoOf(unit);
}

// Whether a character boundary lies before the unit at pos whatever precedes it.
bool certainBoundary(const ByteView& bytes, size_t pos) {
  if (pos == 0) return true;
  return unicode::certainBreak(infoBefore(bytes, pos), knownUnitAt(bytes, pos).info);
}

bool isPlainAscii(uint8_t b) {
  return b >= 0x20 && b < 0x7F;
}

// Whether a unit that is sent takes columns of its own (and so can begin a cell).
bool takesColumns(const unicode::CharInfo& info) {
  return info.kind == CharKind::Narrow || info.kind == CharKind::Wide;
}

// How a character made of units adds up its columns: the terminal's width of each unit it
// sends, or one column for each byte when it shows as glyphs (its first unit shows nothing
// or only joins, or a unit that takes columns and the units sent after it that take none are
// too long for one cell).
struct ShapeSum {
  int32_t width = 0;
  size_t sent = 0;
  bool glyphs = false;
  size_t piece = 0;  // bytes sent since the last unit that takes columns, that one included
  bool tooLong = false;

  static bool sends(const KnownUnit& known) {
    return known.info.kind != CharKind::Hidden &&
           (!known.info.ignorable || unicode::isVariationSelector(known.unit.codePoint));
  }
  void first(const KnownUnit& known) {
    glyphs = known.info.kind == CharKind::Hidden || known.info.kind == CharKind::Combining;
    add(known);
  }
  [[gnu::always_inline]] void add(const KnownUnit& known) {
    if (!sends(known)) return;
    sent += known.unit.length;
    piece = takesColumns(known.info) ? known.unit.length : piece + known.unit.length;
    tooLong = tooLong || piece > kMostCellText;
    if (known.info.kind == CharKind::Narrow) width += 1;
    if (known.info.kind == CharKind::Wide) width += 2;
  }
  int32_t columns(size_t length) const {
    return glyphs || tooLong ? static_cast<int32_t>(length) : width;
  }
};

// The columns of [start, end) taken as one character.
int32_t unitsWidth(const ByteView& bytes, size_t start, size_t end) {
  KnownUnit known = knownUnitAt(bytes, start);
  ShapeSum shape;
  shape.first(known);
  for (size_t p = start + known.unit.length; p < end; p += known.unit.length) {
    known = knownUnitAt(bytes, p);
    shape.add(known);
  }
  return shape.columns(end - start);
}

// The columns of a unit that is a character on its own.
int32_t aloneWidth(const KnownUnit& known) {
  ShapeSum shape;
  shape.first(known);
  return shape.columns(known.unit.length);
}

CharStep utf8CharacterAt(const ByteView& bytes, size_t pos) {
  return CharacterReader(TextUnit::Character, bytes, pos).next();
}

// The columns of a simple unit, one that shows as itself in one or two columns and joins
// nothing before it (what ShapeSum gives it as a character alone); 0 for any other unit.
int32_t simpleColumns(const unicode::CharInfo& info) {
  if (info.role != unicode::BreakRole::Plain || info.ignorable) return 0;
  return info.kind == CharKind::Wide ? 2 : info.kind == CharKind::Narrow ? 1 : 0;
}

// simpleColumns of each code point, found when first asked: 0 while not yet known, else its
// columns + 1. The column count asks it for most units it reads; the pages of the blocks
// never asked are never touched.
uint8_t knownSimpleColumns[0x110000];

// A code point's entry, found and kept; out of the count's loop, which asks it once for each
// code point of the text.
[[gnu::noinline]] uint8_t learnSimpleColumns(char32_t codePoint) {
  const auto known = static_cast<uint8_t>(simpleColumns(unicode::classifyChar(codePoint)) + 1);
  knownSimpleColumns[codePoint] = known;
  return known;
}

[[gnu::always_inline]] inline int32_t simpleColumnsOf(char32_t codePoint) {
  uint32_t known = knownSimpleColumns[codePoint];
  if (known <= 1) [[unlikely]] {  // not simple, or not yet known
    if (known == 1) return 0;
    known = learnSimpleColumns(codePoint);
  }
  return static_cast<int32_t>(known) - 1;
}

// The character at pos, a character start, when it is a simple unit that the unit after it
// cannot join.
bool simpleCharacterAt(const ByteView& bytes, size_t pos, CharStep& step) {
  const KnownUnit known = knownUnitAt(bytes, pos);
  const int32_t width = simpleColumns(known.info);
  const size_t end = pos + known.unit.length;
  if (width == 0 || (end < bytes.size && bytes[end] >= 0x80 &&
                     !unicode::certainBreak(known.info, knownUnitAt(bytes, end).info)))
    return false;
  step = {known.unit.length, width};
  return true;
}

// The first byte from pos on that is not printable ASCII, or the end.
size_t plainAsciiRunEnd(const ByteView& bytes, size_t pos) {
  while (pos < bytes.size && isPlainAscii(bytes[pos])) ++pos;
  return pos;
}

// The same, eight bytes at a time where the stride is 1 or 2: each byte's lane of a word
// (8 or 16 bits; in the cells, the byte is the lane's low half) says whether it lies in
// 0x20-0x7E by bit 7 of its low half.
template <ptrdiff_t Stride>
[[gnu::always_inline]] inline size_t plainAsciiRunEnd(const StridedBytes<Stride>& bytes,
                                                      size_t pos) {
  // Runs in the text of other scripts are mostly a space or two: the first byte alone first.
  if (pos == bytes.size || !isPlainAscii(bytes[pos])) return pos;
  constexpr uint64_t ones = Stride == 1 ? 0x0101010101010101 : 0x0001000100010001;
  constexpr size_t lanes = 8 / Stride;
  if constexpr (std::endian::native == std::endian::little) {
    for (; pos + lanes <= bytes.size; pos += lanes) {
      uint64_t word;
      std::memcpy(&word, bytes.first + pos * Stride, sizeof word);
      const uint64_t low = word & ones * 0x7F;
      // bit 7: from 0x20 up, not 0x7F, not from 0x80 up
      const uint64_t plain = (low + ones * 0x60) & ~(low + ones) & ~word;
      const uint64_t other = ~plain & ones * 0x80;
      if (other != 0) return pos + static_cast<size_t>(std::countr_zero(other)) / (8 * Stride);
    }
  }
  while (pos < bytes.size && isPlainAscii(bytes[pos])) ++pos;
  return pos;
}

// The unit at pos as unicode::decodeUtf8 reads it (its length; 0 for a byte of no sequence,
// and here for an ASCII byte too), where four bytes or more are left from pos on; but for a
// surrogate, which passes here as a unit of three bytes: the column count takes a unit for
// one at once only when it is simple, which no surrogate is, and checks it before anything
// else. A continuation byte less 0x80 is under 0x40, its six bits of the code point; any other
// byte less 0x80 is 0x40 or more (or wraps around to far more). The lead's own bits are what
// is left of it once the bits that give the length are taken off.
template <typename Bytes>
[[gnu::always_inline]] inline int countedUnitAt(const Bytes& bytes, size_t pos,
                                                char32_t& codePoint) {
  const uint32_t lead = bytes[pos];
  const uint32_t second = bytes[pos + 1] - 0x80u;
  if (lead < 0xE0) {
    if (lead < 0xC2 || second >= 0x40) [[unlikely]]
      return 0;
    codePoint = (lead << 6) + second - (0xC0u << 6);
    return 2;
  }
  const uint32_t third = bytes[pos + 2] - 0x80u;
  if (lead < 0xF0) {
    if ((second | third) >= 0x40) [[unlikely]]
      return 0;
    const char32_t cp = (lead << 12) + (second << 6) + third - (0xE0u << 12);
    if (cp < 0x800) [[unlikely]]
      return 0;
    codePoint = cp;
    return 3;
  }
  const uint32_t fourth = bytes[pos + 3] - 0x80u;
  if (lead > 0xF4 || (second | third | fourth) >= 0x40) [[unlikely]]
    return 0;
  const char32_t cp = (lead << 18) + (second << 12) + (third << 6) + fourth - (0xF0u << 18);
  if (cp < 0x10000 || cp > 0x10FFFF) [[unlikely]]
    return 0;
  codePoint = cp;
  return 4;
}

// Adds the columns of the characters from pos, a character start, while every boundary and
// join between their units is certain from the units' classes: runs of printable ASCII at
// once, simple units (see simpleColumns) from the table of their columns, other units by
// their classes. Where it stopped, a character start: at a control, a tab, a byte of no
// sequence or a prepended mark; back at the start of the last character read (its columns
// taken off again) when the unit after it may or may not join it, or within the last four
// bytes, where a unit could run past the end (units are read here as if four bytes were
// left). As no unit read here joins what follows it, a plain unit always starts a character.
// CutEnd: the bytes are cut from a longer line, so their end is no boundary of itself: the
// last character read is given back even when it reaches the end.
template <bool CutEnd = false, typename Bytes>
size_t addCertainCharacters(const Bytes& bytes, size_t pos, int64_t& column) {
  int64_t reached = column;
  size_t lastStart = pos;   // the last character read, up to pos
  int64_t simpleWidth = 0;  // its columns when it is one simple unit, else 0 and:
  ShapeSum last;
  unicode::CharInfo lastInfo = kControl;  // its last unit's; at first, a certain boundary
  bool alone = true;                      // whether it has one unit
  bool openEnded = true;                  // whether the unit at pos may join it
  const size_t stop = bytes.size > 3 ? bytes.size - 3 : 0;  // four bytes from pos on
  while (pos < stop) {
    const uint8_t lead = bytes[pos];
    if (isPlainAscii(lead)) {
      // Mostly a space between words of other scripts: one byte, told before any word is read.
      const size_t end = isPlainAscii(bytes[pos + 1]) ? plainAsciiRunEnd(bytes, pos + 2) : pos + 1;
      reached += static_cast<int64_t>(end - pos);
      lastStart = end - 1;
      simpleWidth = 1;
      pos = end;
      continue;
    }
    char32_t codePoint = 0;
    const int length = countedUnitAt(bytes, pos, codePoint);
    if (length == 0) {  // a control, a tab or a byte of no sequence
      openEnded = !unicode::certainBreak(lastInfo, kControl);
      break;
    }
    if (const int32_t width = simpleColumnsOf(codePoint); width != 0) {
      reached += width;
      lastStart = pos;
      simpleWidth = width;
      pos += static_cast<size_t>(length);
      continue;
    }
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {  // three bytes of no sequence
      openEnded = !unicode::certainBreak(lastInfo, kControl);
      break;
    }
    if (simpleWidth != 0) {  // the last character in full, as the rest goes on from it
      last = {static_cast<int32_t>(simpleWidth), pos - lastStart, false, pos - lastStart, false};
      lastInfo = kPlainAscii;  // what matters of it: a plain unit
      alone = true;
      simpleWidth = 0;
    }
    const KnownUnit known{{codePoint, static_cast<uint8_t>(length), false},
                          unicode::classifyChar(codePoint)};
    const size_t end = pos + known.unit.length;
    if (known.info.role == unicode::BreakRole::Prepend) {
      openEnded = !unicode::certainBreak(lastInfo, known.info);
      break;
    }
    if (unicode::certainBreak(lastInfo, known.info)) {
      lastStart = pos;
      last = {};
      last.first(known);
      reached += last.columns(known.unit.length);
      alone = true;
    } else if (alone ? unicode::certainJoinAtStart(lastInfo, known.info)
                     : unicode::certainJoin(lastInfo, known.info)) {
      const int32_t before = last.columns(pos - lastStart);
      last.add(known);
      reached += last.columns(end - lastStart) - before;
      alone = false;
    } else {
      break;
    }
    lastInfo = known.info;
    pos = end;
  }
  if (openEnded && (CutEnd || pos < bytes.size)) {
    reached -= simpleWidth != 0 ? simpleWidth : last.columns(pos - lastStart);
    pos = lastStart;
  }
  column = reached;
  return pos;
}

// Adds the columns of the character at pos (pos < size) read from the classes of its units
// when every boundary and join in it is certain, else by a CharacterReader; where it ends.
template <typename Bytes>
size_t addOneCharacter(const Bytes& bytes, const ByteView& view, size_t pos, int64_t& column) {
  const KnownUnit first = knownUnitAt(bytes, pos);
  ShapeSum shape;
  shape.first(first);
  size_t end = pos + first.unit.length;
  unicode::CharInfo last = first.info;
  while (end < bytes.size) {
    const KnownUnit next = knownUnitAt(bytes, end);
    if (unicode::certainBreak(last, next.info)) break;
    const bool second = end == pos + first.unit.length;
    if (!(second ? unicode::certainJoinAtStart(last, next.info)
                 : unicode::certainJoin(last, next.info))) {
      const CharStep step = utf8CharacterAt(view, pos);
      column += step.width;
      return pos + step.size;
    }
    shape.add(next);
    end += next.unit.length;
    last = next.info;
  }
  column += shape.columns(end - pos);
  return end;
}

// addColumnsUpToTab in the Character unit; view: the same bytes as `bytes`, for a
// CharacterReader.
template <typename Bytes>
size_t addCharacterColumns(const Bytes& bytes, const ByteView& view, size_t pos, bool stopAtTab,
                           int64_t& column) {
  for (;;) {
    pos = addCertainCharacters(bytes, pos, column);
    if (pos == bytes.size || (stopAtTab && bytes[pos] == '\t')) return pos;
    pos = addOneCharacter(bytes, view, pos, column);
  }
}

// Looking backwards for a place where a boundary is certain stops after this many units; a
// longer run (thousands of combining marks, emoji joiner sequences one after another) is cut
// into characters there, but where the cut could change the columns (utf8CharacterEndingAt).
constexpr size_t kMostUnitsBack = 256;

// A unit start at or before that of byte pos where a character boundary is certain.
size_t certainStart(const ByteView& bytes, size_t pos) {
  size_t start = unitHolding(bytes, pos);
  for (size_t i = 0; i < kMostUnitsBack && !certainBoundary(bytes, start); ++i)
    start = unitStartBefore(bytes, start);
  return start;
}

// Whether a boundary that reading forwards from a unit where none need be (where a look back
// for a certain one stopped) puts before the unit at p lies there in the line read from its
// start too: of the rules that depend on more than two units, one joins a pictograph to the
// joiner before it only when a pictograph begins what the joiner ends, and one pairs regional
// indicators from the first of a run.
bool boundaryHoldsAt(const ByteView& bytes, size_t p) {
  Unit before;
  unitEndingAt(bytes, p, before);
  if (before.invalid) return true;
  const unicode::BreakRole role = knownUnitAt(bytes, p).info.role;
  if (before.codePoint == 0x200D) return role != unicode::BreakRole::Pairing;
  return role != unicode::BreakRole::Regional ||
         infoOf(before).role != unicode::BreakRole::Regional;
}

// Whether the character [start, end) so read takes the columns there that it takes in the line
// read from its start, where it may be part of a longer one: where the boundary holds, or a
// regional indicator read out of its pair, which still takes the columns of its units unless
// it shows as glyphs.
bool startHoldsAnyway(const ByteView& bytes, size_t start, size_t end) {
  if (boundaryHoldsAt(bytes, start)) return true;
  return knownUnitAt(bytes, start).info.role == unicode::BreakRole::Regional &&
         !characterShape(bytes, start, end).glyphs;
}

// Whether a run of marks that looks back past pos may be cut into characters at pos, a unit
// start, as the look back for a certain boundary cuts it, without changing any column: the unit
// there is a mark and the units just before it marks sent in a piece too long for one cell, so
// that the character they belong to shows as glyphs, one column for each byte, and so does
// every part of it read on its own (a letter with millions of combining marks).
bool cutAmongLongMarks(const ByteView& bytes, size_t pos) {
  if (knownUnitAt(bytes, pos).info.kind != CharKind::Combining) return false;
  size_t sent = 0;
  for (size_t p = pos; sent <= kMostCellText;) {
    if (p == 0) return false;
    Unit unit;
    p = unitEndingAt(bytes, p, unit);
    const KnownUnit known{unit, infoOf(unit)};
    if (unit.invalid || known.info.kind != CharKind::Combining ||
        known.info.role != unicode::BreakRole::Extending || !ShapeSum::sends(known))
      return false;
    sent += unit.length;
  }
  return true;
}

// Whether the character [start, end), read forwards from `from` where a look back for a certain
// boundary stopped, takes the columns there that it takes in the line read from its start.
bool cutKeepsColumns(const ByteView& bytes, size_t from, size_t start, size_t end) {
  if (certainBoundary(bytes, from)) return true;
  return start != from ? startHoldsAnyway(bytes, start, end) : cutAmongLongMarks(bytes, from);
}

// The character that holds byte pos (pos < size): its start, and its length and columns.
CharStep utf8CharacterHolding(const ByteView& bytes, size_t pos, size_t& start) {
  start = certainStart(bytes, pos);
  for (;;) {
    const CharStep step = utf8CharacterAt(bytes, start);
    if (start + step.size > pos) return step;
    start += step.size;
  }
}

// The same for the character that ends at end (end > 0), for a step back over it, whose columns
// must be those it takes in the line: where no boundary is certain within the look back and the
// character read from where it stopped may have begun further back with other columns (it runs
// on from there, unless cutAmongLongMarks; or see startHoldsAnyway), it is read from a certain
// boundary however far back (a letter with more joiners than the look back takes, which are
// never sent, takes one column, not one for each byte).
CharStep utf8CharacterEndingAt(const ByteView& bytes, size_t end, size_t& start) {
  const size_t pos = end - 1;
  const size_t from = certainStart(bytes, pos);
  start = from;
  for (bool farBack = false;;) {
    const CharStep step = utf8CharacterAt(bytes, start);
    if (start + step.size <= pos) {
      start += step.size;
      continue;
    }
    if (farBack || cutKeepsColumns(bytes, from, start, start + step.size)) return step;
    while (!certainBoundary(bytes, start)) start = unitStartBefore(bytes, start);
    farBack = true;
  }
}

// The character that ends at end (end > 0) where the units just before end settle it: the
// last unit alone when nothing can join it to what precedes it, or a mark that certainly
// joins a unit before which a boundary is certain; else 0 bytes.
CharStep nearCharacterBefore(const ByteView& bytes, size_t end) {
  Unit unit;
  const size_t last = unitEndingAt(bytes, end, unit);
  const KnownUnit known{unit, infoOf(unit)};
  // No ASCII byte joins a plain unit that follows it.
  if (last == 0 || (bytes[last - 1] < 0x80 && known.info.role == unicode::BreakRole::Plain))
    return {end - last, aloneWidth(known)};
  Unit previousUnit;
  const size_t previous = unitEndingAt(bytes, last, previousUnit);
  const KnownUnit before{previousUnit, infoOf(previousUnit)};
  if (unicode::certainBreak(before.info, known.info)) return {end - last, aloneWidth(known)};
  // A mark that certainly joins a unit before which a boundary is certain: the two together.
  if (unicode::certainJoin(before.info, known.info) &&
      (previous == 0 || unicode::certainBreak(infoBefore(bytes, previous), before.info))) {
    ShapeSum shape;
    shape.first(before);
    shape.add(known);
    return {end - previous, shape.columns(end - previous)};
  }
  return {0, 0};
}

// The character that ends at end (end > 0): where nothing can join its last unit to what
// precedes it, that unit alone, else found by reading forwards from a certain boundary.
CharStep utf8CharacterBefore(const ByteView& bytes, size_t end) {
  if (const CharStep step = nearCharacterBefore(bytes, end); step.size != 0) return step;
  size_t start;
  const CharStep step = utf8CharacterEndingAt(bytes, end, start);
  if (start + step.size == end) return step;
  return {end - start, unitsWidth(bytes, start, end)};  // end lies inside the character
}

}  // namespace

CharStep CharacterReader::next() {
  const size_t pos = pos_;
  if (unit_ == TextUnit::Byte) {
    ++pos_;
    return {1, 1};
  }
  KnownUnit previous;
  if (haveAhead_) {
    previous = {{ahead_.codePoint, ahead_.length, false}, ahead_.info};  // its info says invalid
    haveAhead_ = false;
  } else {
    const uint8_t lead = bytes_[pos];
    if (isPlainAscii(lead) && (pos + 1 == bytes_.size || bytes_[pos + 1] < 0x80)) {
      ++pos_;  // nothing joins a plain ASCII byte to another
      return {1, 1};
    }
    previous = knownUnitAt(bytes_, pos);
  }
  size_t end = pos + previous.unit.length;
  ShapeSum shape;
  shape.first(previous);
  int32_t state = 0;
  while (end < bytes_.size) {
    const KnownUnit next = knownUnitAt(bytes_, end);
    if (unicode::certainBreak(previous.info, next.info) ||
        unicode::characterBreak(previous.unit.codePoint, next.unit.codePoint, state)) {
      ahead_ = {next.unit.codePoint, next.unit.length, next.info};
      haveAhead_ = true;
      break;
    }
    shape.add(next);
    end += next.unit.length;
    previous = next;
  }
  pos_ = end;
  return {end - pos, shape.columns(end - pos)};
}

CharStep characterAt(TextUnit unit, const ByteView& bytes, size_t pos) {
  if (unit == TextUnit::Byte ||
      (isPlainAscii(bytes[pos]) && (pos + 1 == bytes.size || bytes[pos + 1] < 0x80)))
    return {1, 1};
  CharStep step;
  if (simpleCharacterAt(bytes, pos, step)) return step;
  return utf8CharacterAt(bytes, pos);
}

CharStep CharactersBefore::before(const ByteView& bytes) {
  const size_t end = bytes.size;
  if (unit_ == TextUnit::Byte ||
      (isPlainAscii(bytes[end - 1]) && (end == 1 || bytes[end - 2] < 0x80)))
    return {1, 1};
  if (const CharStep step = nearCharacterBefore(bytes, end); step.size != 0) return step;
  lookBack(bytes);
  // Where certainStart would begin to read; the last character read from there ends at end.
  const size_t top = units_.size() - 2;  // the unit that ends at end
  const size_t lowest = top >= kMostUnitsBack - 1 ? top - (kMostUnitsBack - 1) : 0;
  const size_t from = !certain_.empty() && certain_.back() >= units_[lowest]
                          ? certain_.back()
                          : units_[top - kMostUnitsBack];
  const size_t start = readFrom(bytes, from);
  // As utf8CharacterEndingAt: a character that may have begun before the look back stopped.
  if (!cutKeepsColumns(bytes, from, start, end)) return utf8CharacterBefore(bytes, end);
  return utf8CharacterAt(bytes, start);
}

// Keeps the units from the last call that lie before end (a unit start of that call's bytes,
// where their units and what reading forwards finds below it are those of the bytes now), or
// starts again at end; then reaches back as far as certainStart looks from end.
void CharactersBefore::lookBack(const ByteView& bytes) {
  const size_t end = bytes.size;
  while (!units_.empty() && units_.back() > end) units_.pop_back();
  if (units_.empty() || units_.back() != end) {
    units_.assign(1, end);
    certain_.clear();
    starts_.clear();
  }
  while (!certain_.empty() && certain_.back() >= end) certain_.pop_back();
  while (!starts_.empty() && starts_.back() > end) starts_.pop_back();
  while (units_.size() < kMostUnitsBack + 2 && units_.front() > 0) {
    const size_t unit = unitStartBefore(bytes, units_.front());
    units_.push_front(unit);
    if (certainBoundary(bytes, unit)) certain_.push_front(unit);
  }
}

// The start of the last character read forwards from `from` (one of units_): read until a
// character start kept from the last call, from where the starts kept are those of reading
// from `from`; then on to the end.
size_t CharactersBefore::readFrom(const ByteView& bytes, size_t from) {
  const size_t end = bytes.size;
  fresh_.clear();
  size_t kept = 0;
  for (size_t p = from;;) {
    while (kept < starts_.size() && starts_[kept] < p) ++kept;
    if (kept < starts_.size() && starts_[kept] == p) break;
    fresh_.push_back(p);
    if (p == end) {
      kept = starts_.size();
      break;
    }
    p += utf8CharacterAt(bytes, p).size;
  }
  starts_.erase(starts_.begin(), starts_.begin() + static_cast<ptrdiff_t>(kept));
  starts_.insert(starts_.begin(), fresh_.begin(), fresh_.end());
  while (starts_.back() < end)
    starts_.push_back(starts_.back() + utf8CharacterAt(bytes, starts_.back()).size);
  return starts_[starts_.size() - 2];
}

CharStep characterBefore(TextUnit unit, const ByteView& bytes, size_t pos) {
  if (unit == TextUnit::Byte ||
      (isPlainAscii(bytes[pos - 1]) && (pos == 1 || bytes[pos - 2] < 0x80)))
    return {1, 1};
  return utf8CharacterBefore(bytes, pos);
}

size_t nextCharBoundary(TextUnit unit, const ByteView& bytes, size_t pos) {
  return pos + characterAt(unit, bytes, pos).size;
}

size_t previousCharBoundary(TextUnit unit, const ByteView& bytes, size_t pos) {
  return pos - characterBefore(unit, bytes, pos).size;
}

size_t characterStart(TextUnit unit, const ByteView& bytes, size_t pos) {
  if (unit == TextUnit::Byte || pos >= bytes.size) return pos;
  if (isPlainAscii(bytes[pos]) && (pos == 0 || bytes[pos - 1] < 0x80)) return pos;
  size_t start;
  utf8CharacterHolding(bytes, pos, start);
  return start;
}

size_t lineCharacterStart(TextUnit unit, const ByteView& bytes, size_t pos) {
  if (unit == TextUnit::Byte || pos >= bytes.size) return pos;
  size_t start;
  utf8CharacterEndingAt(bytes, pos + 1, start);
  return start;
}

bool certainBoundaryBetween(TextUnit unit, const ByteView& before, const ByteView& after) {
  if (unit == TextUnit::Byte || before.size == 0 || after.size == 0) return true;
  if ((after[0] & 0xC0) == 0x80) return false;  // a sequence may run across
  return unicode::certainBreak(infoBefore(before, before.size), knownUnitAt(after, 0).info);
}

size_t settledBoundary(TextUnit unit, const ByteView& bytes, size_t pos) {
  if (unit == TextUnit::Byte) return pos;
  // A change at pos can make a sequence of the three bytes before it whole, or break one.
  if (pos <= 4) return 0;
  if (bytes[pos - 1] < 0x80 && bytes[pos - 2] < 0x80 && isPlainAscii(bytes[pos - 1]))
    return pos - 1;  // two ASCII bytes: neither joins the other, nor what follows the second
  return certainStart(bytes, pos - 4);
}

size_t settledCharacterStart(TextUnit unit, const ByteView& bytes, size_t pos) {
  const size_t settled = settledBoundary(unit, bytes, pos);
  if (unit == TextUnit::Byte || certainBoundary(bytes, settled)) return settled;
  // The look back stopped in a run that holds no certain boundary: the last start read forwards
  // from there that lies there in any reading, else a certain boundary however far back.
  size_t start = settled;
  for (size_t p = settled;;) {
    const size_t next = p + utf8CharacterAt(bytes, p).size;
    if (next + 4 > pos) break;
    if (boundaryHoldsAt(bytes, next)) start = next;
    p = next;
  }
  if (start == settled && !cutAmongLongMarks(bytes, settled))
    while (!certainBoundary(bytes, start)) start = unitStartBefore(bytes, start);
  return start;
}

bool certainBoundaryAt(TextUnit unit, const ByteView& bytes, size_t pos) {
  return unit == TextUnit::Byte || certainBoundary(bytes, pos);
}

CharShape characterShape(const ByteView& bytes, size_t start, size_t end) {
  const CharShape glyphs{static_cast<int32_t>(end - start), true};
  if (end - start == 1) return glyphs;
  ShapeSum sum;
  for (size_t p = start; p < end;) {
    const KnownUnit known = knownUnitAt(bytes, p);
    if (p == start)
      sum.first(known);
    else
      sum.add(known);
    if (sum.glyphs || sum.tooLong) return glyphs;
    p += known.unit.length;
  }
  return {sum.width, false};
}

size_t characterCell(const ByteView& bytes, size_t pos, size_t end, CharText& cell) {
  cell = {0, 0, {}};
  // What the cell holds up to the last unit that takes columns after pos, where it may end.
  size_t fullEnd = pos;
  CharText full = cell;
  for (size_t p = pos; p < end;) {
    const KnownUnit known = knownUnitAt(bytes, p);
    if (p != pos && takesColumns(known.info)) {
      fullEnd = p;
      full = cell;
    }
    if (ShapeSum::sends(known)) {
      if (cell.length + known.unit.length > kMostCellText) {
        if (fullEnd == pos) return end;  // (a piece too long shows as glyphs instead)
        cell = full;
        return fullEnd;
      }
      for (size_t i = 0; i < known.unit.length; ++i)
        cell.text[cell.length++] = static_cast<char>(bytes[p + i]);
      if (known.info.kind == CharKind::Narrow) cell.width += 1;
      if (known.info.kind == CharKind::Wide) cell.width += 2;
    }
    p += known.unit.length;
  }
  return end;
}

size_t printableAsciiRunEnd(const ByteView& bytes, size_t pos) {
  if (bytes.stride == 1) return plainAsciiRunEnd(StridedBytes<1>{bytes.first, bytes.size}, pos);
  if (bytes.stride == 2) return plainAsciiRunEnd(StridedBytes<2>{bytes.first, bytes.size}, pos);
  return plainAsciiRunEnd(bytes, pos);
}

bool longGlyphCharacterAt(const ByteView& bytes, size_t pos, size_t most, CharStep& step) {
  if (bytes.size - pos > most + 4) {
    // A character that ends within the bytes read ends there in all of them too: the unit
    // after it is whole among them. A longer one that shows as glyphs from its first units on
    // still does with more (its first unit shows nothing, or a piece of it is too long for a
    // cell).
    const ByteView near{bytes.first, bytes.stride, pos + most + 4};
    step = characterAt(TextUnit::Character, near, pos);
    if (pos + step.size <= near.size - 4) return false;
    if (characterShape(near, pos, pos + step.size).glyphs) return true;
  }
  step = characterAt(TextUnit::Character, bytes, pos);
  return false;
}

int32_t characterWidth(TextUnit unit, const ByteView& bytes, size_t start, size_t end) {
  if (unit == TextUnit::Byte || end - start == 1) return static_cast<int32_t>(end - start);
  return unitsWidth(bytes, start, end);
}

bool isWordChar(TextUnit unit, const ByteView& bytes, size_t start, size_t end) {
  const uint8_t lead = bytes[start];
  if (lead < 0x80)
    return (lead >= 'a' && lead <= 'z') || (lead >= 'A' && lead <= 'Z') ||
           (lead >= '0' && lead <= '9');
  if (unit == TextUnit::Byte || end - start == 1) return true;
  const Unit first = unitAt(bytes, start);
  return first.invalid || unicode::isWordCodePoint(first.codePoint);
}

size_t addColumnsUpToTab(TextUnit unit, const ByteView& view, size_t pos, bool stopAtTab,
                         int64_t& column) {
  const ByteView bytes = view;  // a copy that no store to column can change
  const size_t start = pos;
  if (unit == TextUnit::Byte) {
    while (pos < bytes.size && !(stopAtTab && bytes[pos] == '\t')) ++pos;
    column += static_cast<int64_t>(pos - start);
    return pos;
  }
  if (bytes.stride == 1)
    return addCharacterColumns(StridedBytes<1>{bytes.first, bytes.size}, bytes, pos, stopAtTab,
                               column);
  if (bytes.stride == 2)
    return addCharacterColumns(StridedBytes<2>{bytes.first, bytes.size}, bytes, pos, stopAtTab,
                               column);
  return addCharacterColumns(bytes, bytes, pos, stopAtTab, column);
}

size_t addCertainColumnsBefore(const ByteView& bytes, size_t pos, size_t limit, int64_t& column) {
  int64_t reached = column;
  if (bytes.stride == 1)
    pos = addCertainCharacters<true>(StridedBytes<1>{bytes.first, limit}, pos, reached);
  else if (bytes.stride == 2)
    pos = addCertainCharacters<true>(StridedBytes<2>{bytes.first, limit}, pos, reached);
  else
    pos = addCertainCharacters<true>(ByteView{bytes.first, bytes.stride, limit}, pos, reached);
  column = reached;
  return pos;
}

// Adds the columns of the characters from byte 0, at column `from`, while keep(p, column)
// holds; the byte where it stopped.
template <typename Keep>
size_t countColumns(TextUnit unit, int32_t tabWidth, const ByteView& bytes, int64_t from,
                    int64_t& column, Keep keep) {
  CharacterReader reader(unit, bytes, 0);
  column = from;
  while (!reader.atEnd() && keep(reader.position(), column)) {
    const bool tab = bytes[reader.position()] == '\t' && tabWidth != 0;
    const int32_t width = reader.next().width;
    column = tab ? nextTabStop(column, tabWidth) : column + width;
  }
  return reader.position();
}

namespace {

// countColumns from byte 0 at column `from` while the column is below goal. In the Character
// unit, the characters whose boundaries are certain go by addCertainColumnsBefore, in pieces
// short enough that the column stays below goal (no character but a tab takes more columns
// than it has bytes), so that every character start it passes lies below goal as well; the
// others one at a time, read as countColumns reads them.
size_t countColumnsBelow(TextUnit unit, int32_t tabWidth, const ByteView& bytes, int64_t from,
                         int64_t goal, int64_t& column) {
  if (unit == TextUnit::Byte)
    return countColumns(unit, tabWidth, bytes, from, column,
                        [goal](size_t, int64_t c) { return c < goal; });
  size_t pos = 0;
  column = from;
  while (pos < bytes.size && column < goal) {
    if (goal - column > 1) {
      const uint64_t room = static_cast<uint64_t>(goal - column - 1);
      const size_t limit = bytes.size - pos < room ? bytes.size : pos + static_cast<size_t>(room);
      const size_t reached = addCertainColumnsBefore(bytes, pos, limit, column);
      if (reached != pos) {
        pos = reached;
        continue;
      }
    }
    if (bytes[pos] == '\t' && tabWidth != 0) {
      column = nextTabStop(column, tabWidth);
      ++pos;
      continue;
    }
    const CharStep step = CharacterReader(unit, bytes, pos).next();
    column += step.width;
    pos += step.size;
  }
  return pos;
}

}  // namespace

size_t bytesBeforeColumn(TextUnit unit, int32_t tabWidth, const ByteView& bytes, int32_t goal,
                         int32_t& column) {
  int64_t reached;
  const size_t p = countColumnsBelow(unit, tabWidth, bytes, 0, goal, reached);
  column = static_cast<int32_t>(reached);
  return p;
}

int32_t boundaryColumnFrom(TextUnit unit, int32_t tabWidth, const ByteView& bytes, int32_t from,
                           int32_t goal) {
  int64_t reached;
  countColumnsBelow(unit, tabWidth, bytes, from, goal, reached);
  return reached > INT32_MAX ? INT32_MAX : static_cast<int32_t>(reached);
}

int32_t columnOfByte(TextUnit unit, int32_t tabWidth, const ByteView& bytes, size_t q) {
  int64_t column;
  countColumns(unit, tabWidth, bytes, 0, column, [q](size_t p, int64_t) { return p < q; });
  return column > INT32_MAX ? INT32_MAX : static_cast<int32_t>(column);
}
