#include <cstring>

#include "core/editor.h"

void setFileName(Editor& editor, const char* name) {  // TODO(files): autosave name
  size_t length = std::strlen(name);
  editor.fileName.reset(new char[length + 1]);
  std::memcpy(editor.fileName.get(), name, length + 1);
}

int Editor::autosaveNow() {
  return 0;
}
