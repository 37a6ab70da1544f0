#include "core/editor.h"

#include "core/file_source.h"
#include "platform/file_system.h"

const int defaultAutoIndent = 1;

Editor::Editor() {
  lineCount = 1;
  lineEnding = 0;
  quitRequested = 0;
  initBuffer();
  fileName.reset(new char[1]{'\0'});
}

Editor::~Editor() {
  freeBuffer();
  if (autosaveName && !autosaveAdopted) platform::removeOwnCopy(autosaveName.get(), autosaveStamp);
}

void Editor::afterCommand(bool extendSelection) {
  if (typedText)
    keepTypedCursorOnCharacter();
  else if (!steppedByCharacter || changed)
    keepCursorOnCharacter();
  typedText = steppedByCharacter = 0;
  undoHistory.endCommand(*this);
  if (changed) {
    // Back at the text last saved (by undoing or redoing), the document is as its file.
    modified = undoHistory.atSavedState() ? 0 : 1;
    autosavePending = textDirty = 1;
    changed = 0;
  }
  if (!extendSelection) {
    markLine = cursorLine;
    markColumn = cursorColumn;
    if (selectionActive) selectionDirty = 1;
  } else {
    selectionDirty = 1;
  }
  selectionActive = (markLine != cursorLine || markColumn != cursorColumn) ? 1 : 0;
  if (source) foldFarLines();
}
