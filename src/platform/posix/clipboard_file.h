#pragma once

#include <memory>
#include <string>

#include "platform/clipboard_store.h"

namespace platform {

// A clipboard kept in one file that every editor process of the user reads and replaces:
// readable by the user alone, and replaced in one step (a new file renamed over the old),
// so a reader sees either the old text or the new one, whole.
class FileClipboard : public ClipboardStore {
 public:
  explicit FileClipboard(std::string path) : path_(std::move(path)) {}

  bool put(const char* text) override;
  std::unique_ptr<char[]> get() override;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Where the shared clipboard file lives: in $XDG_RUNTIME_DIR, else in the user's cache
// directory ($XDG_CACHE_HOME or ~/.cache, under "slate"), which is made (mode 0700) when
// missing. Empty when there is no such place.
std::string clipboardFilePath();

}  // namespace platform
