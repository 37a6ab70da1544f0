#include "platform/posix/in_place_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/file_calls.h"
#include "platform/posix/file_steps.h"
#include "platform/posix/stat_stamp.h"

namespace platform {

namespace {

constexpr char kUnchanged[] = "; the file is unchanged";

// Opens the target again, only when the name still denotes the file checked at the start.
int openTarget(const InPlaceTarget& t, int flags, int& error) {
  FileCalls& calls = fileCalls();
  int fd = calls.openFile(t.path.c_str(), flags | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  struct stat info;
  if (calls.statusOfOpenFile(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_dev != t.device ||
      info.st_ino != t.inode) {
    error = ESTALE;  // the name no longer denotes the file checked at the start
    calls.closeFile(fd);
    return -1;
  }
  return fd;
}

// A copy of the target's present text, complete and synced before it gets its name.
bool keepOldText(const InPlaceTarget& t, int reader, std::string& reason) {
  FileCalls& calls = fileCalls();
  const std::string part = t.stem + ".part";
  bool unnamed = false;
  int fd = -1;
#ifdef O_TMPFILE
  fd = calls.openFile(t.directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  unnamed = fd >= 0;
#endif
  if (fd < 0)
    fd = calls.openFile(part.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) {
    reason = errorText(errno);
    return false;
  }
  bool kept = copyBytes(reader, fd, reason);
  if (kept && syncRetrying(fd) != 0 && errno != EINVAL) {
    reason = errorText(errno);
    kept = false;
  }
  const std::string old = t.stem + ".old";
  if (kept) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    int named = unnamed ? calls.linkFile(self.c_str(), old.c_str(), AT_SYMLINK_FOLLOW)
                        : calls.renameFile(part.c_str(), old.c_str());
    if (named != 0) {
      reason = errorText(errno);
      kept = false;
    }
  }
  calls.closeFile(fd);
  if (!kept && !unnamed) calls.removeName(part.c_str());
  return kept;
}

// Room for the new length, taken before the first byte changes. A file system that cannot
// reserve space is no failure: the old text on disk still guards the target.
bool reserveSpace(int fd, uint64_t size, std::string& reason) {
  if (size == 0 || fileCalls().reserveSpace(fd, static_cast<off_t>(size)) == 0) return true;
  if (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL) return true;
  reason = errorText(errno);
  return false;
}

// The bytes of the file `from` over the target from its start, cut to their length, synced.
bool overwrite(const InPlaceTarget& t, const std::string& from, uint64_t size, FileStamp* stamp,
               std::string& reason) {
  FileCalls& calls = fileCalls();
  int error = 0;
  int in = calls.openFile(from.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC, 0);
  if (in < 0) error = errno;
  int out = in < 0 ? -1 : openTarget(t, O_WRONLY, error);
  bool done = error == 0 && copyBytes(in, out, reason);
  if (error == 0 && done && calls.truncateTo(out, static_cast<off_t>(size)) != 0) error = errno;
  if (error == 0 && done && syncRetrying(out) != 0 && errno != EINVAL) error = errno;
  struct stat info;
  // The write took the set-ID bits away; its owner may give them back.
  if (error == 0 && done && calls.statusOfOpenFile(out, &info) == 0 &&
      (info.st_mode & 07777) != t.mode)
    calls.changeMode(out, t.mode);
  if (error == 0 && done && stamp != nullptr && calls.statusOfOpenFile(out, &info) == 0)
    *stamp = stampFrom(info);
  if (in >= 0) calls.closeFile(in);
  if (out >= 0 && calls.closeFile(out) != 0 && errno != EINTR && error == 0 && done) error = errno;
  if (error != 0) reason = errorText(error);
  return done && error == 0;
}

// Everything that must hold before the target's first byte changes: both texts on disk under
// their names, the space reserved. Returns the old text's size through oldSize.
bool prepare(const InPlaceTarget& t, uint64_t& oldSize, std::string& reason) {
  FileCalls& calls = fileCalls();
  int error = 0;
  int reader = openTarget(t, O_RDONLY, error);
  struct stat info;
  if (reader >= 0 && calls.statusOfOpenFile(reader, &info) != 0) error = errno;
  if (error != 0) {
    if (reader >= 0) calls.closeFile(reader);
    reason = errorText(error);
    return false;
  }
  oldSize = static_cast<uint64_t>(info.st_size);
  bool ready = keepOldText(t, reader, reason);
  calls.closeFile(reader);
  if (!ready) return false;
  int writer = openTarget(t, O_WRONLY, error);
  if (writer < 0) {
    reason = errorText(error);
    return false;
  }
  ready = reserveSpace(writer, t.newSize, reason);
  calls.closeFile(writer);
  return ready && syncDirectory(t.directory, reason);
}

}  // namespace

bool writeInPlace(const InPlaceTarget& t, const std::string& complete, FileStamp& stamp,
                  std::string& reason) {
  FileCalls& calls = fileCalls();
  const std::string newCopy = t.stem + ".new";
  const std::string oldCopy = t.stem + ".old";
  if (calls.renameFile(complete.c_str(), newCopy.c_str()) != 0) {
    reason = errorText(errno) + kUnchanged;
    calls.removeName(complete.c_str());
    return false;
  }
  uint64_t oldSize = 0;
  if (!prepare(t, oldSize, reason)) {
    calls.removeName(oldCopy.c_str());
    calls.removeName(newCopy.c_str());
    reason += kUnchanged;
    return false;
  }
  if (!overwrite(t, newCopy, t.newSize, &stamp, reason)) {
    std::string ignored;
    if (!overwrite(t, oldCopy, oldSize, nullptr, ignored)) {
      reason += "; the file is incomplete: its old text is in " + baseNameOf(oldCopy) +
                ", the new in " + baseNameOf(newCopy);
      return false;
    }
    calls.removeName(oldCopy.c_str());
    calls.removeName(newCopy.c_str());
    reason += kUnchanged;
    return false;
  }
  calls.removeName(oldCopy.c_str());
  calls.removeName(newCopy.c_str());
  return true;
}

}  // namespace platform
