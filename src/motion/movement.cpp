// Cursor movement by byte, word, line, page and to the document's ends.
#include "core/editor.h"

int Editor::moveLeft() { return 0; }  // TODO(editing)
int Editor::moveRight() { return 0; }
int Editor::moveLineStart() { return 0; }
int Editor::moveLineEnd() { return 0; }
int Editor::moveWordLeft() { return 0; }
int Editor::moveWordRight() { return 0; }
int Editor::moveUp() { return 0; }
int Editor::moveDown() { return 0; }
int Editor::pageUp() { return 0; }
int Editor::pageDown() { return 0; }
int Editor::moveDocumentStart() { return goToPosition(0, 0); }
int Editor::moveDocumentEnd() { return goToPosition(lineCount - 1, INT32_MAX); }
