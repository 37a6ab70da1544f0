// The ways back to the work: r at the start-up question opens the old copy as one undoable
// step; a copy that cannot go beside its file goes to a folder of the user's own, and the
// end says where, or that it went nowhere.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

#include "app/app.h"
#include "app/command_line.h"
#include "core/editor.h"
#include "files/fallback_copy.h"
#include "files/file_support_posix.h"
#include "files/recovery.h"
#include "platform/file_system.h"
#include "platform/key_codes.h"
#include "support/document.h"
#include "support/session_input.h"
#include "support/test_session.h"

using filetest::exists;
using filetest::inChild;
using filetest::readFile;
using filetest::TempDir;
using filetest::writeFile;

namespace {

using Names = std::vector<std::string>;

TEST(OldCopy, ROpensItAsOneStepAndItStaysUntilThisRunReplacesIt) {
  TempDir temp;
  const std::string path = temp.path("notes.txt");
  const std::string copy = path + ".autosave";
  {  // r, then F9 and Shift+F9 compare the two; a discarding end keeps the copy
    writeFile(path, "file text\r\n");
    writeFile(copy, "crash\r\ntext");
    TestSession t(120);
    type(t.console, "r");
    t.console.pushKey(vk::F9, 0, 0);
    SessionEditor editor(t);
    setFileName(editor, path.c_str());
    EXPECT_EQ(statusRow(t), "Autosave file seems to exist, overwrite? (Y/n) or r to open " + copy);
    editor.loadDocument();
    files::openAskedCopy(editor);
    EXPECT_EQ(documentBytes(editor), "crash\r\ntext\n");
    EXPECT_EQ(editor.modified, 1);
    EXPECT_STREQ(editor.fileName.get(), path.c_str());
    EXPECT_EQ(editor.undo(), 1);
    editor.afterCommand(false);
    EXPECT_EQ(documentBytes(editor), "file text\r\n");
    EXPECT_EQ(editor.redo(), 1);
    editor.afterCommand(false);
    EXPECT_EQ(documentBytes(editor), "crash\r\ntext\n");
  }
  EXPECT_EQ(readFile(copy), "crash\r\ntext");
  {  // r and F2: the file takes the copy's text, and the copy goes
    TestSession t(120);
    type(t.console, "r");
    t.console.pushKey(vk::F2, 0, 0);
    runProgram(t, path);
    EXPECT_EQ(readFile(path), "crash\r\ntext\n");
    EXPECT_EQ(temp.names(), Names{"notes.txt"});
  }
  {  // too narrow even for "or r to open it": no r, y and n as ever
    writeFile(copy, "crash\n");
    TestSession t(60);
    type(t.console, "rn");
    SessionEditor editor(t);
    setFileName(editor, path.c_str());
    EXPECT_EQ(statusRow(t), "Autosave file seems to exist, overwrite? (Y/n)");
    EXPECT_EQ(editor.autosaveName, nullptr);
    EXPECT_EQ(readFile(copy), "crash\n");
  }
  {  // kept with n, then the input ends: the work goes beside it, and the end says where
    TestSession t(120);
    type(t.console, "nw");
    std::string note;
    EXPECT_EQ(runProgram(t, path, &note), 0);
    EXPECT_EQ(readFile(copy), "crash\n");
    EXPECT_EQ(note, "slate: the unsaved work is in " + copy + ".1");
  }
}

// A copy opened at the question (r) while another editor has the file open: the status line
// still says the file is open there.
TEST(OldCopy, OpenedWhileAnotherEditorHasTheFileTheStatusSaysBoth) {
  TempDir temp;
  const std::string path = temp.path("f.txt");
  writeFile(path, "base\n");
  Editor first;
  filetest::prepareModified(first, path, "first\n");
  writeFile(path + ".2.autosave", "left\n");
  TestSession t(120);
  type(t.console, "r");
  SessionEditor second(t);
  setFileName(second, path.c_str());
  second.loadDocument();
  files::openAskedCopy(second);
  EXPECT_EQ(documentBytes(second), "left\n");
  EXPECT_EQ(message(second), path + " is already open in another Slate (process " +
                                 std::to_string(getpid()) + "); Opened " + path +
                                 ".2.autosave; F9 shows the file");
}

// A document in a folder it cannot write to (run as a user without privileges): the work
// goes to the state folder, else a private folder in the temporary folder, each named after
// the file's full path; with neither, the exit status says the work is lost, and why.
TEST(Fallback, TheWorkGoesToAFolderOfTheUsersOwnOrTheEndSaysItWentNowhere) {
  TempDir temp;
  const std::string locked = temp.path("locked");
  mkdir(locked.c_str(), 0755);
  writeFile(locked + "/doc", "text\n");
  mkdir(temp.path("state").c_str(), 0755);
  mkdir(temp.path("tmp").c_str(), 0755);
  if (geteuid() == 0) {
    for (const char* name : {"", "/state", "/tmp"})
      ASSERT_EQ(
          chown((temp.dir() + name).c_str(), filetest::kUnprivilegedId, filetest::kUnprivilegedId),
          0);
  }
  chmod(locked.c_str(), 0555);
  const std::string report = inChild(
      [&]() -> std::string {
        platform::useFallbackFolders(nullptr);
        setenv("XDG_STATE_HOME", temp.path("state").c_str(), 1);
        setenv("TMPDIR", temp.path("tmp").c_str(), 1);
        std::string note;
        {
          TestSession t;
          type(t.console, "a");
          if (runProgram(t, locked + "/doc", &note) != 0)
            return "exit status with the state folder";
        }
        const std::string first =
            files::fallbackCopyName(temp.path("state/slate"), (locked + "/doc").c_str());
        if (readFile(first) != "atext\n") return "not in the state folder: " + note;
        if (note.find(" is in " + first) == std::string::npos) return "note: " + note;
        chmod(temp.path("state/slate").c_str(), 0500);
        {
          TestSession t;
          type(t.console, "b");
          if (runProgram(t, locked + "/doc", &note) != 0)
            return "exit status with the temporary folder";
        }
        const std::string own = temp.path("tmp/slate-") + std::to_string(geteuid());
        if (readFile(files::fallbackCopyName(own, (locked + "/doc").c_str())) != "btext\n")
          return "not in the temporary folder: " + note;
        if (filetest::modeOf(own) != 0700) return "the folder is open to others";
        chmod(own.c_str(), 0500);
        {
          TestSession t;
          type(t.console, "c");
          if (runProgram(t, locked + "/doc", &note) != kWorkLost)
            return "the lost work ends with 0";
        }
        if (note.find("could not be saved anywhere") == std::string::npos) return "note: " + note;
        chmod(own.c_str(), 0700);
        return "";
      },
      true);
  EXPECT_EQ(report, "");
  EXPECT_EQ(readFile(locked + "/doc"), "text\n");
  chmod(temp.path("state/slate").c_str(), 0700);
}

// The timed autosave that cannot write beside the file falls back the same way, once said.
TEST(Fallback, TheTimedAutosaveFallsBackAndSaysWhere) {
  TempDir temp;
  const std::string locked = temp.path("locked");
  mkdir(locked.c_str(), 0755);
  writeFile(locked + "/doc", "text\n");
  if (geteuid() == 0) {
    ASSERT_EQ(chown(temp.dir().c_str(), filetest::kUnprivilegedId, filetest::kUnprivilegedId), 0);
  }
  chmod(locked.c_str(), 0555);
  const std::string report = inChild(
      [&]() -> std::string {
        platform::useFallbackFolders(nullptr);
        setenv("XDG_STATE_HOME", temp.path("state").c_str(), 1);
        Editor editor;
        filetest::prepareModified(editor, locked + "/doc", "new\n");
        if (editor.autosaveNow() != 1) return "the autosave failed";
        const std::string copy =
            files::fallbackCopyName(temp.path("state/slate"), (locked + "/doc").c_str());
        if (readFile(copy) != "new\n") return "no copy in the state folder";
        const std::string said = editor.pendingMessage ? editor.pendingMessage.get() : "no message";
        Editor next;  // the file opened again says where the copy is
        setFileName(next, (locked + "/doc").c_str());
        const std::string expected = "An autosave copy of " + locked + "/doc is in " + copy;
        if (!next.pendingMessage || next.pendingMessage.get() != expected) return "not told again";
        return said;
      },
      true);
  EXPECT_EQ(
      report.rfind("Autosave: Permission denied; the copy is in " + temp.path("state/slate/"), 0),
      0u)
      << report;
}

// A name too long to take ".autosave" still has its copy, in the fallback folder under a name
// cut to fit.
TEST(Fallback, ANameTooLongForACopyBesideItStillHasOne) {
  TempDir temp;
  const std::string path = temp.path(std::string(250, 'n'));
  writeFile(path, "text\n");
  const std::vector<std::string> folders = {temp.path("state")};
  mkdir(folders[0].c_str(), 0700);
  platform::useFallbackFolders(&folders);
  Editor editor;
  filetest::prepareModified(editor, path, "new\n");
  EXPECT_EQ(editor.autosaveNow(), 1);
  static const std::vector<std::string> none;
  platform::useFallbackFolders(&none);
  EXPECT_EQ(readFile(files::fallbackCopyName(folders[0], path.c_str())), "new\n");
}

// A copy left in a fallback folder is named when the file is opened again, by whatever path:
// the newest of the numbered copies, though the first number's copy is gone.
TEST(Fallback, OpeningTheFileAgainNamesTheCopyLeftThere) {
  TempDir temp;
  const std::string path = temp.path("doc");
  writeFile(path, "text\n");
  mkdir(temp.path("sub").c_str(), 0755);
  const std::vector<std::string> folders = {temp.path("state")};
  mkdir(folders[0].c_str(), 0700);
  platform::useFallbackFolders(&folders);
  const std::string copy = files::fallbackCopyName(folders[0], path.c_str()) + ".1";
  writeFile(copy, "work\n");
  for (const std::string& name : {path, temp.path("./doc"), temp.path("sub/../doc")}) {
    Editor editor;
    setFileName(editor, name.c_str());
    const std::string said = editor.pendingMessage ? editor.pendingMessage.get() : "";
    EXPECT_EQ(said, "An autosave copy of " + name + " is in " + copy);
  }
  static const std::vector<std::string> none;
  platform::useFallbackFolders(&none);
}

}  // namespace
