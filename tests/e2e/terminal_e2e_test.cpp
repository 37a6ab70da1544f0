// The editor in a real terminal emulator (tmux): what it shows, and that it always gives the
// terminal back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "e2e/tmux_session.h"
#include "platform/posix/cp437.h"

using e2e::TmuxSession;

namespace {

const std::string FreshStatus = "<Sep 07 1996>  R 0  C 0  ";

std::string padded(const std::string& text, size_t width) {
  std::string s = text;
  s.resize(width, ' ');
  return s;
}

// How the pane shows these document bytes: one code page 437 glyph per byte.
std::string glyphs(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) out += terminal::cp437Glyph(b);
  return out;
}

void expectColours(const std::vector<e2e::StyledCell>& cells, size_t width, int fg, int bg,
                   const char* what) {
  ASSERT_EQ(cells.size(), width) << what;
  for (size_t x = 0; x < cells.size(); ++x) {
    EXPECT_EQ(cells[x].fg, fg) << what << " column " << x;
    EXPECT_EQ(cells[x].bg, bg) << what << " column " << x;
  }
}

// The state letter of a process (R, S, T, ...), from /proc; 0 where it cannot be read.
char processState(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

// Starts the editor and waits for its first screen.
void startUp(TmuxSession& tmux, int statusRow = 23) {
  ASSERT_TRUE(tmux.waitForRow(statusRow, FreshStatus)) << tmux.row(statusRow);
}

}  // namespace

TEST(TerminalEndToEnd, StartsWithABlankTextAreaAndTheStatusLine) {
  TmuxSession tmux({});
  startUp(tmux);
  auto rows = tmux.screen();
  for (int y = 0; y < 23; ++y) EXPECT_EQ(rows[y], std::string(80, ' ')) << "row " << y;
  EXPECT_EQ(rows[23], padded(FreshStatus, 80));
  expectColours(tmux.styledRow(23), 80, 30, 46, "status line: black on cyan");
  expectColours(tmux.styledRow(0), 80, 37, 40, "text area: light grey on black");
  expectColours(tmux.styledRow(22), 80, 37, 40, "text area: light grey on black");
  EXPECT_TRUE(tmux.waitForCursor(0, 0)) << tmux.cursorX() << "," << tmux.cursorY();
  EXPECT_TRUE(tmux.alternateOn());
}

TEST(TerminalEndToEnd, TypedTextAppearsAndAltXGivesTheShellBack) {
  TmuxSession tmux({});
  startUp(tmux);
  tmux.sendLiteral("hello world");
  ASSERT_TRUE(tmux.waitForRow(23, "<Sep 07 1996>* R 0  C 11  ")) << tmux.row(23);
  EXPECT_TRUE(tmux.waitForText(0, "hello world")) << tmux.row(0);
  EXPECT_TRUE(tmux.waitForCursor(11, 0)) << tmux.cursorX() << "," << tmux.cursorY();

  tmux.sendKeys({"M-x"});
  ASSERT_TRUE(tmux.waitForRow(23, "Save changes? (Y/n)")) << tmux.row(23);
  EXPECT_TRUE(tmux.waitForCursor(19, 23)) << tmux.cursorX() << "," << tmux.cursorY();
  tmux.sendLiteral("n");
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_FALSE(tmux.alternateOn());
  EXPECT_EQ(tmux.row(0).rfind(TmuxSession::ShellMarker, 0), 0u) << "the shell's screen is back";
}

TEST(TerminalEndToEnd, EscapeThenXEndsAnUnchangedDocument) {
  TmuxSession tmux({});
  startUp(tmux);
  tmux.sendKeys({"Escape", "x"});  // arrives as ESC x, the same as Alt+X
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_FALSE(tmux.alternateOn());
  EXPECT_EQ(tmux.format("#{cursor_flag}"), "1") << "cursor visible";
}

TEST(TerminalEndToEnd, TerminationSignalsGiveTheTerminalBack) {
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
    TmuxSession tmux({});
    startUp(tmux);
    tmux.sendLiteral("unsaved");
    ASSERT_TRUE(tmux.waitForRow(0, "unsaved")) << tmux.dump();
    pid_t editor = tmux.editorPid();
    ASSERT_GT(editor, 0) << tmux.format("#{pane_pid}") << "\n" << tmux.dump();
    kill(editor, sig);
    EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same") << strsignal(sig) << "\n"
                                                              << tmux.dump();
    EXPECT_FALSE(tmux.alternateOn()) << strsignal(sig) << "\n" << tmux.dump();
    EXPECT_EQ(tmux.row(0).rfind(TmuxSession::ShellMarker, 0), 0u) << strsignal(sig) << "\n"
                                                                  << tmux.dump();
  }
}

