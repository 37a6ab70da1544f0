#include "platform/posix/terminal_screen.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/posix/cp437.h"
#include "platform/posix/row_layout.h"
#include "platform/posix/vt_model.h"

using terminal::appendSgr;
using terminal::cp437CodePoint;
using terminal::cp437Glyph;
using terminal::TerminalScreen;
using Mode = console::DisplayMode;

namespace {

std::string sgr(int from, uint16_t to) {
  std::string out;
  appendSgr(out, from, to);
  return out;
}

// Checks that the model terminal shows exactly the screen's grid and cursor.
::testing::AssertionResult showsGrid(const vtmodel::Terminal& term, const TerminalScreen& screen) {
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0; x < screen.width(); ++x) {
      const vtmodel::Cell& c = term.at(x, y);
      uint16_t attr = screen.attributeAt(x, y);
      std::string expected;
      appendSgr(expected, -1, attr);
      vtmodel::Terminal pen(1, 1);
      pen.apply(expected);
      if (c.cp != cp437CodePoint(screen.charAt(x, y)) || c.fg != pen.pen.fg || c.bg != pen.pen.bg ||
          c.reverse != pen.pen.reverse || c.underline != pen.pen.underline)
        return ::testing::AssertionFailure() << "cell " << x << "," << y << " differs";
    }
  }
  if (term.x != screen.cursorX() || term.y != screen.cursorY())
    return ::testing::AssertionFailure() << "cursor at " << term.x << "," << term.y;
  if (!term.cursorVisible) return ::testing::AssertionFailure() << "cursor hidden";
  return ::testing::AssertionSuccess();
}

// Checks that the model terminal shows the screen's grid as laid out for the screen's display
// mode, with the cursor on its cell.
::testing::AssertionResult showsLayout(const vtmodel::Terminal& term,
                                       const TerminalScreen& screen) {
  const int w = screen.width();
  std::vector<terminal::GridCell> row(w);
  std::vector<terminal::ShownCell> shown(w);
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0; x < w; ++x) row[x] = {screen.textAt(x, y), screen.attributeAt(x, y)};
    terminal::layoutRow(screen.displayMode(), row.data(), w, shown.data());
    // A character of several code points whose width terminals disagree on (a flag) may be
    // drawn as its code points one by one: its columns then hold its text in order.
    int covered = 0;  // columns of such a character still to come
    for (int x = 0; x < w; ++x) {
      const vtmodel::Cell& c = term.at(x, y);
      std::string text;
      if (shown[x].unsure && shown[x].width > 1) covered = shown[x].width;
      for (int k = 0; k < (covered > 0 ? covered : 1); ++k) {
        const vtmodel::Cell& part = term.at(x + k, y);
        if (part.width == 0) continue;
        vtmodel::Terminal::appendUtf8(text, part.cp);
        for (char32_t mark : part.marks) vtmodel::Terminal::appendUtf8(text, mark);
      }
      const bool spread = covered > 0;
      if (spread && covered < shown[x].width) text.clear();  // a later column of it
      std::string expected;
      appendSgr(expected, -1, shown[x].attr);
      vtmodel::Terminal pen(1, 1);
      pen.apply(expected);
      if ((!spread || covered == shown[x].width) &&
          (text != std::string(shown[x].text, shown[x].length) ||
           (!spread && c.width != shown[x].width)))
        return ::testing::AssertionFailure() << "column " << x << " of row " << y << " differs";
      if (c.fg != pen.pen.fg || c.bg != pen.pen.bg || c.reverse != pen.pen.reverse ||
          c.underline != pen.pen.underline)
        return ::testing::AssertionFailure() << "colours of column " << x << " of row " << y;
      if (covered > 0) --covered;
    }
    if (y == screen.cursorY() && term.x != screen.cursorX())
      return ::testing::AssertionFailure() << "cursor in column " << term.x;
  }
  if (term.y != screen.cursorY())
    return ::testing::AssertionFailure() << "cursor in row " << term.y;
  if (!term.cursorVisible) return ::testing::AssertionFailure() << "cursor hidden";
  return ::testing::AssertionSuccess();
}

