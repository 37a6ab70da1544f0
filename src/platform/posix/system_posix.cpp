#include <unistd.h>

#include <cstdlib>

#include "platform/posix/clipboard_choice.h"
#include "platform/posix/clipboard_process.h"
#include "platform/posix/terminal_console.h"
#include "platform/system.h"
#include "platform/terminal_clipboard.h"

namespace platform {

std::unique_ptr<console::Console> openSystemConsole(std::string& error) {
  return terminal::TerminalConsole::open(STDIN_FILENO, STDOUT_FILENO, error);
}

std::unique_ptr<ClipboardStore> openSystemClipboard(console::Console& console) {
  ClipboardPlan plan =
      planClipboard([](const char* name) { return std::getenv(name); }, programOnPath);
  return std::make_unique<TerminalClipboard>(makeClipboard(plan), console);
}

void useConsoleNames(int, char**) {}

}  // namespace platform
