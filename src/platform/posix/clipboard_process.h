#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/clipboard_store.h"

namespace platform {

// How long a helper program may keep the editor waiting: idleMs without any byte moving
// through its pipes (or, once they are done, without it ending), and totalMs in all.
struct HelperLimits {
  int idleMs = 1000;
  int totalMs = 5000;
};

// Runs a program, looked up on PATH unless argv[0] holds a slash, directly (never through a
// shell), in a process group of its own. It reads input when input is not null (otherwise
// /dev/null) and its standard output is collected into output when that is not null
// (otherwise /dev/null); its errors go to /dev/null. Both pipes are served together, so
// texts of any size pass without a deadlock. True when it ran to the end within the limits
// and exited with status 0. A program that runs over is killed with its group and reaped.
bool runHelper(const std::vector<std::string>& argv, const char* input, size_t inputLength,
               std::string* output, const HelperLimits& limits = {});

// True when name (without a slash) is an executable file in a directory of PATH.
bool programOnPath(const char* name);

// A clipboard kept by helper programs: one that reads the text on its standard input, one
// that writes the clipboard's text on its standard output. A helper that fails or runs over
// counts as a busy clipboard. Some stores cannot hold an empty text (tmux keeps its old
// buffer); for them an empty text is refused rather than reported as taken.
class ProcessClipboard : public ClipboardStore {
 public:
  ProcessClipboard(std::vector<std::string> putCommand, std::vector<std::string> getCommand,
                   bool holdsEmptyText = true, HelperLimits limits = {})
      : putCommand_(std::move(putCommand)),
        getCommand_(std::move(getCommand)),
        holdsEmptyText_(holdsEmptyText),
        limits_(limits) {}

  bool put(const char* text) override;
  std::unique_ptr<char[]> get() override;

 private:
  std::vector<std::string> putCommand_;
  std::vector<std::string> getCommand_;
  bool holdsEmptyText_;
  HelperLimits limits_;
};

}  // namespace platform