// Every control byte of the output is the ESC of one of the renderer's own CSI sequences; no
// OSC, no DCS, no BEL, no C1 control; and the strict model takes it (valid UTF-8, no C1, no
// bidirectional or zero-width character, known sequences only).
::testing::AssertionResult onlyTextAndOwnSequences(const std::string& out, int w, int h) {
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(out[i]);
    if (b == 0x1B) {
      if (i + 1 >= out.size() || out[i + 1] != '[')
        return ::testing::AssertionFailure() << "ESC not starting a CSI at " << i;
    } else if (b < 0x20 || b == 0x7F) {
      return ::testing::AssertionFailure() << "control byte " << int(b) << " at " << i;
    }
  }
  vtmodel::Terminal term(w, h);
  if (!term.apply(out)) return ::testing::AssertionFailure() << term.error;
  return ::testing::AssertionSuccess();
}

// The editor's start-up picture: a blank text area and a status line.
void paintEditorScreen(TerminalScreen& screen) {
  const int w = screen.width(), rows = screen.height() - 1;
  screen.fillCharacter(' ', w * (rows + 1), 0, 0);
  screen.fillAttribute(0x07, w * rows, 0, 0);
  screen.fillAttribute(0x30, w, 0, rows);
  const std::string status = "<Sep 07 1996>  R 0  C 0  ";
  screen.writeCharacters(reinterpret_cast<const uint8_t*>(status.data()), status.size(), 0, rows);
  screen.setCursor(0, 0);
}

void writeText(TerminalScreen& screen, const std::string& text, int x, int y) {
  screen.writeCharacters(reinterpret_cast<const uint8_t*>(text.data()), text.size(), x, y);
}

// Cells given as their bytes: "" is the further column of a wide character.
void writeCells(TerminalScreen& screen, const std::vector<std::string>& cells, int x, int y) {
  for (const std::string& bytes : cells) {
    console::TextCell cell{static_cast<uint8_t>(bytes.size()), {}};
    bytes.copy(cell.bytes, bytes.size());
    screen.writeText(&cell, 1, x++, y);
  }
}

std::string lineText(int n, int width) {
  std::string s = "line " + std::to_string(n) + ": the quick brown fox jumps over the lazy dog ";
  while (static_cast<int>(s.size()) < width) s += s;
  return s.substr(0, width);
}

}  // namespace

TEST(Cp437, GlyphTableSpotChecks) {
  EXPECT_EQ(cp437Glyph(0x00), " ");
  EXPECT_EQ(cp437Glyph('A'), "A");
  EXPECT_EQ(cp437Glyph('~'), "~");
  EXPECT_EQ(cp437Glyph(0x01), "\u263A");
  EXPECT_EQ(cp437Glyph(0x07), "\u2022");
  EXPECT_EQ(cp437Glyph(0x0A), "\u25D9");
  EXPECT_EQ(cp437Glyph(0x1B), "\u2190");
  EXPECT_EQ(cp437Glyph(0x1F), "\u25BC");
  EXPECT_EQ(cp437Glyph(0x7F), "\u2302");
  EXPECT_EQ(cp437Glyph(0x80), "\u00C7");
  EXPECT_EQ(cp437Glyph(0x9B), "\u00A2");
  EXPECT_EQ(cp437Glyph(0xC3), "\u251C");
  EXPECT_EQ(cp437Glyph(0xE1), "\u00DF");
  EXPECT_EQ(cp437Glyph(0xFE), "\u25A0");
  EXPECT_EQ(cp437Glyph(0xFF), "\u00A0");
}

