// Whole sessions on the in-memory console around the questions a save asks before it
// replaces a file (the plain cases are played end to end in a terminal): a file that
// appeared or a link turned elsewhere since the start, and F12's save under a new name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

#include "app/app.h"
#include "core/editor.h"
#include "files/file_support_posix.h"
#include "platform/key_codes.h"
#include "support/document.h"
#include "support/test_session.h"

using filetest::readFile;
using filetest::TempDir;
using filetest::WorkIn;
using filetest::writeFile;

namespace {

using Names = std::vector<std::string>;

// Keys typed on the console: text, or the name of one key.
void keys(console::MemoryConsole& console, const std::string& text) {
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    console.pushKey(std::isalpha(u) ? static_cast<uint16_t>(std::toupper(u)) : 0, u, 0);
  }
}
void press(console::MemoryConsole& console, uint16_t key, uint32_t controlKeyState = 0) {
  const uint8_t ch = key == vk::Return ? 13 : key == vk::Back ? 8 : 0;
  console.pushKey(key, ch, controlKeyState);
}

std::string statusRow(TestSession& t) {
  std::string row = t.console.rowText(t.console.height - 1);
  return row.substr(0, row.find_last_not_of(' ') + 1);
}

// An editor with a file loaded, played one event at a time.
struct Editing {
  explicit Editing(const std::string& name) {
    setFileName(editor, name.c_str());
    editor.loadDocument();
  }
  // Handles every queued event, then redraws.
  void play() {
    while (t.console.numberOfInputEvents() > 0) t.session.keyboard.waitAndHandleEvent(editor);
    editor.redraw();
  }
  std::string status() { return statusRow(t); }
  TestSession t;
  SessionEditor editor{t};
};

// ---- a file changed on disk ----

TEST(ChangedOnDisk, AFileThatAppearedOrALinkTurnedElsewhereIsAskedAbout) {
  TempDir temp;
  writeFile(temp.path("a"), "a\n");
  writeFile(temp.path("b"), "b\n");
  ASSERT_EQ(symlink("a", temp.path("link").c_str()), 0);
  {
    Editing e(temp.path("link"));
    ASSERT_EQ(unlink(temp.path("link").c_str()), 0);
    ASSERT_EQ(symlink("b", temp.path("link").c_str()), 0);
    keys(e.t.console, "x");
    press(e.t.console, vk::F2);
    keys(e.t.console, "n");
    e.play();
    EXPECT_EQ(e.status(), "Not saved");
    EXPECT_EQ(readFile(temp.path("b")), "b\n");
  }
  {
    Editing e(temp.path("new"));
    writeFile(temp.path("new"), "made meanwhile\n");
    keys(e.t.console, "x");
    press(e.t.console, vk::F2);
    keys(e.t.console, "n");
    e.play();
    EXPECT_EQ(e.status(), "Not saved");
    EXPECT_EQ(readFile(temp.path("new")), "made meanwhile\n");
  }
}

// Changes a look at the size and the modification time cannot see: the file deleted, a link
// turned to a file that does not exist yet, the same number of bytes written with the old
// modification time put back (cp -p, rsync -t, touch -d). Each is asked about; n writes
// nothing, y writes the document, and a deleted file comes back with the mode it had.
TEST(ChangedOnDisk, ChangesThatKeepSizeAndTimeOrLeaveNoFileAreAskedAbout) {
  for (const std::string change : {"deleted", "link to nothing", "time put back"}) {
    for (const bool yes : {false, true}) {
      SCOPED_TRACE(change + (yes ? ", y" : ", n"));
      TempDir temp;
      writeFile(temp.path("doc"), "old\n");
      ASSERT_EQ(chmod(temp.path("doc").c_str(), 0600), 0);
      const std::string name = change == "link to nothing" ? "link" : "doc";
      if (name == "link") {
        ASSERT_EQ(symlink("doc", temp.path("link").c_str()), 0);
      }
      Editing e(temp.path(name));
      struct stat before;
      ASSERT_EQ(stat(temp.path("doc").c_str(), &before), 0);
      if (change == "deleted") {
        ASSERT_EQ(unlink(temp.path("doc").c_str()), 0);
      }
      if (change == "link to nothing") {
        ASSERT_EQ(unlink(temp.path("link").c_str()), 0);
        ASSERT_EQ(symlink("made", temp.path("link").c_str()), 0);
      }
      if (change == "time put back") {
        writeFile(temp.path("doc"), "new\n");
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, temp.path("doc").c_str(), times, 0), 0);
      }
      keys(e.t.console, "x");
      press(e.t.console, vk::F2);
      keys(e.t.console, yes ? "y" : "n");
      e.play();
      const std::string target = temp.path(change == "link to nothing" ? "made" : "doc");
      if (!yes) {
        EXPECT_EQ(e.status(), "Not saved");
        EXPECT_EQ(readFile(target), change == "time put back" ? "new\n" : "");
        continue;
      }
      EXPECT_EQ(e.editor.modified, 0) << e.status();
      EXPECT_EQ(readFile(target), "xold\n");
      if (change == "deleted") {
        EXPECT_EQ(filetest::modeOf(target), 0600u);
      }
    }
  }
}

