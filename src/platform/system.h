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

}  // namespace platform