TEST(Cp437, EveryByteIsOnePrintableGlyph) {
  std::set<char32_t> seen;
  for (int b = 0; b < 256; ++b) {
    char32_t cp = cp437CodePoint(static_cast<uint8_t>(b));
    EXPECT_FALSE(cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) << "byte " << b;
    seen.insert(cp);
    // The UTF-8 form decodes to exactly that one code point.
    vtmodel::Terminal term(2, 1);
    ASSERT_TRUE(term.apply(std::string(cp437Glyph(static_cast<uint8_t>(b))))) << term.error;
    EXPECT_EQ(term.at(0, 0).cp, cp);
    EXPECT_EQ(term.x, 1) << "byte " << b << " is not one cell";
  }
  EXPECT_EQ(seen.size(), 255u);  // only 0x00 and 0x20 share a glyph (a blank)
}

TEST(TerminalColours, TheEditorsThreeAttributes) {
  EXPECT_EQ(sgr(-1, 0x07), "\x1b[0;37;40m");   // light grey on black
  EXPECT_EQ(sgr(-1, 0x30), "\x1b[0;30;46m");   // black on cyan
  EXPECT_EQ(sgr(-1, 0xF8), "\x1b[0;90;107m");  // dark grey on bright white
}

TEST(TerminalColours, ConsoleBitOrderBecomesSgrOrder) {
  // Console: blue 1, green 2, red 4. SGR: red 1, green 2, blue 4.
  const int expected[8] = {30, 34, 32, 36, 31, 35, 33, 37};
  for (int c = 0; c < 8; ++c) {
    EXPECT_EQ(sgr(-1, static_cast<uint16_t>(c)), "\x1b[0;" + std::to_string(expected[c]) + ";40m");
    EXPECT_EQ(sgr(-1, static_cast<uint16_t>(c | 8)),
              "\x1b[0;" + std::to_string(expected[c] + 60) + ";40m");
    EXPECT_EQ(sgr(-1, static_cast<uint16_t>(c << 4)),
              "\x1b[0;30;" + std::to_string(expected[c] + 10) + "m");
    EXPECT_EQ(sgr(-1, static_cast<uint16_t>((c | 8) << 4)),
              "\x1b[0;30;" + std::to_string(expected[c] + 70) + "m");
  }
}

TEST(TerminalColours, ChangesOnlyWhatDiffers) {
  EXPECT_EQ(sgr(0x07, 0x07), "");
  EXPECT_EQ(sgr(0x07, 0x30), "\x1b[30;46m");
  EXPECT_EQ(sgr(0x07, 0x0F), "\x1b[97m");
  EXPECT_EQ(sgr(0x07, 0x4007), "\x1b[7m");        // reverse video added
  EXPECT_EQ(sgr(0x4007, 0x07), "\x1b[0;37;40m");  // and taken away again: reset
  EXPECT_EQ(sgr(-1, 0x8007), "\x1b[0;4;37;40m");
}

TEST(TerminalScreen, FirstPaintDrawsEverythingAndShowsTheCursor) {
  TerminalScreen screen(80, 24);
  paintEditorScreen(screen);
  std::string out = screen.render();
  EXPECT_EQ(out.rfind("\x1b[?25l\x1b[0m\x1b[2J", 0), 0u) << "hidden cursor, reset, clear first";
  vtmodel::Terminal term(80, 24);
  ASSERT_TRUE(term.apply(out)) << term.error;
  EXPECT_TRUE(showsGrid(term, screen));
  EXPECT_EQ(screen.render(), "") << "nothing changed, nothing sent";
}

