#pragma once

#include <fcntl.h>

#include <cerrno>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/file_calls.h"

namespace filetest {

// The file replacer's system calls, logged by what they act on ("write temp", "sync dir",
// "rename"; "open unnamed temp" is the O_TMPFILE attempt; "stat" is fstat, "path stat" stat
// and "name stat" lstat), with one of them made to fail or the process killed at a chosen
// point.
class WatchedCalls : public platform::FileCalls {
 public:
  WatchedCalls() { previous_ = platform::useFileCalls(this); }
  ~WatchedCalls() override { platform::useFileCalls(previous_); }

  std::vector<std::string> log;
  // The occurrence (from 0) of the call named failing that fails with failError.
  std::string failing;
  int occurrence = 0;
  int failError = EIO;
  bool refuseUnnamed = false;  // O_TMPFILE fails as on a file system without it
  // Called with each call's name before it is made, and with "after " and the name after.
  std::function<void(const std::string&)> watch;
  // Bytes written to the temporary file so far; killAfterBytes ends the process once that
  // many have reached it.
  size_t tempBytes = 0;
  size_t killAfterBytes = SIZE_MAX;

  int openFile(const char* path, int flags, mode_t mode) override;
  int statusOfPath(const char* path, struct stat* info) override;
  int statusOfName(const char* path, struct stat* info) override;
  int checkAccess(const char* path, int mode) override;
  ssize_t readLink(const char* path, char* buffer, size_t n) override;
  DIR* openFolder(const char* path) override;
  ssize_t listAttributes(const char* path, char* names, size_t n) override;
  ssize_t getAttribute(const char* path, const char* name, void* value, size_t n) override;
  int setAttribute(int fd, const char* name, const void* value, size_t n) override;
  ssize_t readFrom(int fd, void* buffer, size_t n) override;
  ssize_t writeTo(int fd, const void* bytes, size_t n) override;
  int syncFile(int fd) override;
  int statusOfOpenFile(int fd, struct stat* info) override;
  int changeMode(int fd, mode_t mode) override;
  int changeOwner(int fd, uid_t owner, gid_t group) override;
  int truncateTo(int fd, off_t size) override;
  int reserveSpace(int fd, off_t size) override;
  int closeFile(int fd) override;
  int renameFile(const char* from, const char* to) override;
  int renameNoReplace(const char* from, const char* to) override;
  int linkFile(const char* from, const char* to, int flags) override;
  int removeName(const char* path) override;

 private:
  // Logs the call; true when it is the one to fail (errno is then set).
  bool fails(const std::string& name);
  void after(const std::string& name);
  std::string role(int fd) const;

  platform::FileCalls* previous_ = nullptr;
  std::map<std::string, int> seen_;
  std::map<int, std::string> roles_;
};

}  // namespace filetest
