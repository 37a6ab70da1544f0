#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_stamp.h"

// File services the editor needs beyond reading and writing a document.
namespace platform {

// True when anything has the name, a link that leads nowhere included.
bool fileExists(const char* name);
// True when the file is gone afterwards.
bool removeFile(const char* name);
// A plain file of this user under the name itself (not a link to one).
bool isOwnPlainFile(const char* name);
// Removes the name only when it still denotes the file own describes (one this process
// wrote); true when that file is gone afterwards.
bool removeOwnCopy(const char* name, const FileStamp& own);

// Folders of this user's own where a copy of the document can go when it cannot go beside
// the file, best first: the user's state folder for this program ($XDG_STATE_HOME/slate,
// else ~/.local/state/slate), then a folder of this user's in the temporary folder. Each is
// made (mode 0700) when missing (with make false, only those there already are given), and
// left out when it is a link, another user's, or open to others.
std::vector<std::string> fallbackFolders(bool make = true);
// Puts a fixed list in force for fallbackFolders, so that tests keep copies out of the home
// of whoever runs them; null: the system's own folders again.
void useFallbackFolders(const std::vector<std::string>* folders);
// The system's own folders, each backend's: what fallbackFolders gives when no list is fixed.
std::vector<std::string> systemFallbackFolders(bool make);
// The name as a full path (the working directory before a relative one), "." and ".."
// resolved (on POSIX systems through the folder's links, where the folder is there).
std::string absolutePath(const char* name);

// A claim on a name for as long as this process holds it: an advisory lock on a small lock
// file, which the system lets go of however the process ends.
class NameLock {
 public:
  enum class Result { Taken, Busy, Unavailable };
  NameLock() = default;
  ~NameLock() { release(); }
  NameLock(NameLock&& other) noexcept { *this = std::move(other); }
  NameLock& operator=(NameLock&& other) noexcept {
    if (this != &other) {
      release();
      handle_ = other.handle_;
      path_ = std::move(other.path_);
      other.handle_ = -1;
    }
    return *this;
  }

  // Claims the lock file at path, writing this process's id into it. Busy when another
  // process holds it (holder is then its process id; -1 when the lock file does not say, as
  // when the holder could not write it on a full disk) or the name is anything but a plain
  // file (holder 0);
  // Unavailable when no lock file can be made there (a read-only folder).
  Result take(const std::string& path, long& holder);
  // Lets go of the claim and removes the lock file.
  void release();
  bool held() const { return handle_ != -1; }

 private:
  intptr_t handle_ = -1;
  std::string path_;
};

}  // namespace platform