TEST(TerminalScreen, OneChangedCellCostsAFewBytes) {
  TerminalScreen screen(80, 24);
  paintEditorScreen(screen);
  vtmodel::Terminal term(80, 24);
  ASSERT_TRUE(term.apply(screen.render()));

  // A typed 'x' at the start of the document: one text cell, the column on the status
  // line, the cursor.
  writeText(screen, "x", 0, 0);
  writeText(screen, "<Sep 07 1996>* R 0  C 1  ", 0, 23);
  screen.setCursor(1, 0);
  std::string out = screen.render();
  EXPECT_LE(out.size(), 40u) << out;
  ASSERT_TRUE(term.apply(out)) << term.error;
  EXPECT_TRUE(showsGrid(term, screen));

  // One cell where the cursor stands: the colours (the status line was drawn last) and the
  // glyph; the cursor then stands after it already.
  writeText(screen, "y", 1, 0);
  screen.setCursor(2, 0);
  out = screen.render();
  EXPECT_EQ(out, "\x1b[37;40my");
  ASSERT_TRUE(term.apply(out));
  EXPECT_TRUE(showsGrid(term, screen));
}

TEST(TerminalScreen, NearbyChangesShareOneMove) {
  TerminalScreen screen(80, 24);
  paintEditorScreen(screen);
  vtmodel::Terminal term(80, 24);
  ASSERT_TRUE(term.apply(screen.render()));
  writeText(screen, "a", 10, 5);
  writeText(screen, "b", 12, 5);  // the blank between is written again rather than jumped
  screen.setCursor(13, 5);
  std::string out = screen.render();
  EXPECT_EQ(out, "\x1b[6;11H\x1b[37;40ma b");
  ASSERT_TRUE(term.apply(out));
  EXPECT_TRUE(showsGrid(term, screen));
}

TEST(TerminalScreen, ScrollByOneLineMovesTheRowsInsteadOfRedrawingThem) {
  const int w = 80, h = 24;
  TerminalScreen screen(w, h);
  paintEditorScreen(screen);
  for (int y = 0; y < h - 1; ++y) writeText(screen, lineText(y, w), 0, y);
  vtmodel::Terminal term(w, h);
  ASSERT_TRUE(term.apply(screen.render()));

  // Down one line: every text row shows the next line, a new one comes in at the bottom.
  for (int y = 0; y < h - 1; ++y) writeText(screen, lineText(y + 1, w), 0, y);
  writeText(screen, "<Sep 07 1996>  R 23  C 0  ", 0, h - 1);
  screen.setCursor(0, h - 2);
  std::string out = screen.render();
  EXPECT_NE(out.find("\x1b[1;23r"), std::string::npos) << "scroll region over the text rows";
  EXPECT_LT(out.size(), static_cast<size_t>(2 * w + 60));
  ASSERT_TRUE(term.apply(out)) << term.error;
  EXPECT_TRUE(showsGrid(term, screen));

  // And back up again.
  for (int y = 0; y < h - 1; ++y) writeText(screen, lineText(y, w), 0, y);
  screen.setCursor(0, 0);
  out = screen.render();
  EXPECT_LT(out.size(), static_cast<size_t>(2 * w + 60));
  ASSERT_TRUE(term.apply(out)) << term.error;
  EXPECT_TRUE(showsGrid(term, screen));
}

TEST(TerminalScreen, InvalidateRepaintsEveryCellOverGarbage) {
  TerminalScreen screen(40, 10);
  paintEditorScreen(screen);
  writeText(screen, "hello", 3, 2);
  screen.fillAttribute(0xF8, 7, 2, 2);
  screen.render();
  screen.invalidate();
  std::string out = screen.render();
  vtmodel::Terminal term(40, 10);  // starts full of '#'
  ASSERT_TRUE(term.apply(out)) << term.error;
  EXPECT_TRUE(showsGrid(term, screen));
}

