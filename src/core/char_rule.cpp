#include "core/char_rule.h"

#include "core/tab_stop.h"
#include "platform/unicode.h"

namespace {

// A unit of UTF-8 text: a well-formed sequence, or one byte of none (invalid).
struct Unit {
  char32_t codePoint;
  uint8_t length;
  bool invalid;
};

Unit unitAt(const ByteView& bytes, size_t pos) {
  uint8_t buffer[4];
  const size_t available = bytes.size - pos < 4 ? bytes.size - pos : 4;
  for (size_t i = 0; i < available; ++i) buffer[i] = bytes[pos + i];
  char32_t codePoint = 0;
  const int length = unicode::decodeUtf8(buffer, available, codePoint);
  if (length == 0) return {buffer[0], 1, true};
  return {codePoint, static_cast<uint8_t>(length), false};
}

// The start of the unit that ends at end (end > 0). A well-formed sequence cannot begin
// inside another one, so reading backwards finds the units that reading forwards does.
size_t unitStartBefore(const ByteView& bytes, size_t end) {
  if (bytes[end - 1] < 0x80) return end - 1;
  for (size_t k = 2; k <= 4 && k <= end; ++k) {
    const uint8_t lead = bytes[end - k];
    if ((lead & 0xC0) != 0x80) {
      if (unitAt(bytes, end - k).length == k) return end - k;
      break;
    }
  }
  return end - 1;
}

// Whether a character boundary lies before the unit at pos whatever precedes it.
bool certainBoundary(const ByteView& bytes, size_t pos) {
  if (pos == 0) return true;
  const Unit at = unitAt(bytes, pos);
  if (at.invalid) return true;
  const Unit before = unitAt(bytes, unitStartBefore(bytes, pos));
  return before.invalid || unicode::certainBreak(before.codePoint, at.codePoint);
}

bool isPlainAscii(uint8_t b) {
  return b >= 0x20 && b < 0x7F;
}

size_t nextUtf8Boundary(const ByteView& bytes, size_t pos) {
  const uint8_t lead = bytes[pos];
  if (isPlainAscii(lead) && (pos + 1 == bytes.size || bytes[pos + 1] < 0x80)) return pos + 1;
  Unit previous = unitAt(bytes, pos);
  size_t end = pos + previous.length;
  if (previous.invalid) return end;
  int32_t state = 0;
  while (end < bytes.size) {
    const Unit next = unitAt(bytes, end);
    if (next.invalid || unicode::characterBreak(previous.codePoint, next.codePoint, state)) break;
    end += next.length;
    previous = next;
  }
  return end;
}

// Looking backwards for a place where a boundary is certain stops after this many units; a
// longer run (thousands of combining marks) is cut into characters there.
constexpr int kMostUnitsBack = 256;

// The start of the unit that byte pos belongs to.
size_t unitHolding(const ByteView& bytes, size_t pos) {
  for (size_t k = 1; k <= 3 && k <= pos && (bytes[pos] & 0xC0) == 0x80; ++k) {
    const uint8_t lead = bytes[pos - k];
    if ((lead & 0xC0) == 0x80) continue;
    if (unitAt(bytes, pos - k).length > k) return pos - k;
    break;
  }
  return pos;
}

// A unit start at or before that of byte pos where a character boundary is certain.
size_t certainStart(const ByteView& bytes, size_t pos) {
  size_t start = unitHolding(bytes, pos);
  for (int i = 0; i < kMostUnitsBack && !certainBoundary(bytes, start); ++i)
    start = unitStartBefore(bytes, start);
  return start;
}

size_t utf8CharacterStart(const ByteView& bytes, size_t pos) {
  if (pos >= bytes.size) return bytes.size;
  if (isPlainAscii(bytes[pos]) && (pos == 0 || bytes[pos - 1] < 0x80)) return pos;
  size_t start = certainStart(bytes, pos);
  for (;;) {
    const size_t next = nextUtf8Boundary(bytes, start);
    if (next > pos) return start;
    start = next;
  }
}

}  // namespace

size_t nextCharBoundary(TextUnit unit, const ByteView& bytes, size_t pos) {
  if (unit == TextUnit::Byte) return pos + 1;
  return nextUtf8Boundary(bytes, pos);
}

