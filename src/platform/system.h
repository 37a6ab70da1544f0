#pragma once

#include <memory>
#include <string>

#include "platform/clipboard_store.h"
#include "platform/console.h"

// The platform's own console and clipboard, as the real program uses them.
namespace platform {

// Null, with the reason in error, when standard input or output is not a console.
std::unique_ptr<console::Console> openSystemConsole(std::string& error);
std::unique_ptr<ClipboardStore> openSystemClipboard(console::Console& console);
// Once the console is open: the names on the command line (argv[1] on, changed in place) and
// those the file functions take become names as the console reads and shows them, where the
// two differ (nowhere on POSIX systems).
void useConsoleNames(int argc, char** argv);

}  // namespace platform
