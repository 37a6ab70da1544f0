#include "platform/posix/row_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/cp437.h"

using console::DisplayMode;
using terminal::GridCell;
using terminal::layoutRow;
using terminal::ShownCell;

namespace {

struct Row {
  std::vector<ShownCell> shown;

  // The text of the columns in order, a wide character once.
  std::string text() const {
    std::string all;
    for (const ShownCell& c : shown) all.append(c.text, c.length);
    return all;
  }
};

// One row of cells, each given as its bytes ("" is the further column of a wide character).
Row layout(const std::vector<std::string>& cells, DisplayMode mode = DisplayMode::Utf8) {
  std::vector<GridCell> grid(cells.size());
  for (size_t x = 0; x < cells.size(); ++x) {
    grid[x] = GridCell{{static_cast<uint8_t>(cells[x].size()), {}}, static_cast<uint16_t>(x)};
    cells[x].copy(grid[x].text.bytes, cells[x].size());
  }
  Row row{std::vector<ShownCell>(cells.size())};
  layoutRow(mode, grid.data(), static_cast<int>(grid.size()), row.shown.data());
  return row;
}

std::string glyph(unsigned char b) {
  return std::string(terminal::cp437Glyph(b));
}

}  // namespace

TEST(RowLayout, CharactersTakeTheirCellAndTheEmptyCellsAfterIt) {
  Row row =
      layout({"C", "\xc3\xa9", "\xe6\xbc\xa2", "", "e\xcc\x81\xcc\xa3", "\xf0\x9f\x98\x80", ""});
  EXPECT_EQ(row.text(),
            "C\xc3\xa9\xe6\xbc\xa2"
            "e\xcc\x81\xcc\xa3\xf0\x9f\x98\x80");
  EXPECT_EQ(row.shown[2].width, 2);
  EXPECT_EQ(row.shown[3].width, 0) << "the wide character's further column";
  EXPECT_EQ(row.shown[3].attr, 2) << "in the character's attribute";
  EXPECT_EQ(row.shown[4].width, 1);
  EXPECT_EQ(row.shown[5].unsure, 1) << "terminals disagree on an emoji's width";
}

TEST(RowLayout, LoneBytesAreThemselvesWhenPrintableAndGlyphsOtherwise) {
  Row row = layout({"a", "\x1b", "\x7f", "\xc3", "\x80", "", "~"});
  EXPECT_EQ(row.text(), "a" + glyph(0x1b) + glyph(0x7f) + glyph(0xc3) + glyph(0x80) + " ~")
      << "an empty cell after no character is a blank";
  // Code page 437 shows the first byte of every cell as its glyph.
  Row cp437 = layout({"a", "\x01", "\xc3\xa9", ""}, DisplayMode::CodePage437);
  EXPECT_EQ(cp437.text(), "a" + glyph(0x01) + glyph(0xc3) + " ");
}

// Controls, format characters, other default-ignorable code points and text that is not
// well-formed never go out, whatever the cell holds: its first byte shows as a glyph. A
// variation selector after a character goes with it.
TEST(RowLayout, WhatCouldActHideOrReorderIsNeverSent) {
  const std::string unsafe[] = {
      "\xc2\x85",      "\xc2\x9b",         "\xe2\x80\xae", "\xe2\x81\xa6",
      "\xe2\x80\x8b",  "\xef\xbb\xbf",     "\xee\x80\x80", "\xef\xbf\xbe",
      "a\xe2\x80\xae", "a\xe2\x80\x8d",    "a\xcd\x8f",    "\xcc\x81",
      "\xe2\x82",      "\xed\xa0\x80\x41", "a\x1b",        "\xc0\xaf",
      "\xe6\xbc\xa2",  // wide, in a cell of one column
  };
  for (const std::string& bytes : unsafe) {
    Row row = layout({bytes});
    EXPECT_EQ(row.text(), glyph(static_cast<unsigned char>(bytes[0]))) << row.text();
  }
  Row selected = layout({"\xe2\x9c\x93\xef\xb8\x8f"});
  EXPECT_EQ(selected.text(), "\xe2\x9c\x93\xef\xb8\x8f");
}