// The pane's shell has no job control, so the system discards the stop that SIGTSTP asks
// for: the editor gives the terminal back, finds itself still running, and takes it again
// at once, repainted and working. (Under a shell with job control it stops there, and `fg`
// brings it back the same way.) A SIGCONT then changes nothing.
TEST(TerminalEndToEnd, ASuspensionTheSystemDiscardsLeavesItInTheTerminal) {
  TmuxSession tmux({});
  startUp(tmux);
  pid_t editor = tmux.editorPid();
  ASSERT_GT(editor, 0);
  tmux.sendLiteral("a");
  ASSERT_TRUE(tmux.waitForRow(0, "a"));
  kill(editor, SIGTSTP);
  kill(editor, SIGCONT);  // also at once, as a race with the stop
  kill(editor, SIGTSTP);
  tmux.sendLiteral("ok");
  EXPECT_TRUE(tmux.waitForRow(0, "aok")) << tmux.dump();
  EXPECT_TRUE(tmux.alternateOn());
  EXPECT_NE(processState(editor), 'T');
  kill(editor, SIGCONT);
  tmux.sendKeys({"M-x"});
  ASSERT_TRUE(tmux.waitForRow(23, "Save changes? (Y/n)"));
  tmux.sendLiteral("n");
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
}

// Terminal commands typed into the document (Escape inserts the ESC byte, Ctrl+G the BEL
// byte) are shown as glyphs and never act on the terminal.
TEST(TerminalEndToEnd, EscapeSequencesInTheDocumentAreOnlyShown) {
  TmuxSession tmux({});
  startUp(tmux);
  const std::string title = tmux.format("#{pane_title}");
  std::string document;
  auto typeEscape = [&] {
    tmux.sendKeys({"Escape"});
    document += '\x1b';
    ASSERT_TRUE(tmux.waitForRow(0, glyphs(document))) << tmux.row(0);
  };
  auto typeText = [&](const std::string& text) {
    tmux.sendLiteral(text);
    document += text;
  };
  auto typeBell = [&] {
    tmux.sendKeys({"C-g"});
    document += '\x07';
  };
  typeEscape();
  typeText("]0;PWNED");
  typeBell();
  typeEscape();
  typeText("[31mRED");
  typeEscape();
  typeText("]52;c;SGVsbG8=");
  typeBell();
  typeEscape();
  typeText("[?1049l");
  typeEscape();
  typeText("[2J");
  ASSERT_TRUE(tmux.waitForRow(0, glyphs(document))) << tmux.row(0);
  ASSERT_TRUE(tmux.waitForStatus(e2e::statusText(true, 0, static_cast<int>(document.size()))))
      << tmux.status();

  EXPECT_EQ(tmux.format("#{pane_title}"), title);
  EXPECT_TRUE(tmux.alternateOn());
  expectColours(tmux.styledRow(0), 80, 37, 40, "the text row keeps its colours");
  EXPECT_EQ(tmux.tmux({"list-buffers"}), "") << "no clipboard write";
  EXPECT_TRUE(tmux.waitForCursor(static_cast<int>(document.size()), 0))
      << tmux.cursorX() << "," << tmux.cursorY();
}

