#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clipboard_store.h"

namespace platform {

// Which clipboard the editor uses, decided once at start.
struct ClipboardPlan {
  enum Kind { Tmux, Wayland, Xclip, Xsel, File };
  Kind kind = File;
  std::vector<std::string> putCommand;  // helper programs; empty for the file
  std::vector<std::string> getCommand;
  bool holdsEmptyText = true;
};

// The clipboard the user has: the tmux paste buffer inside tmux, the desktop's clipboard
// through its helper programs when they are installed, else the file shared by the user's
// editor processes. env reads an environment variable (null when unset); hasProgram tells
// whether a program is on PATH.
ClipboardPlan planClipboard(const std::function<const char*(const char*)>& env,
                            const std::function<bool(const char*)>& hasProgram);

// The store for a plan; an in-memory one when the file has no place to live.
std::unique_ptr<ClipboardStore> makeClipboard(const ClipboardPlan& plan);

}  // namespace platform
