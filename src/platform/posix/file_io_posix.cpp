#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/file_io.h"
#include "platform/posix/file_calls.h"
#include "platform/posix/stat_stamp.h"

namespace platform {

namespace {

constexpr int kMaxLinkHops = 40;

std::string errorText(int error) {
  return std::strerror(error);
}

// Why a name that exists cannot be used as a file of text.
std::string notRegularReason(mode_t mode) {
  return S_ISDIR(mode) ? errorText(EISDIR) : std::string("Not a regular file");
}

// The directory part of a path, "" for a bare name.
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

// Follows symbolic links until the name is not one (or does not exist yet).
bool resolveLinks(const char* name, std::string& path, std::string& reason) {
  path = name;
  for (int hops = 0;; ++hops) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
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
    ssize_t n = readlink(path.c_str(), link.data(), link.size());
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

uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Six characters that make a temporary name fresh.
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

// A write past the file size limit must fail with EFBIG rather than end the process.
void ignoreFileSizeSignal() {
  static bool done = false;
  if (!done) {
    signal(SIGXFSZ, SIG_IGN);
    done = true;
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
  dev_t device = 0;  // the existing target's identity
  ino_t inode = 0;
  FileStamp before;  // the target as begin found it
  bool keepMode = false;
  mode_t mode = 0644;
  uid_t owner = 0;
  gid_t group = 0;
  bool replaced = false;
  FileStamp stamp;
  std::string newOwner;
};

namespace {

// Eight hex digits for this machine, so that a directory shared with other machines never
// has their temporary files taken for ours.
std::string hostTag() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  uint32_t hash = 2166136261u;
  for (const char* c = name; *c; ++c) hash = (hash ^ static_cast<uint8_t>(*c)) * 16777619u;
  char text[9];
  std::snprintf(text, sizeof text, "%08x", hash);
  return text;
}

std::string pathPrefix(const std::string& directory) {
  if (directory.empty()) return "";
  return directory == "/" ? "/" : directory + "/";
}

std::string userName(uid_t user) {
  if (const struct passwd* entry = getpwuid(user)) return entry->pw_name;
  return std::to_string(user);
}

int syncRetrying(int fd) {
  int result;
  do result = fileCalls().syncFile(fd);
  while (result != 0 && errno == EINTR);
  return result;
}

// A temporary file with a name of ours, created exclusively.
bool createNamed(FileReplacer::State& s, mode_t mode, std::string& reason) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    s.temporary = s.prefix + randomSuffix() + ".tmp";
    s.fd = fileCalls().openAt(s.temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC,
                              mode);
    if (s.fd >= 0) return true;
    if (errno != EEXIST) break;
  }
  reason = errorText(errno);
  s.temporary.clear();
  return false;
}

// Owner and group as the old file had them where the system allows, then the permission
// bits: after the last write, which would clear the set-user-ID and set-group-ID bits.
bool settleOwnerAndMode(FileReplacer::State& s, std::string& reason) {
  if (!s.keepMode) return true;
  FileCalls& calls = fileCalls();
  mode_t mode = s.mode;
  if (s.existed && calls.changeOwner(s.fd, s.owner, s.group) != 0) {
    if (s.owner != geteuid()) {
      mode &= ~static_cast<mode_t>(S_ISUID);  // never set-user-ID for another user
      s.newOwner = userName(geteuid());
    }
    if (calls.changeOwner(s.fd, static_cast<uid_t>(-1), s.group) != 0)
      mode &= ~static_cast<mode_t>(S_ISGID);
  }
  if (calls.changeMode(s.fd, mode) != 0) {
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
  if (fileCalls().statOf(s.fd, &info) != 0) {
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

// The directory refuses the rename (a sticky directory, a file mounted over): the target is
// written over from the complete copy on disk, which keeps a name no clean-up takes until the
// target holds every byte. Should this fail half-way, that copy stays.
bool writeInPlace(FileReplacer::State& s, std::string& reason) {
  FileCalls& calls = fileCalls();
  const std::string copy = s.temporary.substr(0, s.temporary.size() - 4) + ".copy";
  if (calls.renameFile(s.temporary.c_str(), copy.c_str()) != 0) {
    reason = errorText(errno);
    return false;  // the temporary file is removed by abort
  }
  s.temporary.clear();
  int error = 0;
  int in = calls.openAt(copy.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC, 0);
  if (in < 0) error = errno;
  int out =
      in < 0 ? -1 : calls.openAt(s.target.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0);
  if (in >= 0 && out < 0) error = errno;
  struct stat info;
  if (out >= 0 && (calls.statOf(out, &info) != 0 || !S_ISREG(info.st_mode) ||
                   info.st_dev != s.device || info.st_ino != s.inode))
    error = ESTALE;  // the name no longer denotes the file checked at the start
  if (error != 0) {
    if (in >= 0) calls.closeFile(in);
    if (out >= 0) calls.closeFile(out);
    calls.removeName(copy.c_str());
    reason = errorText(error);
    return false;
  }
  bool written = copyBytes(in, out, reason);
  if (written && calls.truncateTo(out, static_cast<off_t>(s.stamp.size)) != 0) {
    reason = errorText(errno);
    written = false;
  }
  if (written && syncRetrying(out) != 0 && errno != EINVAL) {
    reason = errorText(errno);
    written = false;
  }
  if (written && calls.statOf(out, &info) == 0) s.stamp = stampFrom(info);
  calls.closeFile(in);
  if (calls.closeFile(out) != 0 && errno != EINTR && written) {
    reason = errorText(errno);
    written = false;
  }
  if (!written) return false;
  calls.removeName(copy.c_str());
  return true;
}

// Makes the new name lasting. A directory this user may not open cannot be synced at all.
bool syncDirectory(const FileReplacer::State& s, std::string& reason) {
  FileCalls& calls = fileCalls();
  int fd = calls.openAt(s.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
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

// "PID" when name is a temporary name this program gives on this machine, else 0.
pid_t temporaryOwner(const std::string& name, const std::string& host) {
  const std::string mark = ".slate-" + host + "-";
  const size_t at = name.rfind(mark);
  if (name.empty() || name[0] != '.' || at == std::string::npos || at == 0) return 0;
  size_t p = at + mark.size();
  pid_t pid = 0;
  size_t digits = 0;
  for (; p < name.size() && name[p] >= '0' && name[p] <= '9' && digits < 10; ++p, ++digits)
    pid = pid * 10 + (name[p] - '0');
  if (digits == 0 || p >= name.size() || name[p] != '-') return 0;
  if (name.size() != p + 1 + 6 + 4 || name.compare(p + 7, 4, ".tmp") != 0) return 0;
  for (size_t k = p + 1; k < p + 7; ++k)
    if (!std::isalnum(static_cast<unsigned char>(name[k]))) return 0;
  return pid;
}

}  // namespace

FileReplacer::FileReplacer() : state_(new State) {}

FileReplacer::~FileReplacer() {
  abort();
}

bool FileReplacer::begin(const char* target, const char* modeTemplate, std::string& reason) {
  abort();
  ignoreFileSizeSignal();
  State& s = *state_;
  s = State{};
  if (target == nullptr || target[0] == '\0') {
    reason = errorText(ENOENT);
    return false;
  }
  if (!resolveLinks(target, s.target, reason)) return false;

  struct stat info;
  s.existed = stat(s.target.c_str(), &info) == 0;
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
    if (faccessat(AT_FDCWD, s.target.c_str(), W_OK, AT_EACCESS) != 0) {
      reason = errorText(errno);
      return false;
    }
    s.keepMode = true;
    s.mode = info.st_mode & 07777;
    s.owner = info.st_uid;
    s.group = info.st_gid;
    s.device = info.st_dev;
    s.inode = info.st_ino;
    s.before = stampFrom(info);
  } else if (modeTemplate != nullptr && modeTemplate[0] != '\0' && stat(modeTemplate, &info) == 0 &&
             S_ISREG(info.st_mode)) {
    s.keepMode = true;
    // A copy of the document: private as it is, never run, always the owner's to read and
    // write again.
    s.mode = (info.st_mode & 0666) | 0600;
  }

  const std::string directory = directoryOf(s.target);
  s.directory = directory.empty() ? "." : directory;
  std::string base = baseNameOf(s.target);
  if (base.size() > 180) base.resize(180);  // room for the rest within a name's limit
  s.prefix = pathPrefix(directory) + "." + base + ".slate-" + hostTag() + "-" +
             std::to_string(getpid()) + "-";
  const mode_t createMode = s.keepMode ? 0600 : 0644;
#ifdef O_TMPFILE
  // Only where an unnamed file can be given a name later without privileges.
  struct stat proc;
  if (stat("/proc/self/fd", &proc) == 0) {
    s.fd = fileCalls().openAt(s.directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, createMode);
    if (s.fd >= 0) {
      s.unnamed = true;
      return true;
    }
  }
#endif
  return createNamed(s, createMode, reason);
}

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
  }
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
  // Another program that changed the target while the new bytes were written would lose its
  // change: the save fails instead, and the next one asks.
  if (stampOf(s.target.c_str()) != s.before) {
    reason = "File changed on disk";
    abort();
    return false;
  }
  if (fileCalls().renameFile(s.temporary.c_str(), s.target.c_str()) == 0) {
    s.temporary.clear();
  } else {
    const int error = errno;
    const bool refusedByDirectory = error == EPERM || error == EACCES || error == EBUSY;
    if (!s.existed || !refusedByDirectory) {
      reason = errorText(error);
      abort();
      return false;
    }
    s.newOwner.clear();  // the file keeps its owner: it is written, not replaced
    if (!writeInPlace(s, reason)) {
      abort();
      return false;
    }
  }
  s.replaced = true;
  return syncDirectory(s, reason);
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

const std::string& FileReplacer::newOwner() const {
  return state_->newOwner;
}

void FileReplacer::removeLeftovers(const char* target) {
  std::string path, ignored;
  if (target == nullptr || target[0] == '\0' || !resolveLinks(target, path, ignored)) return;
  const std::string directory = directoryOf(path);
  DIR* folder = opendir(directory.empty() ? "." : directory.c_str());
  if (!folder) return;
  const std::string host = hostTag();
  std::vector<std::string> dead;
  while (const dirent* entry = readdir(folder)) {
    const pid_t pid = temporaryOwner(entry->d_name, host);
    if (pid <= 0 || pid == getpid()) continue;
    if (kill(pid, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to ask about
    const std::string name = pathPrefix(directory) + entry->d_name;
    struct stat info;
    if (lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
        info.st_nlink == 1)
      dead.push_back(name);
  }
  closedir(folder);
  for (const std::string& name : dead) fileCalls().removeName(name.c_str());
}

}  // namespace platform
