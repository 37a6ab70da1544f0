#include <signal.h>
#include <unistd.h>

#include "files/watched_calls.h"

namespace filetest {

bool WatchedCalls::fails(const std::string& name) {
  log.push_back(name);
  if (watch) watch(name);
  if (name == failing && seen_[name]++ == occurrence) {
    errno = failError;
    return true;
  }
  return false;
}

void WatchedCalls::after(const std::string& name) {
  if (watch) watch("after " + name);
}

std::string WatchedCalls::role(int fd) const {
  auto found = roles_.find(fd);
  return found == roles_.end() ? "other" : found->second;
}

namespace {

// What a path names, for the log.
std::string pathRole(const std::string& path) {
  if (path == "/proc/self/fd") return "proc";
  if (path.ends_with(".tmp")) return "temp";
  if (path.ends_with(".new")) return "new copy";
  if (path.ends_with(".old")) return "old copy";
  return "target";
}

}  // namespace

int WatchedCalls::statusOfPath(const char* path, struct stat* info) {
  if (fails("path stat " + pathRole(path))) return -1;
  return FileCalls::statusOfPath(path, info);
}

int WatchedCalls::statusOfName(const char* path, struct stat* info) {
  if (fails("name stat " + pathRole(path))) return -1;
  return FileCalls::statusOfName(path, info);
}

int WatchedCalls::checkAccess(const char* path, int mode) {
  if (fails("access " + pathRole(path))) return -1;
  return FileCalls::checkAccess(path, mode);
}

ssize_t WatchedCalls::readLink(const char* path, char* buffer, size_t n) {
  if (fails("readlink")) return -1;
  return FileCalls::readLink(path, buffer, n);
}

DIR* WatchedCalls::openFolder(const char* path) {
  if (fails("open folder")) return nullptr;
  return FileCalls::openFolder(path);
}

ssize_t WatchedCalls::listAttributes(const char* path, char* names, size_t n) {
  if (fails("list attributes " + pathRole(path))) return -1;
  return FileCalls::listAttributes(path, names, n);
}

ssize_t WatchedCalls::getAttribute(const char* path, const char* name, void* value, size_t n) {
  if (fails("get attribute " + pathRole(path))) return -1;
  return FileCalls::getAttribute(path, name, value, n);
}

int WatchedCalls::setAttribute(int fd, const char* name, const void* value, size_t n) {
  if (fails("set attribute " + role(fd))) return -1;
  return FileCalls::setAttribute(fd, name, value, n);
}

int WatchedCalls::openFile(const char* path, int flags, mode_t mode) {
  std::string name = path;
  std::string what = (flags & O_TMPFILE) == O_TMPFILE ? "unnamed temp"
                     : (flags & O_DIRECTORY)          ? "dir"
                     : (flags & O_CREAT)              ? "temp"
                     : name.ends_with(".new")         ? "new copy"
                     : name.ends_with(".old")         ? "old copy"
                                                      : "target";
  if (fails("open " + what)) return -1;
  if (refuseUnnamed && (flags & O_TMPFILE) == O_TMPFILE) {
    errno = EOPNOTSUPP;
    return -1;
  }
  int fd = FileCalls::openFile(path, flags, mode);
  if (fd >= 0) roles_[fd] = what == "unnamed temp" ? "temp" : what;
  return fd;
}

ssize_t WatchedCalls::readFrom(int fd, void* buffer, size_t n) {
  if (fails("read " + role(fd))) return -1;
  return FileCalls::readFrom(fd, buffer, n);
}

ssize_t WatchedCalls::writeTo(int fd, const void* bytes, size_t n) {
  const std::string what = role(fd);
  if (fails("write " + what)) return -1;
  if (what == "temp" && tempBytes + n >= killAfterBytes) {
    FileCalls::writeTo(fd, bytes, killAfterBytes - tempBytes);
    kill(getpid(), SIGKILL);
  }
  ssize_t done = FileCalls::writeTo(fd, bytes, n);
  if (done > 0 && what == "temp") tempBytes += static_cast<size_t>(done);
  return done;
}

int WatchedCalls::syncFile(int fd) {
  const std::string name = "sync " + role(fd);
  if (fails(name)) return -1;
  int result = FileCalls::syncFile(fd);
  after(name);
  return result;
}

int WatchedCalls::statusOfOpenFile(int fd, struct stat* info) {
  if (fails("stat " + role(fd))) return -1;
  return FileCalls::statusOfOpenFile(fd, info);
}

int WatchedCalls::changeMode(int fd, mode_t mode) {
  if (fails("mode " + role(fd))) return -1;
  return FileCalls::changeMode(fd, mode);
}

int WatchedCalls::changeOwner(int fd, uid_t owner, gid_t group) {
  if (fails("owner " + role(fd))) return -1;
  return FileCalls::changeOwner(fd, owner, group);
}

int WatchedCalls::truncateTo(int fd, off_t size) {
  if (fails("truncate " + role(fd))) return -1;
  return FileCalls::truncateTo(fd, size);
}

int WatchedCalls::reserveSpace(int fd, off_t size) {
  if (fails("reserve " + role(fd))) return -1;
  return FileCalls::reserveSpace(fd, size);
}

int WatchedCalls::closeFile(int fd) {
  const std::string what = role(fd);
  roles_.erase(fd);
  if (fails("close " + what)) {
    FileCalls::closeFile(fd);  // a failing close still closes
    errno = failError;
    return -1;
  }
  return FileCalls::closeFile(fd);
}

int WatchedCalls::renameFile(const char* from, const char* to) {
  if (fails("rename")) return -1;
  int result = FileCalls::renameFile(from, to);
  after("rename");
  return result;
}

int WatchedCalls::renameNoReplace(const char* from, const char* to) {
  if (fails("rename no replace")) return -1;
  return FileCalls::renameNoReplace(from, to);
}

int WatchedCalls::linkFile(const char* from, const char* to, int flags) {
  if (fails("link")) return -1;
  int result = FileCalls::linkFile(from, to, flags);
  after("link");
  return result;
}

int WatchedCalls::removeName(const char* path) {
  if (fails("remove")) return -1;
  return FileCalls::removeName(path);
}

}  // namespace filetest
