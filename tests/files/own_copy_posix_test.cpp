// The autosave copy is the editor's own: never written through a link, never over a file this
// run did not write, never removed when it is not its own; and one editor per autosave name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

#include "app/app.h"
#include "app/command_line.h"
#include "core/editor.h"
#include "files/file_support_posix.h"
#include "support/session_input.h"
#include "support/test_session.h"

using filetest::exists;
using filetest::prepareModified;
using filetest::readFile;
using filetest::TempDir;
using filetest::writeFile;

namespace {

using Names = std::vector<std::string>;

bool isLink(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Names planted under the autosave name after the editor started: a link to another file, a
// link to nowhere, another's plain file. The autosave refuses each, writes nothing through
// it, and the end leaves it as it was.
TEST(OwnCopy, NothingPlantedUnderTheNameIsWrittenThroughOrRemoved) {
  TempDir temp;
  const std::string path = temp.path("notes.txt");
  const std::string copy = path + ".autosave";
  writeFile(path, "notes\n");
  writeFile(temp.path("victim.txt"), "precious\n");
  for (const std::string planted : {"link", "dangling", "file"}) {
    SCOPED_TRACE(planted);
    {
      Editor editor;
      prepareModified(editor, path, "new\n");
      if (planted == "file") {
        writeFile(copy, "someone's\n");
      } else {
        ASSERT_EQ(symlink(planted == "link" ? "victim.txt" : "made.txt", copy.c_str()), 0);
      }
      EXPECT_EQ(editor.autosaveNow(), 0);
    }
    EXPECT_EQ(readFile(temp.path("victim.txt")), "precious\n");
    EXPECT_FALSE(exists(temp.path("made.txt")));
    EXPECT_EQ(isLink(copy), planted != "file");
    if (planted == "file") {
      EXPECT_EQ(readFile(copy), "someone's\n");
    }
    ASSERT_EQ(unlink(copy.c_str()), 0);
  }
  // A copy this run wrote is replaced by the next autosave, and removed at the end; once
  // another file takes its place, that file is neither.
  {
    Editor editor;
    prepareModified(editor, path, "first\n");
    ASSERT_EQ(editor.autosaveNow(), 1);
    prepareModified(editor, path, "second\n");
    ASSERT_EQ(editor.autosaveNow(), 1);
    EXPECT_EQ(readFile(copy), "second\n");
    ASSERT_EQ(unlink(copy.c_str()), 0);
    ASSERT_EQ(symlink("victim.txt", copy.c_str()), 0);
    EXPECT_EQ(editor.autosaveNow(), 0);
  }
  EXPECT_TRUE(isLink(copy));
  EXPECT_EQ(readFile(temp.path("victim.txt")), "precious\n");
}

// A link planted before the start counts as an old copy: y at the question keeps it and the
// work goes under a name of its own; a hang-up keeps the work there.
TEST(OwnCopy, ALinkFoundAtTheStartIsAskedAboutAndNeverFollowed) {
  TempDir temp;
  const std::string path = temp.path("notes.txt");
  writeFile(path, "hello\n");
  writeFile(temp.path("victim.txt"), "precious\n");
  ASSERT_EQ(symlink("victim.txt", (path + ".autosave").c_str()), 0);
  TestSession t;
  type(t.console, "y");
  type(t.console, "a");
  runProgram(t, path);  // the input ends while editing: a hang-up
  EXPECT_EQ(readFile(temp.path("victim.txt")), "precious\n");
  EXPECT_TRUE(isLink(path + ".autosave"));
  EXPECT_EQ(readFile(path + ".2.autosave"), "ahello\n");
  EXPECT_EQ(readFile(path), "hello\n");
}

// Two editors on one file: the second is told and autosaves under a name of its own; each end
// removes only its own copy, and a hang-up of either keeps its own.
TEST(OwnCopy, TwoEditorsOnOneFileKeepTheirCopiesApart) {
  TempDir temp;
  const std::string path = temp.path("f.txt");
  writeFile(path, "base\n");
  auto first = std::make_unique<Editor>();
  prepareModified(*first, path, "first\n");
  EXPECT_EQ(message(*first), "");
  TestSession other;  // no key: a question would go unanswered
  SessionEditor second(other);
  prepareModified(second, path, "second\n");
  EXPECT_EQ(message(second),
            path + " is already open in another Slate (process " + std::to_string(getpid()) + ")");
  ASSERT_NE(second.autosaveName, nullptr);
  EXPECT_EQ(std::string(second.autosaveName.get()), path + ".2.autosave");
  ASSERT_EQ(second.autosaveNow(), 1);
  ASSERT_EQ(first->autosaveNow(), 1);
  EXPECT_EQ(readFile(path + ".autosave"), "first\n");
  EXPECT_EQ(readFile(path + ".2.autosave"), "second\n");
  first.reset();  // a normal end
  EXPECT_FALSE(exists(path + ".autosave"));
  EXPECT_EQ(readFile(path + ".2.autosave"), "second\n");
  // A third start finds the second's name held, and the first's free again.
  Editor third;
  prepareModified(third, path, "third\n");
  EXPECT_EQ(std::string(third.autosaveName.get()), path + ".autosave");
}

// A lock file its holder could not write its process id into (a full disk) still tells the
// second editor that the file is open.
TEST(OwnCopy, AHolderThatCouldNotSayWhoItIsIsToldAllTheSame) {
  TempDir temp;
  const std::string path = temp.path("f.txt");
  writeFile(path, "base\n");
  Editor first;
  setFileName(first, path.c_str());
  ASSERT_EQ(truncate(temp.path(".f.txt.autosave.lock").c_str(), 0), 0);
  Editor second;
  setFileName(second, path.c_str());
  EXPECT_EQ(message(second), path + " is already open in another Slate");
}

// A copy left by an editor that is gone comes before a free name: the next start asks about
// it, whichever number it has.
TEST(OwnCopy, ACopyLeftUnderASecondNameIsFoundAtTheNextStart) {
  TempDir temp;
  const std::string path = temp.path("f.txt");
  writeFile(path, "base\n");
  writeFile(path + ".2.autosave", "left by a second editor\n");
  TestSession t;
  type(t.console, "n");
  SessionEditor editor(t);
  setFileName(editor, path.c_str());
  EXPECT_EQ(t.console.rowText(t.console.height - 1).rfind("Autosave file seems to exist", 0), 0u);
  EXPECT_EQ(editor.autosaveName, nullptr);
  EXPECT_EQ(readFile(path + ".2.autosave"), "left by a second editor\n");
}

// An old copy kept at the question (n) leaves this run without a copy, but the name stays
// held: a second editor on the file is told, and neither asks about nor touches that copy.
TEST(OwnCopy, AnOldCopyKeptAtTheQuestionKeepsTheNameHeld) {
  TempDir temp;
  const std::string path = temp.path("f.txt");
  writeFile(path, "base\n");
  writeFile(path + ".autosave", "old\n");
  TestSession t;
  type(t.console, "n");
  SessionEditor first(t);
  setFileName(first, path.c_str());
  EXPECT_EQ(first.autosaveName, nullptr);
  TestSession other;  // no key: a question would go unanswered
  SessionEditor second(other);
  prepareModified(second, path, "second\n");
  EXPECT_EQ(message(second),
            path + " is already open in another Slate (process " + std::to_string(getpid()) + ")");
  ASSERT_NE(second.autosaveName, nullptr);
  EXPECT_EQ(std::string(second.autosaveName.get()), path + ".2.autosave");
  ASSERT_EQ(second.autosaveNow(), 1);
  EXPECT_EQ(readFile(path + ".autosave"), "old\n");
}

}  // namespace
