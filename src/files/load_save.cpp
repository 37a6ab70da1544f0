// Moving the document between memory and its file.
#include "core/editor.h"

int Editor::loadDocument() {
  return 0;
}  // TODO(files)
int Editor::writeDocument(const char*) {
  return 0;
}
int Editor::save() {
  return 0;
}
