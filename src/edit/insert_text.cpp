#include "core/editor.h"

// Each of LF, CR LF, CR and LF CR becomes one line break with the document's own terminator
// and no indentation; every other byte goes in as typed.
void Editor::insertText(const char* text, size_t length) {
  typedText = 1;
  for (size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (c == '\n' || c == '\r') {
      splitLine(false);
      const char pair = c == '\n' ? '\r' : '\n';
      if (i + 1 < length && text[i + 1] == pair) ++i;
    } else {
      insertChar(static_cast<uint8_t>(c));
    }
  }
}
