// F2 and F12: the document written to its file or to a new name, asking first wherever that
// would replace bytes the user has not seen.
#include <cstring>
#include <memory>
#include <string>

#include "core/editor.h"
#include "files/load_save.h"
#include "files/replacing.h"
#include "input/prompt.h"
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
  switch (files::whatReplacing(fileStamp, platform::stampOf(name), ownName)) {
    case files::Replacing::ChangedFile:
      if (!confirmed(*this, "File changed on disk, overwrite? (y/n)")) {
        setPendingMessage("Not saved");
        return 0;
      }
      break;
    case files::Replacing::OtherFile:
      if (!confirmed(*this, "File exists, overwrite? (y/n)")) return 0;
      break;
    case files::Replacing::Nothing:
    case files::Replacing::SeenFile:
      break;
  }
  files::WriteResult result;
  if (!files::writeDocumentFile(*this, name, nullptr, result)) {
    // The file may hold these bytes all the same (only making that lasting failed): it is
    // then no stranger's change at the next save.
    if (result.targetReplaced && ownName) fileStamp = result.stamp;
    setPendingMessage(("Save failed: " + result.reason).c_str());
    return 0;
  }
  documentSaved(name, result, announce);
  return 1;
}

void Editor::documentSaved(const char* name, const files::WriteResult& result, bool announce) {
  markTextSaved();
  fileUnread = 0;
  fileStamp = result.stamp;
  std::string message;
  if (announce)
    message = std::string("Saved ") + name + " (" + std::to_string(result.bytes) + " bytes)";
  if (!result.newOwner.empty())
    message += (message.empty() ? "Saved; owner is now " : "; owner is now ") + result.newOwner;
  // The autosave copy follows the name (and may ask about an old copy under the new one).
  if (std::strcmp(name, fileName.get()) != 0) setFileName(*this, name);
  if (!message.empty()) setPendingMessage(message.c_str());
}
