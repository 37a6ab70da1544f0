// The autosave copy beside the document: its name claimed when the document's name is given,
// written when the timer of the input wait expires.
#include <cstring>
#include <memory>
#include <string>

#include "core/editor.h"
#include "files/fallback_copy.h"
#include "files/load_save.h"
#include "files/recovery.h"
#include "input/keyboard.h"
#include "input/prompt.h"
#include "platform/file_system.h"
#include "screen/screen.h"

namespace {

constexpr int kMostCopies = 99;

// NAME.autosave for the first Slate on a file, NAME.N.autosave for the Nth at once.
std::string copyName(const std::string& name, int n) {
  return n == 1 ? name + ".autosave" : name + "." + std::to_string(n) + ".autosave";
}

// The hidden lock file beside a copy.
std::string lockName(const std::string& copy) {
#ifdef _WIN32
  const size_t cut = copy.find_last_of("/\\:");
#else
  const size_t cut = copy.rfind('/');
#endif
  const size_t base = cut == std::string::npos ? 0 : cut + 1;
  return copy.substr(0, base) + "." + copy.substr(base) + ".lock";
}

// Whether copy n of name is also the first copy of another file, NAME.N, that exists: a Slate
// on that file may have left it, so it is never taken for this one's.
bool anotherFilesCopy(const std::string& name, int n) {
  return n > 1 && platform::fileExists((name + "." + std::to_string(n)).c_str());
}

// Claims the autosave name of a document: a copy left by a Slate that is gone comes first
// (the user is asked about it), else the first name no other Slate holds. holder is the
// process id of a Slate that holds the plain name (-1 when its lock file does not say), 0
// when none does.
int claimCopyName(Editor& editor, const std::string& name, long& holder) {
  holder = 0;
  int chosen = 0;
  for (int n = 1; n <= kMostCopies; ++n) {
    if (anotherFilesCopy(name, n)) continue;
    const std::string copy = copyName(name, n);
    const std::string lock = lockName(copy);
    // Past the first free name only a copy or a lock file is looked at: a Slate that took a
    // later name may have outlived the one before it, so a gap does not end the search.
    if (chosen != 0 && !platform::fileExists(lock.c_str()) && !platform::fileExists(copy.c_str()))
      continue;
    platform::NameLock claim;
    long other = 0;
    if (claim.take(lock, other) == platform::NameLock::Result::Busy) {
      if (n == 1) holder = other;
      continue;
    }
    const bool copyExists = platform::fileExists(copy.c_str());
    if (chosen == 0 || copyExists) {
      chosen = n;
      // A lock that cannot be made (a read-only folder) leaves the name unclaimed.
      editor.autosaveLock = std::move(claim);
      if (copyExists) break;
    }
  }
  return chosen;
}

// The first name after copy n that no file has and no other Slate holds, claimed; "" when
// there is none.
std::string nextFreeCopyName(Editor& editor, const std::string& name, int n) {
  for (int next = n + 1; next <= kMostCopies; ++next) {
    const std::string copy = copyName(name, next);
    long ignored = 0;
    if (anotherFilesCopy(name, next) || platform::fileExists(copy.c_str())) continue;
    if (editor.autosaveLock.take(lockName(copy), ignored) != platform::NameLock::Result::Busy)
      return copy;
  }
  return "";
}

// After y at the question: the old copy goes when it is this user's plain file; a link or
// another's file is never removed, and the copy goes under the next free name instead.
std::string replaceableCopyName(Editor& editor, const std::string& name, int n) {
  const std::string copy = copyName(name, n);
  if (platform::isOwnPlainFile(copy.c_str()) && platform::removeFile(copy.c_str())) return copy;
  return nextFreeCopyName(editor, name, n);
}

void setAutosaveName(Editor& editor, const std::string& copy) {
  if (copy.empty()) return;
  editor.autosaveName.reset(new char[copy.size() + 1]);
  std::memcpy(editor.autosaveName.get(), copy.c_str(), copy.size() + 1);
}

// y removes the old copy, n keeps it and this run has none; r opens it in place of the file's
// text, the copy kept until this run's own autosave or save replaces or removes it. The offer
// of r names the copy where the width allows (opening it says which it was). False when the
// answer was no: the name stays held, so that another Slate on the file is told and keeps off
// the copy kept.
bool askAboutOldCopy(Editor& editor, const std::string& name, int n) {
  const std::string copy = copyName(name, n);
  const std::string question = "Autosave file seems to exist, overwrite? (Y/n)";
  const std::string named = question + " or r to open " + copy;
  const std::string unnamed = question + " or r to open it";
  const size_t columns = static_cast<size_t>(editor.screen->columns);
  const bool canOpen = platform::isOwnPlainFile(copy.c_str()) && unnamed.size() <= columns;
  const std::string& asked = !canOpen ? question : named.size() <= columns ? named : unnamed;
  // No answer (the input has gone) keeps the copy.
  const Answer answer = askQuestion(*editor.screen, *editor.keyboard, asked.c_str(), canOpen);
  if (answer == Answer::Yes) setAutosaveName(editor, replaceableCopyName(editor, name, n));
  if (answer == Answer::Open) {
    setAutosaveName(editor, copy);
    editor.autosaveStamp = platform::stampOf(copy.c_str());
    editor.autosaveAdopted = 1;
    editor.copyToOpen = copy;
  }
  return answer == Answer::Yes || answer == Answer::Open;
}

}  // namespace

