#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/console.h"

namespace console {

// A console held in memory, for tests: the cell grid, the cursor, an input queue that the
// test fills, and a clock that moves only when the editor waits, so a 60000 ms wait costs
// no real time. When the queue runs dry the input counts as gone.
class MemoryConsole : public Console {
 public:
  MemoryConsole(int columns, int rows, uint16_t attributes = 0x0007);

  ScreenBufferInfo screenBufferInfo() override;
  void fillOutputCharacter(uint8_t ch, uint32_t count, Coord start) override;
  void fillOutputAttribute(uint16_t attribute, uint32_t count, Coord start) override;
  void writeOutputCharacter(const uint8_t* bytes, uint32_t count, Coord start) override;
  void setCursorPosition(Coord position) override;
  void writeOutputText(const TextCell* cells, uint32_t count, Coord start) override;
  DisplayMode switchDisplayMode() override;
  DisplayMode displayMode() override { return shownAs; }

  uint32_t getInputMode() override { return inputMode; }
  void setInputMode(uint32_t mode) override { inputMode = mode; }
  uint32_t numberOfInputEvents() override;
  uint32_t waitForInput(uint32_t milliseconds) override;
  bool readInput(InputRecord& record) override;
  int readChar() override;
  PromptInput readPromptInput() override;
  bool promptInputWaiting() override;
  uint32_t tickCount() override { return clock; }
  bool inputGone() override { return gone; }
  const char* pastedText(size_t& length) override;

  // ---- for tests ----
  void pushKey(uint16_t virtualKeyCode, uint8_t ch, uint32_t controlKeyState,
               uint16_t repeatCount = 1);
  void pushKeyUp(uint16_t virtualKeyCode, uint32_t controlKeyState = 0);
  void pushRecord(const InputRecord& record);
  void pushPaste(const std::string& text);
  // Nothing arrives for this long.
  void pushPause(uint32_t milliseconds);
  // Whether anything queued (an event or a pause) is still to be read.
  bool inputLeft() const { return !queue.empty(); }
  // The buffer takes a new size, as a terminal window does (blank, unless the size is the one
  // it had), and a size event is queued.
  void resize(int width, int height);

  uint8_t charAt(int row, int column) const { return cells[row * width + column].ch; }
  uint16_t attributeAt(int row, int column) const { return cells[row * width + column].attr; }
  // The row's bytes as written: every cell's character, wide ones once.
  std::string rowText(int row) const;

  struct Cell {
    uint8_t ch;  // the first byte of the cell's character
    uint16_t attr;
    TextCell text;
  };
  // Where the console has two display modes (a test turns them on), F8 switches between
  // them; otherwise it keeps its one way.
  bool hasModes = false;
  DisplayMode shownAs = DisplayMode::Native;
  int width;
  int height;
  uint16_t startAttributes;
  std::vector<Cell> cells;
  Coord cursor{0, 0};
  uint32_t inputMode = 0x01F7;
  uint32_t clock = 1000;
  bool gone = false;
  // Counts of each output call, to check that a redraw does only what it must.
  int textWrites = 0;
  int attributeFills = 0;

 private:
  struct Entry {
    InputRecord record;
    uint32_t pause;  // non-zero: nothing arrives for this long
    std::string paste;
  };
  std::deque<Entry> queue;
  std::string currentPaste;
  AltCodeRead altCodeRead;  // a character typed by its code while a character read waits
  size_t cellIndex(Coord at) const;
  PromptInput nextInput(bool keys);
};

}  // namespace console
