#pragma once

#include <cstdint>
#include <cstring>

#include "platform/console.h"

namespace terminal {

// One cell of the console grid: a byte and its attribute word. Four bytes with no padding,
// so that rows compare with memcmp.
struct ByteCell {
  uint8_t ch;
  uint8_t unused;
  uint16_t attr;
  bool operator==(const ByteCell& other) const { return ch == other.ch && attr == other.attr; }
};
static_assert(sizeof(ByteCell) == 4);

// What one terminal column shows: the UTF-8 text sent for it (a code page 437 glyph, or a
// character with the combining marks that join it) and its attribute; or, for the right half
// of a wide character, nothing. Fixed size and zero-filled, so that cells compare with
// memcmp.
struct ShownCell {
  static constexpr int Capacity = 11;  // bytes of text; more combining marks show as glyphs
  char text[Capacity];
  uint8_t length;  // bytes of text; 0 for the right half of a wide character
  uint8_t width;   // columns the text takes: 1 or 2; 0 for the right half of a wide character
  uint8_t unsure;  // 1 when terminals disagree on how wide the text is
  uint16_t attr;
  bool operator==(const ShownCell& other) const {
    return std::memcmp(this, &other, sizeof other) == 0;
  }
};
static_assert(sizeof(ShownCell) == 16);

// Lays out one row of `width` byte cells as the terminal shows it in the given mode: every
// column of shown[0..width) is set, and columnOf[x] (when columnOf is not null) is the column
// that shows byte x.
//
// Code page 437 (and Native): byte x is the glyph of column x.
// UTF-8: a well-formed sequence of a printable character that lies wholly in the row is that
// character, in as many columns as it is wide (1 or 2), its further bytes taking none;
// combining marks join the character just before them. Every other byte is its glyph, one
// column each. A character takes the attribute of its first byte; the columns the shortened
// text leaves free at the end of the row are blanks in the attribute of the row's last byte.
void layoutRow(console::DisplayMode mode, const ByteCell* cells, int width, ShownCell* shown,
               int16_t* columnOf);

}  // namespace terminal
