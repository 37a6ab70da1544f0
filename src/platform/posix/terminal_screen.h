#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/posix/row_layout.h"

namespace terminal {

// Console attribute bits beyond the 16 colours.
constexpr uint16_t AttributeReverse = 0x4000;    // foreground and background swapped
constexpr uint16_t AttributeUnderline = 0x8000;  // underscore

// The attribute of cells that nothing has written yet: light grey on black.
constexpr uint16_t DefaultAttribute = 0x0007;

// Appends the SGR sequence that switches the terminal from attribute `from` to `to`; a
// negative `from` means the terminal's state is unknown and everything is set.
// Console colour bits are blue 1, green 2, red 4, intensity 8 (background the same, shifted
// by 4); SGR counts red 1, green 2, blue 4, and the intensified colours are 90-97/100-107.
void appendSgr(std::string& out, int from, uint16_t to);

// The cell grid the editor draws on, kept apart from the terminal it is shown on. Writes
// change only the grid; render() produces the bytes that bring the terminal from what it
// shows now to the grid, each row laid out for the display mode (layoutRow): only the
// columns that differ, with the fewest cursor moves and colour changes, and the cursor
// placed last. A cell holds a byte or a whole character (the editor lays its rows out in
// terminal columns). Nothing in the output comes from a cell except printable UTF-8 text.
class TerminalScreen {
 public:
  TerminalScreen(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }

  // A new size: what fits of the grid is kept, new cells are blanks in DefaultAttribute,
  // and the next render repaints everything.
  void resize(int width, int height);
  // The terminal's content is unknown (start, resize, return from suspension): the next
  // render clears it and paints every cell.
  void invalidate() { repaintAll_ = true; }

  // Console-style writes from a start cell in reading order, cut at the end of the grid.
  // A start outside the grid writes nothing.
  void fillCharacter(uint8_t ch, uint32_t count, int x, int y);
  void fillAttribute(uint16_t attribute, uint32_t count, int x, int y);
  void writeCharacters(const uint8_t* bytes, uint32_t count, int x, int y);
  void writeText(const console::TextCell* cells, uint32_t count, int x, int y);
  void setCursor(int x, int y);

  // How bytes are shown; a change takes effect at the next render, which sends only the
  // columns that then look different. CodePage437 at first.
  void setDisplayMode(console::DisplayMode mode);
  console::DisplayMode displayMode() const { return mode_; }

  uint8_t charAt(int x, int y) const {
    return static_cast<uint8_t>(cells_[index(x, y)].text.bytes[0]);
  }
  const console::TextCell& textAt(int x, int y) const { return cells_[index(x, y)].text; }
  uint16_t attributeAt(int x, int y) const { return cells_[index(x, y)].attr; }
  int cursorX() const { return cursorX_; }
  int cursorY() const { return cursorY_; }

  // Appends the update to out and takes it as shown. Nothing is appended when the
  // terminal is already up to date.
  void render(std::string& out);
  std::string render() {
    std::string out;
    render(out);
    return out;
  }

 private:
  using Cell = GridCell;
  static constexpr Cell BlankCell{{1, {' '}}, DefaultAttribute};

  size_t index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }
  bool startCell(int x, int y, size_t& start) const;
  bool rowEqual(const std::vector<Cell>& a, int rowA, const std::vector<Cell>& b, int rowB) const;
  uint64_t hashRow(const std::vector<Cell>& grid, int y) const;
  std::string moveSequence(int x, int y) const;
  void scrollIfWorthIt(std::string& out);
  void applyScroll(std::string& out, int top, int bottom, int shift);
  void moveTo(std::string& out, int x, int y);
  bool bridgeTo(std::string& out, const ShownCell* shown, int x, int y);
  void renderRow(std::string& out, int y);

  int width_;
  int height_;
  std::vector<Cell> cells_;         // what the editor wrote
  std::vector<Cell> shown_;         // the grid as last rendered, where rowKnown_ says so
  std::vector<ShownCell> columns_;  // what the terminal shows, where rowKnown_ says so
  std::vector<bool> rowKnown_;      // false: the row's content on the terminal is unknown
  std::vector<ShownCell> wanted_;   // one row laid out, while it is rendered
  console::DisplayMode mode_ = console::DisplayMode::CodePage437;
  bool relayout_ = false;  // the mode changed: every row is laid out again
  int cursorX_ = 0;
  int cursorY_ = 0;
  bool repaintAll_ = true;
  // The terminal's own state after the last render; -1 when unknown.
  int termX_ = -1;
  int termY_ = -1;
  int termAttr_ = -1;
};

}  // namespace terminal
