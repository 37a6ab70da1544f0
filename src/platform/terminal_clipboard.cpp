#include "platform/terminal_clipboard.h"

#include <cstring>

bool TerminalClipboard::put(const char* text) {
  // Only a text the store took goes to the terminal, so that a refused copy changes nothing
  // anywhere.
  if (!store_->put(text)) return false;
  console_.setTerminalClipboard(text, std::strlen(text));
  return true;
}
