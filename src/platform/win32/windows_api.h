#pragma once

// The Windows backends include this header before any other header of the editor.
//
// <windows.h> defines as macros the very names the editor's console interface declares as
// constants (KEY_EVENT, INFINITE, WAIT_TIMEOUT, SHIFT_PRESSED, ...). The editor's headers are
// therefore read first; after <windows.h> the backends use the Windows names, whose values
// are the same.
#include "platform/clipboard_store.h"
#include "platform/console.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/scratch_name.h"
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
// The rows of the console screen buffer the editor uses: the whole buffer, or as many rows as
// the window shows where the buffer keeps a scroll-back. knownTop is the top found before,
// -1 at first.
struct RowsInUse {
  int16_t top;
  int16_t height;
};
RowsInUse rowsInUse(const CONSOLE_SCREEN_BUFFER_INFO& info, int16_t knownTop);

// The names argv[1] on, from code page `from` into code page `to` in place; false, with every
// name as it was, when a name has a character that `to` lacks (or that takes another length).
bool recodeNames(int argc, char** argv, unsigned from, unsigned to);

// Which file a handle is open on and its state (file index, size, last-write and change times).
FileStamp stampOfHandle(HANDLE file);

// The Windows clipboard, as CF_TEXT.
std::unique_ptr<ClipboardStore> openWindowsClipboard();

}  // namespace platform
