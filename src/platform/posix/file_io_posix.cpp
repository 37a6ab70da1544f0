#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/file_io.h"

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

void preferLargePages(void* start, size_t bytes) {
#ifdef MADV_HUGEPAGE
  madvise(start, bytes, MADV_HUGEPAGE);
#else
  (void)start;
  (void)bytes;
#endif
}

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
  size_ = static_cast<uint64_t>(info.st_size);
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

void InputFile::close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  size_ = 0;
}

// ---- FileReplacer ----

bool FileReplacer::begin(const char* target, const char* modeTemplate, std::string& reason) {
  abort();
  ignoreFileSizeSignal();
  if (target == nullptr || target[0] == '\0') {
    reason = errorText(ENOENT);
    return false;
  }
  if (!resolveLinks(target, target_, reason)) return false;

  struct stat info;
  bool exists = stat(target_.c_str(), &info) == 0;
  if (!exists && errno != ENOENT) {
    reason = errorText(errno);
    return false;
  }
  bool keepMode = false;
  mode_t mode = 0644;
  uid_t owner = 0;
  gid_t group = 0;
  if (exists) {
    if (!S_ISREG(info.st_mode)) {
      reason = notRegularReason(info.st_mode);
      return false;
    }
    // The rename would replace a file we may not write; refuse as a write in place would.
    if (faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
      reason = errorText(errno);
      return false;
    }
    keepMode = true;
    mode = info.st_mode & 07777;
    owner = info.st_uid;
    group = info.st_gid;
  } else if (modeTemplate != nullptr && modeTemplate[0] != '\0' && stat(modeTemplate, &info) == 0 &&
             S_ISREG(info.st_mode)) {
    keepMode = true;
    mode = info.st_mode & 0666;  // a copy of the document: readable as it is, never run
  }

  std::string directory = directoryOf(target_);
  std::string base = baseNameOf(target_);
  if (base.size() > 200) base.resize(200);  // room for the suffix within a name's limit
  std::string prefix =
      (directory.empty() ? "" : (directory == "/" ? "/" : directory + "/")) + "." + base + ".";
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary_ = prefix + randomSuffix() + ".tmp";
    fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC,
                keepMode ? 0600 : 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    reason = errorText(errno);
    temporary_.clear();
    return false;
  }
  handle_ = fd;
  if (keepMode) {
    if (exists && fchown(fd, owner, group) != 0) {
      // Not allowed to give the file away: keep at least the group where we may.
      if (fchown(fd, static_cast<uid_t>(-1), group) != 0) mode &= ~static_cast<mode_t>(S_ISGID);
      mode &= ~static_cast<mode_t>(S_ISUID);
    }
    if (fchmod(fd, mode) != 0) {
      reason = errorText(errno);
      abort();
      return false;
    }
  }
  return true;
}

bool FileReplacer::write(const char* bytes, size_t n, std::string& reason) {
  if (handle_ < 0) {
    reason = errorText(EBADF);
    return false;
  }
  while (n > 0) {
    ssize_t done = ::write(static_cast<int>(handle_), bytes, n);
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
  if (handle_ < 0) {
    reason = errorText(EBADF);
    return false;
  }
  int fd = static_cast<int>(handle_);
  int syncResult;
  do syncResult = fsync(fd);
  while (syncResult != 0 && errno == EINTR);
  if (syncResult != 0 && errno != EINVAL) {  // EINVAL: the file system cannot sync at all
    reason = errorText(errno);
    abort();
    return false;
  }
  handle_ = -1;
  if (::close(fd) != 0 && errno != EINTR) {
    reason = errorText(errno);
    abort();
    return false;
  }
  if (rename(temporary_.c_str(), target_.c_str()) != 0) {
    reason = errorText(errno);
    abort();
    return false;
  }
  temporary_.clear();
  // Make the rename itself durable. The target already holds the new bytes, so a directory
  // that cannot be synced is not a failed write.
  std::string directory = directoryOf(target_);
  int dirFd =
      ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

void FileReplacer::abort() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace platform
