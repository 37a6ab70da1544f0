#pragma once

#include <sys/stat.h>

#include "platform/file_stamp.h"

namespace platform {

inline FileStamp stampFrom(const struct stat& info) {
  FileStamp stamp;
  stamp.exists = true;
  stamp.regular = S_ISREG(info.st_mode);
  stamp.device = static_cast<uint64_t>(info.st_dev);
  stamp.inode = static_cast<uint64_t>(info.st_ino);
  stamp.size = static_cast<uint64_t>(info.st_size);
  stamp.modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  stamp.changed = static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
  stamp.mode = static_cast<uint32_t>(info.st_mode & 07777);
  stamp.owner = static_cast<uint32_t>(info.st_uid);
  stamp.group = static_cast<uint32_t>(info.st_gid);
  return stamp;
}

}  // namespace platform
