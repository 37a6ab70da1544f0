#include "platform/posix/terminal_console.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/key_codes.h"
#include "platform/posix/file_steps.h"
#include "platform/posix/locale_charset.h"

namespace terminal {

using console::Coord;
using console::InputRecord;

namespace {

// Sequences sent when the terminal is taken: alternate screen, no autowrap (the last
// column is written without scrolling), bracketed paste, xterm modifyOtherKeys.
constexpr char EnterSequence[] = "\x1b[?1049h\x1b[?7l\x1b[?2004h\x1b[>4;2m";
// Asks for the kitty keyboard flags, then for the primary device attributes: a terminal
// that knows the kitty protocol answers the first before the second.
constexpr char QuerySequence[] = "\x1b[?u\x1b[c";
constexpr char KittyPush[] = "\x1b[>27u";  // TerminalConsole::KittyFlags
constexpr char KittyPop[] = "\x1b[<u";
// Everything set above undone, colours reset, cursor shown, back to the main screen.
constexpr char LeaveSequence[] = "\x1b[>4;0m\x1b[?2004l\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l";

constexpr int MinimumRows = 2;
constexpr int MinimumColumns = 1;
constexpr int MaximumRows = 2048;
constexpr int MaximumColumns = 4096;

// ---- state shared with the signal handlers ----
volatile sig_atomic_t hangUpSignal = 0;    // one of HangUpSignals arrived
volatile sig_atomic_t resizePending = 0;   // SIGWINCH arrived
volatile sig_atomic_t repaintPending = 0;  // back from a suspension: the screen is unknown
volatile sig_atomic_t terminalTaken = 0;   // raw mode and the screen modes are in force
volatile sig_atomic_t kittyPushed = 0;
int wakePipe[2] = {-1, -1};  // written by handlers so that poll() wakes up
int signalTtyFd = -1;
int signalOutputFd = -1;
struct termios savedTermios;
struct termios rawTermios;

// Every signal whose default action ends the process and that does not report a fault of
// the process itself: the editor ends through its normal path, keeping unsaved work in the
// autosave file. The real-time signals are handled alike. (A write to a closed pipe is no
// fault: the clipboard helpers' pipes hold SIGPIPE back while they are served.)
constexpr int HangUpSignals[] = {
    SIGTERM,   SIGHUP,  SIGINT,    SIGQUIT, SIGPIPE, SIGALRM,
    SIGUSR1,   SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};
constexpr int FatalSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSYS, SIGTRAP};
constexpr int OtherSignals[] = {SIGWINCH, SIGTSTP, SIGCONT};
struct sigaction previousActions[NSIG];

void writeRaw(int fd, const char* bytes, size_t length) {
  while (length > 0) {
    ssize_t n = write(fd, bytes, length);
    if (n > 0) {
      bytes += n;
      length -= static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return;
    }
  }
}

void wake() {
  int saved = errno;
  if (wakePipe[1] >= 0) {
    ssize_t ignored = write(wakePipe[1], "", 1);
    (void)ignored;
  }
  errno = saved;
}

// Gives the terminal back; async-signal-safe.
void leaveTerminal() {
  if (!terminalTaken) return;
  terminalTaken = 0;
  if (kittyPushed) writeRaw(signalOutputFd, KittyPop, sizeof KittyPop - 1);
  writeRaw(signalOutputFd, LeaveSequence, sizeof LeaveSequence - 1);
  tcsetattr(signalTtyFd, TCSANOW, &savedTermios);
}

// Takes the terminal again after a suspension; async-signal-safe.
void enterTerminal() {
  if (terminalTaken) return;
  tcsetattr(signalTtyFd, TCSANOW, &rawTermios);
  writeRaw(signalOutputFd, EnterSequence, sizeof EnterSequence - 1);
  if (kittyPushed) writeRaw(signalOutputFd, KittyPush, sizeof KittyPush - 1);
  terminalTaken = 1;
}

void onHangUp(int sig) {
  hangUpSignal = sig;
  wake();
}

void onResize(int) {
  resizePending = 1;
  wake();
}

void onFatal(int sig) {
  int saved = errno;
  leaveTerminal();
  sigaction(sig, &previousActions[sig], nullptr);
  errno = saved;
  raise(sig);  // delivered with the previous action once this handler returns
}

// Gives the terminal back and stops; takes it again once running on. The stop is taken
// inside the handler (the signal raised, then let through), so that whatever resumes the
// process (a SIGCONT, or the system discarding the stop, as it does in a process group no
// shell controls) finds the terminal taken again; a SIGCONT that arrives before the stop
// cannot leave the editor running outside the terminal.
void onSuspend(int sig) {
  int saved = errno;
  leaveTerminal();
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(sig, &action, nullptr);
  raise(sig);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, sig);
  pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);  // the process stops here
  action.sa_handler = onSuspend;
  sigaction(sig, &action, nullptr);
  enterTerminal();
  repaintPending = 1;
  wake();
  errno = saved;
}

