#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_stamp.h"

class Editor;

namespace files {

// Bytes read into each block of the load arena (a block grows to hold a longer line).
extern size_t loadBlockSize;
// Files of at least this many bytes are not read whole: the document reads their lines where
// the cursor goes (see Editor::source). Larger on systems where that is not done.
extern uint64_t largeFileSize;
// Bytes gathered before each write to the file.
extern size_t writeBufferSize;

// What writing the document to a file came to.
struct WriteResult {
  std::string reason;  // why it failed
  uint64_t bytes = 0;  // bytes written
  // Set once the target holds the document, even when making that lasting then failed.
  bool targetReplaced = false;
  platform::FileStamp stamp;  // the target's state once it holds the document
  // What the target lost that it had ("group is now staff"), "; "-joined; "" for nothing.
  std::string changes;
};

// Writes the whole document to target, replacing the file in one step. A new target takes
// newFileMode when that is not 0, else the permission bits of modeTemplate when that file
// exists (may be null). On failure the target is untouched (or holds the whole document, see
// targetReplaced) and reason says why.
bool writeDocumentFile(Editor& editor, const char* target, const char* modeTemplate,
                       WriteResult& result, uint32_t newFileMode = 0);
bool writeDocumentFile(Editor& editor, const char* target, const char* modeTemplate,
                       std::string& reason);

// Writes the whole document to a copy of the editor's own (the autosave file, an emergency
// copy): never through a link, never over a file this run did not write. own is the file
// this run wrote under that name (none: the name must be free); on success it is the new
// copy.
bool writeOwnCopy(Editor& editor, const char* target, platform::FileStamp& own,
                  std::string& reason);

}  // namespace files