TEST(TerminalScreen, ResizeKeepsWhatFitsAndRepaintsAll) {
  TerminalScreen screen(20, 5);
  paintEditorScreen(screen);
  writeText(screen, "abcdefghijklmnopqrst", 0, 1);
  screen.setCursor(19, 4);
  screen.render();

  screen.resize(10, 8);
  EXPECT_EQ(screen.width(), 10);
  EXPECT_EQ(screen.height(), 8);
  EXPECT_EQ(screen.charAt(9, 1), 'j');
  EXPECT_EQ(screen.charAt(0, 7), ' ');
  EXPECT_EQ(screen.attributeAt(0, 7), terminal::DefaultAttribute);
  EXPECT_EQ(screen.cursorX(), 9);  // kept inside the grid
  EXPECT_EQ(screen.cursorY(), 4);
  vtmodel::Terminal term(10, 8);
  std::string out = screen.render();
  ASSERT_NE(out.find("\x1b[2J"), std::string::npos);
  ASSERT_TRUE(term.apply(out)) << term.error;
  EXPECT_TRUE(showsGrid(term, screen));

  screen.resize(0, -3);  // never below one cell
  EXPECT_EQ(screen.width(), 1);
  EXPECT_EQ(screen.height(), 1);
}

TEST(TerminalScreen, WritesOutsideTheGridAreCut) {
  TerminalScreen screen(4, 3);
  screen.fillCharacter('z', 100, 2, 2);  // runs past the last cell
  EXPECT_EQ(screen.charAt(3, 2), 'z');
  screen.fillCharacter('q', 5, 0, 3);  // a row below the grid: nothing
  screen.fillCharacter('q', 5, 4, 0);  // a column right of it: nothing
  screen.fillAttribute(0x30, 5, -1, 0);
  writeText(screen, "rrrr", 0, -1);
  EXPECT_EQ(screen.charAt(0, 0), ' ');
  EXPECT_EQ(screen.attributeAt(0, 0), terminal::DefaultAttribute);
  screen.setCursor(50, -2);
  EXPECT_EQ(screen.cursorX(), 3);
  EXPECT_EQ(screen.cursorY(), 0);
}

// A document made of terminal commands (title, colours, clipboard, bell, cursor moves, C1
// controls) is shown as glyphs; none of it reaches the terminal as a command, in either mode.
TEST(TerminalScreen, DocumentBytesNeverBecomeTerminalCommands) {
  const std::string hostile =
      "\x1b]0;PWNED\x07\x1b]52;c;SGVsbG8=\x07\x1b[31m\x1b[2J\x1b[H\x9b"
      "31m\x9d"
      "0;x\x9c\x07\x08\r\n\x00\x7f\x1bP\x1b\\\x90\x1b[?1049l\xc2\x9b"
      "31m\xc2\x9d";
  for (Mode mode : {Mode::CodePage437, Mode::Utf8}) {
    TerminalScreen screen(30, 6);
    screen.setDisplayMode(mode);
    for (int i = 0; i < 30 * 6; ++i) {
      uint8_t b = static_cast<uint8_t>(hostile[i % hostile.size()]);
      screen.writeCharacters(&b, 1, i % 30, i / 30);
    }
    screen.fillAttribute(0x30, 30, 0, 5);
    screen.setCursor(3, 4);
    std::string out = screen.render();
    EXPECT_TRUE(onlyTextAndOwnSequences(out, 30, 6));
    EXPECT_EQ(out.find('\x07'), std::string::npos);
    EXPECT_EQ(out.find("\x1b]"), std::string::npos);
    vtmodel::Terminal term(30, 6);
    ASSERT_TRUE(term.apply(out)) << term.error;
    EXPECT_TRUE(showsLayout(term, screen));
    EXPECT_EQ(term.at(0, 0).cp, U'\u2190');  // ESC drawn as its arrow
  }
}

