// Whole sessions on the in-memory console around the questions a save asks before it
// replaces a file, where a scenario case cannot say it: a file changed with its old time put
// back, and F12's name offered whole when it is longer than the status line.
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
#include "support/session_input.h"
#include "support/test_session.h"

using filetest::readFile;
using filetest::TempDir;
using filetest::WorkIn;
using filetest::writeFile;

namespace {

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

// The same number of bytes written with the old modification time put back (cp -p, rsync -t,
// touch -d): a look at size and time cannot see it, and it is asked about all the same; n
// writes nothing, y writes the document. (The cases under scenarios/cases/files play the
// deleted file and the link turned elsewhere.)
TEST(ChangedOnDisk, SameSizeWithTheOldTimePutBackIsAskedAbout) {
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "y" : "n");
    TempDir temp;
    writeFile(temp.path("doc"), "old\n");
    Editing e(temp.path("doc"));
    struct stat before;
    ASSERT_EQ(stat(temp.path("doc").c_str(), &before), 0);
    writeFile(temp.path("doc"), "new\n");
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, temp.path("doc").c_str(), times, 0), 0);
    type(e.t.console, "x");
    press(e.t.console, vk::F2);
    type(e.t.console, yes ? "y" : "n");
    e.play();
    if (!yes) {
      EXPECT_EQ(e.status(), "Not saved");
    }
    EXPECT_EQ(e.editor.modified, yes ? 0 : 1);
    EXPECT_EQ(readFile(temp.path("doc")), yes ? "xold\n" : "new\n");
  }
}

// ---- F12, save as ----

// The current name is offered whole, however long (it scrolls within the status line); one
// key clears it, so what is typed then is the whole new name, and Up brings the old one back.
TEST(SaveAs, TheNameOfferedIsWholeAndCanBeClearedOrRecalled) {
  TempDir temp;
  WorkIn work(temp.dir());
  const std::string name(100, 'n');  // wider than the 80 columns
  writeFile(name, "text\n");
  Editing e(name);
  type(e.t.console, "1");
  press(e.t.console, vk::F12);
  press(e.t.console, vk::Return);
  type(e.t.console, "2");
  press(e.t.console, vk::F12);
  press(e.t.console, vk::Delete, console::SHIFT_PRESSED);
  type(e.t.console, "new.txt");
  press(e.t.console, vk::Return);
  type(e.t.console, "3");
  press(e.t.console, vk::F12);
  press(e.t.console, vk::Delete, console::SHIFT_PRESSED);
  press(e.t.console, vk::Up);
  press(e.t.console, vk::Up);  // the newest is new.txt, shown first after clearing
  press(e.t.console, vk::Return);
  type(e.t.console, "y");  // the old name is another file now: asked first
  e.play();
  EXPECT_EQ(e.editor.modified, 0);
  EXPECT_EQ(readFile(name), "123text\n");
  EXPECT_EQ(readFile("new.txt"), "12text\n");
  EXPECT_STREQ(e.editor.fileName.get(), name.c_str());
}

}  // namespace
