#include "platform/posix/file_steps.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/posix/file_calls.h"
#include "platform/scratch_name.h"

namespace platform {

namespace {

uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

void ignoreFileSizeSignal() {
  static bool done = false;
  if (!done) {
    signal(SIGXFSZ, SIG_IGN);
    done = true;
  }
}

std::string errorText(int error) {
  return std::strerror(error);
}

int syncRetrying(int fd) {
  int result;
  do result = fileCalls().syncFile(fd);
  while (result != 0 && errno == EINTR);
  return result;
}

bool copyBytes(int from, int to, std::string& reason) {
  FileCalls& calls = fileCalls();
  std::string buffer(size_t{1} << 20, '\0');
  for (;;) {
    ssize_t got = calls.readFrom(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      reason = errorText(errno);
      return false;
    }
    if (got == 0) return true;
    for (ssize_t done = 0; done < got;) {
      ssize_t n = calls.writeTo(to, buffer.data() + done, static_cast<size_t>(got - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        reason = errorText(n < 0 ? errno : EIO);
        return false;
      }
      done += n;
    }
  }
}

bool syncDirectory(const std::string& directory, std::string& reason) {
  FileCalls& calls = fileCalls();
  int fd = calls.openFile(directory.empty() ? "." : directory.c_str(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return true;
  int result = syncRetrying(fd);
  int error = errno;
  calls.closeFile(fd);
  if (result != 0 && error != EINVAL) {
    reason = errorText(error);
    return false;
  }
  return true;
}

std::string randomSuffix() {
  static uint64_t counter = 0;
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  uint64_t bits =
      mix(static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(now.tv_sec) << 32) ^
          (static_cast<uint64_t>(getpid()) << 16) ^ mix(++counter));
  static const char digits[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i) {
    suffix.push_back(digits[bits % 62]);
    bits /= 62;
  }
  return suffix;
}

std::string machineName() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string pathPrefix(const std::string& directory) {
  if (directory.empty()) return "";
  return directory == "/" ? "/" : directory + "/";
}

}  // namespace platform
