#include "platform/win32/windows_api.h"

namespace platform {

std::unique_ptr<console::Console> openSystemConsole(std::string& error) {
  return openWindowsConsole(error);
}

std::unique_ptr<ClipboardStore> openSystemClipboard(console::Console&) {
  return openWindowsClipboard();
}

}  // namespace platform
