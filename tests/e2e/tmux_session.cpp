#include "e2e/tmux_session.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

namespace e2e {

namespace {

std::atomic<int> sessionCounter{0};

// Runs argv with the given environment; returns its standard output.
std::string runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       int* status) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return "";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string output;
  if (rc == 0) {
    char buffer[4096];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
      if (n > 0) output.append(buffer, static_cast<size_t>(n));
    }
  }
  close(out[0]);
  int waitStatus = -1;
  if (rc == 0) waitpid(pid, &waitStatus, 0);
  if (status) *status = rc == 0 && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
  return output;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string trimNewline(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

// What the pane runs: a marker, the editor, then its exit status and whether the tty modes
// are the same as before it ran.
const char* WrapperScript =
    "before=$(stty -g); printf '%s\\n' \"$SLATE_MARKER\"; \"$@\"; status=$?; "
    "if [ \"$(stty -g)\" = \"$before\" ]; then tty=same; else tty=changed; fi; "
    "printf 'slate exited %s, tty %s\\n' \"$status\" \"$tty\"; exec sleep 300";

// Alive and not a zombie (an orphan's zombie may wait a while for the init process).
bool running(pid_t pid) {
  const std::string content = readFile("/proc/" + std::to_string(pid) + "/stat");
  size_t close = content.rfind(')');
  return close != std::string::npos && close + 2 < content.size() && content[close + 2] != 'Z';
}

}  // namespace