// Resumed after a stop that did not come through onSuspend (SIGSTOP), or during one.
void onContinue(int) {
  int saved = errno;
  enterTerminal();
  repaintPending = 1;
  wake();
  errno = saved;
}

void install(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a signal wakes a blocked poll()
  sigaction(sig, &action, &previousActions[sig]);
}

void installHandlers() {
  platform::ignoreFileSizeSignal();
  for (int sig : HangUpSignals) install(sig, onHangUp);
#ifdef SIGRTMIN
  for (int sig = SIGRTMIN; sig <= SIGRTMAX && sig < NSIG; ++sig) install(sig, onHangUp);
#endif
  for (int sig : FatalSignals) install(sig, onFatal);
  install(SIGWINCH, onResize);
  install(SIGTSTP, onSuspend);
  install(SIGCONT, onContinue);
}

template <size_t N>
void removeHandlers(const int (&signals)[N]) {
  for (int sig : signals) sigaction(sig, &previousActions[sig], nullptr);
}

uint64_t monotonicMs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

bool readSize(int fd, int& width, int& height) {
  struct winsize size;
  if (ioctl(fd, TIOCGWINSZ, &size) != 0) return false;
  width = size.ws_col;
  height = size.ws_row;
  return true;
}

void base64(const char* text, size_t length, std::string& out) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    uint32_t v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
    out += digits[v >> 18];
    out += digits[(v >> 12) & 63];
    out += digits[(v >> 6) & 63];
    out += digits[v & 63];
  }
  if (i < length) {
    uint32_t v = p[i] << 16;
    if (i + 1 < length) v |= p[i + 1] << 8;
    out += digits[v >> 18];
    out += digits[(v >> 12) & 63];
    out += i + 1 < length ? digits[(v >> 6) & 63] : '=';
    out += '=';
  }
}

bool consoleOpen = false;

}  // namespace

std::unique_ptr<TerminalConsole> TerminalConsole::open(int inputFd, int outputFd,
                                                       std::string& error) {
  if (consoleOpen) {
    error = "the terminal is already in use";
    return nullptr;
  }
  if (!isatty(inputFd)) {
    error = "standard input is not a terminal";
    return nullptr;
  }
  if (!isatty(outputFd)) {
    error = "standard output is not a terminal";
    return nullptr;
  }
  int width = 0, height = 0;
  struct termios saved;
  if (tcgetattr(inputFd, &saved) != 0 || !readSize(outputFd, width, height)) {
    error = std::string("cannot read the terminal's settings: ") + std::strerror(errno);
    return nullptr;
  }
  if (height < MinimumRows || width < MinimumColumns) {
    error = "the terminal is too small: " + std::to_string(height) +
            (height == 1 ? " row" : " rows") + " by " + std::to_string(width) +
            (width == 1 ? " column" : " columns") + ", at least 2 rows by 1 column are needed";
    return nullptr;
  }
  if (pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    return nullptr;
  }

  std::unique_ptr<TerminalConsole> console(new TerminalConsole(
      inputFd, outputFd, std::min(width, MaximumColumns), std::min(height, MaximumRows)));
  consoleOpen = true;
  // What `stty erase` shows: a terminal whose Backspace key sends ^H says so here.
  console->decoder_.eraseIsCtrlH = saved.c_cc[VERASE] == 0x08;
  hangUpSignal = 0;
  resizePending = 0;
  repaintPending = 0;
  kittyPushed = 0;
  savedTermios = saved;
  rawTermios = saved;
  rawTermios.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
  rawTermios.c_oflag &= ~OPOST;
  rawTermios.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  rawTermios.c_cflag &= ~(CSIZE | PARENB);
  rawTermios.c_cflag |= CS8;
  rawTermios.c_cc[VMIN] = 1;
  rawTermios.c_cc[VTIME] = 0;
  signalTtyFd = inputFd;
  signalOutputFd = outputFd;
  installHandlers();
  tcsetattr(inputFd, TCSANOW, &rawTermios);
  terminalTaken = 1;
  console->writeAll(std::string(EnterSequence) + QuerySequence);
  return console;
}

