#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/file_stamp.h"

namespace platform {

// A file written over in place, for when it cannot be replaced by a rename: the directory
// refuses it (a sticky directory, a file mounted over) or a rename would lose what cannot be
// copied to a new file (another owner, more than one name).
struct InPlaceTarget {
  std::string path;       // links resolved
  std::string directory;  // where it lies, "." for the working directory
  std::string stem;       // this save's scratch names: stem + ".new", ".old", ".part"
  dev_t device = 0;       // the file as checked when the save began
  ino_t inode = 0;
  mode_t mode = 0;  // its permission bits, which a write by another than its owner drops
  uint64_t newSize = 0;
};

// Writes the complete, synced file `complete` (which this takes over) over the target. Before
// the target's first byte changes, the new text lies in stem.new, the old text in stem.old,
// both complete and synced, and the space for the new length is reserved, so a full disk fails
// before anything is touched. A failure while writing puts the old text back. Either way the
// scratch files go, except when the target could not be made whole again: then they stay, and
// the reason says where the texts are. On failure the reason ends in what the target holds.
// A process killed half-way leaves both copies, which the next start finds (see
// FileReplacer::removeLeftovers).
bool writeInPlace(const InPlaceTarget& target, const std::string& complete, FileStamp& stamp,
                  std::string& reason);

}  // namespace platform
