#include "core/app.h"

#include <memory>

#include "core/editor.h"
#include "core/session.h"
#include "input/prompt.h"

namespace {

void mainLoop(Editor& editor) {
  Keyboard& keyboard = session().keyboard;
  while (!editor.quitRequested) {
    if (keyboard.inputQueueEmpty()) editor.redraw();
    keyboard.waitAndHandleEvent(editor);
  }
}

// The terminal has gone: nobody can answer a question, so a modified document goes to its
// autosave file, which is kept for the next start.
void endAfterHangUp(Editor& editor) {
  if (editor.modified && editor.autosaveName && editor.writeDocument(editor.autosaveName.get()))
    editor.autosaveName.reset();
}

}  // namespace

int runEditor(int argc, char** argv) {
  std::unique_ptr<Editor> editor(new Editor());
  if (argc == 2) {
    setFileName(*editor, argv[1]);
    editor->loadDocument();
  }
  for (;;) {
    mainLoop(*editor);
    if (editor->hangUp) {
      endAfterHangUp(*editor);
      break;
    }
    if (!editor->modified) break;
    session().screen.showMessage("Save changes? (Y/n)");
    Answer answer = askYesNo();
    if (answer == Answer::Gone) {
      editor->hangUp = 1;
      endAfterHangUp(*editor);
      break;
    }
    if (answer == Answer::No) break;
    if (editor->save()) break;
    // The save failed: keep editing rather than lose the work. save() left its reason.
    editor->quitRequested = 0;
  }
  editor.reset();
  return 0;
}
