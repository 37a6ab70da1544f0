// The Windows console: each operation of the console interface is one console call.
#include <atomic>

#include "platform/win32/windows_api.h"

namespace platform {

RowsInUse rowsInUse(const CONSOLE_SCREEN_BUFFER_INFO& info, int16_t knownTop) {
  // A buffer that keeps more rows than its window shows (the scroll-back that consoles have
  // by default today) is used through as many rows as the window shows, from the window's
  // top row when first asked: the status line then stands on the window's last row, not
  // thousands of rows below it, and the scroll-back above is kept. The rows stay where they
  // are when the window is scrolled later. A buffer as tall as its window is used whole.
  int16_t height = static_cast<int16_t>(info.srWindow.Bottom - info.srWindow.Top + 1);
  if (height <= 0 || height > info.dwSize.Y) height = info.dwSize.Y;
  int16_t top = knownTop < 0 ? info.srWindow.Top : knownTop;
  if (top > info.dwSize.Y - height) top = static_cast<int16_t>(info.dwSize.Y - height);
  if (top < 0) top = 0;
  return RowsInUse{top, height};
}

namespace {

// Set once the console has told this process to end: its window is being closed, Ctrl+Break
// was pressed, or another program sent Ctrl+C. By default the process would end at once and
// lose the work; instead the input counts as gone, as when a terminal hangs up, and the
// editor keeps the work and ends.
std::atomic<bool> consoleEnding{false};
// The input to wake a waiting read on; null once the console is closed.
std::atomic<HANDLE> endingInput{nullptr};

// Runs on a thread of its own, which the system starts for the event. It stays registered
// (the system may hold its list of handlers while one runs): once the console is closed it
// leaves the event to the system's own handling.
BOOL WINAPI onConsoleEnd(DWORD) {
  const HANDLE input = endingInput.load();
  if (input == nullptr) return FALSE;
  consoleEnding = true;
  // A key record wakes a wait for input, ReadConsoleInputA and ReadConsoleA alike; every read
  // finds the input gone before it would hand the key on.
  INPUT_RECORD wake{};
  wake.EventType = KEY_EVENT;
  wake.Event.KeyEvent.bKeyDown = TRUE;
  wake.Event.KeyEvent.wRepeatCount = 1;
  wake.Event.KeyEvent.uChar.AsciiChar = ' ';
  DWORD written = 0;
  WriteConsoleInputA(input, &wake, 1, &written);
  // The process ends when the editor returns from main, the work kept; returning from here
  // would end it at once. (A closed window is ended by the system after some seconds.)
  Sleep(INFINITE);
  return TRUE;
}

class WindowsConsole final : public console::Console {
 public:
  WindowsConsole(HANDLE input, HANDLE output) : input_(input), output_(output) {
    endingInput = input;
    static const bool registered = SetConsoleCtrlHandler(onConsoleEnd, TRUE);
    (void)registered;
  }
  ~WindowsConsole() override { endingInput = nullptr; }

  // ---- output ----

  console::ScreenBufferInfo screenBufferInfo() override {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output_, &info)) {
      return console::ScreenBufferInfo{0, 0, 0x0007};
    }
    RowsInUse rows = rowsInUse(info, top_);
    top_ = rows.top;
    return console::ScreenBufferInfo{info.dwSize.X, rows.height, info.wAttributes};
  }

  void fillOutputCharacter(uint8_t ch, uint32_t count, console::Coord start) override {
    DWORD written;
    FillConsoleOutputCharacterA(output_, static_cast<CHAR>(ch), count, at(start), &written);
  }

  void fillOutputAttribute(uint16_t attribute, uint32_t count, console::Coord start) override {
    DWORD written;
    FillConsoleOutputAttribute(output_, attribute, count, at(start), &written);
  }

  void writeOutputCharacter(const uint8_t* bytes, uint32_t count, console::Coord start) override {
    DWORD written;
    WriteConsoleOutputCharacterA(output_, reinterpret_cast<LPCSTR>(bytes), count, at(start),
                                 &written);
  }

  void setCursorPosition(console::Coord position) override {
    SetConsoleCursorPosition(output_, at(position));
  }

  // ---- input ----

  uint32_t getInputMode() override {
    DWORD mode = 0;
    GetConsoleMode(input_, &mode);
    return mode;
  }

  void setInputMode(uint32_t mode) override { SetConsoleMode(input_, mode); }

  uint32_t numberOfInputEvents() override {
    DWORD count = 0;
    GetNumberOfConsoleInputEvents(input_, &count);
    return count;
  }

