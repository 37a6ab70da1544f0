#include "platform/posix/clipboard_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {

namespace {

bool isOwnDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid();
}

bool makeDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return isOwnDirectory(path);
}

bool writeAll(int fd, const char* bytes, size_t length) {
  while (length > 0) {
    const ssize_t done = write(fd, bytes, length);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += done;
    length -= static_cast<size_t>(done);
  }
  return true;
}

}  // namespace

bool FileClipboard::put(const char* text) {
  std::vector<char> temp(path_.begin(), path_.end());
  for (char c : std::string(".XXXXXX")) temp.push_back(c);
  temp.push_back('\0');
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fchmod(fd, 0600) == 0 && writeAll(fd, text, std::strlen(text));
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.data(), path_.c_str()) == 0;
  if (!ok) unlink(temp.data());
  return ok;
}

std::unique_ptr<char[]> FileClipboard::get() {
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return nullptr;
  struct stat info;
  std::string text;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (ok) text.reserve(static_cast<size_t>(info.st_size));
  char buffer[1 << 16];
  while (ok) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      ok = false;
    }
  }
  close(fd);
  if (!ok) return nullptr;
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

std::string clipboardFilePath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/' && isOwnDirectory(runtime))
    return std::string(runtime) + "/slate-clipboard";

  std::string cache;
  const char* cacheHome = std::getenv("XDG_CACHE_HOME");
  if (cacheHome && cacheHome[0] == '/') {
    cache = cacheHome;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
      const passwd* entry = getpwuid(geteuid());
      home = entry ? entry->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') return "";
    cache = std::string(home) + "/.cache";
  }
  if (!makeDirectory(cache)) return "";
  const std::string directory = cache + "/slate";
  if (!makeDirectory(directory)) return "";
  return directory + "/clipboard";
}

}  // namespace platform