// Every byte value, every C1 control encoded as UTF-8, and the bidirectional and zero-width
// controls, in rows of every alignment: whatever the mode, only text and the renderer's own
// sequences go out.
TEST(TerminalScreen, EveryByteC1AndBidiControlIsShownAsGlyphs) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  for (int c1 = 0x80; c1 < 0xA0; ++c1) bytes += std::string("\xc2") + static_cast<char>(c1);
  for (char32_t cp : {0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066, 0x2067, 0x2068, 0x2069,
                      0x200B, 0x200C, 0x200D, 0x200E, 0x200F, 0x061C, 0xFEFF, 0x2028, 0x2029})
    vtmodel::Terminal::appendUtf8(bytes, cp);
  const int w = 37, h = 8;  // a width that puts every sequence across some row's edge
  for (Mode mode : {Mode::CodePage437, Mode::Utf8}) {
    for (size_t shift = 0; shift < 4; ++shift) {
      TerminalScreen screen(w, h);
      screen.setDisplayMode(mode);
      std::string shifted = bytes.substr(shift) + bytes.substr(0, shift);
      std::vector<uint8_t> grid(static_cast<size_t>(w) * h, ' ');
      for (size_t i = 0; i < grid.size(); ++i)
        grid[i] = static_cast<uint8_t>(shifted[i % shifted.size()]);
      screen.writeCharacters(grid.data(), static_cast<uint32_t>(grid.size()), 0, 0);
      screen.setCursor(5, 2);
      std::string out = screen.render();
      ASSERT_TRUE(onlyTextAndOwnSequences(out, w, h)) << "shift " << shift;
      vtmodel::Terminal term(w, h);
      ASSERT_TRUE(term.apply(out));
      EXPECT_TRUE(showsLayout(term, screen)) << "shift " << shift;
      // Every byte of them is a glyph of its own: nothing here is printable text.
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_EQ(term.at(x, y).cp, terminal::cp437CodePoint(screen.charAt(x, y)));
    }
  }
}

// Wide characters at the end of rows and the cursor on one. After a character in the row's
// last columns the terminal's cursor is never taken as known (the pending wrap).
TEST(TerminalScreen, Utf8RowsEndingInWideCharacters) {
  const int w = 10, h = 3;
  TerminalScreen screen(w, h);
  screen.setDisplayMode(Mode::Utf8);
  vtmodel::Terminal term(w, h);
  const std::string wide = "\xe6\xbc\xa2", other = "\xe5\xad\x97";
  writeCells(screen, {"a", "b", "c", "d", "e", "f", "g", "h", wide, ""}, 0, 0);
  writeCells(screen, {wide, "", other, "", wide, "", "z", "\xc3\xa9", wide, ""}, 0, 1);
  screen.setCursor(8, 0);
  std::string out = screen.render();
  ASSERT_TRUE(term.apply(out)) << term.error;
  EXPECT_TRUE(showsLayout(term, screen));
  EXPECT_EQ(term.at(8, 0).width, 2);

  // A change after a wide character that ended a row is placed by an absolute move.
  writeCells(screen, {"Q"}, 0, 2);
  writeCells(screen, {"a\xcc\x81"}, 1, 2);
  screen.setCursor(1, 2);
  out = screen.render();
  ASSERT_TRUE(term.apply(out)) << term.error;
  EXPECT_TRUE(showsLayout(term, screen));
}

// A character written into a row's last column leaves the terminal's cursor in that column,
// with a wrap pending where autowrap stayed on, so what the renderer sends next must not depend
// on which: a change earlier in the same row, on the next row, or the cursor put back. The
// rows hold bytes that code page 437 shows as glyphs and UTF-8 as characters or glyphs.
TEST(TerminalScreen, ChangesAfterWritingTheLastColumnLandWhereAsked) {
  const int w = 8, h = 4;
  struct Write {
    const char* text;
    int x, y;
  };
  struct Step {
    std::vector<Write> writes;
    int cursorX, cursorY;
  };
  const std::vector<Step> steps = {
      {{{"abcdefgh", 0, 0}, {"h\xc3\xa9llo w", 0, 1}, {"012345\xe2\xb0", 0, 2}, {"status 1", 0, 3}},
       0,
       0},
      {{{"Z", w - 1, 0}}, 3, 0},                   // then back along the same row
      {{{"\xfe", w - 1, 2}, {"X", 2, 3}}, 5, 2},   // then the next row, then up again
      {{{"Q", w - 1, 1}, {"y", 0, 2}}, w - 1, 3},  // then the next row's first column
      {{{"t", 1, 3}, {"s", w - 1, 3}}, w - 1, 3},  // the cursor stays on what was written
      {{{"u", w - 1, 3}}, 0, 0},                   // written where the cursor already is
      {{{"v", w - 1, h - 1}, {"\xc3\xa9", 2, 1}}, 2, h - 1},  // the bottom row: no scrolling
  };
  for (Mode mode : {Mode::CodePage437, Mode::Utf8}) {
    SCOPED_TRACE(mode == Mode::Utf8 ? "UTF-8" : "code page 437");
    TerminalScreen screen(w, h);
    screen.setDisplayMode(mode);
    vtmodel::Terminal term(w, h);
    for (size_t step = 0; step < steps.size(); ++step) {
      for (const Write& write : steps[step].writes) writeText(screen, write.text, write.x, write.y);
      screen.setCursor(steps[step].cursorX, steps[step].cursorY);
      ASSERT_TRUE(term.apply(screen.render())) << term.error << " in step " << step;
      ASSERT_TRUE(showsLayout(term, screen)) << "step " << step;
    }
  }
}

