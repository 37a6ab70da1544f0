#include "app/app.h"

#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/session.h"
#include "core/editor.h"
#include "files/fallback_copy.h"
#include "files/load_save.h"
#include "files/recovery.h"
#include "input/prompt.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/out_of_memory.h"
#include "screen/screen.h"

namespace {

void mainLoop(Editor& editor, Keyboard& keyboard) {
  while (!editor.quitRequested) {
    if (keyboard.inputQueueEmpty()) editor.redraw();
    keyboard.waitAndHandleEvent(editor);
  }
}

// A copy of the document under a name that overwrites nothing: beside the document (or in
// the working directory when it has no name), numbered when the plain name is taken.
// Returns the name, "" with the reason when there is none.
std::string writeFreshCopy(Editor& editor, std::string& reason) {
  const std::string base =
      std::string(editor.fileName[0] != '\0' ? editor.fileName.get() : "untitled") + ".autosave";
  for (int i = 0; i < 100; ++i) {
    const std::string name = i == 0 ? base : base + "." + std::to_string(i);
    if (platform::fileExists(name.c_str())) continue;
    platform::FileStamp none;
    if (files::writeOwnCopy(editor, name.c_str(), none, reason)) return name;
  }
  return "";
}

// The terminal has gone: nobody can answer a question, so a modified document goes to its
// autosave file, which is kept for the next start. Without a usable autosave file the copy
// goes to a fresh name beside the file, and failing that to a folder of the user's own; an
// older copy is never removed, it may be the only one. Returns whether the work is anywhere,
// with what to tell on standard error once the terminal is restored in note ("" when the
// copy lies where the next start finds it) and the copy's name in where.
bool endAfterHangUp(Editor& editor, std::string& note, std::string* where = nullptr) {
  if (!editor.modified) return true;
  files::keepUndoneCopy(editor);
  std::unique_ptr<char[]> autosaveName = std::move(editor.autosaveName);
  std::string reason;
  if (autosaveName &&
      files::writeOwnCopy(editor, autosaveName.get(), editor.autosaveStamp, reason)) {
    if (editor.autosaveElsewhere)
      note = std::string("slate: the unsaved work is in ") + autosaveName.get();
    if (where) *where = autosaveName.get();
    return true;
  }
  std::string why;
  const std::string beside = writeFreshCopy(editor, why);
  if (where) *where = beside;
  if (!beside.empty()) {
    // Only the plain autosave name is looked for at the next start.
    if (beside != std::string(editor.fileName.get()) + ".autosave")
      note = "slate: the unsaved work is in " + beside;
    return true;
  }
  if (reason.empty()) reason = why;
  platform::FileStamp none;
  const std::string elsewhere = files::writeFallbackCopy(editor, none, why);
  if (where) *where = elsewhere;
  if (!elsewhere.empty()) {
    note = "slate: the unsaved work could not be kept beside the file (" + reason + "); it is in " +
           elsewhere;
    return true;
  }
  note = "slate: the unsaved work could not be saved anywhere: " + reason + "; " + why;
  return false;
}

// Memory ran out: the process ends, but as after a hang-up the unsaved work goes to the
// autosave file first (or wherever it can), which the message at the end names.
struct WorkRescue {
  Editor* editor;
  std::string said;
};

const char* keepWorkWithoutMemory(void* context) {
  WorkRescue& rescue = *static_cast<WorkRescue*>(context);
  Editor& editor = *rescue.editor;
  if (!editor.modified) return nullptr;
  // Within a command that has a line in hand (a move, a search, a replacement), that line is
  // in none of the places the copy is written from: such a copy is not the work, and it would
  // take the place of the last autosave.
  if (editor.lineAway) return "mid-command, the unsaved work could not be kept";
  // The copy being opened is the work (or the file is, with nothing changed yet).
  if (editor.openingCopy) return "opening a copy, the files were left as they were";
  editor.hangUp = 1;
  std::string note, where;
  if (endAfterHangUp(editor, note, &where) && note.empty())
    note = "the unsaved work is in " + where;
  if (note.starts_with("slate: ")) note.erase(0, 7);
  rescue.said = note;
  return rescue.said.c_str();
}

// A save of this file that a process killed half-way left: where its new text is, offered in
// place of the file's. Its copies stay until a save of this run makes them needless.
void offerInterruptedSave(Editor& editor, const platform::FileReplacer::Interrupted& cut) {
  std::string question = "A save was interrupted: open its copy " + cut.newCopy + "? (y/n)";
  if (question.size() > static_cast<size_t>(editor.screen->columns))
    question = "A save was interrupted: open its copy? (y/n)";
  // The old text's copy differs from the new one's name only in its end: said once, the
  // message fits the status line.
  const bool sameStem =
      cut.newCopy.ends_with(".new") && cut.oldCopy.ends_with(".old") &&
      cut.newCopy.compare(0, cut.newCopy.size() - 4, cut.oldCopy, 0, cut.oldCopy.size() - 4) == 0;
  const std::string old = cut.oldCopy.empty() ? "" : sameStem ? " and .old" : " and " + cut.oldCopy;
  std::string kept = "Kept " + cut.newCopy + old;
  std::string reason;
  if (askQuestion(*editor.screen, *editor.keyboard, question.c_str()) == Answer::Yes) {
    if (files::openCopyInstead(editor, cut.newCopy.c_str(), reason)) {
      editor.copiesToRemove = {cut.newCopy};
      editor.copiesStep = editor.modified ? editor.undoHistory.lastDoneStep() : 0;
      if (!cut.oldCopy.empty()) editor.copiesToRemove.push_back(cut.oldCopy);
      kept = "Opened " + cut.newCopy + "; F9 shows the file";
    } else {
      kept = "Cannot open " + cut.newCopy + ": " + reason +
             (old.empty() ? "; it is kept" : "; it" + old + " are kept");
    }
  }
  // What opening the file said before (another Slate has it open, a copy elsewhere) goes first.
  if (editor.pendingMessage) kept = std::string(editor.pendingMessage.get()) + "; " + kept;
  editor.setPendingMessage(kept.c_str());
}

}  // namespace

