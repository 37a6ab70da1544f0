#include "platform/posix/file_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

FileCalls systemCalls;
FileCalls* current = &systemCalls;

}  // namespace

int FileCalls::openFile(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}
int FileCalls::statusOfPath(const char* path, struct stat* info) {
  return ::stat(path, info);
}
int FileCalls::statusOfName(const char* path, struct stat* info) {
  return ::lstat(path, info);
}
int FileCalls::checkAccess(const char* path, int mode) {
  return ::faccessat(AT_FDCWD, path, mode, AT_EACCESS);
}
ssize_t FileCalls::readLink(const char* path, char* buffer, size_t n) {
  return ::readlink(path, buffer, n);
}
DIR* FileCalls::openFolder(const char* path) {
  return ::opendir(path);
}
ssize_t FileCalls::listAttributes(const char* path, char* names, size_t n) {
  return ::listxattr(path, names, n);
}
ssize_t FileCalls::getAttribute(const char* path, const char* name, void* value, size_t n) {
  return ::getxattr(path, name, value, n);
}
int FileCalls::setAttribute(int fd, const char* name, const void* value, size_t n) {
  return ::fsetxattr(fd, name, value, n, 0);
}
ssize_t FileCalls::readFrom(int fd, void* buffer, size_t n) {
  return ::read(fd, buffer, n);
}
ssize_t FileCalls::writeTo(int fd, const void* bytes, size_t n) {
  return ::write(fd, bytes, n);
}
int FileCalls::syncFile(int fd) {
  return ::fsync(fd);
}
int FileCalls::statusOfOpenFile(int fd, struct stat* info) {
  return ::fstat(fd, info);
}
int FileCalls::changeMode(int fd, mode_t mode) {
  return ::fchmod(fd, mode);
}
int FileCalls::changeOwner(int fd, uid_t owner, gid_t group) {
  return ::fchown(fd, owner, group);
}
int FileCalls::truncateTo(int fd, off_t size) {
  return ::ftruncate(fd, size);
}
int FileCalls::reserveSpace(int fd, off_t size) {
#ifdef FALLOC_FL_KEEP_SIZE
  return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size);
#else
  (void)fd;
  (void)size;
  errno = EOPNOTSUPP;
  return -1;
#endif
}
int FileCalls::closeFile(int fd) {
  return ::close(fd);
}
int FileCalls::renameFile(const char* from, const char* to) {
  return ::rename(from, to);
}
int FileCalls::renameNoReplace(const char* from, const char* to) {
  return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}
int FileCalls::linkFile(const char* from, const char* to, int flags) {
  return ::linkat(AT_FDCWD, from, AT_FDCWD, to, flags);
}
int FileCalls::removeName(const char* path) {
  return ::unlink(path);
}

FileCalls& fileCalls() {
  return *current;
}

FileCalls* useFileCalls(FileCalls* calls) {
  FileCalls* previous = current == &systemCalls ? nullptr : current;
  current = calls ? calls : &systemCalls;
  return previous;
}

}  // namespace platform