size_t previousCharBoundary(TextUnit unit, const ByteView& bytes, size_t pos) {
  if (unit == TextUnit::Byte) return pos - 1;
  return utf8CharacterStart(bytes, pos - 1);
}

size_t characterStart(TextUnit unit, const ByteView& bytes, size_t pos) {
  if (unit == TextUnit::Byte || pos >= bytes.size) return pos;
  return utf8CharacterStart(bytes, pos);
}

bool certainBoundaryBetween(TextUnit unit, const ByteView& before, const ByteView& after) {
  if (unit == TextUnit::Byte || before.size == 0 || after.size == 0) return true;
  if ((after[0] & 0xC0) == 0x80) return false;  // a sequence may run across
  const Unit last = unitAt(before, unitStartBefore(before, before.size));
  const Unit next = unitAt(after, 0);
  return last.invalid || next.invalid || unicode::certainBreak(last.codePoint, next.codePoint);
}

size_t settledBoundary(TextUnit unit, const ByteView& bytes, size_t pos) {
  if (unit == TextUnit::Byte) return pos;
  // A change at pos can make a sequence of the three bytes before it whole, or break one.
  if (pos <= 4) return 0;
  if (bytes[pos - 1] < 0x80 && bytes[pos - 2] < 0x80 && isPlainAscii(bytes[pos - 1]))
    return pos - 1;  // two ASCII bytes: neither joins the other, nor what follows the second
  return certainStart(bytes, pos - 4);
}

CharShape characterShape(const ByteView& bytes, size_t start, size_t end) {
  CharShape shape{static_cast<int32_t>(end - start), true, 0, {}};
  if (end - start == 1) return shape;
  const Unit first = unitAt(bytes, start);
  const unicode::CharInfo firstInfo = unicode::classifyChar(first.codePoint);
  if (firstInfo.kind == unicode::CharKind::Hidden || firstInfo.kind == unicode::CharKind::Combining)
    return shape;
  int32_t width = 0;
  size_t length = 0;
  for (size_t p = start; p < end;) {
    const Unit unit = unitAt(bytes, p);
    const unicode::CharInfo info = unicode::classifyChar(unit.codePoint);
    const bool sent = info.kind != unicode::CharKind::Hidden &&
                      (!info.ignorable || unicode::isVariationSelector(unit.codePoint));
    if (sent) {
      if (length + unit.length > kMostCellText) return shape;
      for (size_t i = 0; i < unit.length; ++i)
        shape.text[length++] = static_cast<char>(bytes[p + i]);
      if (info.kind == unicode::CharKind::Narrow) width += 1;
      if (info.kind == unicode::CharKind::Wide) width += 2;
    }
    p += unit.length;
  }
  shape.width = width;
  shape.glyphs = false;
  shape.length = static_cast<uint8_t>(length);
  return shape;
}

int32_t characterWidth(TextUnit unit, const ByteView& bytes, size_t start, size_t end) {
  if (unit == TextUnit::Byte || end - start == 1) return static_cast<int32_t>(end - start);
  return characterShape(bytes, start, end).width;
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

size_t bytesBeforeColumn(TextUnit unit, int32_t tabWidth, const ByteView& bytes, int32_t goal,
                         int32_t& column) {
  size_t p = 0;
  column = 0;
  while (column < goal && p < bytes.size) {
    const size_t next = nextCharBoundary(unit, bytes, p);
    if (tabWidth != 0 && next == p + 1 && bytes[p] == '\t')
      column = nextTabStop(column, tabWidth);
    else
      column += characterWidth(unit, bytes, p, next);
    p = next;
  }
  return p;
}

int32_t columnOfByte(TextUnit unit, int32_t tabWidth, const ByteView& bytes, size_t q) {
  int64_t column = 0;
  for (size_t p = 0; p < q && p < bytes.size;) {
    const size_t next = nextCharBoundary(unit, bytes, p);
    if (tabWidth != 0 && next == p + 1 && bytes[p] == '\t')
      column = nextTabStop(column, tabWidth);
    else
      column += characterWidth(unit, bytes, p, next);
    p = next;
  }
  return column > INT32_MAX ? INT32_MAX : static_cast<int32_t>(column);
}
