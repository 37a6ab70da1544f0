#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

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

// Makes the folder (mode 0700) when it is missing and make is set; true when it is this
// user's own folder, not a link, and closed to others.
bool ownPrivateFolder(const std::string& path, bool make = true) {
  if (make && mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
         (info.st_mode & 077) == 0;
}

// Makes each missing folder of an absolute path, private like the state folders they are.
bool makeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return ownPrivateFolder(path);
}

std::string fromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? value : "";
}

long readHolder(int fd) {
  char text[24] = {};
  ssize_t n = pread(fd, text, sizeof text - 1, 0);
  return n > 0 ? std::strtol(text, nullptr, 10) : 0;
}

}  // namespace

std::vector<std::string> systemFallbackFolders(bool make) {
  std::vector<std::string> folders;
  std::string state = fromEnvironment("XDG_STATE_HOME");
  if (state.empty() && !fromEnvironment("HOME").empty())
    state = fromEnvironment("HOME") + "/.local/state";
  const std::string mine = state + "/slate";
  if (!state.empty() && (make ? makeFolders(mine) : ownPrivateFolder(mine, false)))
    folders.push_back(mine);
  std::string temporary = fromEnvironment("TMPDIR");
  if (temporary.empty()) temporary = "/tmp";
  const std::string own = temporary + "/slate-" + std::to_string(geteuid());
  if (ownPrivateFolder(own, make)) folders.push_back(own);
  return folders;
}

std::string absolutePath(const char* name) {
  std::string path = name;
  if (name[0] != '/') {
    char buffer[4096];
    const char* here = getcwd(buffer, sizeof buffer);
    path = std::string(here ? here : ".") + "/" + name;
  }
  // The folder as the system resolves it, so that "./doc", "sub/../doc" or a link to the
  // folder give the one path the file has; as given when it cannot be resolved.
  const size_t cut = path.rfind('/');
  char* folder = realpath(cut == 0 ? "/" : path.substr(0, cut).c_str(), nullptr);
  if (folder == nullptr) return path;
  const std::string resolved = folder;
  free(folder);
  return (resolved == "/" ? "" : resolved) + path.substr(cut);
}

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
      if (error != EWOULDBLOCK) return Result::Unavailable;
      if (holder <= 0) holder = -1;  // it could not write who it is (a full disk)
      return Result::Busy;
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
  // The name goes only while it still denotes the lock: a file saved under it since (or put
  // there by anyone) is not the lock's to remove.
  struct stat info;
  struct stat named;
  if (fstat(fd, &info) == 0 && info.st_uid == geteuid() && lstat(path_.c_str(), &named) == 0 &&
      named.st_dev == info.st_dev && named.st_ino == info.st_ino)
    unlink(path_.c_str());
  close(fd);
  handle_ = -1;
  path_.clear();
}

}  // namespace platform
