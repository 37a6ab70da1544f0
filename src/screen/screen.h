#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/char_rule.h"
#include "platform/console.h"

class Editor;

constexpr uint16_t TextAttribute = 0x0007;       // light grey on black
constexpr uint16_t StatusAttribute = 0x0030;     // black on cyan
constexpr uint16_t SelectionAttribute = 0x00F8;  // dark grey on bright white

// Fills a grid of rows x columns cells with the text rows.
using RowFormatter = void (Editor::*)(int rows, int columns, console::TextCell* grid);

// The console's output side: a text area of `rows` rows above one status line. It keeps no
// copy of what is shown; every call writes straight to the console.
class Screen {
 public:
  explicit Screen(console::Console& output);
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  void drawTextArea(Editor& editor, RowFormatter formatter);
  void highlightRange(int startRow, int startColumn, int endRow, int endColumn);
  void writeStatusLine(const char* text, int cursorRow, int cursorColumn);
  // The status line of an open prompt: the prompt, then the answer, each laid out on its own
  // (a mark at the answer's start never joins the prompt's last blank), the cursor on the
  // status line at caretColumn.
  void writePromptLine(const std::string& prompt, const std::string& answer, int caretColumn);
  void showMessage(const char* text);
  // Writes text on the last text row in the status line's colours (the keys of an open
  // prompt). The row is the document's again after the next redraw.
  void showKeysRow(const std::string& text);
  // True once after showKeysRow or a change of size: the text rows must be drawn again.
  bool takeTextRowsCovered();
  // True once after the console became wider: a view scrolled right may show more from the left.
  bool takeWidened();
  // Fills the text area with lines[first], lines[first + 1], ... in the text colour, each cut
  // or padded to the width, blank rows after the last line.
  void drawLines(const std::vector<std::string>& lines, size_t first);

  // Takes the console's size again when it has changed (a terminal window was resized) and
  // repaints the two colour zones. True when the size changed: every row must be redrawn.
  bool adoptNewSize();
  // The same while a prompt or question is open: after a change of size the document is drawn
  // again at the new size (by drawDocument, where set), for the prompt to be shown over it.
  void followResize();
  std::function<void()> drawDocument;

  // Text on the status line and the help page goes by character where the console shows
  // UTF-8, one byte a cell otherwise.
  TextUnit shownUnit() const {
    return outputHandle.displayMode() == console::DisplayMode::Utf8 ? TextUnit::Character
                                                                    : TextUnit::Byte;
  }

  int16_t rows;
  int16_t columns;
  console::Console& outputHandle;
  uint16_t savedAttributes;

 private:
  void paintZones();
  bool textRowsCovered_ = false;
  bool widened_ = false;
};
