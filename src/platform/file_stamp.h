#pragma once

#include <cstdint>

// What a file name denotes at one moment: which file it is and the state of its contents, so
// that a later look can tell whether another program has changed or replaced it.
namespace platform {

struct FileStamp {
  bool exists = false;
  bool regular = false;  // a plain file, not a directory or a device
  uint64_t device = 0;   // with inode: which file this is
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modified = 0;  // last write, in the finest unit the system keeps
  // Last change of the contents or the file's own state, which no user can set back; 0
  // where the system does not tell it.
  int64_t changed = 0;
  uint32_t mode = 0;  // permission bits, set-ID bits included; 0 where the system has none
  uint32_t owner = 0;
  uint32_t group = 0;

  bool sameFile(const FileStamp& other) const {
    return exists && other.exists && device == other.device && inode == other.inode;
  }
  bool operator==(const FileStamp& other) const = default;
};

// The file a name denotes now, symbolic links followed; exists is false when there is none.
FileStamp stampOf(const char* name);

}  // namespace platform
