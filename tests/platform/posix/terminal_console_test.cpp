#include "platform/posix/terminal_console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

using console::InputRecord;
using terminal::TerminalConsole;

namespace {

constexpr char LeaveScreen[] = "\x1b[?1049l";
constexpr char DeviceAttributes[] = "\x1b[?62;22c";

// A pseudo-terminal: the console gets the slave side; the test plays the terminal on the
// master side.
struct Pty {
  explicit Pty(int width = 20, int height = 6) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) std::abort();
    slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0) std::abort();
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    setSize(width, height);
  }
  ~Pty() {
    if (master >= 0) close(master);
    close(slave);
  }
  void setSize(int width, int height) {
    struct winsize size = {static_cast<unsigned short>(height), static_cast<unsigned short>(width),
                           0, 0};
    ioctl(master, TIOCSWINSZ, &size);
  }
  void send(const std::string& bytes) {
    ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What the program writes, until needle appears or the time is up.
  std::string readUntil(const std::string& needle, int timeoutMs = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (needle.empty() || received.find(needle) == std::string::npos) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      end - std::chrono::steady_clock::now())
                                      .count());
      if (left <= 0) break;
      struct pollfd p = {master, POLLIN, 0};
      if (poll(&p, 1, left) <= 0) break;
      char buffer[4096];
      ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      received.append(buffer, static_cast<size_t>(n));
    }
    std::string all;
    all.swap(received);
    return all;
  }
  std::string readFor(int ms) { return readUntil("", ms); }

  int master = -1;
  int slave = -1;
  std::string received;
};

struct termios modesOf(int fd) {
  struct termios t;
  tcgetattr(fd, &t);
  return t;
}

bool sameModes(const struct termios& a, const struct termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
         a.c_cflag == b.c_cflag;
}

std::unique_ptr<TerminalConsole> openOn(Pty& pty) {
  std::string error;
  auto console = TerminalConsole::open(pty.slave, pty.slave, error);
  EXPECT_TRUE(console) << error;
  return console;
}

// The next record, waiting at most a few seconds for it.
bool nextRecord(TerminalConsole& console, InputRecord& record) {
  if (console.waitForInput(5000) != console::WAIT_OBJECT_0) return false;
  return console.readInput(record);
}

bool waitForEvents(TerminalConsole& console, uint32_t count) {
  for (int i = 0; i < 500; ++i) {
    if (console.numberOfInputEvents() >= count) return true;
    usleep(2000);
  }
  return false;
}

}  // namespace

TEST(TerminalConsole, RefusesWhatIsNotATerminal) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  Pty pty;
  std::string error;
  EXPECT_FALSE(TerminalConsole::open(fds[0], pty.slave, error));
  EXPECT_EQ(error, "standard input is not a terminal");
  EXPECT_FALSE(TerminalConsole::open(pty.slave, fds[1], error));
  EXPECT_EQ(error, "standard output is not a terminal");
  close(fds[0]);
  close(fds[1]);
}

TEST(TerminalConsole, RefusesATerminalOfOneRowAndChangesNothing) {
  Pty pty(80, 1);
  const struct termios before = modesOf(pty.slave);
  std::string error;
  EXPECT_FALSE(TerminalConsole::open(pty.slave, pty.slave, error));
  EXPECT_NE(error.find("too small"), std::string::npos) << error;
  EXPECT_TRUE(sameModes(before, modesOf(pty.slave)));
  EXPECT_EQ(pty.readFor(50), "");
}

