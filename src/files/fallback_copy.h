#pragma once

#include <string>

#include "platform/file_stamp.h"

class Editor;

namespace files {

// The name of the document's copy in a fallback folder: its file's full path with every byte
// but letters, digits, '.', '_' and '-' written as %XX, so that two documents never share one
// (a path too long for one name keeps its end, after a digest of the whole).
std::string fallbackCopyName(const std::string& folder, const char* fileName);

// Writes the document to a fallback folder (see platform::fallbackFolders) when it cannot go
// beside its file: over own when that is the copy this run wrote there, else under a fresh
// name. Returns where it went, or "" with the reasons why it went nowhere.
std::string writeFallbackCopy(Editor& editor, platform::FileStamp& own, std::string& reason);

// The newest copy of the file that a run before left in a fallback folder (this user's own
// plain file), "" when there is none. No folder is made to look.
std::string findFallbackCopy(const char* fileName);

}  // namespace files
