#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/cp437.h"
#include "platform/posix/row_layout.h"

using console::DisplayMode;
using terminal::ByteCell;
using terminal::layoutRow;
using terminal::ShownCell;

namespace {

// One row laid out: the text of its columns in order (a wide character once) and, for each
// byte, the column that shows it.
struct Row {
  std::vector<ShownCell> shown;
  std::vector<int16_t> columnOf;

  std::string text() const {
    std::string all;
    for (const ShownCell& c : shown) all.append(c.text, c.length);
    return all;
  }
  uint16_t attr(int column) const { return shown[column].attr; }
};

Row layout(const std::string& bytes, int width, DisplayMode mode = DisplayMode::Utf8,
           const std::vector<uint16_t>& attrs = {}) {
  std::vector<ByteCell> cells(width, ByteCell{' ', 0, 0x07});
  for (int x = 0; x < width && x < static_cast<int>(bytes.size()); ++x)
    cells[x].ch = static_cast<uint8_t>(bytes[x]);
  for (int x = 0; x < width && x < static_cast<int>(attrs.size()); ++x) cells[x].attr = attrs[x];
  Row row{std::vector<ShownCell>(width), std::vector<int16_t>(width)};
  layoutRow(mode, cells.data(), width, row.shown.data(), row.columnOf.data());
  return row;
}

std::string blanks(int n) {
  return std::string(n, ' ');
}

// The code page 437 glyphs of the bytes.
std::string glyphs(const std::string& bytes) {
  std::string all;
  for (unsigned char b : bytes) all += terminal::cp437Glyph(b);
  return all;
}

}  // namespace

TEST(RowLayout, WellFormedCharactersTakeTheirWidthAndTheTextCloses) {
  // é (2 bytes), — (3), 漢字 (3 bytes, 2 columns each), ✓ (3), 𝄞 (4).
  const std::string text =
      "Caf\xc3\xa9 \xe2\x80\x94 \xe6\xbc\xa2\xe5\xad\x97 \xe2\x9c\x93\xf0\x9d\x84\x9e";
  Row row = layout(text, 30);
  // 24 bytes in 14 columns, then 16 blanks: 6 for the row's own blank bytes, and 10 for the
  // columns the shortened text gave back.
  EXPECT_EQ(row.text(), text + blanks(16));
  EXPECT_EQ(row.columnOf[3], 3);
  EXPECT_EQ(row.columnOf[4], 3) << "both bytes of the e-acute";
  EXPECT_EQ(row.columnOf[5], 4);
  EXPECT_EQ(row.columnOf[9], 6) << "the space after the dash";
  EXPECT_EQ(row.shown[7].width, 2);
  EXPECT_EQ(row.shown[8].width, 0) << "right half of the first wide character";
  EXPECT_EQ(row.columnOf[15], 9) << "last byte of the second wide character";
  EXPECT_EQ(row.columnOf[19], 12);
  EXPECT_EQ(row.columnOf[23], 13);
  EXPECT_EQ(row.columnOf[24], 14) << "the blank bytes after the text";
}

TEST(RowLayout, MalformedSequencesAreOneGlyphPerByte) {
  const std::string malformed[] = {
      "\x80",              // stray continuation byte
      "\xe2\x82",          // truncated
      "\xc0\xaf",          // overlong, two bytes
      "\xe0\x80\xaf",      // overlong, three bytes
      "\xed\xa0\x80",      // surrogate
      "\xf4\x90\x80\x80",  // above U+10FFFF
      "\xff\xf8",          // bytes no sequence starts with
  };
  for (const std::string& bytes : malformed) {
    const std::string text = "a" + bytes + "z";
    const int n = static_cast<int>(text.size());
    Row row = layout(text, n);
    EXPECT_EQ(row.text(), "a" + glyphs(bytes) + "z") << glyphs(bytes);
    for (int x = 0; x < n; ++x) EXPECT_EQ(row.columnOf[x], x) << glyphs(bytes);
  }
}