// With read(2) rather than a stream: a /proc file of a process that ends meanwhile fails with
// ESRCH, which a stream reports by throwing.
std::string readFile(const std::string& path) {
  std::string content;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return content;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
    if (n > 0) content.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return n < 0 ? std::string() : content;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> listDirectory(const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
    const std::string name = entry.path().filename().string();
    if (!(name.starts_with(".") && name.ends_with(".autosave.lock"))) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ordinaryUser(std::string& why, const char* name) {
  if (geteuid() != 0) {
    const struct passwd* user = getpwuid(geteuid());
    if (user && std::string(name) == "slate-e2e") return user->pw_name;
    why =
        user ? "not running as root, so there is no second user to make" : "this user has no name";
    return "";
  }
  // Another run of the tests may be making the same user: one at a time, and a user that is
  // there already is taken as it is.
  const int lock = open("/tmp/slate-e2e-users.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock >= 0) flock(lock, LOCK_EX);
  endpwent();
  for (int attempt = 0; attempt < 5 && !getpwnam(name); ++attempt) {
    int status = -1;
    runProgram({"useradd", "--no-create-home", "--shell", "/bin/sh", name},
               {"PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"}, &status);
    endpwent();
    if (!getpwnam(name)) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  if (lock >= 0) close(lock);
  if (!getpwnam(name)) {
    why = std::string("running as root and useradd could not make the user ") + name;
    return "";
  }
  if (access("/usr/bin/setpriv", X_OK) != 0 && access("/bin/setpriv", X_OK) != 0) {
    why = "running as root and there is no setpriv to run the editor as another user";
    return "";
  }
  return name;
}

std::string statusText(bool modified, int line, int column, const std::string& name) {
  return trimRight(std::string("<Sep 07 1996>") + (modified ? "*" : " ") + " R " +
                   std::to_string(line) + "  C " + std::to_string(column) + "  " + name);
}

std::string trimRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::vector<StyledCell> parseStyledLine(const std::string& line) {
  std::vector<StyledCell> cells;
  int fg = -1, bg = -1;
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '[') {
      size_t j = i + 2;
      std::vector<int> params;
      int value = 0;
      bool any = false;
      while (j < line.size() && ((line[j] >= '0' && line[j] <= '9') || line[j] == ';')) {
        if (line[j] == ';') {
          params.push_back(any ? value : 0);
          value = 0;
          any = false;
        } else {
          value = value * 10 + (line[j] - '0');
          any = true;
        }
        ++j;
      }
      params.push_back(any ? value : 0);
      if (j < line.size() && line[j] == 'm') {
        for (size_t k = 0; k < params.size(); ++k) {
          int p = params[k];
          if (p == 0) {
            fg = bg = -1;
          } else if ((p >= 30 && p <= 37) || (p >= 90 && p <= 97)) {
            fg = p;
          } else if (p == 39) {
            fg = -1;
          } else if ((p >= 40 && p <= 47) || (p >= 100 && p <= 107)) {
            bg = p;
          } else if (p == 49) {
            bg = -1;
          } else if ((p == 38 || p == 48) && k + 2 < params.size() && params[k + 1] == 5) {
            int n = params[k + 2];
            int code = n < 8 ? 30 + n : n < 16 ? 90 + n - 8 : 1000 + n;
            if (p == 38)
              fg = code;
            else
              bg = code < 1000 ? code + 10 : code;
            k += 2;
          }
        }
      }
      i = j + 1;
      continue;
    }
    size_t length = 1;
    unsigned char b = static_cast<unsigned char>(line[i]);
    if (b >= 0xF0)
      length = 4;
    else if (b >= 0xE0)
      length = 3;
    else if (b >= 0xC0)
      length = 2;
    cells.push_back(StyledCell{line.substr(i, length), fg, bg});
    i += length;
  }
  return cells;
}

TmuxSession::TmuxSession(const Options& options) : height_(options.height) {
  char pattern[] = "/tmp/slate-e2e-XXXXXX";
  tempRoot_ = mkdtemp(pattern);
  socketName_ = "slate" + std::to_string(getpid()) + "-" + std::to_string(sessionCounter++);
  workingDirectory_ = options.workingDirectory;
  if (workingDirectory_.empty()) {
    workingDirectory_ = tempRoot_ + "/work";
    std::filesystem::create_directory(workingDirectory_);
  }
  for (const auto& [name, bytes] : options.files) {
    const std::filesystem::path path = workingDirectory_ + "/" + name;
    std::filesystem::create_directories(path.parent_path());
    writeFile(path, bytes);
  }
  if (!options.user.empty() && geteuid() == 0) {
    if (const struct passwd* user = getpwnam(options.user.c_str())) {
      chmod(tempRoot_.c_str(), 0711);
      bool handedOver = chown(workingDirectory_.c_str(), user->pw_uid, user->pw_gid) == 0;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(workingDirectory_))
        handedOver = lchown(entry.path().c_str(), user->pw_uid, user->pw_gid) == 0 && handedOver;
      if (handedOver)
        runAs_ = {"setpriv", "--reuid=" + std::to_string(user->pw_uid),
                  "--regid=" + std::to_string(user->pw_gid), "--clear-groups", "--"};
    }
  }
  if (!options.limits.empty()) {
    limits_ = {"prlimit"};
    limits_.insert(limits_.end(), options.limits.begin(), options.limits.end());
    limits_.push_back("--");
  }
  if (options.prepare) options.prepare(workingDirectory_);
  // The server ends with this process even when the process dies without running its
  // destructors (a crash, a killed test run): a job of the server's own watches it, then
  // removes the temporary directory once the editors have had a moment to end.
  const std::string watchdog = tempRoot_ + "/watchdog.sh";
  std::ofstream(watchdog) << "trap 'kill $s 2>/dev/null; exit 0' TERM HUP INT\n"
                             "while kill -0 $1 2>/dev/null; do sleep 1 & s=$!; wait $s; done\n"
                             "trap '' TERM HUP INT\n"
                             "tmux kill-server\n"
                             "sleep 1\n"
                             "rm -rf \"$2\"\n";
  configFile_ = tempRoot_ + "/tmux.conf";
  std::ofstream(configFile_) << "set -s escape-time 10\n"
                                "set -s set-clipboard on\n"
                                "set -g status off\n"
                                "set -g remain-on-exit on\n"
                                "set -g default-terminal xterm-256color\n"
                                "set -g history-limit 0\n"
                                "run-shell -b \"exec /bin/sh "
                             << watchdog << " " << getpid() << " " << tempRoot_ << "\"\n";
  environment_ = {"PATH=/usr/local/bin:/usr/bin:/bin",
                  "HOME=" + tempRoot_,
                  "TERM=xterm-256color",
                  "LANG=C.UTF-8",
                  "TMUX_TMPDIR=" + tempRoot_,
                  std::string("SLATE_MARKER=") + ShellMarker};
  std::vector<std::string> command = {"new-session", "-d",
                                      "-s",          "slate",
                                      "-x",          std::to_string(options.width),
                                      "-y",          std::to_string(options.height)};
  std::vector<std::string> editor = editorCommand(options.args);
  command.insert(command.end(), editor.begin(), editor.end());
  tmux(command);
}

std::vector<std::string> TmuxSession::editorCommand(const std::vector<std::string>& args) const {
  std::vector<std::string> command = {"-c", workingDirectory_};
  command.insert(command.end(), runAs_.begin(), runAs_.end());
  for (const char* part : {"/bin/sh", "-c", WrapperScript, "sh"}) command.push_back(part);
  command.insert(command.end(), limits_.begin(), limits_.end());
  command.push_back(SLATE_BINARY);
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

std::string TmuxSession::openWindow(const std::string& name, const std::vector<std::string>& args) {
  std::vector<std::string> command = {"new-window", "-d", "-t", "slate:", "-n", name};
  std::vector<std::string> editor = editorCommand(args);
  command.insert(command.end(), editor.begin(), editor.end());
  tmux(command);
  return "slate:" + name;
}

void TmuxSession::select(const std::string& target) {
  target_ = target;
}

TmuxSession::~TmuxSession() {
  // The editors still running get SIGHUP when the server goes, and one with unsaved work
  // then writes its autosave file: let them finish before the directory is removed.
  std::vector<pid_t> shells;
  for (const auto& pid : splitLines(tmux({"list-panes", "-a", "-F", "#{pane_pid}"})))
    shells.push_back(std::atoi(pid.c_str()));
  std::vector<pid_t> editors = editorsUnder(shells);
  tmux({"kill-server"});
  waitFor(
      [&] {
        for (pid_t pid : editors)
          if (running(pid)) return false;
        return true;
      },
      5000);
  std::error_code ignored;
  std::filesystem::remove_all(tempRoot_, ignored);
}

std::string TmuxSession::tmux(const std::vector<std::string>& args, int* status) {
  std::vector<std::string> argv = {"tmux", "-u", "-L", socketName_, "-f", configFile_};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProgram(argv, environment_, status);
}

void TmuxSession::sendKeys(const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"send-keys", "-t", target_};
  args.insert(args.end(), keys.begin(), keys.end());
  tmux(args);
}

void TmuxSession::sendLiteral(const std::string& text) {
  tmux({"send-keys", "-t", target_, "-l", text});
}

void TmuxSession::sendBytes(const std::string& bytes) {
  std::vector<std::string> args = {"send-keys", "-t", target_, "-H"};
  for (unsigned char b : bytes) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", b);
    args.push_back(hex);
  }
  tmux(args);
}