TEST(TerminalConsole, TakesTheTerminalAndGivesItBack) {
  Pty pty;
  const struct termios before = modesOf(pty.slave);
  {
    auto console = openOn(pty);
    ASSERT_TRUE(console);
    const struct termios raw = modesOf(pty.slave);
    EXPECT_EQ(raw.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(raw.c_iflag & (IXON | ICRNL), 0u);
    EXPECT_EQ(raw.c_oflag & OPOST, 0u);
    std::string start = pty.readUntil("\x1b[c");
    for (const char* mode : {"\x1b[?1049h", "\x1b[?2004h", "\x1b[>4;2m", "\x1b[?u\x1b[c"})
      EXPECT_NE(start.find(mode), std::string::npos) << mode;
    EXPECT_EQ(start.find("\x1b[?1000h"), std::string::npos) << "no mouse reporting";
    pty.send(DeviceAttributes);
    EXPECT_EQ(console->numberOfInputEvents(), 0u) << "a reply is not a key";
  }
  std::string end = pty.readUntil(LeaveScreen);
  for (const char* mode : {"\x1b[?2004l", "\x1b[>4;0m", "\x1b[0m", "\x1b[?25h", LeaveScreen})
    EXPECT_NE(end.find(mode), std::string::npos) << mode;
  EXPECT_EQ(end.find("\x1b[<u"), std::string::npos) << "nothing was pushed";
  EXPECT_TRUE(sameModes(before, modesOf(pty.slave)));
}

TEST(TerminalConsole, PushesKittyFlagsOnlyWhenTheTerminalAnswersAndPopsThemAtTheEnd) {
  Pty pty;
  {
    auto console = openOn(pty);
    pty.readUntil("\x1b[c");
    pty.send(std::string("\x1b[?0u") + DeviceAttributes);
    std::string seen;
    for (int i = 0; i < 200 && seen.find("\x1b[>27u") == std::string::npos; ++i) {
      EXPECT_EQ(console->numberOfInputEvents(), 0u);
      seen += pty.readFor(10);
    }
    EXPECT_NE(seen.find("\x1b[>27u"), std::string::npos);
  }
  std::string end = pty.readUntil(LeaveScreen);
  size_t pop = end.find("\x1b[<u");
  ASSERT_NE(pop, std::string::npos);
  EXPECT_LT(pop, end.find(LeaveScreen)) << "popped while the alternate screen is still on";
}

TEST(TerminalConsole, OutputGoesOutInOneWriteWhenItWaits) {
  Pty pty(10, 3);
  auto console = openOn(pty);
  pty.send(DeviceAttributes);
  pty.readUntil("\x1b[c");
  console->fillOutputCharacter('Q', 3, {2, 1});
  console->setCursorPosition({5, 1});
  EXPECT_EQ(pty.readFor(30), "") << "writes only change the grid";
  EXPECT_EQ(console->waitForInput(20), console::WAIT_TIMEOUT);
  std::string frame = pty.readFor(100);
  EXPECT_NE(frame.find("QQQ"), std::string::npos);
  console->fillOutputCharacter('R', 1, {0, 0});
  EXPECT_EQ(console->waitForInput(20), console::WAIT_TIMEOUT);
  frame = pty.readFor(100);
  EXPECT_LT(frame.size(), 30u) << "only the change";
  EXPECT_NE(frame.find('R'), std::string::npos);
  EXPECT_EQ(console->waitForInput(20), console::WAIT_TIMEOUT);
  EXPECT_EQ(pty.readFor(50), "") << "nothing changed, nothing sent";
}

TEST(TerminalConsole, KeysArriveAndALoneEscapeBecomesTheEscapeKey) {
  Pty pty;
  auto console = openOn(pty);
  pty.send(DeviceAttributes);
  pty.send("a");
  InputRecord record;
  ASSERT_TRUE(nextRecord(*console, record));
  EXPECT_EQ(record.eventType, console::KEY_EVENT);
  EXPECT_TRUE(record.key.keyDown);
  EXPECT_EQ(record.key.asciiChar, 'a');

  pty.send("\x1b");
  ASSERT_TRUE(nextRecord(*console, record));
  EXPECT_EQ(record.key.virtualKeyCode, 0x1B);

  pty.send("bc");
  EXPECT_TRUE(waitForEvents(*console, 2));
  EXPECT_FALSE(console->inputGone());
}

// A busy editor only asks how many events wait (a search that any key stops): a lone ESC
// becomes the Escape key there too once its time-out has passed.
TEST(TerminalConsole, ALoneEscapeCountsWhenOnlyAskedForTheNumberOfEvents) {
  Pty pty;
  auto console = openOn(pty);
  pty.send(DeviceAttributes);
  pty.send("\x1b");
  ASSERT_TRUE(waitForEvents(*console, 1));
  InputRecord record;
  ASSERT_TRUE(console->readInput(record));
  EXPECT_EQ(record.key.virtualKeyCode, 0x1B);
}

TEST(TerminalConsole, WaitHonoursItsTimeOut) {
  Pty pty;
  auto console = openOn(pty);
  pty.send(DeviceAttributes);
  // Nothing arrives: the wait ends by its time-out, not by hanging (a bound only a real hang
  // passes) and not by an event.
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(console->waitForInput(60), console::WAIT_TIMEOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(console->waitForInput(0), console::WAIT_TIMEOUT);
  uint32_t t0 = console->tickCount();
  usleep(20000);
  EXPECT_NE(console->tickCount(), t0) << "the tick count moves";
}

TEST(TerminalConsole, ReadCharSkipsKeysWithoutACharacter) {
  Pty pty;
  auto console = openOn(pty);
  pty.send(DeviceAttributes);
  pty.send("x\x1b[Ay");
  EXPECT_EQ(console->readChar(), 'x');
  EXPECT_EQ(console->readChar(), 'y');
}

// Byte 0x08 is Backspace (character 8, which a prompt takes as Backspace too) where the
// terminal's erase character is ^H, and Ctrl+Backspace elsewhere.
TEST(TerminalConsole, ByteEightIsBackspaceWhenTheEraseCharacterIsCtrlH) {
  for (const cc_t erase : {cc_t{0x08}, cc_t{0x7F}}) {
    Pty pty;
    struct termios modes = modesOf(pty.slave);
    modes.c_cc[VERASE] = erase;
    tcsetattr(pty.slave, TCSANOW, &modes);
    auto console = openOn(pty);
    pty.send(DeviceAttributes);
    pty.send("");
    InputRecord record;
    ASSERT_TRUE(nextRecord(*console, record));
    EXPECT_EQ(record.key.virtualKeyCode, 0x08);
    EXPECT_EQ(record.key.asciiChar, erase == 0x08 ? 0x08 : 0x7F);
    EXPECT_EQ((record.key.controlKeyState & console::LEFT_CTRL_PRESSED) != 0, erase != 0x08);
  }
}

TEST(TerminalConsole, EndOfInputEndsTheInputWithoutBlocking) {
  Pty pty;
  auto console = openOn(pty);
  pty.send("k");
  ASSERT_TRUE(waitForEvents(*console, 1));
  close(pty.master);  // the terminal goes away
  pty.master = -1;
  InputRecord record;
  EXPECT_TRUE(console->readInput(record)) << "what was typed before still arrives";
  EXPECT_EQ(record.key.asciiChar, 'k');
  EXPECT_EQ(console->waitForInput(console::INFINITE), console::WAIT_OBJECT_0);
  EXPECT_FALSE(console->readInput(record));
  EXPECT_TRUE(console->inputGone());
  EXPECT_EQ(console->readChar(), -1);
  console->fillOutputCharacter('z', 5, {0, 0});
  console->flush();  // writing to a gone terminal fails quietly
}

TEST(TerminalConsole, TerminationSignalsEndTheInput) {
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
    Pty pty;
    {
      auto console = openOn(pty);
      pty.send(DeviceAttributes);
      pty.send("q");
      ASSERT_TRUE(waitForEvents(*console, 1));
      raise(sig);
      EXPECT_EQ(console->waitForInput(console::INFINITE), console::WAIT_OBJECT_0);
      InputRecord record;
      EXPECT_FALSE(console->readInput(record)) << "queued keys are dropped: the editor ends";
      EXPECT_TRUE(console->inputGone()) << strsignal(sig);
      EXPECT_EQ(console->readChar(), -1);
    }
    EXPECT_NE(pty.readUntil(LeaveScreen).find(LeaveScreen), std::string::npos);
    struct sigaction now;
    sigaction(sig, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << "the handler is removed with the console";
  }
}

TEST(TerminalConsole, ResizeTakesTheNewSizeAndRepaints) {
  Pty pty(20, 6);
  auto console = openOn(pty);
  pty.send(DeviceAttributes);
  EXPECT_EQ(console->waitForInput(10), console::WAIT_TIMEOUT);
  pty.readFor(50);

  pty.setSize(33, 9);
  raise(SIGWINCH);
  ASSERT_TRUE(waitForEvents(*console, 1));
  InputRecord record;
  ASSERT_TRUE(console->readInput(record));
  EXPECT_EQ(record.eventType, console::WINDOW_BUFFER_SIZE_EVENT);
  console::ScreenBufferInfo info = console->screenBufferInfo();
  EXPECT_EQ(info.width, 33);
  EXPECT_EQ(info.height, 9);
  EXPECT_EQ(console->waitForInput(10), console::WAIT_TIMEOUT);
  EXPECT_NE(pty.readFor(100).find("\x1b[2J"), std::string::npos) << "everything repainted";

  pty.setSize(33, 1);  // never below two rows
  raise(SIGWINCH);
  ASSERT_TRUE(waitForEvents(*console, 1));
  EXPECT_EQ(console->screenBufferInfo().height, 2);
}

// Resized and back before the console looks: the size is the one it had, but the terminal
// may have dropped or moved what it showed at the other size, so everything is painted again.
TEST(TerminalConsole, ResizeAndBackRepaints) {
  Pty pty(20, 6);
  auto console = openOn(pty);
  pty.send(DeviceAttributes);
  EXPECT_EQ(console->waitForInput(10), console::WAIT_TIMEOUT);
  pty.readFor(50);

  pty.setSize(10, 3);
  pty.setSize(20, 6);
  raise(SIGWINCH);
  EXPECT_EQ(console->waitForInput(10), console::WAIT_TIMEOUT);
  EXPECT_EQ(console->screenBufferInfo().width, 20);
  EXPECT_NE(pty.readFor(100).find("\x1b[2J"), std::string::npos) << "everything repainted";
}

// In a UTF-8 locale the console starts showing UTF-8 text as text; switching shows the same
// cells as code page 437 glyphs (a character's first byte), and back.
TEST(TerminalConsole, DisplayModeStartsFromTheLocaleAndSwitches) {
  const char* saved = std::getenv("LC_ALL");
  const std::string savedValue = saved ? saved : "";
  setenv("LC_ALL", "C.UTF-8", 1);
  Pty pty(10, 3);
  auto console = openOn(pty);
  if (saved)
    setenv("LC_ALL", savedValue.c_str(), 1);
  else
    unsetenv("LC_ALL");
  pty.send(DeviceAttributes);
  pty.readUntil("\x1b[c");
  const console::TextCell cafe[] = {
      console::byteCell('c'), console::byteCell('a'), console::byteCell('f'), {2, "\xc3\xa9"}};
  console->writeOutputText(cafe, 4, {0, 0});
  EXPECT_EQ(console->waitForInput(20), console::WAIT_TIMEOUT);
  EXPECT_NE(pty.readFor(100).find("caf\xc3\xa9"), std::string::npos);

  EXPECT_EQ(console->switchDisplayMode(), console::DisplayMode::CodePage437);
  EXPECT_EQ(console->waitForInput(20), console::WAIT_TIMEOUT);
  std::string frame = pty.readFor(100);
  EXPECT_NE(frame.find("caf\u251c"), std::string::npos) << "the first byte's glyph";
  EXPECT_EQ(frame.find("\x1b[2J"), std::string::npos) << "no repaint of everything";

  EXPECT_EQ(console->switchDisplayMode(), console::DisplayMode::Utf8);
  EXPECT_EQ(console->waitForInput(20), console::WAIT_TIMEOUT);
  EXPECT_NE(pty.readFor(100).find("\xc3\xa9"), std::string::npos);
}

TEST(TerminalConsole, ClipboardGoesOutAsOsc52) {
  Pty pty;
  auto console = openOn(pty);
  pty.send(DeviceAttributes);
  pty.readUntil("\x1b[c");
  for (auto [text, encoded] : {std::pair<std::string, std::string>{"hi\n", "aGkK"},
                               {"a", "YQ=="},
                               {"ab", "YWI="},
                               {"", ""}}) {
    EXPECT_TRUE(console->setTerminalClipboard(text.data(), text.size()));
    std::string expected = "\x1b]52;c;" + encoded + "\a";
    EXPECT_EQ(pty.readUntil(expected, 2000), expected);
  }
}

namespace {

// Runs body in a child process that holds a console on the pty, and returns its wait
// status; the terminal's output is left in output.
template <typename Body>
int inChild(Pty& pty, Body body, std::string& output) {
  pid_t child = fork();
  if (child == 0) {
    body();
    _exit(99);
  }
  output = pty.readUntil(LeaveScreen);
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

}  // namespace

TEST(TerminalConsole, ExitGivesTheTerminalBack) {
  Pty pty;
  const struct termios before = modesOf(pty.slave);
  std::string output;
  int status = inChild(
      pty,
      [&] {
        std::string error;
        static std::unique_ptr<TerminalConsole> console =
            TerminalConsole::open(pty.slave, pty.slave, error);
        std::exit(1);  // as on memory exhaustion
      },
      output);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(output.find(LeaveScreen), std::string::npos);
  EXPECT_TRUE(sameModes(before, modesOf(pty.slave)));
}

TEST(TerminalConsole, FatalSignalsGiveTheTerminalBackAndStillKill) {
  for (int sig : {SIGABRT, SIGSEGV}) {
    Pty pty;
    const struct termios before = modesOf(pty.slave);
    std::string output;
    int status = inChild(
        pty,
        [&] {
          std::string error;
          auto console = TerminalConsole::open(pty.slave, pty.slave, error);
          raise(sig);
        },
        output);
    EXPECT_NE(output.find(LeaveScreen), std::string::npos) << strsignal(sig);
    EXPECT_TRUE(sameModes(before, modesOf(pty.slave))) << strsignal(sig);
    // Killed by the signal; a sanitizer runtime that handles it ends the process itself.
    EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == sig) ||
                (WIFEXITED(status) && WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 99))
        << strsignal(sig) << " status " << status;
  }
}

// A paste answers a prompt one character at a time; the characters not yet taken are input
// that waits, so that a wait before the next read does not hold them back.
TEST(TerminalConsole, APasteHalfTakenByAPromptIsInputWaiting) {
  Pty pty;
  auto console = openOn(pty);
  pty.send(DeviceAttributes);
  pty.send("\x1b[200~abc\x1b[201~");
  const console::PromptInput first = console->readPromptInput();
  EXPECT_EQ(first.ch, 'a');
  EXPECT_TRUE(first.pasted);
  EXPECT_EQ(console->waitForInput(0), console::WAIT_OBJECT_0);
  EXPECT_EQ(console->readPromptInput().ch, 'b');
  EXPECT_EQ(console->readPromptInput().ch, 'c');
  EXPECT_EQ(console->waitForInput(0), console::WAIT_TIMEOUT);
}

// A key's release (the kitty protocol reports them) is nothing a prompt takes: it is passed
// over without blocking, and a key pressed after it is input that waits.
TEST(TerminalConsole, AKeyReleaseIsNoInputForAPrompt) {
  Pty pty;
  auto console = openOn(pty);
  pty.send(DeviceAttributes);
  pty.send("\x1b[97;1:3u");
  ASSERT_EQ(console->waitForInput(5000), console::WAIT_OBJECT_0);
  EXPECT_FALSE(console->promptInputWaiting());
  EXPECT_EQ(console->numberOfInputEvents(), 0u);
  pty.send("b");
  ASSERT_EQ(console->waitForInput(5000), console::WAIT_OBJECT_0);
  EXPECT_TRUE(console->promptInputWaiting());
  EXPECT_EQ(console->readPromptInput().ch, 'b');
}

// Alt held with keypad digits (the kitty protocol reports each key and the release of Alt):
// a character read gives the byte they make when Alt is released, not the digits.
TEST(TerminalConsole, ACharacterReadGivesTheByteOfAnAltCode) {
  Pty pty;
  auto console = openOn(pty);
  pty.send(DeviceAttributes);
  pty.send("\x1b[57443;3u\x1b[57405;3u\x1b[57405;3:3u\x1b[57404;3u\x1b[57404;3:3u");
  ASSERT_EQ(console->waitForInput(5000), console::WAIT_OBJECT_0);
  pty.send("\x1b[57443;1:3u");
  console::PromptInput in = console->readPromptInput();
  while (in.key == 0x12) in = console->readPromptInput();  // Alt itself carries none
  EXPECT_EQ(in.ch, 'A');
  EXPECT_EQ(in.key, 0);
}
