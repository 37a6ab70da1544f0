#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_stamp.h"

// Reading a file in blocks, and replacing a file as a whole. Every failure comes back with its
// reason as a short text for the status line ("Permission denied", "Is a directory").
namespace platform {

enum class OpenResult { Opened, NotFound, Failed };

// A regular file open for reading.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile() { close(); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Anything that is not a regular file (a directory, a FIFO, a device) is refused without
  // being opened in a way that could block. NotFound when there is no file of that name.
  OpenResult open(const char* name, std::string& reason);
  // The size the file had when it was opened; the file may still grow or shrink.
  uint64_t size() const { return stamp_.size; }
  // Which file was opened, and its state then.
  const FileStamp& stamp() const { return stamp_; }
  // Reads up to n bytes: the count read, 0 at the end of the file, -1 on failure.
  int64_t read(char* buffer, size_t n, std::string& reason);
  // Reads up to n bytes at offset without moving the position, and may run on any thread:
  // the count read (short only at the end of the file), -1 on failure.
  int64_t readAt(uint64_t offset, char* buffer, size_t n) const;
  // The size the open file has now (it may have grown or shrunk since it was opened), -1
  // when the system cannot tell.
  int64_t currentSize() const;
  void close();

 private:
  intptr_t handle_ = -1;
  FileStamp stamp_;
};

// Replaces a file in one step: the bytes go to a new temporary file in the target's own
// directory, which takes the target's place only once all of them are on disk. Until commit
// succeeds the target is untouched, and a replacer given up (abort, or destroyed before
// commit) leaves no temporary file behind. Where the system can, the temporary file has no
// name until it is complete, so a process killed while writing leaves nothing; elsewhere its
// name tells which process made it, and removeLeftovers clears those of processes that died.
class FileReplacer {
 public:
  FileReplacer();
  ~FileReplacer();
  FileReplacer(const FileReplacer&) = delete;
  FileReplacer& operator=(const FileReplacer&) = delete;

  // A symbolic link as target is followed: the file it points to is replaced and the link
  // kept. An existing target keeps its permission bits (set-user-ID, set-group-ID and sticky
  // included), and its owner and group where the system allows. A new file takes the bits of
  // modeTemplate when that names an existing file (it may be null), otherwise 0644 less the
  // process's mask. Fails without touching anything when the target is not a regular file or
  // is not writable.
  bool begin(const char* target, const char* modeTemplate, std::string& reason);
  // Writes all n bytes to the temporary file. Callers gather small pieces first.
  bool write(const char* bytes, size_t n, std::string& reason);
  // Puts the temporary file on disk and in the target's place, and makes that lasting. Where
  // the directory refuses the rename but the target itself is writable, the target is written
  // over in place, from the complete copy on disk.
  bool commit(std::string& reason);
  // Closes and removes the temporary file, if there is one.
  void abort();

  // True once the target holds the new bytes, even when a later step (making the rename
  // lasting) failed.
  bool targetReplaced() const;
  // The target's state once it holds the new bytes.
  const FileStamp& stamp() const;
  // The user who owns the target now, when its old owner could not be kept; else "".
  const std::string& newOwner() const;

  // Removes the temporary files that replacements of files beside target left when their
  // process died: only files of this user, with names only this program gives.
  static void removeLeftovers(const char* target);

  struct State;  // each system's own

 private:
  std::unique_ptr<State> state_;
};

}  // namespace platform