// Controls, format characters and code points that stand for no character are never sent:
// their bytes show as glyphs, as in code page 437 mode.
TEST(RowLayout, WhatCouldActHideOrReorderIsShownAsBytes) {
  using namespace std::string_literals;
  const std::string hidden[] = {
      "\x1b"s,         "\x7f"s,
      "\x00"s,  // C0 control, DEL, NUL
      "\xc2\x85"s,     "\xc2\x9b"s,
      "\xc2\x9f"s,  // C1 controls: NEL, CSI, APC
      "\xe2\x80\xae"s, "\xe2\x81\xa6"s,
      "\xe2\x81\xa9"s,  // bidi: RLO, LRI, PDI
      "\xd8\x9c"s,     "\xe2\x80\x8b"s,
      "\xe2\x80\x8d"s,  // ALM, zero-width space, ZWJ
      "\xef\xbb\xbf"s, "\xc2\xad"s,
      "\xe2\x80\xa8"s,  // BOM, soft hyphen, line separator
      "\xe3\x85\xa4"s, "\xee\x80\x80"s,
      "\xcd\xb8"s,                           // Hangul filler, private use, unassigned
      "\xef\xbf\xbe"s, "\xf4\x8f\xbf\xbf"s,  // noncharacters
  };
  for (const std::string& bytes : hidden) {
    const std::string text = "a" + bytes;
    EXPECT_EQ(layout(text, static_cast<int>(text.size())).text(), "a" + glyphs(bytes))
        << glyphs(bytes);
  }
}

TEST(RowLayout, CombiningMarksJoinACharacterBeforeThemInTheRow) {
  // a + acute, then a second mark on the same character: one column.
  Row joined = layout("a\xcc\x81\xcc\xa3z", 6);
  EXPECT_EQ(joined.text(), "a\xcc\x81\xcc\xa3z" + blanks(4));
  EXPECT_EQ(joined.columnOf[4], 0);
  EXPECT_EQ(joined.columnOf[5], 1);
  // At the row's start, and after a byte shown as a glyph, a mark is its bytes' glyphs.
  EXPECT_EQ(layout("\xcc\x81z", 3).text(), glyphs("\xcc\x81z"));
  EXPECT_EQ(layout("\x01\xcc\x81", 3).text(), glyphs("\x01\xcc\x81"));
  // A space carries one.
  EXPECT_EQ(layout(" \xcc\x81", 3).text(), " \xcc\x81  ");
  // Marks beyond what one column carries are glyphs too.
  std::string many = "a";
  for (int i = 0; i < 6; ++i) many += "\xcc\x81";
  Row capped = layout(many, 13);
  EXPECT_EQ(capped.shown[0].length, 11);
  EXPECT_EQ(capped.columnOf[11], 1);
}

TEST(RowLayout, SequencesCutByTheRowsEdgesAreGlyphs) {
  // The row starts inside a character (the view scrolled right) and ends inside another.
  Row row = layout("\xbc\xa2x\xe6\xbc", 5);
  EXPECT_EQ(row.text(), glyphs("\xbc\xa2x\xe6\xbc"));
  // A wide character whose last byte is the row's last cell still fits: its three bytes
  // gave it the room.
  Row wide = layout("ab\xe6\xbc\xa2", 5);
  EXPECT_EQ(wide.text(), "ab\xe6\xbc\xa2 ");
  EXPECT_EQ(wide.shown[2].width, 2);
  EXPECT_EQ(wide.shown[4].width, 1) << "the last column is a blank";
}

TEST(RowLayout, ACharacterTakesItsFirstBytesAttributeAndTheFreedColumnsTheLastBytes) {
  // "xé漢" with the selection from the é's second byte through the 漢's first; the row's last
  // byte is not selected.
  const uint16_t n = 0x07, s = 0xF8;
  Row row = layout("x\xc3\xa9\xe6\xbc\xa2", 8, DisplayMode::Utf8, {n, n, s, s, n, n, n, n});
  EXPECT_EQ(row.attr(0), n);
  EXPECT_EQ(row.attr(1), n) << "e-acute: its first byte is not selected";
  EXPECT_EQ(row.attr(2), s) << "the wide character: its first byte is";
  EXPECT_EQ(row.attr(3), s);
  EXPECT_EQ(row.attr(6), n) << "freed column";
  Row tail = layout("x\xc3\xa9", 4, DisplayMode::Utf8, {n, s, s, s});
  EXPECT_EQ(tail.attr(3), s) << "a selection running to the row's end covers the freed columns";
}