// Random edits, scrolls, renders and mode switches, with text in UTF-8 (wide characters,
// combining marks, emoji, broken sequences): the terminal always ends up showing the grid.
TEST(TerminalScreen, RandomEditsAlwaysConverge) {
  std::mt19937 rng(20240607);
  const int w = 23, h = 9;
  TerminalScreen screen(w, h);
  vtmodel::Terminal term(w, h);
  const std::vector<std::string> pieces = {"\xc3\xa9",
                                           "\xe6\xbc\xa2\xe5\xad\x97",
                                           "a\xcc\x81",
                                           "\xf0\x9f\x98\x80",
                                           "\xe2\x9d\xa4\xef\xb8\x8f",
                                           "\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa",
                                           "\xe6\xbc",
                                           "\xcc\x81",
                                           "\xe2\x80\xae",
                                           "\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbb"};
  std::vector<std::string> rows;
  for (int y = 0; y < 40; ++y) {
    std::string line = lineText(y, w);
    if (y % 3 == 0) line = pieces[y % pieces.size()] + line;
    rows.push_back(line.substr(0, w));
  }
  for (int round = 0; round < 400; ++round) {
    int steps = 1 + rng() % 4;
    for (int s = 0; s < steps; ++s) {
      switch (rng() % 6) {
        case 0: {
          if (rng() % 2) {
            uint8_t b = static_cast<uint8_t>(rng() % 256);
            screen.writeCharacters(&b, 1, rng() % w, rng() % h);
          } else {
            const std::string& piece = pieces[rng() % pieces.size()];
            if (rng() % 2)
              writeText(screen, piece, rng() % w, rng() % h);
            else
              writeCells(screen, {piece, ""}, rng() % w, rng() % h);
          }
          break;
        }
        case 1: {
          static const uint16_t attrs[] = {0x07, 0x30, 0xF8, 0x1E, 0x4007};
          screen.fillAttribute(attrs[rng() % 5], rng() % 30, rng() % w, rng() % h);
          break;
        }
        case 2:
          screen.fillCharacter(' ', rng() % 40, rng() % w, rng() % h);
          break;
        case 3: {  // the view scrolls: rows shift by a few lines
          int first = rng() % 20;
          for (int y = 0; y < h - 1; ++y) writeText(screen, rows[first + y], 0, y);
          break;
        }
        case 4:
          screen.setCursor(rng() % w, rng() % h);
          break;
        case 5:
          if (rng() % 20 == 0) screen.invalidate();
          if (rng() % 30 == 0)
            screen.setDisplayMode(screen.displayMode() == Mode::Utf8 ? Mode::CodePage437
                                                                     : Mode::Utf8);
          break;
      }
    }
    std::string out = screen.render();
    ASSERT_TRUE(term.apply(out)) << term.error << " in round " << round;
    ASSERT_TRUE(showsLayout(term, screen)) << "round " << round;
  }
}
