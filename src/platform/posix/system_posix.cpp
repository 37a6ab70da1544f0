#include "platform/system.h"

namespace platform {

std::unique_ptr<console::Console> openSystemConsole(std::string& error) {
  error = "the terminal backend is not built yet";  // TODO(terminal)
  return nullptr;
}

std::unique_ptr<ClipboardStore> openSystemClipboard(console::Console&) {
  return std::make_unique<MemoryClipboard>();
}

}  // namespace platform