TEST(TerminalEndToEnd, AFileOfEscapeSequencesShowsGlyphs) {
  const std::string hostile =
      "\x1b]0;PWNED\x07\x1b[31mRED\x1b]52;c;SGVsbG8=\x07\x1b[2J\x9b"
      "1;1H\x90q\x1b\\end\n";
  char pattern[] = "/tmp/slate-e2e-doc-XXXXXX";
  const std::string directory = mkdtemp(pattern);
  std::ofstream(directory + "/hostile.txt", std::ios::binary) << hostile;
  struct Cleanup {
    std::string path;
    ~Cleanup() { std::filesystem::remove_all(path); }
  } cleanup{directory};
  TmuxSession tmux({{"hostile.txt"}, 80, 24, directory});
  ASSERT_TRUE(tmux.waitForRow(23, "<Sep 07 1996>  R 0  C 0  hostile.txt")) << tmux.row(23);
  const std::string line = hostile.substr(0, hostile.size() - 1);
  EXPECT_TRUE(tmux.waitFor([&] {
    return tmux.row(0) == glyphs(line) + std::string(80 - line.size(), ' ');
  })) << tmux.row(0);
  EXPECT_NE(tmux.format("#{pane_title}"), "PWNED");
  expectColours(tmux.styledRow(0), 80, 37, 40, "the text row keeps its colours");
  EXPECT_EQ(tmux.tmux({"list-buffers"}), "");
  EXPECT_TRUE(tmux.waitForCursor(0, 0)) << tmux.cursorX() << "," << tmux.cursorY();
}

TEST(TerminalEndToEnd, ResizeRepaintsAtTheNewSize) {
  TmuxSession tmux({});
  startUp(tmux);
  tmux.sendLiteral("abc");
  ASSERT_TRUE(tmux.waitForRow(23, "<Sep 07 1996>* R 0  C 3  "));
  tmux.resize(100, 30);
  ASSERT_TRUE(tmux.waitForRow(29, "<Sep 07 1996>* R 0  C 3  ")) << tmux.row(29);
  EXPECT_TRUE(tmux.waitFor([&] { return tmux.row(0) == padded("abc", 100); })) << tmux.row(0);
  EXPECT_TRUE(tmux.waitFor([&] { return tmux.row(23) == std::string(100, ' '); })) << tmux.row(23);
  expectColours(tmux.styledRow(29), 100, 30, 46, "status line");
  expectColours(tmux.styledRow(23), 100, 37, 40, "text area");
  EXPECT_TRUE(tmux.waitForCursor(3, 0)) << tmux.cursorX() << "," << tmux.cursorY();

  tmux.resize(30, 5);
  ASSERT_TRUE(tmux.waitForRow(4, "<Sep 07 1996>* R 0  C 3  ")) << tmux.row(4);
  EXPECT_EQ(tmux.row(4).size(), 30u);

  // An open prompt moves to the new last row at once, without waiting for a key.
  tmux.sendKeys({"F5"});
  tmux.sendLiteral("b");
  ASSERT_TRUE(tmux.waitForStatus("search for: b")) << tmux.dump();
  tmux.resize(40, 8);
  EXPECT_TRUE(tmux.waitForStatus("search for: b")) << tmux.dump();
  EXPECT_TRUE(tmux.waitForCursor(13, 7)) << tmux.cursorX() << "," << tmux.cursorY();
  EXPECT_TRUE(tmux.waitForRow(0, "abc ")) << tmux.dump();  // the document behind it

  // So does the question about a match to replace.
  tmux.sendKeys({"Enter", "Home", "F7"});
  tmux.sendLiteral("c");
  tmux.sendKeys({"Enter"});
  tmux.sendLiteral("x");
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus("Replace? (y/n/a/q)")) << tmux.dump();
  tmux.resize(44, 10);
  EXPECT_TRUE(tmux.waitForStatus("Replace? (y/n/a/q)")) << tmux.dump();
  EXPECT_TRUE(tmux.waitForRow(0, "abc ")) << tmux.dump();

  // And a yes/no question.
  tmux.sendLiteral("q");
  tmux.sendKeys({"M-x"});
  ASSERT_TRUE(tmux.waitForStatus("Save changes? (Y/n)")) << tmux.dump();
  tmux.resize(50, 13);
  EXPECT_TRUE(tmux.waitForStatus("Save changes? (Y/n)")) << tmux.dump();
  EXPECT_TRUE(tmux.waitForRow(0, "abc ")) << tmux.dump();
  tmux.sendLiteral("n");
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
}

TEST(TerminalEndToEnd, RefusesATerminalOfOneRow) {
  TmuxSession tmux({{}, 80, 1, ""});
  EXPECT_EQ(tmux.waitForExit(), "slate exited 2, tty same");
}

TEST(TerminalEndToEnd, RefusesWhenNotOnATerminal) {
  std::string command = std::string(SLATE_BINARY) + " </dev/null 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_TRUE(pipe);
  std::string output;
  char buffer[256];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  int status = pclose(pipe);
  EXPECT_EQ(output, "slate: standard input is not a terminal\n");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}