// ---- F12, save as ----

TEST(SaveAs, TheDocumentTakesTheNewNameAndItsAutosaveFile) {
  TempDir temp;
  WorkIn work(temp.dir());
  writeFile("a.txt", "text\n");
  Editing e("a.txt");
  keys(e.t.console, "1");
  e.play();
  ASSERT_EQ(e.editor.autosaveNow(), 1);  // a copy of this run under the old name
  ASSERT_EQ(temp.names(), (Names{"a.txt", "a.txt.autosave"}));

  press(e.t.console, vk::F12);
  for (int i = 0; i < 5; ++i) press(e.t.console, vk::Back);  // the current name is offered
  keys(e.t.console, "b.txt");
  press(e.t.console, vk::Return);
  e.play();
  EXPECT_EQ(e.status(), "Saved b.txt (6 bytes)");
  EXPECT_STREQ(e.editor.fileName.get(), "b.txt");
  EXPECT_STREQ(e.editor.autosaveName.get(), "b.txt.autosave");
  EXPECT_EQ(e.editor.modified, 0);
  EXPECT_EQ(readFile("b.txt"), "1text\n");
  EXPECT_EQ(temp.names(), (Names{"a.txt", "b.txt"})) << "the old copy goes";
}

// The current name is offered whole, however long (it scrolls within the status line); one
// key clears it, so what is typed then is the whole new name, and Up brings the old one back.
TEST(SaveAs, TheNameOfferedIsWholeAndCanBeClearedOrRecalled) {
  TempDir temp;
  WorkIn work(temp.dir());
  const std::string name(100, 'n');  // wider than the 80 columns
  writeFile(name, "text\n");
  Editing e(name);
  keys(e.t.console, "1");
  press(e.t.console, vk::F12);
  press(e.t.console, vk::Return);
  keys(e.t.console, "2");
  press(e.t.console, vk::F12);
  press(e.t.console, vk::Delete, console::SHIFT_PRESSED);
  keys(e.t.console, "new.txt");
  press(e.t.console, vk::Return);
  keys(e.t.console, "3");
  press(e.t.console, vk::F12);
  press(e.t.console, vk::Delete, console::SHIFT_PRESSED);
  press(e.t.console, vk::Up);
  press(e.t.console, vk::Up);  // the newest is new.txt, shown first after clearing
  press(e.t.console, vk::Return);
  keys(e.t.console, "y");  // the old name is another file now: asked first
  e.play();
  EXPECT_EQ(e.editor.modified, 0);
  EXPECT_EQ(readFile(name), "123text\n");
  EXPECT_EQ(readFile("new.txt"), "12text\n");
  EXPECT_STREQ(e.editor.fileName.get(), name.c_str());
}

TEST(SaveAs, AFailedSaveChangesNothingButTheMessage) {
  TempDir temp;
  WorkIn work(temp.dir());
  mkdir("folder", 0755);
  writeFile("folder.autosave", "an old copy\n");
  Editing e("");
  keys(e.t.console, "x");
  press(e.t.console, vk::F12);
  keys(e.t.console, "folder");
  press(e.t.console, vk::Return);
  e.play();
  EXPECT_EQ(e.status(), "Save failed: Is a directory");
  EXPECT_STREQ(e.editor.fileName.get(), "");
  EXPECT_EQ(e.editor.modified, 1);
  EXPECT_EQ(readFile("folder.autosave"), "an old copy\n") << "asked about only on success";
}

}  // namespace
