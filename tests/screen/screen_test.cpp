#include "screen/screen.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/memory_console.h"

namespace {

using console::MemoryConsole;

TEST(Screen, ConstructionClearsAndPaintsTheTwoZones) {
  MemoryConsole console(10, 4, 0x001F);
  for (auto& cell : console.cells) cell.ch = 'x';
  {
    Screen screen(console);
    EXPECT_EQ(screen.rows, 3);
    EXPECT_EQ(screen.columns, 10);
    EXPECT_EQ(screen.savedAttributes, 0x001F);
    for (int row = 0; row < 4; ++row) {
      EXPECT_EQ(console.rowText(row), std::string(10, ' '));
      EXPECT_EQ(console.attributeAt(row, 9), row < 3 ? TextAttribute : StatusAttribute);
    }
    screen.writeStatusLine("hello", 1, 2);
  }
  // Destruction: blanks in the colours found at start, cursor top left.
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(console.rowText(row), std::string(10, ' '));
    EXPECT_EQ(console.attributeAt(row, 0), 0x001F);
  }
  EXPECT_EQ(console.cursor.x, 0);
  EXPECT_EQ(console.cursor.y, 0);
}

TEST(Screen, StatusTextIsPaddedOrCutAtTheWidth) {
  MemoryConsole console(8, 3);
  Screen screen(console);
  screen.writeStatusLine("abcdefghijkl", 0, 3);
  EXPECT_EQ(console.rowText(2), "abcdefgh");
  screen.writeStatusLine("ab", 1, 4);
  EXPECT_EQ(console.rowText(2), "ab      ");
  EXPECT_EQ(console.cursor.x, 4);
  EXPECT_EQ(console.cursor.y, 1);
  EXPECT_EQ(console.attributeAt(2, 7), StatusAttribute);  // text writes leave colours alone
}

TEST(Screen, ShowMessagePutsTheCursorAfterTheTextOrInTheLastColumn) {
  MemoryConsole console(10, 3);
  Screen screen(console);
  const std::pair<std::string, int> cases[] = {
      {"", 0}, {"12345678", 8}, {"123456789", 9}, {"1234567890", 9}, {"123456789012", 9}};
  for (const auto& [text, column] : cases) {
    screen.showMessage(text.c_str());
    EXPECT_EQ(console.cursor.x, column) << text;
    EXPECT_EQ(console.cursor.y, 2) << text;
  }
}

// Which cells of the text area carry the selection colour, as a string of '#' and '.'.
std::string painted(const MemoryConsole& console, int rows) {
  std::string out;
  for (int row = 0; row < rows; ++row) {
    for (int x = 0; x < console.width; ++x)
      out += console.attributeAt(row, x) == SelectionAttribute ? '#' : '.';
    out += '|';
  }
  return out;
}

TEST(Screen, HighlightRangeClampsToTheTextArea) {
  MemoryConsole console(4, 4);
  Screen screen(console);
  screen.highlightRange(0, 1, 1, 2);
  EXPECT_EQ(painted(console, 3), ".###|##..|....|");
  screen.highlightRange(-5, 3, 1, 1);  // starts above the area
  EXPECT_EQ(painted(console, 3), "####|#...|....|");
  screen.highlightRange(1, 2, 9, 0);  // ends below it: never the status line
  EXPECT_EQ(painted(console, 3), "....|..##|####|");
  EXPECT_EQ(console.attributeAt(3, 0), StatusAttribute);
  screen.highlightRange(0, -3, 0, 99);  // columns left and right of the area
  EXPECT_EQ(painted(console, 3), "####|....|....|");
  screen.highlightRange(0, 4, 1, 1);  // a start past the right edge begins on the next row
  EXPECT_EQ(painted(console, 3), "....|#...|....|");
  screen.highlightRange(1, 1, 1, 1);  // both ends equal: every highlight goes
  EXPECT_EQ(painted(console, 3), "....|....|....|");
  screen.highlightRange(2, 2, 1, 1);  // end before start paints nothing
  EXPECT_EQ(painted(console, 3), "....|....|....|");
}

TEST(Screen, TooSmallConsoleStillHasOneRowAndColumn) {
  MemoryConsole console(1, 1);
  Screen screen(console);
  EXPECT_GE(screen.rows, 1);
  EXPECT_GE(screen.columns, 1);
}

TEST(Screen, AdoptsANewSizeAndRepaints) {
  MemoryConsole console(10, 4);
  Screen screen(console);
  EXPECT_FALSE(screen.adoptNewSize());
  console.resize(6, 3);
  EXPECT_TRUE(screen.adoptNewSize());
  EXPECT_EQ(screen.rows, 2);
  EXPECT_EQ(screen.columns, 6);
  EXPECT_EQ(console.attributeAt(2, 5), StatusAttribute);
  EXPECT_EQ(console.attributeAt(1, 5), TextAttribute);
}

}  // namespace
