// F2 and F12: the document written to its file or to a new name, asking first wherever that
// would replace bytes the user has not seen.
#include <cstring>
#include <memory>
#include <string>

#include "core/editor.h"
#include "core/file_source.h"
#include "files/load_save.h"
#include "files/recovery.h"
#include "files/replacing.h"
#include "input/prompt.h"
#include "platform/file_system.h"
#include "screen/screen.h"

namespace {

bool confirmed(Editor& editor, const char* question) {
  // No answer (the input has gone) writes nothing.
  return askQuestion(*editor.screen, *editor.keyboard, question) == Answer::Yes;
}

std::unique_ptr<char[]> askFileName(Editor& editor, const char* initial) {
  return promptString(*editor.screen, *editor.keyboard,
                      {"file name: ", initial, PromptKind::FileName});
}

}  // namespace

int Editor::save() {
  if (fileName[0] != '\0' && !fileUnread) return saveUnder(fileName.get(), true, false);
  std::unique_ptr<char[]> name = askFileName(*this, "");
  if (name[0] == '\0') return 0;
  return saveUnder(name.get(), false, false);
}

int Editor::saveAs() {
  // A name longer than the status line is offered whole and scrolls within it.
  std::unique_ptr<char[]> name = askFileName(*this, fileName.get());
  if (name[0] == '\0') return 0;
  const bool ownName =
      fileName[0] != '\0' && !fileUnread && std::strcmp(name.get(), fileName.get()) == 0;
  return saveUnder(name.get(), ownName, true);
}

int Editor::saveUnder(const char* name, bool ownName, bool announce) {
  const platform::FileStamp now = platform::stampOf(name);
  switch (files::whatReplacing(fileStamp, now, ownName)) {
    case files::Replacing::ChangedFile:
      if (!confirmed(*this, "File changed on disk, overwrite? (y/n)")) {
        setPendingMessage("Not saved");
        return 0;
      }
      break;
    case files::Replacing::OtherFile:
      if (!confirmed(*this, "File exists, overwrite? (y/n)")) {
        setPendingMessage("Not saved");
        return 0;
      }
      break;
    case files::Replacing::Nothing:
    case files::Replacing::SeenFile:
      break;
  }
  files::WriteResult result;
  // A file deleted since it was read comes back as private as it was.
  const uint32_t mode = ownName && fileStamp.exists && !now.exists ? fileStamp.mode : 0;
  if (files::writeDocumentFile(*this, name, nullptr, result, mode)) {
    autosavePending = 0;  // the file holds the text: no copy of it is due
    documentSaved(name, result, announce);
    return 1;
  }
  if (!result.targetReplaced) {
    setPendingMessage(("Save failed: " + result.reason).c_str());
    return 0;
  }
  // The file holds the document; only making that lasting failed. What the save said besides
  // (a change to the file, what taking a new name said) follows.
  documentSaved(name, result, false);
  const std::string said = pendingMessage ? "; " + std::string(pendingMessage.get()) : "";
  setPendingMessage(("Saved, but syncing the folder failed: " + result.reason + said).c_str());
  return 1;
}

void Editor::documentSaved(const char* name, const files::WriteResult& result, bool announce) {
  markTextSaved();
  fileUnread = 0;
  if (std::strcmp(name, fileName.get()) == 0) {
    // Old copies the user opened are needless once the document is saved, unless the step
    // that put their text in was undone: then their text is in no file.
    if (copiesStep == 0 || undoHistory.stepDone(copiesStep)) {
      for (const std::string& copy : copiesToRemove) platform::removeFile(copy.c_str());
      copiesToRemove.clear();
    }
    files::keepUndoneCopy(*this);
    if (autosaveAdopted && platform::removeOwnCopy(autosaveName.get(), autosaveStamp)) {
      autosaveStamp = platform::FileStamp{};
      autosaveAdopted = 0;
    }
  }
  // Written over in place, the file the runs were read from holds the document now.
  if (source && result.stamp.sameFile(source->fileStamp())) reanchorRuns(name);
  fileStamp = result.stamp;
  std::string message;
  if (announce)
    message = std::string("Saved ") + name + " (" + std::to_string(result.bytes) + " bytes)";
  if (!result.changes.empty()) message += (message.empty() ? "Saved; " : "; ") + result.changes;
  // The autosave copy follows the name (and may ask about an old copy under the new one);
  // what that says (another Slate has the name open, the old copy was opened) follows.
  if (std::strcmp(name, fileName.get()) != 0) {
    pendingMessage.reset();
    setFileName(*this, name);
    files::openAskedCopy(*this);
    if (pendingMessage)
      message += (message.empty() ? "" : "; ") + std::string(pendingMessage.get());
  }
  if (!message.empty()) setPendingMessage(message.c_str());
}
