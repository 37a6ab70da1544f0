#include "platform/posix/clipboard_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace platform {

namespace {

int64_t nowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Keeps a helper that stops reading from ending the editor with SIGPIPE: the signal is
// blocked while the pipes are served, and one raised by our writes is taken back off.
class SigpipeGuard {
 public:
  SigpipeGuard() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    sigprocmask(SIG_BLOCK, &pipe_, &old_);
  }
  ~SigpipeGuard() {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
      timespec zero{0, 0};
      while (sigtimedwait(&pipe_, nullptr, &zero) < 0 && errno == EINTR) {
      }
    }
    sigprocmask(SIG_SETMASK, &old_, nullptr);
  }
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  sigset_t pipe_;
  sigset_t old_;
  bool wasPending_ = false;
};

// Starts the helper with its standard streams on the given descriptors (-1: /dev/null).
// 0 and the child's id in pid, or an error number.
int spawnHelper(const std::vector<std::string>& argv, int stdinFd, int stdoutFd, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdinFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, stdinFd, 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (stdoutFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  // The terminal and every other descriptor of the editor stay out of the helper, which may
  // leave a process behind that outlives the editor (a selection owner).
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A group of its own: keys typed at the terminal never signal it, and a helper that runs
  // over is killed together with whatever it started.
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGTTIN, SIGTTOU, SIGCHLD,
                     SIGWINCH, SIGALRM, SIGUSR1, SIGUSR2})
    sigaddset(&defaults, signal);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  int error = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

// Kills the helper and everything it started, and reaps it.
void killHelper(pid_t pid) {
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

void sleepMs(int64_t ms) {
  timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
  nanosleep(&t, nullptr);
}

// When a helper's time is up: it may go idle for limits.idleMs at a time, and may take
// limits.totalMs in all.
class Deadline {
 public:
  explicit Deadline(const HelperLimits& limits) : limits_(limits), begin_(nowMs()) {
    lastProgress_ = begin_;
  }
  void progress() { lastProgress_ = nowMs(); }
  // Milliseconds left; 0 or less when the time is up.
  int64_t remaining() const {
    const int64_t idleEnd = lastProgress_ + limits_.idleMs;
    const int64_t totalEnd = begin_ + limits_.totalMs;
    return (idleEnd < totalEnd ? idleEnd : totalEnd) - nowMs();
  }

 private:
  const HelperLimits& limits_;
  int64_t begin_;
  int64_t lastProgress_;
};

// The parent's ends of the helper's standard input and output; -1 where unused or done.
struct HelperPipes {
  int in = -1;
  int out = -1;
};

constexpr size_t kChunk = 1 << 16;

// Writes the next piece of the input; false when the helper stopped reading before it had
// the whole text.
bool writeSome(HelperPipes& pipes, const char* input, size_t inputLength, size_t& written,
               Deadline& deadline) {
  size_t chunk = inputLength - written;
  if (chunk > kChunk) chunk = kChunk;
  const ssize_t done = write(pipes.in, input + written, chunk);
  if (done > 0) {
    written += static_cast<size_t>(done);
    deadline.progress();
    if (written == inputLength) closeFd(pipes.in);
    return true;
  }
  return done == 0 || errno == EAGAIN || errno == EINTR;
}

// Reads what the helper has written so far; false on a read error.
bool readSome(HelperPipes& pipes, std::string& output, Deadline& deadline) {
  char buffer[kChunk];
  const ssize_t got = read(pipes.out, buffer, sizeof buffer);
  if (got > 0) {
    output.append(buffer, static_cast<size_t>(got));
    deadline.progress();
    return true;
  }
  if (got == 0) {
    closeFd(pipes.out);
    return true;
  }
  return errno == EAGAIN || errno == EINTR;
}

// Feeds the input and collects the output until both pipes are done; false when the time
// ran out or a pipe failed.
bool exchange(HelperPipes& pipes, const char* input, size_t inputLength, std::string* output,
              Deadline& deadline) {
  size_t written = 0;
  if (pipes.in >= 0 && inputLength == 0) closeFd(pipes.in);
  while (pipes.in >= 0 || pipes.out >= 0) {
    const int64_t wait = deadline.remaining();
    if (wait <= 0) return false;
    pollfd fds[2];
    int n = 0;
    int inSlot = -1;
    int outSlot = -1;
    if (pipes.in >= 0) {
      inSlot = n;
      fds[n++] = pollfd{pipes.in, POLLOUT, 0};
    }
    if (pipes.out >= 0) {
      outSlot = n;
      fds[n++] = pollfd{pipes.out, POLLIN, 0};
    }
    const int ready = poll(fds, static_cast<nfds_t>(n), static_cast<int>(wait));
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    if (inSlot >= 0 && fds[inSlot].revents != 0 &&
        !writeSome(pipes, input, inputLength, written, deadline))
      return false;
    if (outSlot >= 0 && fds[outSlot].revents != 0 && !readSome(pipes, *output, deadline))
      return false;
  }
  return true;
}

// Waits for the helper to end within its time; one that does not is killed with all it
// started. True when it ended by itself with status 0.
bool awaitExit(pid_t pid, Deadline& deadline) {
  int status = 0;
  deadline.progress();
  for (int64_t step = 1;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0 && errno != EINTR) return false;  // reaped elsewhere: nothing left to do
    const int64_t wait = deadline.remaining();
    if (wait <= 0) break;
    sleepMs(step < wait ? step : wait);
    if (step < 16) step *= 2;
  }
  killHelper(pid);
  return false;
}

}  // namespace

