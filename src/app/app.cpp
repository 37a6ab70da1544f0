#include "app/app.h"

#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/session.h"
#include "core/editor.h"
#include "files/load_save.h"
#include "input/prompt.h"
#include "platform/file_io.h"
#include "platform/file_system.h"

namespace {

void mainLoop(Editor& editor, Keyboard& keyboard) {
  while (!editor.quitRequested) {
    if (keyboard.inputQueueEmpty()) editor.redraw();
    keyboard.waitAndHandleEvent(editor);
  }
}

// A name for a copy of the document that overwrites nothing: beside the document (or in the
// working directory when it has no name), numbered when the plain name is taken.
std::string freshCopyName(const Editor& editor) {
  std::string base = editor.fileName[0] != '\0' ? editor.fileName.get() : "untitled";
  base += ".autosave";
  if (!platform::fileExists(base.c_str())) return base;
  for (int i = 1; i < 100; ++i) {
    std::string name = base + "." + std::to_string(i);
    if (!platform::fileExists(name.c_str())) return name;
  }
  return "";
}

// The terminal has gone: nobody can answer a question, so a modified document goes to its
// autosave file, which is kept for the next start. Without a usable autosave file the copy
// goes to a fresh name instead; an older copy is never removed, it may be the only one.
void endAfterHangUp(Editor& editor) {
  if (!editor.modified) return;
  std::unique_ptr<char[]> autosaveName = std::move(editor.autosaveName);
  std::string reason;
  if (autosaveName &&
      files::writeDocumentFile(editor, autosaveName.get(), editor.fileName.get(), reason))
    return;
  std::string name = freshCopyName(editor);
  if (!name.empty()) files::writeDocumentFile(editor, name.c_str(), editor.fileName.get(), reason);
}

}  // namespace

int runEditor(Session& session, const CommandLine& commandLine) {
  std::unique_ptr<Editor> editor(new Editor());
  session.attach(*editor);
  editor->followDisplayMode();
  if (commandLine.fileName) {
    setFileName(*editor, commandLine.fileName);
    editor->loadDocument();
    platform::FileReplacer::removeLeftovers(commandLine.fileName);
    if (commandLine.startLine > 0) {
      editor->goToLineNumber(commandLine.startLine, commandLine.startColumn);
      editor->afterCommand(false);  // the mark goes with the cursor: nothing is selected
    }
  } else if (commandLine.tooManyFiles) {
    editor->setPendingMessage("Only one file at a time: nothing was opened");
  }
  for (;;) {
    mainLoop(*editor, session.keyboard);
    if (editor->hangUp) {
      endAfterHangUp(*editor);
      break;
    }
    if (!editor->modified) break;
    Answer answer = askQuestion(session.screen, session.keyboard, "Save changes? (Y/n)");
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
