// The entry: answer --help and --version, or open the platform's console and clipboard,
// build the session and run.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/app.h"
#include "app/command_line.h"
#include "app/session.h"
#include "platform/out_of_memory.h"
#include "platform/system.h"

int main(int argc, char** argv) {
  installOutOfMemoryRule();
  const CommandLine commandLine = parseCommandLine(argc, argv);
  if (commandLine.action == CommandLine::Action::Error) {  // the terminal is left alone
    std::fprintf(stderr, "slate: %s\n", commandLine.error.c_str());
    return 2;
  }
  if (commandLine.action != CommandLine::Action::Edit) {  // the terminal is left alone
    const std::string text =
        commandLine.action == CommandLine::Action::Help ? usageText() : versionText();
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  std::string error;
  // Function statics: torn down in reverse at any exit, the out-of-memory exit included.
  static std::unique_ptr<console::Console> console = platform::openSystemConsole(error);
  if (!console) {
    std::fprintf(stderr, "slate: %s\n", error.c_str());
    return 2;
  }
  platform::useConsoleNames(argc, argv);  // commandLine.fileName points into argv
  static std::unique_ptr<ClipboardStore> clipboard = platform::openSystemClipboard(*console);
  static std::optional<Session> session;
  session.emplace(*console, *clipboard);
  std::string endNote;
  int status = runEditor(*session, commandLine, &endNote);
  session.reset();
  if (!endNote.empty()) {  // printed on the terminal as it was found
    clipboard.reset();
    console.reset();
    std::fprintf(stderr, "%s\n", endNote.c_str());
  }
  return status;
}
