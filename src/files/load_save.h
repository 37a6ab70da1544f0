#pragma once

#include <cstddef>
#include <string>

class Editor;

namespace files {

// Bytes read into each block of the load arena (a block grows to hold a longer line).
extern size_t loadBlockSize;
// Bytes gathered before each write to the file.
extern size_t writeBufferSize;

// Writes the whole document to target, replacing the file in one step. A new target takes
// the permission bits of modeTemplate when that file exists (may be null). On failure the
// target is untouched and reason says why. Clears changed and autosavePending on success.
bool writeDocumentFile(Editor& editor, const char* target, const char* modeTemplate,
                       std::string& reason);

}  // namespace files
