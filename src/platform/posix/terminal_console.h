#pragma once

#include <termios.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "platform/console.h"
#include "platform/posix/key_decoder.h"
#include "platform/posix/terminal_screen.h"

namespace terminal {

// The console on a POSIX terminal. Output calls change a grid in memory; the difference to
// what the terminal shows goes out in one write just before the console blocks for input.
// Input bytes are read with poll() and decoded into console input records.
//
// While it is open the terminal is in raw mode on the alternate screen, with bracketed paste
// and extended key reports on; everything is given back when it is destroyed, at exit()
// (hold it in a static), and from the handlers of fatal signals. Every other signal that
// would end the process (SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1, ...) ends the input
// (inputGone) instead, so the editor ends through its normal path; SIGWINCH takes the new
// size and queues a WINDOW_BUFFER_SIZE_EVENT. Only one can be open at a time.
//
// Cells are shown in one of two display modes (code page 437 glyphs, or UTF-8 text as its
// characters), UTF-8 at first when the locale's character set is UTF-8.
class TerminalConsole : public console::Console {
 public:
  // Takes the terminal on the two descriptors (standard input and output). Null, with a
  // one-line reason in error and nothing changed, when either is not a terminal or the
  // terminal is smaller than 2 rows by 1 column.
  static std::unique_ptr<TerminalConsole> open(int inputFd, int outputFd, std::string& error);
  ~TerminalConsole() override;
  TerminalConsole(const TerminalConsole&) = delete;
  TerminalConsole& operator=(const TerminalConsole&) = delete;

  console::ScreenBufferInfo screenBufferInfo() override;
  void fillOutputCharacter(uint8_t ch, uint32_t count, console::Coord start) override;
  void fillOutputAttribute(uint16_t attribute, uint32_t count, console::Coord start) override;
  void writeOutputCharacter(const uint8_t* bytes, uint32_t count, console::Coord start) override;
  void writeOutputText(const console::TextCell* cells, uint32_t count,
                       console::Coord start) override;
  void setCursorPosition(console::Coord position) override;

  uint32_t getInputMode() override { return inputMode_; }
  void setInputMode(uint32_t mode) override { inputMode_ = mode; }
  uint32_t numberOfInputEvents() override;
  uint32_t waitForInput(uint32_t milliseconds) override;
  bool readInput(console::InputRecord& record) override;
  int readChar() override;
  console::PromptInput readPromptInput() override;
  bool promptInputWaiting() override;
  uint32_t tickCount() override;
  bool inputGone() override { return gone_; }
  bool setTerminalClipboard(const char* text, size_t length) override;
  const char* pastedText(size_t& length) override;
  // Between code page 437 and UTF-8; the first is UTF-8 when the locale's character set is.
  console::DisplayMode switchDisplayMode() override;
  console::DisplayMode displayMode() override;

  // Sends the terminal what changed since the last flush, in one write.
  void flush();
  void showNow() override { flush(); }
  const TerminalScreen& screen() const { return screen_; }

  // How long a lone ESC waits for the rest of a sequence before it counts as the Escape key.
  static constexpr int EscapeTimeoutMs = 25;
  static constexpr int PasteTimeoutMs = 2000;
  // The kitty keyboard flags pushed when the terminal supports that protocol: disambiguated
  // keys, press/repeat/release events, every key as an escape code, and each key's text.
  static constexpr int KittyFlags = 1 | 2 | 8 | 16;

 private:
  TerminalConsole(int inputFd, int outputFd, int width, int height);
  void takeSignals();
  void readAvailable();
  void feed(const uint8_t* bytes, size_t count);
  // Settles what the decoder holds once no byte has come for its time-out (a lone ESC
  // becomes the Escape key). The milliseconds still to wait, 0 when it settled, -1 when
  // nothing is held.
  int64_t settleWhenDue();
  // Waits until an event is queued or the input has gone (true), or the time passed (false).
  // A negative time-out waits without limit.
  bool waitForEvent(int64_t timeoutMs);
  bool writeAll(const std::string& bytes);
  void restore();

  int inputFd_;
  int outputFd_;
  TerminalScreen screen_;
  console::KeyDecoder decoder_;
  std::deque<console::DecodedEvent> events_;
  std::string currentPaste_;
  console::AltCodeRead altCodeRead_;  // a character typed by its code while a read waits
  console::PromptInput nextInput(bool keys);
  std::string pasteChars_;  // what is left of a paste read by readChar
  size_t pasteCharsNext_ = 0;
  std::string frame_;
  uint32_t inputMode_ = 0;
  uint64_t lastByteMs_ = 0;
  bool gone_ = false;
  bool outputDead_ = false;
  bool kittyChecked_ = false;
};

}  // namespace terminal
