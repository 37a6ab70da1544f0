#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

// The system calls a file replacement makes, gathered in one place so that tests can watch
// each of them and make any of them fail. The defaults are the system's own.
namespace platform {

class FileCalls {
 public:
  virtual ~FileCalls() = default;
  virtual int openFile(const char* path, int flags, mode_t mode);
  // stat: the file the path leads to, links followed.
  virtual int statusOfPath(const char* path, struct stat* info);
  // lstat: the name itself, a link not followed.
  virtual int statusOfName(const char* path, struct stat* info);
  // faccessat(AT_FDCWD, path, mode, AT_EACCESS): what the effective user may do.
  virtual int checkAccess(const char* path, int mode);
  virtual ssize_t readLink(const char* path, char* buffer, size_t n);
  virtual DIR* openFolder(const char* path);
  // Extended attributes: listxattr, getxattr (of a path) and fsetxattr (of an open file).
  virtual ssize_t listAttributes(const char* path, char* names, size_t n);
  virtual ssize_t getAttribute(const char* path, const char* name, void* value, size_t n);
  virtual int setAttribute(int fd, const char* name, const void* value, size_t n);
  virtual ssize_t readFrom(int fd, void* buffer, size_t n);
  virtual ssize_t writeTo(int fd, const void* bytes, size_t n);
  virtual int syncFile(int fd);
  virtual int statusOfOpenFile(int fd, struct stat* info);
  virtual int changeMode(int fd, mode_t mode);
  virtual int changeOwner(int fd, uid_t owner, gid_t group);
  virtual int truncateTo(int fd, off_t size);
  // Reserves disk space for the first size bytes without changing the file's length.
  virtual int reserveSpace(int fd, off_t size);
  virtual int closeFile(int fd);
  virtual int renameFile(const char* from, const char* to);
  // A rename that fails with EEXIST rather than replace a file under the new name.
  virtual int renameNoReplace(const char* from, const char* to);
  // linkat(AT_FDCWD, from, AT_FDCWD, to, flags)
  virtual int linkFile(const char* from, const char* to, int flags);
  virtual int removeName(const char* path);
};

// The calls in force.
FileCalls& fileCalls();
// Puts other calls in force (null: the system's own again); returns those in force before.
FileCalls* useFileCalls(FileCalls* calls);

}  // namespace platform