int runEditor(Session& session, const CommandLine& commandLine, std::string* endNote) {
  std::string note;
  bool workKept = true;
  std::unique_ptr<Editor> editor(new Editor());
  WorkRescue rescue{editor.get(), {}};
  setOutOfMemoryRescue(keepWorkWithoutMemory, &rescue);
  session.attach(*editor);
  editor->followDisplayMode();
  if (commandLine.fileName) {
    setFileName(*editor, commandLine.fileName);
    editor->loadDocument();
    files::openAskedCopy(*editor);
    const auto interrupted = platform::FileReplacer::removeLeftovers(commandLine.fileName);
    if (!interrupted.empty()) offerInterruptedSave(*editor, interrupted.front());
    if (commandLine.startLine > 0) {
      editor->goToLineNumber(commandLine.startLine, commandLine.startColumn);
      editor->afterCommand(false);  // the mark goes with the cursor: nothing is selected
    }
  } else if (commandLine.tooManyFiles) {
    editor->setPendingMessage("Only one file at a time: nothing was opened");
  }
  // From here on, a prompt or question open while the terminal is resized has the document
  // drawn again behind it.
  session.screen.drawDocument = [&document = *editor] {
    document.textDirty = 1;
    document.redraw();
  };
  for (;;) {
    mainLoop(*editor, session.keyboard);
    if (editor->hangUp) {
      workKept = endAfterHangUp(*editor, note);
      break;
    }
    if (!editor->modified) break;
    Answer answer = askQuestion(session.screen, session.keyboard, "Save changes? (Y/n)");
    if (answer == Answer::Gone) {
      editor->hangUp = 1;
      workKept = endAfterHangUp(*editor, note);
      break;
    }
    if (answer == Answer::No) break;
    if (editor->save()) break;
    // The save failed: keep editing rather than lose the work. save() left its reason.
    editor->quitRequested = 0;
  }
  session.screen.drawDocument = nullptr;
  setOutOfMemoryRescue(nullptr, nullptr);
  editor.reset();
  if (endNote != nullptr) *endNote = note;
  return workKept ? 0 : kWorkLost;
}
