#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
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

// The editor running in a real terminal emulator: a detached tmux server on its own socket,
// with a clean environment (TERM=xterm-256color), a short escape time and no status bar, so
// the pane is exactly the given size. The pane runs a small shell wrapper that prints a
// marker line, runs the editor, then reports its exit status and whether the tty modes came
// back unchanged ("slate exited N, tty same"). The server is killed when this object goes.
class TmuxSession {
 public:
  struct Options {
    std::vector<std::string> args;  // after the binary
    int width = 80;
    int height = 24;
    std::string workingDirectory;  // empty: a fresh temporary directory
  };

  explicit TmuxSession(const Options& options);
  ~TmuxSession();
  TmuxSession(const TmuxSession&) = delete;
  TmuxSession& operator=(const TmuxSession&) = delete;

  // The marker the wrapper prints before it starts the editor.
  static constexpr const char* ShellMarker = "shell screen before slate";

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
  // Waits for the wrapper's report and returns it ("slate exited 0, tty same"), or "".
  std::string waitForExit(int timeoutMs = 5000);

  // The editor's process id (a child of the pane's shell); -1 when it is not running.
  pid_t editorPid();
  void resize(int width, int height);

  const std::string& directory() const { return workingDirectory_; }
  // Runs tmux on this session's socket; its standard output.
  std::string tmux(const std::vector<std::string>& args, int* status = nullptr);

 private:
  std::string tempRoot_;
  std::string socketName_;
  std::string configFile_;
  std::string workingDirectory_;
  std::vector<std::string> environment_;
  int height_;
};

}  // namespace e2e
