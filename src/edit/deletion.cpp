// Removing text: by byte, to the line's ends, by word, whole lines and the selection.
#include "core/editor.h"

int Editor::deleteCharAt() {
  return 0;
}  // TODO(editing)
int Editor::deleteCharBefore() {
  return 0;
}
int Editor::deleteCharOrJoin() {
  return 0;
}
int Editor::backspace() {
  return 0;
}
int Editor::deleteForward() {
  return 0;
}
int Editor::deleteToLineStart() {
  return 0;
}
int Editor::deleteToLineEnd() {
  return 0;
}
int Editor::deleteWordLeft() {
  return 0;
}
int Editor::deleteWordRight() {
  return 0;
}
int Editor::deleteLine() {
  return 0;
}
int Editor::deleteSelection() {
  return 0;
}
