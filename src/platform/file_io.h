#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
  // included), its extended attributes and ACLs, its owner and group, and its other names:
  // where a new file cannot have them, the target is written over in place instead (see
  // commit), and what the system still takes away is told by changes(). A new file takes
  // newFileMode when that is not 0, else the bits of modeTemplate when that names an
  // existing file (it may be null), otherwise 0644 less the process's mask. Fails without
  // touching anything when the target is not a regular file or is not writable.
  bool begin(const char* target, const char* modeTemplate, std::string& reason,
             uint32_t newFileMode = 0);
  // A copy of the editor's own, such as the autosave file: the name is never followed as a
  // link and nothing of another's is ever replaced. When `own` does not exist, the copy is
  // created as a new name and commit fails on any file of that name; otherwise the name must
  // still denote the very file `own` describes (one this process wrote), which the copy then
  // replaces. Fails with "File exists" on anything else under the name.
  bool beginOwnCopy(const char* target, const FileStamp& own, const char* modeTemplate,
                    std::string& reason);
  // Writes all n bytes to the temporary file. Callers gather small pieces first.
  bool write(const char* bytes, size_t n, std::string& reason);
  // Puts the temporary file on disk and in the target's place, and makes that lasting. Where
  // the directory refuses the rename but the target itself is writable, or a rename would
  // lose what the file is, the target is written over in place: only once the new text and
  // the old are both complete on disk beside it and the space is reserved, and a failure
  // then puts the old text back. The reason of a failure in place ends in what the target
  // holds ("; the file is unchanged").
  bool commit(std::string& reason);
  // Closes and removes the temporary file, if there is one.
  void abort();

  // True once the target holds the new bytes, even when a later step (making the rename
  // lasting) failed.
  bool targetReplaced() const;
  // The target's state once it holds the new bytes.
  const FileStamp& stamp() const;
  // What the target lost that it had ("owner is now ann", "the set-group-ID bit was
  // dropped"), joined by "; "; "" when nothing.
  const std::string& changes() const;

  // A save cut short while it wrote the target over in place: the new text lies complete in
  // newCopy, and the old in oldCopy when the target no longer holds it ("" otherwise).
  struct Interrupted {
    std::string newCopy;
    std::string oldCopy;
  };
  // Removes the scratch files that saves of files beside target left when their process
  // died (only files of this user, with names only this program gives) and the copies a
  // save in place left that the target equals; returns the saves of target itself that
  // were cut short, whose copies stay until the user has seen them.
  static std::vector<Interrupted> removeLeftovers(const char* target);

  struct State;  // each system's own

 private:
#ifdef _WIN32
  bool begin(const char* target, const char* modeTemplate, std::string& reason,
             uint32_t newFileMode, bool followLinks);
#endif
  std::unique_ptr<State> state_;
};

}  // namespace platform