TerminalConsole::TerminalConsole(int inputFd, int outputFd, int width, int height)
    : inputFd_(inputFd), outputFd_(outputFd), screen_(width, height) {
  screen_.setDisplayMode(localeUsesUtf8() ? console::DisplayMode::Utf8
                                          : console::DisplayMode::CodePage437);
}

TerminalConsole::~TerminalConsole() {
  removeHandlers(OtherSignals);  // no suspension may take the terminal again from here on
  restore();
  removeHandlers(HangUpSignals);
#ifdef SIGRTMIN
  for (int sig = SIGRTMIN; sig <= SIGRTMAX && sig < NSIG; ++sig)
    sigaction(sig, &previousActions[sig], nullptr);
#endif
  removeHandlers(FatalSignals);
  for (int& fd : wakePipe) {
    close(fd);
    fd = -1;
  }
  consoleOpen = false;
}

void TerminalConsole::restore() {
  // A terminal that has not yet answered the device attributes query answers soon: take the
  // reply here rather than leave it to the shell as typed text.
  const uint64_t deadline = monotonicMs() + 200;
  while (!decoder_.deviceAttributesReply && !gone_ && !hangUpSignal && terminalTaken &&
         !outputDead_) {
    uint64_t now = monotonicMs();
    if (now >= deadline) break;
    struct pollfd in = {inputFd_, POLLIN, 0};
    if (poll(&in, 1, static_cast<int>(deadline - now)) <= 0) break;
    readAvailable();
  }
  leaveTerminal();
}

console::ScreenBufferInfo TerminalConsole::screenBufferInfo() {
  takeSignals();
  return console::ScreenBufferInfo{static_cast<int16_t>(screen_.width()),
                                   static_cast<int16_t>(screen_.height()), DefaultAttribute};
}

void TerminalConsole::fillOutputCharacter(uint8_t ch, uint32_t count, Coord start) {
  screen_.fillCharacter(ch, count, start.x, start.y);
}

void TerminalConsole::fillOutputAttribute(uint16_t attribute, uint32_t count, Coord start) {
  screen_.fillAttribute(attribute, count, start.x, start.y);
}

void TerminalConsole::writeOutputCharacter(const uint8_t* bytes, uint32_t count, Coord start) {
  screen_.writeCharacters(bytes, count, start.x, start.y);
}

void TerminalConsole::writeOutputText(const console::TextCell* cells, uint32_t count, Coord start) {
  screen_.writeText(cells, count, start.x, start.y);
}

void TerminalConsole::setCursorPosition(Coord position) {
  screen_.setCursor(position.x, position.y);
}

bool TerminalConsole::writeAll(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size() && !outputDead_) {
    ssize_t n = write(outputFd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      if (hangUpSignal) return false;  // ending anyway: never hang on a stalled terminal
    } else if (n < 0 && errno == EAGAIN) {
      struct pollfd out = {outputFd_, POLLOUT, 0};
      poll(&out, 1, 100);
    } else {
      outputDead_ = true;  // the terminal has gone
    }
  }
  return done == bytes.size();
}

console::DisplayMode TerminalConsole::switchDisplayMode() {
  screen_.setDisplayMode(screen_.displayMode() == console::DisplayMode::Utf8
                             ? console::DisplayMode::CodePage437
                             : console::DisplayMode::Utf8);
  return screen_.displayMode();
}

