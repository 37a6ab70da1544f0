#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/file_io.h"
#include "platform/posix/file_calls.h"
#include "platform/posix/file_steps.h"
#include "platform/posix/in_place_write.h"
#include "platform/posix/stat_stamp.h"
#include "platform/scratch_name.h"

namespace platform {

namespace {

constexpr int kMaxLinkHops = 40;

// Why a name that exists cannot be used as a file of text.
std::string notRegularReason(mode_t mode) {
  return S_ISDIR(mode) ? errorText(EISDIR) : std::string("Not a regular file");
}

// Follows symbolic links until the name is not one (or does not exist yet).
bool resolveLinks(const char* name, std::string& path, std::string& reason) {
  FileCalls& calls = fileCalls();
  path = name;
  for (int hops = 0;; ++hops) {
    struct stat info;
    if (calls.statusOfName(path.c_str(), &info) != 0) {
      if (errno == ENOENT) return true;  // a new file, possibly the end of a dangling link
      reason = errorText(errno);
      return false;
    }
    if (!S_ISLNK(info.st_mode)) return true;
    if (hops == kMaxLinkHops) {
      reason = errorText(ELOOP);
      return false;
    }
    std::string link(static_cast<size_t>(info.st_size) + 256, '\0');
    ssize_t n = calls.readLink(path.c_str(), link.data(), link.size());
    if (n < 0) {
      reason = errorText(errno);
      return false;
    }
    link.resize(static_cast<size_t>(n));
    if (link.empty() || link[0] == '/') {
      path = link;
    } else {
      std::string directory = directoryOf(path);
      path = directory.empty() ? link : (directory == "/" ? "/" : directory + "/") + link;
    }
  }
}

}  // namespace

// ---- InputFile ----

OpenResult InputFile::open(const char* name, std::string& reason) {
  close();
  struct stat info;
  if (stat(name, &info) != 0) {
    if (errno == ENOENT) return OpenResult::NotFound;
    reason = errorText(errno);
    return OpenResult::Failed;
  }
  if (!S_ISREG(info.st_mode)) {
    reason = notRegularReason(info.st_mode);
    return OpenResult::Failed;
  }
  // O_NONBLOCK: should the name have become a FIFO since the check, opening it won't hang.
  int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    reason = errorText(errno);
    return errno == ENOENT ? OpenResult::NotFound : OpenResult::Failed;
  }
  if (fstat(fd, &info) != 0) {
    reason = errorText(errno);
    ::close(fd);
    return OpenResult::Failed;
  }
  if (!S_ISREG(info.st_mode)) {
    reason = notRegularReason(info.st_mode);
    ::close(fd);
    return OpenResult::Failed;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  handle_ = fd;
  stamp_ = stampFrom(info);
  return OpenResult::Opened;
}

int64_t InputFile::read(char* buffer, size_t n, std::string& reason) {
  for (;;) {
    ssize_t got = ::read(static_cast<int>(handle_), buffer, n);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    reason = errorText(errno);
    return -1;
  }
}

int64_t InputFile::readAt(uint64_t offset, char* buffer, size_t n) const {
  size_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(static_cast<int>(handle_), buffer + done, n - done,
                          static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

int64_t InputFile::currentSize() const {
  struct stat info;
  if (fstat(static_cast<int>(handle_), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

void InputFile::close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  stamp_ = FileStamp{};
}

// ---- FileReplacer ----

struct FileReplacer::State {
  int fd = -1;
  bool unnamed = false;   // made with O_TMPFILE: it gets a name only once it is complete
  std::string target;     // the file that is replaced, links resolved
  std::string directory;  // where the target lies
  std::string prefix;     // how this process's temporary names beside the target begin
  std::string temporary;  // the temporary file's name; empty while it has none
  bool existed = false;
  FileStamp before;  // the target as begin found it
  bool keepMode = false;
  mode_t mode = 0644;
  bool templateGroup = false;  // a new file whose group bits are meant for this group only
  gid_t group = 0;
  // A rename would lose what the file is (its owner or group, its other names, attributes
  // that cannot be copied): it is written over in place instead.
  bool inPlace = false;
  bool ownCopy = false;  // see beginOwnCopy
  FileStamp own;
  bool replaced = false;
  FileStamp stamp;
  std::string changes;
  uint64_t written = 0;      // bytes written to the temporary file
  uint64_t writingFrom = 0;  // where the bytes not yet handed to the disk begin
  uint64_t droppedTo = 0;    // the bytes before are on disk and out of the page cache
};

namespace {

std::string userName(uid_t user) {
  if (const struct passwd* entry = getpwuid(user)) return entry->pw_name;
  return std::to_string(user);
}

std::string groupName(gid_t group) {
  if (const struct group* entry = getgrgid(group)) return entry->gr_name;
  return std::to_string(group);
}

// A temporary file with a name of ours, created exclusively.
bool createNamed(FileReplacer::State& s, mode_t mode, std::string& reason) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    s.temporary = s.prefix + randomSuffix() + ".tmp";
    s.fd = fileCalls().openFile(s.temporary.c_str(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
    if (s.fd >= 0) return true;
    if (errno != EEXIST) break;
  }
  const int error = errno;
  reason = errorText(error);
  s.temporary.clear();
  errno = error;  // the caller tells a folder that refuses new files by it
  return false;
}

// The temporary file beside the target, unnamed where the system can.
bool createTemporary(FileReplacer::State& s, std::string& reason) {
  const std::string directory = directoryOf(s.target);
  s.directory = directory.empty() ? "." : directory;
  s.prefix = pathPrefix(directory) +
             scratchPrefix(baseNameOf(s.target), hostTag(), static_cast<uint32_t>(getpid()));
  const mode_t createMode = s.keepMode ? 0600 : 0644;
#ifdef O_TMPFILE
  // Only where an unnamed file can be given a name later without privileges.
  struct stat proc;
  if (fileCalls().statusOfPath("/proc/self/fd", &proc) == 0) {
    s.fd = fileCalls().openFile(s.directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, createMode);
    if (s.fd >= 0) {
      s.unnamed = true;
      return true;
    }
  }
#endif
  return createNamed(s, createMode, reason);
}

// A new file takes the bits of an existing template file: a copy of the document is private
// as it is, never run, always the owner's to read and write again.
void takeTemplateMode(FileReplacer::State& s, const char* modeTemplate) {
  struct stat info;
  if (modeTemplate != nullptr && modeTemplate[0] != '\0' &&
      fileCalls().statusOfPath(modeTemplate, &info) == 0 && S_ISREG(info.st_mode)) {
    s.keepMode = true;
    s.mode = (info.st_mode & 0666) | 0600;
    s.templateGroup = true;
    s.group = info.st_gid;
  }
}

// The extended attributes (ACLs among them) go over to the new file; one that cannot be
// copied keeps the file where it is, written over in place.
void copyAttributes(FileReplacer::State& s) {
  FileCalls& calls = fileCalls();
  const char* target = s.target.c_str();
  ssize_t size = calls.listAttributes(target, nullptr, 0);
  if (size == 0 || (size < 0 && errno == ENOTSUP)) return;  // none, or no file system for them
  if (size < 0) {  // they may be there: kept by writing in place
    s.inPlace = true;
    return;
  }
  std::string names(static_cast<size_t>(size), '\0');
  size = calls.listAttributes(target, names.data(), names.size());
  if (size < 0) {
    s.inPlace = true;
    return;
  }
  names.resize(static_cast<size_t>(size));
  for (size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
    const char* name = names.c_str() + at;
    ssize_t length = calls.getAttribute(target, name, nullptr, 0);
    std::string value(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length < 0 ||
        (length > 0 && calls.getAttribute(target, name, value.data(), value.size()) != length) ||
        calls.setAttribute(s.fd, name, value.data(), value.size()) != 0) {
      s.inPlace = true;
      return;
    }
  }
}

// Owner and group as the old file had them, then the permission bits: after the last write,
// which would clear the set-user-ID and set-group-ID bits. Where the owner or group cannot
// be given to a new file, the file keeps them by being written over in place.
bool settleOwnerAndMode(FileReplacer::State& s, std::string& reason) {
  if (!s.keepMode) return true;
  FileCalls& calls = fileCalls();
  if (s.existed && calls.changeOwner(s.fd, s.before.owner, s.before.group) != 0) {
    s.inPlace = true;
    return true;
  }
  // A copy that cannot have its template's group gives its own group only what the template
  // gives everyone else.
  if (!s.existed && s.templateGroup &&
      calls.changeOwner(s.fd, static_cast<uid_t>(-1), s.group) != 0)
    s.mode = (s.mode & ~static_cast<mode_t>(070)) | ((s.mode & 07) << 3);
  if (calls.changeMode(s.fd, s.mode) != 0) {
    reason = errorText(errno);
    return false;
  }
  return true;
}

bool syncAndStamp(FileReplacer::State& s, std::string& reason) {
  struct stat info;
  if (syncRetrying(s.fd) != 0 && errno != EINVAL) {  // EINVAL: the file system cannot sync
    reason = errorText(errno);
    return false;
  }
  if (fileCalls().statusOfOpenFile(s.fd, &info) != 0) {
    reason = errorText(errno);
    return false;
  }
  s.stamp = stampFrom(info);
  return true;
}

// A complete unnamed file gets its temporary name.
bool giveName(FileReplacer::State& s, std::string& reason) {
  if (!s.unnamed) return true;
  const std::string self = "/proc/self/fd/" + std::to_string(s.fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = s.prefix + randomSuffix() + ".tmp";
    if (fileCalls().linkFile(self.c_str(), name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      s.temporary = name;
      s.unnamed = false;
      return true;
    }
    if (errno != EEXIST) break;
  }
  reason = errorText(errno);
  return false;
}

bool closeTemporary(FileReplacer::State& s, std::string& reason) {
  int fd = s.fd;
  s.fd = -1;
  if (fileCalls().closeFile(fd) != 0 && errno != EINTR) {
    reason = errorText(errno);
    return false;
  }
  return true;
}

// The state of the renamed file under its new name (a rename changes its change time).
void restamp(FileReplacer::State& s) {
  struct stat info;
  if (fileCalls().statusOfName(s.target.c_str(), &info) == 0 && stampFrom(info).sameFile(s.stamp))
    s.stamp = stampFrom(info);
}

// What the saved file lost that it had: said, never silent.
void noteChanges(FileReplacer::State& s) {
  if (!s.existed) return;
  std::string notes;
  auto note = [&notes](const std::string& text) { notes += (notes.empty() ? "" : "; ") + text; };
  if (s.stamp.owner != s.before.owner) note("owner is now " + userName(s.stamp.owner));
  if (s.stamp.group != s.before.group) note("group is now " + groupName(s.stamp.group));
  if ((s.before.mode & S_ISUID) && !(s.stamp.mode & S_ISUID))
    note("the set-user-ID bit was dropped");
  if ((s.before.mode & S_ISGID) && !(s.stamp.mode & S_ISGID))
    note("the set-group-ID bit was dropped");
  s.changes = notes;
}

// The copy of the editor's own goes under its name: as a new name, never over anything, or
// over the very file this process wrote there before.
bool placeOwnCopy(FileReplacer::State& s, std::string& reason) {
  FileCalls& calls = fileCalls();
  if (!s.own.exists) {
    if (calls.linkFile(s.temporary.c_str(), s.target.c_str(), 0) == 0) {
      calls.removeName(s.temporary.c_str());
    } else if (errno == EEXIST || calls.renameNoReplace(s.temporary.c_str(), s.target.c_str()) !=
                                      0) {  // a file system without hard links
      reason = errorText(errno);
      return false;
    }
  } else {
    struct stat info;
    if (calls.statusOfName(s.target.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !stampFrom(info).sameFile(s.own)) {
      reason = errorText(EEXIST);
      return false;
    }
    if (calls.renameFile(s.temporary.c_str(), s.target.c_str()) != 0) {
      reason = errorText(errno);
      return false;
    }
  }
  s.temporary.clear();
  return true;
}

// Puts the complete temporary file in the target's place: by a rename, or written over in
// place where the directory refuses the rename or a rename would lose what the file is.
// Forgets any earlier replacement and checks that there is a name to write.
bool startAfresh(FileReplacer::State& s, const char* target, std::string& reason) {
  ignoreFileSizeSignal();
  s = FileReplacer::State{};
  if (target == nullptr || target[0] == '\0') {
    reason = errorText(ENOENT);
    return false;
  }
  return true;
}

// Another program that changed the target while the new bytes were written would lose its
// change: the save fails instead, and the next one asks.
bool unchangedSinceBegin(const FileReplacer::State& s, std::string& reason) {
  struct stat info;
  FileStamp now;
  if (fileCalls().statusOfPath(s.target.c_str(), &info) == 0) {
    now = stampFrom(info);
  } else if (errno != ENOENT) {
    reason = errorText(errno);
    return false;
  }
  if (now != s.before) {
    reason = "File changed on disk";
    return false;
  }
  return true;
}

bool replaceTarget(FileReplacer::State& s, std::string& reason) {
  if (!s.inPlace) {
    if (fileCalls().renameFile(s.temporary.c_str(), s.target.c_str()) == 0) {
      s.temporary.clear();
      restamp(s);
      return true;
    }
    const int error = errno;
    if (!s.existed || (error != EPERM && error != EACCES && error != EBUSY)) {
      reason = errorText(error);
      return false;
    }
  }
  InPlaceTarget t;
  t.path = s.target;
  t.directory = s.directory;
  t.stem = s.temporary.substr(0, s.temporary.size() - 4);  // without ".tmp"
  t.device = static_cast<dev_t>(s.before.device);
  t.inode = static_cast<ino_t>(s.before.inode);
  t.mode = static_cast<mode_t>(s.before.mode);
  t.newSize = s.stamp.size;
  const std::string complete = s.temporary;
  s.temporary.clear();  // taken over by the write in place
  return writeInPlace(t, complete, s.stamp, reason);
}

}  // namespace

FileReplacer::FileReplacer() : state_(new State) {}

FileReplacer::~FileReplacer() {
  abort();
}

bool FileReplacer::begin(const char* target, const char* modeTemplate, std::string& reason,
                         uint32_t newFileMode) {
  abort();
  State& s = *state_;
  if (!startAfresh(s, target, reason)) return false;
  if (!resolveLinks(target, s.target, reason)) return false;

  struct stat info;
  s.existed = fileCalls().statusOfPath(s.target.c_str(), &info) == 0;
  if (!s.existed && errno != ENOENT) {
    reason = errorText(errno);
    return false;
  }
  if (s.existed) {
    if (!S_ISREG(info.st_mode)) {
      reason = notRegularReason(info.st_mode);
      return false;
    }
    // The rename would replace a file we may not write; refuse as a write in place would.
    if (fileCalls().checkAccess(s.target.c_str(), W_OK) != 0) {
      reason = errorText(errno);
      return false;
    }
    s.keepMode = true;
    s.mode = info.st_mode & 07777;
    s.before = stampFrom(info);
    s.inPlace = info.st_nlink > 1;  // its other names keep denoting it
  } else if (newFileMode != 0) {
    s.keepMode = true;
    s.mode = newFileMode & 07777;
  } else {
    takeTemplateMode(s, modeTemplate);
  }
  if (!createTemporary(s, reason)) {
    // The file itself may be writable: say that the folder is what refused.
    if (errno == EACCES || errno == EPERM)
      reason += " for a new file in " + (s.directory == "." ? "the working folder" : s.directory);
    return false;
  }
  if (s.existed && !s.inPlace) copyAttributes(s);
  return true;
}

bool FileReplacer::beginOwnCopy(const char* target, const FileStamp& own, const char* modeTemplate,
                                std::string& reason) {
  abort();
  State& s = *state_;
  if (!startAfresh(s, target, reason)) return false;
  s.target = target;
  s.ownCopy = true;
  struct stat info;
  if (fileCalls().statusOfName(target, &info) == 0) {
    // A link, another's file, or a file this process did not write: never written through,
    // never replaced.
    if (!S_ISREG(info.st_mode) || !stampFrom(info).sameFile(own)) {
      reason = errorText(EEXIST);
      return false;
    }
    s.own = own;
  } else if (errno != ENOENT) {
    reason = errorText(errno);
    return false;
  }
  takeTemplateMode(s, modeTemplate);
  return createTemporary(s, reason);
}

namespace {

// Hands each few megabytes written to the disk at once, so that the disk writes while the
// rest is gathered and the sync at the end has little left to wait for; what was handed over
// a stretch earlier is waited for and leaves the page cache, so a long save reuses the same
// memory rather than filling the cache with the copy (the editor never reads it back).
// Only hints: the sync at the end still makes everything lasting.
void startWriteBack(FileReplacer::State& s) {
  constexpr uint64_t kStretch = uint64_t{8} << 20;
  if (s.written - s.writingFrom < kStretch) return;
#ifdef SYNC_FILE_RANGE_WRITE
  ::sync_file_range(s.fd, static_cast<off_t>(s.writingFrom),
                    static_cast<off_t>(s.written - s.writingFrom), SYNC_FILE_RANGE_WRITE);
  const uint64_t onDisk = s.writingFrom > kStretch ? s.writingFrom - kStretch : 0;
  if (onDisk > s.droppedTo) {
    const off_t from = static_cast<off_t>(s.droppedTo);
    const off_t n = static_cast<off_t>(onDisk - s.droppedTo);
    ::sync_file_range(
        s.fd, from, n,
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    ::posix_fadvise(s.fd, from, n, POSIX_FADV_DONTNEED);
    s.droppedTo = onDisk;
  }
#endif
  s.writingFrom = s.written;
}

}  // namespace

bool FileReplacer::write(const char* bytes, size_t n, std::string& reason) {
  State& s = *state_;
  if (s.fd < 0) {
    reason = errorText(EBADF);
    return false;
  }
  while (n > 0) {
    ssize_t done = fileCalls().writeTo(s.fd, bytes, n);
    if (done < 0) {
      if (errno == EINTR) continue;
      reason = errorText(errno);
      return false;
    }
    if (done == 0) {
      reason = errorText(EIO);
      return false;
    }
    bytes += done;
    n -= static_cast<size_t>(done);
    s.written += static_cast<uint64_t>(done);
  }
  startWriteBack(s);
  return true;
}

bool FileReplacer::commit(std::string& reason) {
  State& s = *state_;
  if (s.fd < 0) {
    reason = errorText(EBADF);
    return false;
  }
  if (!settleOwnerAndMode(s, reason) || !syncAndStamp(s, reason) || !giveName(s, reason) ||
      !closeTemporary(s, reason)) {
    abort();
    return false;
  }
  if (s.ownCopy) {
    if (!placeOwnCopy(s, reason)) {
      abort();
      return false;
    }
    restamp(s);
  } else {
    if (!unchangedSinceBegin(s, reason)) {
      abort();
      return false;
    }
    if (!replaceTarget(s, reason)) {
      abort();
      return false;
    }
    noteChanges(s);
  }
  s.replaced = true;
  return syncDirectory(s.directory, reason);
}

void FileReplacer::abort() {
  State& s = *state_;
  if (s.fd >= 0) fileCalls().closeFile(s.fd);
  s.fd = -1;
  if (!s.temporary.empty()) fileCalls().removeName(s.temporary.c_str());
  s.temporary.clear();
}

bool FileReplacer::targetReplaced() const {
  return state_->replaced;
}

const FileStamp& FileReplacer::stamp() const {
  return state_->stamp;
}

const std::string& FileReplacer::changes() const {
  return state_->changes;
}

// ---- what saves of processes that died left ----

namespace {

// True when both files hold the same bytes.
bool sameContents(const std::string& a, const std::string& b) {
  FileCalls& calls = fileCalls();
  const int flags = O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  int fa = calls.openFile(a.c_str(), flags, 0);
  int fb = fa < 0 ? -1 : calls.openFile(b.c_str(), flags, 0);
  struct stat ia, ib;
  bool same = fb >= 0 && calls.statusOfOpenFile(fa, &ia) == 0 &&
              calls.statusOfOpenFile(fb, &ib) == 0 && S_ISREG(ia.st_mode) && S_ISREG(ib.st_mode) &&
              ia.st_size == ib.st_size;
  std::vector<char> x(1 << 16), y(1 << 16);
  while (same) {
    ssize_t n = calls.readFrom(fa, x.data(), x.size());
    if (n <= 0) {
      same = n == 0;
      break;
    }
    same = calls.readFrom(fb, y.data(), static_cast<size_t>(n)) == n &&
           std::memcmp(x.data(), y.data(), static_cast<size_t>(n)) == 0;
  }
  if (fa >= 0) calls.closeFile(fa);
  if (fb >= 0) calls.closeFile(fb);
  return same;
}

}  // namespace

std::vector<FileReplacer::Interrupted> FileReplacer::removeLeftovers(const char* target) {
  std::vector<Interrupted> interrupted;
  std::string path, ignored;
  if (target == nullptr || target[0] == '\0' || !resolveLinks(target, path, ignored))
    return interrupted;
  const std::string directory = directoryOf(path);
  FileCalls& calls = fileCalls();
  DIR* folder = calls.openFolder(directory.empty() ? "." : directory.c_str());
  if (!folder) return interrupted;
  const std::string host = hostTag();
  const std::string base = baseNameOf(path);
  std::vector<std::string> dead;
  std::vector<ScratchName> copies;  // the new and old texts of saves cut short
  while (const dirent* entry = readdir(folder)) {
    const ScratchName scratch = parseScratchName(entry->d_name, host);
    const pid_t pid = static_cast<pid_t>(scratch.pid);
    if (pid <= 0 || pid == getpid()) continue;
    if (kill(pid, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to ask
    const std::string name = pathPrefix(directory) + entry->d_name;
    struct stat info;
    if (calls.statusOfName(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != geteuid() || info.st_nlink != 1)
      continue;
    if (scratch.kind == ".tmp" || scratch.kind == ".part") {
      dead.push_back(name);
    } else if (std::string(entry->d_name).starts_with(scratchPrefix(base, host, scratch.pid))) {
      copies.push_back(
          ScratchName{scratch.pid, pathPrefix(directory) + scratch.stem, scratch.kind});
    }
  }
  closedir(folder);
  for (const std::string& name : dead) calls.removeName(name.c_str());
  // A save whose new text the target holds is done with, and so is an old text the target
  // holds; a new text the target lacks is offered.
  for (const ScratchName& copy : copies) {
    const std::string name = copy.stem + copy.kind;
    const std::string old = copy.stem + ".old";
    struct stat info;
    if (copy.kind == ".old"
            ? sameContents(name, path)
            : calls.statusOfName(name.c_str(), &info) == 0 && sameContents(name, path)) {
      calls.removeName(name.c_str());
      if (copy.kind == ".new") calls.removeName(old.c_str());
    } else if (copy.kind == ".new") {
      const bool oldDiffers =
          calls.statusOfName(old.c_str(), &info) == 0 && !sameContents(old, path);
      interrupted.push_back({name, oldDiffers ? old : ""});
    }
  }
  return interrupted;
}

}  // namespace platform
