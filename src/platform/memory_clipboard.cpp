#include <cstring>

#include "platform/clipboard_store.h"

bool MemoryClipboard::put(const char* value) {
  if (refuse) return false;
  text = value;
  return true;
}

std::unique_ptr<char[]> MemoryClipboard::get() {
  if (refuse || !text) return nullptr;
  std::unique_ptr<char[]> copy(new char[text->size() + 1]);
  std::memcpy(copy.get(), text->c_str(), text->size() + 1);
  return copy;
}