console::DisplayMode TerminalConsole::displayMode() {
  return screen_.displayMode();
}

void TerminalConsole::flush() {
  takeSignals();
  frame_.clear();
  screen_.render(frame_);
  if (!frame_.empty()) writeAll(frame_);
}

void TerminalConsole::takeSignals() {
  char drain[64];
  while (read(wakePipe[0], drain, sizeof drain) > 0) {
  }
  if (hangUpSignal && !gone_) {
    gone_ = true;  // the user or the system asked the editor to end: stop now
    events_.clear();
  }
  if (repaintPending) {
    repaintPending = 0;
    screen_.invalidate();
  }
  if (resizePending) {
    resizePending = 0;
    int width, height;
    if (readSize(outputFd_, width, height)) {
      width = std::clamp(width, MinimumColumns, MaximumColumns);
      height = std::clamp(height, MinimumRows, MaximumRows);
      if (width != screen_.width() || height != screen_.height()) {
        screen_.resize(width, height);
        console::DecodedEvent event;
        event.record = InputRecord{};
        event.record.eventType = console::WINDOW_BUFFER_SIZE_EVENT;
        if (!gone_) events_.push_back(std::move(event));
      } else {
        // Resized and back since the last look: the terminal may have dropped or moved what
        // it showed at the other size.
        screen_.invalidate();
      }
    }
  }
}

void TerminalConsole::feed(const uint8_t* bytes, size_t count) {
  decoder_.feed(bytes, count, events_);
  if (!kittyChecked_ && decoder_.deviceAttributesReply) {
    kittyChecked_ = true;
    if (decoder_.kittyKeyboardReply) {
      kittyPushed = 1;
      writeAll(KittyPush);
    }
  }
}

// Reads whatever the terminal has sent, without blocking.
void TerminalConsole::readAvailable() {
  while (!gone_) {
    struct pollfd in = {inputFd_, POLLIN, 0};
    int ready = poll(&in, 1, 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return;
    uint8_t buffer[4096];
    ssize_t n = read(inputFd_, buffer, sizeof buffer);
    if (n > 0) {
      lastByteMs_ = monotonicMs();
      feed(buffer, static_cast<size_t>(n));
    } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
      return;
    } else {
      // End of input, or the terminal has gone: what was typed before still counts.
      decoder_.flushPending(events_);
      gone_ = true;
    }
  }
}

int64_t TerminalConsole::settleWhenDue() {
  if (!decoder_.hasPending()) return -1;
  // A paste that pauses (a slow link) is given much longer than an Escape key.
  const int settleMs = decoder_.inPaste() ? PasteTimeoutMs : EscapeTimeoutMs;
  const int64_t left =
      static_cast<int64_t>(lastByteMs_ + settleMs) - static_cast<int64_t>(monotonicMs());
  if (left > 0) return left;
  decoder_.flushPending(events_);
  return 0;
}