std::vector<std::string> TmuxSession::screen() {
  auto lines = splitLines(tmux({"capture-pane", "-p", "-N", "-t", target_}));
  lines.resize(static_cast<size_t>(height_));
  return lines;
}

std::string TmuxSession::row(int y) {
  std::string n = std::to_string(y);
  return trimNewline(tmux({"capture-pane", "-p", "-N", "-t", target_, "-S", n, "-E", n}));
}

std::vector<StyledCell> TmuxSession::styledRow(int y) {
  std::string n = std::to_string(y);
  return parseStyledLine(
      trimNewline(tmux({"capture-pane", "-p", "-e", "-N", "-t", target_, "-S", n, "-E", n})));
}

std::string TmuxSession::format(const std::string& fmt) {
  return trimNewline(tmux({"display-message", "-p", "-t", target_, fmt}));
}

int TmuxSession::cursorX() {
  return std::atoi(format("#{cursor_x}").c_str());
}
int TmuxSession::cursorY() {
  return std::atoi(format("#{cursor_y}").c_str());
}
bool TmuxSession::alternateOn() {
  return format("#{alternate_on}") == "1";
}

bool TmuxSession::waitFor(const std::function<bool()>& condition, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool TmuxSession::waitForRow(int y, const std::string& prefix, int timeoutMs) {
  return waitFor([&] { return row(y).rfind(prefix, 0) == 0; }, timeoutMs);
}

bool TmuxSession::waitForScreenText(const std::string& text, int timeoutMs) {
  return waitFor(
      [&] {
        for (const auto& line : screen())
          if (line.find(text) != std::string::npos) return true;
        return false;
      },
      timeoutMs);
}

bool TmuxSession::waitForText(int y, const std::string& text, int timeoutMs) {
  return waitFor([&] { return trimRight(row(y)) == text; }, timeoutMs);
}

bool TmuxSession::waitForCursor(int x, int y, int timeoutMs) {
  return waitFor(
      [&] {
        std::string position = format("#{cursor_x},#{cursor_y}");
        return position == std::to_string(x) + "," + std::to_string(y);
      },
      timeoutMs);
}

bool TmuxSession::waitForStatus(const std::string& text, int timeoutMs) {
  return waitFor([&] { return status() == text; }, timeoutMs);
}

std::string TmuxSession::dump() {
  std::string text;
  for (const auto& line : screen()) text += trimRight(line) + "\n";
  return text;
}

std::string TmuxSession::status() {
  return trimRight(row(height_ - 1));
}

std::string TmuxSession::waitForExit(int timeoutMs) {
  std::string report;
  waitFor(
      [&] {
        for (const auto& line : screen()) {
          std::smatch match;
          if (std::regex_search(line, match,
                                std::regex("slate exited -?[0-9]+, tty (same|changed)"))) {
            report = match.str();
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return report;
}

std::string TmuxSession::quitDiscarding(int timeoutMs) {
  sendKeys({"M-x"});
  std::string report;
  bool asked = false;
  waitFor(
      [&] {
        asked = row(height_ - 1).rfind("Save changes? (Y/n)", 0) == 0;
        return asked || !(report = waitForExit(0)).empty();
      },
      timeoutMs);
  if (!asked) return report;
  sendLiteral("n");
  return waitForExit(timeoutMs);
}

pid_t TmuxSession::editorPid() {
  std::vector<pid_t> editors = editorsUnder({std::atoi(format("#{pane_pid}").c_str())});
  return editors.empty() ? -1 : editors.front();
}

std::vector<pid_t> TmuxSession::editorsUnder(const std::vector<pid_t>& shells) {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  while (dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const std::string content = readFile(std::string("/proc/") + entry->d_name + "/stat");
    // pid (comm) state ppid ...
    size_t close = content.rfind(')');
    if (close == std::string::npos || content.find("(slate)") == std::string::npos) continue;
    int ppid = 0;
    char state = 0;
    if (std::sscanf(content.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && state != 'Z' &&
        std::find(shells.begin(), shells.end(), ppid) != shells.end())
      found.push_back(std::atoi(entry->d_name));
  }
  closedir(proc);
  return found;
}

bool TmuxSession::waitForInputTaken(int timeoutMs) {
  const std::string tty = format("#{pane_tty}");
  int fd = open(tty.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool taken = waitFor(
      [&] {
        int waiting = 0;
        return ioctl(fd, FIONREAD, &waiting) == 0 && waiting == 0;
      },
      timeoutMs);
  close(fd);
  return taken;
}

// Through a file: set-buffer takes the text in a message of the client, which tmux limits
// to a few kilobytes.
void TmuxSession::setBuffer(const std::string& bytes) {
  const std::string file = tempRoot_ + "/buffer";
  writeFile(file, bytes);
  tmux({"load-buffer", file});
  std::remove(file.c_str());
}

std::string TmuxSession::buffer() {
  int status = 0;
  std::string text = tmux({"save-buffer", "-"}, &status);
  return status == 0 ? text : "";
}

void TmuxSession::pasteBuffer(bool bracketed) {
  std::vector<std::string> args = {"paste-buffer", "-t", target_};
  if (bracketed) args.push_back("-p");
  tmux(args);
}

void TmuxSession::resize(int width, int height) {
  height_ = height;
  tmux({"resize-window", "-t", target_, "-x", std::to_string(width), "-y", std::to_string(height)});
}

}  // namespace e2e
