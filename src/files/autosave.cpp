// The autosave copy beside the document: settled when the name is given, written when the
// timer of the input wait expires.
#include <cstring>
#include <string>

#include "core/editor.h"
#include "files/load_save.h"
#include "input/prompt.h"
#include "platform/file_system.h"

namespace {

constexpr char kAutosaveSuffix[] = ".autosave";

}  // namespace

void setFileName(Editor& editor, const char* name) {
  const size_t length = std::strlen(name);
  std::unique_ptr<char[]> candidate(new char[length + sizeof kAutosaveSuffix]);
  std::memcpy(candidate.get(), name, length);
  std::memcpy(candidate.get() + length, kAutosaveSuffix, sizeof kAutosaveSuffix);

  // A copy this run made under an earlier name is its own: it goes with that name.
  if (editor.autosaveName) platform::removeFile(editor.autosaveName.get());
  editor.autosaveName.reset();
  if (!platform::fileExists(candidate.get())) {
    editor.autosaveName = std::move(candidate);
  } else {
    const char* question = "Autosave file seems to exist, overwrite? (Y/n)";
    if (askQuestion(*editor.screen, *editor.keyboard, question) ==
        Answer::Yes) {  // no answer (the input has gone) keeps the old copy
      platform::removeFile(candidate.get());
      editor.autosaveName = std::move(candidate);
    }
  }

  editor.fileName.reset(new char[length + 1]);
  std::memcpy(editor.fileName.get(), name, length + 1);
}

int Editor::autosaveNow() {
  if (!autosaveName) return 0;
  std::string reason;
  // A new copy is as private as the document it copies.
  return files::writeDocumentFile(*this, autosaveName.get(), fileName.get(), reason) ? 1 : 0;
}