bool TerminalConsole::waitForEvent(int64_t timeoutMs) {
  const uint64_t start = monotonicMs();
  for (;;) {
    takeSignals();
    if (!events_.empty() || gone_) return true;
    readAvailable();
    if (!events_.empty() || gone_) return true;

    const uint64_t now = monotonicMs();
    int64_t wait = -1;
    if (timeoutMs >= 0) wait = std::max<int64_t>(0, timeoutMs - static_cast<int64_t>(now - start));
    const int64_t settleLeft = settleWhenDue();
    if (settleLeft == 0) continue;
    if (settleLeft > 0) wait = wait < 0 ? settleLeft : std::min(wait, settleLeft);
    if (wait == 0) return false;

    flush();  // the screen is brought up to date before blocking
    struct pollfd fds[2] = {{inputFd_, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
    poll(fds, 2, wait < 0 ? -1 : static_cast<int>(std::min<int64_t>(wait, INT_MAX)));
  }
}

uint32_t TerminalConsole::numberOfInputEvents() {
  takeSignals();
  readAvailable();
  // Asked while the editor is busy (a search that any key stops): an Escape key counts.
  settleWhenDue();
  return static_cast<uint32_t>(std::min<size_t>(events_.size(), UINT32_MAX));
}

uint32_t TerminalConsole::waitForInput(uint32_t milliseconds) {
  // The rest of a paste a prompt is taking character by character waits to be read.
  if (pasteCharsNext_ < pasteChars_.size()) return console::WAIT_OBJECT_0;
  int64_t timeout = milliseconds == console::INFINITE ? -1 : static_cast<int64_t>(milliseconds);
  return waitForEvent(timeout) ? console::WAIT_OBJECT_0 : console::WAIT_TIMEOUT;
}

bool TerminalConsole::readInput(InputRecord& record) {
  pasteChars_.clear();
  pasteCharsNext_ = 0;
  waitForEvent(-1);
  if (events_.empty()) return false;
  record = events_.front().record;
  currentPaste_ = std::move(events_.front().paste);
  events_.pop_front();
  return true;
}

int TerminalConsole::readChar() {
  return nextInput(false).ch;
}

console::PromptInput TerminalConsole::readPromptInput() {
  return nextInput(true);
}

bool TerminalConsole::promptInputWaiting() {
  if (pasteCharsNext_ < pasteChars_.size()) return true;
  takeSignals();
  readAvailable();
  settleWhenDue();
  while (!events_.empty()) {
    const InputRecord& record = events_.front().record;
    if (record.eventType == console::PASTE_EVENT ||
        record.eventType == console::WINDOW_BUFFER_SIZE_EVENT)
      return true;
    if (record.eventType == console::KEY_EVENT && record.key.keyDown && record.key.repeatCount > 0)
      return true;
    if (record.eventType == console::KEY_EVENT && record.key.virtualKeyCode == vk::Menu &&
        altCodeRead_.pending())
      return true;  // the release that gives the character typed by its code
    events_.pop_front();
  }
  return gone_;
}

console::PromptInput TerminalConsole::nextInput(bool keys) {
  for (;;) {
    while (pasteCharsNext_ < pasteChars_.size()) {
      uint8_t b = static_cast<uint8_t>(pasteChars_[pasteCharsNext_++]);
      if (b != 0 && b != 8) return {b, 0, 0, false, true};  // a NUL or backspace would edit
    }
    waitForEvent(-1);
    if (events_.empty()) return {-1, 0, 0};
    console::DecodedEvent& front = events_.front();
    if (front.record.eventType == console::PASTE_EVENT) {
      // A paste answers with its first line; it never submits the answer by itself.
      std::string text = std::move(front.paste);
      events_.pop_front();
      pasteChars_ = text.substr(0, text.find_first_of("\r\n"));
      pasteCharsNext_ = 0;
      continue;
    }
    if (keys && front.record.eventType == console::WINDOW_BUFFER_SIZE_EVENT) {
      events_.pop_front();
      return {-1, 0, 0, true};
    }
    const console::KeyEventRecord key = front.record.key;
    const bool isKey = front.record.eventType == console::KEY_EVENT;
    if (int made; isKey && altCodeRead_.take(key, made)) {
      events_.pop_front();
      if (made >= 0) return {made, 0, 0};
      continue;
    }
    const bool taken = isKey && key.keyDown && (key.asciiChar != 0 || keys);
    if (taken && key.repeatCount > 1) {
      --front.record.key.repeatCount;  // the rest of the repeat stays queued
    } else {
      events_.pop_front();
    }
    if (!taken || key.repeatCount == 0) continue;
    if (key.asciiChar == 0) return {-1, key.virtualKeyCode, key.controlKeyState};
    return {key.asciiChar, 0, 0};
  }
}

uint32_t TerminalConsole::tickCount() {
  return static_cast<uint32_t>(monotonicMs());
}

bool TerminalConsole::setTerminalClipboard(const char* text, size_t length) {
  std::string sequence = "\x1b]52;c;";
  base64(text, length, sequence);
  sequence += '\a';
  return writeAll(sequence);
}

const char* TerminalConsole::pastedText(size_t& length) {
  length = currentPaste_.size();
  return currentPaste_.c_str();
}

}  // namespace terminal
