#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// One cell of a captured line: its glyph (UTF-8) and SGR colours (30-37/90-97, 40-47/100-107,
// -1 for the terminal's default).
struct StyledCell {
  std::string glyph;
  int fg = -1;
  int bg = -1;
};

// Splits a line captured with attributes (capture-pane -e) into cells.
std::vector<StyledCell> parseStyledLine(const std::string& line);

// Whole files as bytes; readFile gives "" for a file that cannot be read.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// The names in a directory, sorted, without the lock files of running editors.
std::vector<std::string> listDirectory(const std::string& path);

// The status line the editor shows for these values, without its trailing blanks.
std::string statusText(bool modified, int line, int column, const std::string& name = "");
// The text without its trailing blanks.
std::string trimRight(std::string text);

// A user without privileges for the editor to run as: this process's own user when that is
// not root; as root, a user of this name made for the tests (useradd) when there is none yet.
// Another name gives a second such user, which needs root. "" with the reason in why when
// there can be none.
std::string ordinaryUser(std::string& why, const char* name = "slate-e2e");

// The editor running in a real terminal emulator: a detached tmux server on its own socket,
// with a clean environment (TERM=xterm-256color), a short escape time and no status bar, so
// the pane is exactly the given size. The pane runs a small shell wrapper that prints a
// marker line, runs the editor, then reports its exit status and whether the tty modes came
// back unchanged ("slate exited N, tty same"). The server is killed when this object goes.
class TmuxSession {
 public:
  struct Options {
    std::vector<std::string> args = {};  // after the binary
    int width = 80;
    int height = 24;
    std::string workingDirectory = "";  // empty: a fresh temporary directory
    // Files (name, bytes) written into the working directory before the editor starts; a
    // name may have directories in it.
    std::vector<std::pair<std::string, std::string>> files = {};
    // The user the editor runs as (see ordinaryUser); empty: this process's own. The working
    // directory and the files become that user's.
    std::string user = "";
    // Runs on the working directory once the files are there, before the editor starts.
    std::function<void(const std::string&)> prepare = nullptr;
    // Resource limits the editor runs under, as prlimit takes them ("--as=BYTES").
    std::vector<std::string> limits = {};
  };

  explicit TmuxSession(const Options& options);
  ~TmuxSession();
  TmuxSession(const TmuxSession&) = delete;
  TmuxSession& operator=(const TmuxSession&) = delete;

  // The marker the wrapper prints before it starts the editor.
  static constexpr const char* ShellMarker = "shell screen before slate";

  // Opens another window of this server, running the editor (in the same wrapper) with these
  // arguments in the same working directory; returns its target for select().
  std::string openWindow(const std::string& name, const std::vector<std::string>& args);
  // Points the key, screen and wait methods below at a target ("slate" is the first window).
  void select(const std::string& target);

  // Keys by tmux name ("Escape", "M-x", "Up", "C-a"), literal text, or raw bytes.
  void sendKeys(const std::vector<std::string>& keys);
  void sendLiteral(const std::string& text);
  void sendBytes(const std::string& bytes);

  // The pane's rows as text (trailing blanks kept), one row, and one row with attributes.
  std::vector<std::string> screen();
  std::string row(int y);
  std::vector<StyledCell> styledRow(int y);
  // Any tmux format evaluated for the pane (display -p), e.g. "#{pane_title}".
  std::string format(const std::string& fmt);
  int cursorX();
  int cursorY();
  bool alternateOn();

  // Polls condition every 20 ms for up to timeoutMs; true as soon as it holds.
  bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
  bool waitForRow(int y, const std::string& prefix, int timeoutMs = 5000);
  bool waitForScreenText(const std::string& text, int timeoutMs = 5000);
  // Waits until row y, without its trailing blanks, is exactly this text. What the editor
  // writes in one piece may reach the terminal in several, so every check of the screen
  // after a change waits rather than looks once.
  bool waitForText(int y, const std::string& text, int timeoutMs = 5000);
  bool waitForCursor(int x, int y, int timeoutMs = 5000);
  // Waits until the last row, without its trailing blanks, is exactly this text.
  bool waitForStatus(const std::string& text, int timeoutMs = 5000);
  // The last row, without its trailing blanks.
  std::string status();
  // The rows without their trailing blanks, one per line, for failure messages.
  std::string dump();
  // Waits until the editor has read every byte sent to it (the pane's tty input queue is
  // empty); false when that did not happen in time.
  bool waitForInputTaken(int timeoutMs = 5000);
  // Waits for the wrapper's report and returns it ("slate exited 0, tty same"), or "".
  std::string waitForExit(int timeoutMs = 5000);
  // Ends the editor with Alt+X, answering n when it asks to save; the wrapper's report.
  std::string quitDiscarding(int timeoutMs = 5000);

  // The editor's process id (a child of the pane's shell); -1 when it is not running.
  pid_t editorPid();
  void resize(int width, int height);

  // The server's paste buffer (what the editor's clipboard is inside tmux): set it, read the
  // newest buffer ("" when there is none), and paste it into the pane, bracketed
  // (paste-buffer -p) when the application asked for that.
  void setBuffer(const std::string& bytes);
  std::string buffer();
  void pasteBuffer(bool bracketed = true);

  const std::string& directory() const { return workingDirectory_; }
  // Runs tmux on this session's socket; its standard output.
  std::string tmux(const std::vector<std::string>& args, int* status = nullptr);

 private:
  // The editors whose parent is one of these pane shells.
  static std::vector<pid_t> editorsUnder(const std::vector<pid_t>& shells);
  // The pane command of a window running the editor in the wrapper.
  std::vector<std::string> editorCommand(const std::vector<std::string>& args) const;

  std::string tempRoot_;
  std::string socketName_;
  std::string configFile_;
  std::string workingDirectory_;
  std::vector<std::string> runAs_;   // what runs the wrapper as another user, or nothing
  std::vector<std::string> limits_;  // what runs the editor under a limit, or nothing
  std::vector<std::string> environment_;
  int height_;
  std::string target_ = "slate";
};

}  // namespace e2e