  uint32_t waitForInput(uint32_t milliseconds) override {
    if (ending()) return WAIT_OBJECT_0;  // the read that follows finds the input gone
    // A failed wait counts as input waiting: the read that follows tells what happened.
    return WaitForSingleObject(input_, milliseconds) == WAIT_TIMEOUT ? WAIT_TIMEOUT : WAIT_OBJECT_0;
  }

  bool readInput(console::InputRecord& record) override {
    INPUT_RECORD event;
    DWORD count = 0;
    if (ending() || !ReadConsoleInputA(input_, &event, 1, &count) || ending()) {
      gone_ = true;
      return false;
    }
    if (count == 0) return false;
    record = console::InputRecord{};
    record.eventType = event.EventType;
    if (event.EventType == KEY_EVENT) {
      const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
      record.key.keyDown = key.bKeyDown;
      record.key.repeatCount = key.wRepeatCount;
      record.key.virtualKeyCode = key.wVirtualKeyCode;
      record.key.asciiChar = static_cast<uint8_t>(key.uChar.AsciiChar);
      record.key.controlKeyState = key.dwControlKeyState;
    }
    return true;
  }

  int readChar() override {
    for (;;) {
      CHAR ch = 0;
      DWORD count = 0;
      if (ending() || !ReadConsoleA(input_, &ch, 1, &count, nullptr) || ending()) {
        gone_ = true;
        return -1;
      }
      if (count == 1) return static_cast<uint8_t>(ch);
    }
  }

  // Keys without a character and size changes are taken from the queue as records; a record
  // that gives a character is left to ReadConsoleA, so that characters arrive exactly as
  // readChar gives them.
  console::PromptInput readPromptInput() override {
    for (;;) {
      INPUT_RECORD event;
      DWORD count = 0;
      if (ending() || WaitForSingleObject(input_, INFINITE) == WAIT_FAILED ||
          !PeekConsoleInputA(input_, &event, 1, &count) || ending()) {
        gone_ = true;
        return {};
      }
      if (count == 0) continue;
      const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
      const bool isKey = event.EventType == KEY_EVENT;
      if (givesChar(event)) return console::PromptInput{readChar(), 0, 0};
      if (!ReadConsoleInputA(input_, &event, 1, &count)) {
        gone_ = true;
        return {};
      }
      if (isKey && key.bKeyDown && count == 1)
        return console::PromptInput{-1, key.wVirtualKeyCode, key.dwControlKeyState};
      if (event.EventType == WINDOW_BUFFER_SIZE_EVENT && count == 1)
        return console::PromptInput{-1, 0, 0, true};
    }
  }

  // Takes the records readPromptInput would pass over, as it would take them.
  bool promptInputWaiting() override {
    for (;;) {
      INPUT_RECORD event;
      DWORD count = 0;
      if (ending() || !PeekConsoleInputA(input_, &event, 1, &count)) return true;  // the read tells
      if (count == 0) return false;
      const bool keyDown = event.EventType == KEY_EVENT && event.Event.KeyEvent.bKeyDown;
      if (givesChar(event) || keyDown || event.EventType == WINDOW_BUFFER_SIZE_EVENT) return true;
      if (!ReadConsoleInputA(input_, &event, 1, &count)) return true;
    }
  }

  uint32_t tickCount() override { return GetTickCount(); }

  bool inputGone() override { return gone_ || ending(); }

 private:
  static bool ending() { return consoleEnding.load(); }
  // Only a press with a character, or the release of Alt with the character its keypad
  // digits made, gives one to ReadConsoleA. Every other record is taken by readPromptInput
  // itself: a release carries its character too, and ReadConsoleA would wait past it,
  // swallowing the keys without a character that follow.
  static bool givesChar(const INPUT_RECORD& event) {
    const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
    return event.EventType == KEY_EVENT && key.uChar.AsciiChar != 0 &&
           (key.bKeyDown || key.wVirtualKeyCode == VK_MENU);
  }

  // Rows count from the top of the rows in use (see screenBufferInfo).
  COORD at(console::Coord position) const {
    return COORD{position.x, static_cast<SHORT>(position.y + (top_ < 0 ? 0 : top_))};
  }

  HANDLE input_;
  HANDLE output_;
  int16_t top_ = -1;  // the buffer row where the rows in use begin; -1 until known
  bool gone_ = false;
};

}  // namespace

std::unique_ptr<console::Console> openWindowsConsole(std::string& error) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode;
  if (input == INVALID_HANDLE_VALUE || input == nullptr || !GetConsoleMode(input, &mode)) {
    error = "standard input is not a console";
    return nullptr;
  }
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (output == INVALID_HANDLE_VALUE || output == nullptr ||
      !GetConsoleScreenBufferInfo(output, &info)) {
    error = "standard output is not a console";
    return nullptr;
  }
  return std::make_unique<WindowsConsole>(input, output);
}

}  // namespace platform
