#pragma once

#include <cstddef>
#include <cstdint>

// The console the editor draws on and reads keys from: a grid of cells, each a byte and a
// 16-bit attribute word, written as characters alone or attributes alone; a cursor; and an
// input queue of events. Backends: the in-memory console (tests), the terminal (POSIX) and
// the Windows console.
namespace console {

struct Coord {
  int16_t x;  // column
  int16_t y;  // row
};

struct ScreenBufferInfo {
  int16_t width;
  int16_t height;
  uint16_t attributes;
};

// Control-key state bits of a key event.
constexpr uint32_t RIGHT_ALT_PRESSED = 0x0001;
constexpr uint32_t LEFT_ALT_PRESSED = 0x0002;
constexpr uint32_t RIGHT_CTRL_PRESSED = 0x0004;
constexpr uint32_t LEFT_CTRL_PRESSED = 0x0008;
constexpr uint32_t SHIFT_PRESSED = 0x0010;
constexpr uint32_t NUMLOCK_ON = 0x0020;
constexpr uint32_t ENHANCED_KEY = 0x0100;

// Event types of an input record.
constexpr uint16_t KEY_EVENT = 0x0001;
constexpr uint16_t MOUSE_EVENT = 0x0002;
constexpr uint16_t WINDOW_BUFFER_SIZE_EVENT = 0x0004;
constexpr uint16_t MENU_EVENT = 0x0008;
constexpr uint16_t FOCUS_EVENT = 0x0010;
// Not a console event: text pasted into the terminal in one piece (bracketed paste).
constexpr uint16_t PASTE_EVENT = 0x4000;

struct KeyEventRecord {
  int32_t keyDown;
  uint16_t repeatCount;
  uint16_t virtualKeyCode;
  uint8_t asciiChar;
  uint32_t controlKeyState;
};

struct InputRecord {
  uint16_t eventType;
  KeyEventRecord key;
};

constexpr uint32_t INFINITE = 0xFFFFFFFF;
constexpr uint32_t WAIT_OBJECT_0 = 0;
constexpr uint32_t WAIT_TIMEOUT = 0x102;

constexpr uint32_t ENABLE_WINDOW_INPUT = 0x0008;
constexpr uint32_t ENABLE_MOUSE_INPUT = 0x0010;

// What one cell of the text area holds: a whole character of up to 15 bytes of UTF-8 (or a
// piece of a longer one that begins with a code point taking columns), or one byte; length 0
// is the right half (or a further column) of the wide character in the cell before. Unused
// bytes are zero, so that cells compare with memcmp.
struct TextCell {
  uint8_t length;
  char bytes[15];
};
static_assert(sizeof(TextCell) == 16);

inline TextCell byteCell(uint8_t byte) {
  TextCell cell{1, {}};
  cell.bytes[0] = static_cast<char>(byte);
  return cell;
}

// What a status-line prompt reads: a character exactly as readChar gives it, or a key press
// that carries no character (key set, ch -1). Both -1 and 0 when nothing can be read any more.
// A console whose size changed says so (resized set, nothing typed), so that the prompt is
// shown again at the new size at once.
struct PromptInput {
  int ch = -1;
  uint16_t key = 0;  // virtual-key code
  uint32_t controlKeyState = 0;
  bool resized = false;
  bool pasted = false;  // ch came from a paste, not from a key
};

// A character typed as Alt + numeric-keypad digits, for the character reads of a console that
// reports the keys one by one: the digits give no character of their own, and the byte they
// make (their number modulo 256; none when that is 0) comes with the release of Alt, as the
// Windows console's character read gives it. Any other key pressed drops the digits.
class AltCodeRead {
 public:
  // Takes one key event. True when the event is part of an Alt code and no input of its own;
  // `made` is then the byte made (at the release of Alt), or -1.
  bool take(const KeyEventRecord& key, int& made);
  // Whether digits are waiting for the release of Alt.
  bool pending() const { return code_ != 0; }

 private:
  uint8_t code_ = 0;
};

// How a console shows the bytes of its cells.
enum class DisplayMode {
  Native,       // the console's own way, the only one it has
  CodePage437,  // every byte as its code page 437 glyph
  Utf8,         // UTF-8 text as its characters, every other byte as its code page 437 glyph
};

class Console {
 public:
  virtual ~Console() = default;

  // ---- output ----
  virtual ScreenBufferInfo screenBufferInfo() = 0;
  virtual void fillOutputCharacter(uint8_t ch, uint32_t count, Coord start) = 0;
  virtual void fillOutputAttribute(uint16_t attribute, uint32_t count, Coord start) = 0;
  virtual void writeOutputCharacter(const uint8_t* bytes, uint32_t count, Coord start) = 0;
  virtual void setCursorPosition(Coord position) = 0;
  // Writes cells that may hold whole characters. A console that holds one byte per cell
  // keeps the first byte of each (a blank for the further columns of a wide character).
  virtual void writeOutputText(const TextCell* cells, uint32_t count, Coord start);

  // ---- input ----
  virtual uint32_t getInputMode() = 0;
  virtual void setInputMode(uint32_t mode) = 0;
  virtual uint32_t numberOfInputEvents() = 0;
  // WAIT_OBJECT_0 when an event is waiting, WAIT_TIMEOUT when the time passed first.
  virtual uint32_t waitForInput(uint32_t milliseconds) = 0;
  // Removes the oldest event, blocking until there is one. False when nothing could be read
  // (the terminal has gone).
  virtual bool readInput(InputRecord& record) = 0;
  // One character as soon as it is typed; keys without a character are consumed. -1 when
  // nothing can be read any more.
  virtual int readChar() = 0;
  // As readChar, but a key press without a character is handed back instead of consumed. A
  // console that cannot tell such keys apart passes them over, as readChar does.
  virtual PromptInput readPromptInput() { return PromptInput{readChar(), 0, 0}; }
  // Without blocking: takes from the front of the queue the events readPromptInput passes
  // over (a key's release, for one), and tells whether anything it would return waits.
  virtual bool promptInputWaiting() { return true; }
  // Milliseconds, wrapping at 2^32.
  virtual uint32_t tickCount() = 0;
  // Shows what was drawn at once, while the editor is busy (a terminal's output is otherwise
  // gathered until the editor waits for a key).
  virtual void showNow() {}

  // True once the input side has ended for good (end of file, read error, hang-up signal).
  virtual bool inputGone() { return false; }

  // Hands the text to the terminal's own clipboard (OSC 52) where the console is a terminal.
  // False when this console has no such clipboard.
  virtual bool setTerminalClipboard(const char* text, size_t length) {
    (void)text;
    (void)length;
    return false;
  }

  // Switches to the console's other way of showing bytes and returns the one now in force; a
  // console with only one way keeps it and answers Native.
  virtual DisplayMode switchDisplayMode() { return DisplayMode::Native; }
  // The way the console shows bytes now.
  virtual DisplayMode displayMode() { return DisplayMode::Native; }

  // Text that arrived as one bracketed paste: valid after readInput delivered a PASTE_EVENT,
  // until the next readInput.
  virtual const char* pastedText(size_t& length) {
    length = 0;
    return "";
  }
};

}  // namespace console
