#include "core/editor.h"
#include "platform/console.h"
#include "screen/screen.h"

void Editor::followDisplayMode() {
  const bool utf8 = screen->outputHandle.displayMode() == console::DisplayMode::Utf8;
  setTextUnit(utf8 ? TextUnit::Character : TextUnit::Byte);
}

// F8: the console shows the bytes its other way, where it has two, and says which way is on.
// The document and the cursor's byte stay (moved to its character's start in UTF-8); the
// cursor's column is counted in the new way.
int Editor::toggleDisplayMode() {
  const console::DisplayMode mode = screen->outputHandle.switchDisplayMode();
  followDisplayMode();
  switch (mode) {
    case console::DisplayMode::Utf8:
      setPendingMessage("Display: UTF-8");
      return 1;
    case console::DisplayMode::CodePage437:
      setPendingMessage("Display: code page 437");
      return 1;
    case console::DisplayMode::Native:
      break;
  }
  setPendingMessage("Display: the console's own code page");
  return 0;
}
