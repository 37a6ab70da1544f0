// A whole session on the in-memory console around a question a save asks before it replaces
// a file, where a scenario case cannot say it: a file changed with its old time put back.
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

}  // namespace
