#pragma once

#include <cstdint>
#include <cstring>

#include "platform/console.h"

namespace terminal {

// One cell of the console grid: what the editor wrote there (a byte, or a whole character,
// or the further column of a wide one) and its attribute word. No padding, so that rows
// compare with memcmp.
struct GridCell {
  console::TextCell text;
  uint16_t attr;
  bool operator==(const GridCell& other) const {
    return std::memcmp(this, &other, sizeof other) == 0;
  }
};
static_assert(sizeof(GridCell) == 18);

// What one terminal column shows: the UTF-8 text sent for it (a code page 437 glyph, or a
// character with the marks that join it) and its attribute; or, for a further column of a
// wide character, nothing. Fixed size and zero-filled, so that cells compare with memcmp.
struct ShownCell {
  static constexpr int Capacity = 15;  // bytes of text
  char text[Capacity];
  uint8_t length;  // bytes of text; 0 for a further column of a wide character
  uint8_t width;   // columns the text takes; 0 for a further column of a wide character
  uint8_t unsure;  // 1 when terminals disagree on how wide the text is
  uint16_t attr;
  bool operator==(const ShownCell& other) const {
    return std::memcmp(this, &other, sizeof other) == 0;
  }
};
static_assert(sizeof(ShownCell) == 20);

// Lays out one row of `width` grid cells as the terminal shows it in the given mode: every
// column of shown[0..width) is set.
//
// Code page 437 (and Native): the first byte of each cell as its glyph.
// UTF-8: a cell of one printable ASCII byte is that byte; a cell of one other byte is its
// glyph; a cell holding a character is that character, as wide as the cell and the empty
// cells after it, provided every code point of it can be sent safely (well-formed, no
// control, format or other default-ignorable code point but variation selectors, and a
// first code point that takes a column); otherwise the glyph of its first byte. An empty
// cell that follows no character is a blank.
void layoutRow(console::DisplayMode mode, const GridCell* cells, int width, ShownCell* shown);

}  // namespace terminal
