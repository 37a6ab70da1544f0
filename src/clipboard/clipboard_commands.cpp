// Copy, cut and paste through the system clipboard.
#include <cstring>

#include "clipboard/clipboard_store.h"
#include "core/editor.h"

int Editor::copy() {
  return 0;
}  // TODO(clipboard)
int Editor::cut() {
  return 0;
}

int Editor::paste() {
  std::unique_ptr<char[]> text = getClipboardText();
  if (!text) return 0;
  insertText(text.get(), std::strlen(text.get()));
  return 1;
}
