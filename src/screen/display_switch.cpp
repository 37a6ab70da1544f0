#include "core/editor.h"
#include "platform/console.h"
#include "screen/screen.h"

// F8: the console shows the bytes its other way, where it has two, and says which way is on.
// The document, the grid of cells and the cursor's column stay as they are.
int Editor::toggleDisplayMode() {
  switch (screen->outputHandle.switchDisplayMode()) {
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
