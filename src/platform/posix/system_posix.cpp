#include <unistd.h>

#include "platform/posix/terminal_console.h"
#include "platform/system.h"

namespace platform {

std::unique_ptr<console::Console> openSystemConsole(std::string& error) {
  return terminal::TerminalConsole::open(STDIN_FILENO, STDOUT_FILENO, error);
}

std::unique_ptr<ClipboardStore> openSystemClipboard(console::Console&) {
  return std::make_unique<MemoryClipboard>();
}

}  // namespace platform