bool runHelper(const std::vector<std::string>& argv, const char* input, size_t inputLength,
               std::string* output, const HelperLimits& limits) {
  if (argv.empty()) return false;
  int inPipe[2] = {-1, -1};
  int outPipe[2] = {-1, -1};
  if (input && pipe2(inPipe, O_CLOEXEC) != 0) return false;
  if (output && pipe2(outPipe, O_CLOEXEC) != 0) {
    closeFd(inPipe[0]);
    closeFd(inPipe[1]);
    return false;
  }

  SigpipeGuard guard;
  pid_t pid = -1;
  const int error = spawnHelper(argv, inPipe[0], outPipe[1], pid);
  closeFd(inPipe[0]);
  closeFd(outPipe[1]);
  HelperPipes pipes{inPipe[1], outPipe[0]};
  if (error != 0) {
    closeFd(pipes.in);
    closeFd(pipes.out);
    return false;
  }
  if (pipes.in >= 0) fcntl(pipes.in, F_SETFL, fcntl(pipes.in, F_GETFL) | O_NONBLOCK);
  if (pipes.out >= 0) fcntl(pipes.out, F_SETFL, fcntl(pipes.out, F_GETFL) | O_NONBLOCK);

  Deadline deadline(limits);
  const bool exchanged = exchange(pipes, input, inputLength, output, deadline);
  closeFd(pipes.in);
  closeFd(pipes.out);
  // The helper has had its input and given its output; now it has to end.
  if (!exchanged) {
    killHelper(pid);
    return false;
  }
  return awaitExit(pid, deadline);
}

bool programOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  if (!path) path = "/usr/local/bin:/usr/bin:/bin";
  std::string directory;
  for (const char* p = path;; ++p) {
    if (*p == ':' || *p == '\0') {
      std::string candidate = (directory.empty() ? std::string(".") : directory) + "/" + name;
      struct stat info;
      if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
          access(candidate.c_str(), X_OK) == 0)
        return true;
      directory.clear();
      if (*p == '\0') return false;
    } else {
      directory.push_back(*p);
    }
  }
}

bool ProcessClipboard::put(const char* text) {
  if (text[0] == '\0' && !holdsEmptyText_) return false;
  return runHelper(putCommand_, text, std::strlen(text), nullptr, limits_);
}

std::unique_ptr<char[]> ProcessClipboard::get() {
  std::string text;
  if (!runHelper(getCommand_, nullptr, 0, &text, limits_)) return nullptr;
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

}  // namespace platform
