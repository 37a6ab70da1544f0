#pragma once

// The Windows backends include this header before any other header of the editor.
//
// <windows.h> defines as macros the very names the editor's console interface declares as
// constants (KEY_EVENT, INFINITE, WAIT_TIMEOUT, SHIFT_PRESSED, ...). The editor's headers are
// therefore read first; after <windows.h> the backends use the Windows names, whose values
// are the same.
#include "clipboard/clipboard_store.h"
#include "platform/console.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/system.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>
#include <string>

namespace platform {

// The console of this process, or null with the reason when standard input or output is not
// a console.
std::unique_ptr<console::Console> openWindowsConsole(std::string& error);
// The Windows clipboard, as CF_TEXT.
std::unique_ptr<ClipboardStore> openWindowsClipboard();

}  // namespace platform