void setFileName(Editor& editor, const char* name) {
  // A copy this run made under an earlier name is its own: it goes with that name.
  if (editor.autosaveName && !editor.autosaveAdopted)
    platform::removeOwnCopy(editor.autosaveName.get(), editor.autosaveStamp);
  editor.autosaveName.reset();
  editor.autosaveStamp = platform::FileStamp{};
  editor.autosaveAdopted = 0;
  editor.autosaveLock.release();

  long holder = 0;
  const int n = claimCopyName(editor, name, holder);
  std::string said;
  if (holder != 0)
    said = std::string(name) + " is already open in another Slate" +
           (holder > 0 ? " (process " + std::to_string(holder) + ")" : "");
  // Work a hang-up put in a folder of the user's own is named where the file is opened again,
  // as the message it left on standard error may never have been seen.
  const std::string elsewhere = files::findFallbackCopy(name);
  if (!elsewhere.empty())
    said += (said.empty() ? "" : "; ") + std::string("An autosave copy of ") + name + " is in " +
            elsewhere;
  if (!said.empty()) editor.setPendingMessage(said.c_str());
  bool keptOldCopy = false;
  if (n > 0) {
    const std::string copy = copyName(name, n);
    if (!platform::fileExists(copy.c_str())) {
      setAutosaveName(editor, copy);
    } else {
      keptOldCopy = !askAboutOldCopy(editor, name, n);
    }
  }
  if (!editor.autosaveName && !keptOldCopy) editor.autosaveLock.release();
  // A copy under the new name gets the timer back, though the autosave was switched off
  // before (a document without a name has none, and the first timer says so).
  if (editor.autosaveName && editor.keyboard) editor.keyboard->autosaveDisabled = 0;

  const size_t length = std::strlen(name);
  editor.fileName.reset(new char[length + 1]);
  std::memcpy(editor.fileName.get(), name, length + 1);
}

void files::keepOldCopy(Editor& editor) {
  if (!editor.autosaveAdopted || !editor.autosaveName) return;
  const std::string name = editor.fileName.get();
  const std::string old = editor.autosaveName.get();
  int n = 1;
  while (n < kMostCopies && copyName(name, n) != old) ++n;
  editor.autosaveName.reset();
  editor.autosaveStamp = platform::FileStamp{};
  editor.autosaveAdopted = 0;
  setAutosaveName(editor, nextFreeCopyName(editor, name, n));
  if (!editor.autosaveName) editor.autosaveLock.release();
}

void files::keepUndoneCopy(Editor& editor) {
  if (!editor.autosaveAdopted || editor.adoptedStep == 0) return;
  const UndoHistory& history = editor.undoHistory;
  // The copy of a save cut short, opened after it, takes the whole text's place as well.
  if (!history.stepDone(editor.adoptedStep) ||
      (editor.copiesStep > editor.adoptedStep && history.stepDone(editor.copiesStep)))
    keepOldCopy(editor);
}

int Editor::autosaveNow() {
  if (!autosaveName) return 0;
  std::string reason;
  if (!modified) {
    // The document is its file again: a copy would only stand for changes that are gone.
    if (!autosaveAdopted && platform::removeOwnCopy(autosaveName.get(), autosaveStamp))
      autosaveStamp = platform::FileStamp{};
    autosavePending = 0;
    return 1;
  }
  files::keepUndoneCopy(*this);
  if (!autosaveName) return 0;
  if (files::writeOwnCopy(*this, autosaveName.get(), autosaveStamp, reason)) {
    autosavePending = 0;
    autosaveAdopted = 0;  // the copy is this run's own now
    return 1;
  }
  // It cannot go beside the file (a full disk, a read-only folder): it goes to a folder of the
  // user's own from now on, which the status line says once.
  platform::FileStamp elsewhere;
  std::string why;
  const std::string fallback = files::writeFallbackCopy(*this, elsewhere, why);
  if (fallback.empty()) return 0;
  autosavePending = 0;
  if (!autosaveAdopted) platform::removeOwnCopy(autosaveName.get(), autosaveStamp);
  setAutosaveName(*this, fallback);
  autosaveStamp = elsewhere;
  autosaveAdopted = 0;
  autosaveElsewhere = 1;
  autosaveLock.release();
  setPendingMessage(("Autosave: " + reason + "; the copy is in " + fallback).c_str());
  return 1;
}
