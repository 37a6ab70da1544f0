#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/posix/stat_stamp.h"

namespace platform {

bool fileExists(const char* name) {
  struct stat info;
  return lstat(name, &info) == 0;
}

FileStamp stampOf(const char* name) {
  struct stat info;
  return stat(name, &info) == 0 ? stampFrom(info) : FileStamp{};
}

bool removeFile(const char* name) {
  return unlink(name) == 0 || errno == ENOENT;
}

bool isOwnPlainFile(const char* name) {
  struct stat info;
  return lstat(name, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid();
}

bool removeOwnCopy(const char* name, const FileStamp& own) {
  struct stat info;
  if (lstat(name, &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode) || !stampFrom(info).sameFile(own)) return false;
  return removeFile(name);
}

namespace {

long readHolder(int fd) {
  char text[24] = {};
  ssize_t n = pread(fd, text, sizeof text - 1, 0);
  return n > 0 ? std::strtol(text, nullptr, 10) : 0;
}

}  // namespace

NameLock::Result NameLock::take(const std::string& path, long& holder) {
  release();
  holder = 0;
  for (int attempt = 0; attempt < 5; ++attempt) {
    // Never through a link: a name planted by another user is simply not ours.
    const int flags = O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | flags, 0644);
    if (fd < 0 && (errno == EACCES || errno == EPERM)) fd = open(path.c_str(), O_RDONLY | flags);
    if (fd < 0) return errno == ELOOP || errno == EACCES ? Result::Busy : Result::Unavailable;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      close(fd);
      return Result::Busy;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      holder = readHolder(fd);
      close(fd);
      return error == EWOULDBLOCK ? Result::Busy : Result::Unavailable;
    }
    // The holder before may have removed the name as it let go: claim the file that has it.
    struct stat now;
    if (lstat(path.c_str(), &now) != 0 || now.st_dev != info.st_dev || now.st_ino != info.st_ino) {
      close(fd);
      continue;
    }
    // Who holds it, for the next Slate to tell; a lock file of another user that this one
    // may only read holds the claim all the same.
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) == 0) {
      const ssize_t written = pwrite(fd, pid.data(), pid.size(), 0);
      (void)written;
    }
    handle_ = fd;
    path_ = path;
    return Result::Taken;
  }
  return Result::Unavailable;
}

void NameLock::release() {
  if (handle_ < 0) return;
  const int fd = static_cast<int>(handle_);
  struct stat info;
  if (fstat(fd, &info) == 0 && info.st_uid == geteuid()) unlink(path_.c_str());
  close(fd);
  handle_ = -1;
  path_.clear();
}

}  // namespace platform
