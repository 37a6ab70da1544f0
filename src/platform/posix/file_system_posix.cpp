#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace platform
