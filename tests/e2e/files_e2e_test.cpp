// Files in a real terminal (tmux): what F2 writes, byte for byte, the questions at the start
// and at the end, and what is left in the directory afterwards.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "e2e/tmux_session.h"

using e2e::listDirectory;
using e2e::readFile;
using e2e::statusText;
using e2e::TmuxSession;
using e2e::trimRight;
using e2e::writeFile;

using Names = std::vector<std::string>;

// Every terminator, and a CR as the very last byte. The document's own terminator (for new
// line breaks) is the first line's, LF.
TEST(FilesEndToEnd, MixedTerminatorsSurviveAnEditAndF2ByteForByte) {
  const std::string original = "lf\ncrlf\r\ncr\rlfcr\n\rlast cr\r";
  TmuxSession tmux({.args = {"mixed.txt"}, .files = {{"mixed.txt", original}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "mixed.txt"))) << tmux.status();
  const std::vector<std::string> shown = {"lf", "crlf", "cr", "lfcr", "last cr", ""};
  for (int y = 0; y < static_cast<int>(shown.size()); ++y)
    EXPECT_TRUE(tmux.waitForText(y, shown[y])) << tmux.row(y);

  tmux.sendKeys({"Down", "Down", "End"});
  tmux.sendLiteral("!");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 2, 3, "mixed.txt"))) << tmux.status();
  tmux.sendKeys({"Down", "End", "Enter"});  // breaks "lfcr" at its end: a new empty line
  tmux.sendLiteral("z");
  tmux.sendKeys({"BSpace"});  // a byte typed and deleted again
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 4, 0, "mixed.txt"))) << tmux.status();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 4, 0, "mixed.txt"))) << tmux.status();
  // The broken line ends in the document's LF; the new line keeps the old LF CR.
  EXPECT_EQ(readFile(tmux.directory() + "/mixed.txt"), "lf\ncrlf\r\ncr!\rlfcr\n\n\rlast cr\r");

  tmux.sendKeys({"M-x"});  // saved: no question
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(listDirectory(tmux.directory()), Names{"mixed.txt"}) << "no temporary file left";
}

TEST(FilesEndToEnd, QuestionsAtStartAndEndAndTheAutosaveFileGoes) {
  TmuxSession tmux({.args = {"keep.txt"},
                    .files = {{"keep.txt", "original\r\n"}, {"keep.txt.autosave", "crashed"}}});
  const std::string question = "Autosave file seems to exist, overwrite? (Y/n)";
  ASSERT_TRUE(tmux.waitForRow(23, question)) << tmux.row(23);
  tmux.sendKeys({"Enter"});
  tmux.sendLiteral("x");
  ASSERT_TRUE(tmux.waitForInputTaken());
  EXPECT_FALSE(tmux.waitFor(
      [&] {
        return tmux.row(23).rfind(question, 0) != 0 || listDirectory(tmux.directory()).size() != 2;
      },
      300))
      << "Enter and x are no answer: " << tmux.row(23);
  tmux.sendLiteral("Y");
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "keep.txt"))) << tmux.status();
  EXPECT_EQ(listDirectory(tmux.directory()), Names{"keep.txt"}) << "y removes the old copy";

  tmux.sendLiteral("changed ");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 8, "keep.txt"))) << tmux.status();
  // A copy under the autosave name that this run did not write (another program's).
  writeFile(tmux.directory() + "/keep.txt.autosave", "changed original\r\n");

  tmux.sendKeys({"M-x"});
  ASSERT_TRUE(tmux.waitForRow(23, "Save changes? (Y/n)")) << tmux.row(23);
  tmux.sendKeys({"Enter"});
  tmux.sendLiteral("x");
  ASSERT_TRUE(tmux.waitForInputTaken());
  EXPECT_EQ(tmux.waitForExit(300), "") << "Enter and x are no answer";
  EXPECT_EQ(tmux.row(23).rfind("Save changes? (Y/n)", 0), 0u) << tmux.row(23);
  EXPECT_GT(tmux.editorPid(), 0);

  tmux.sendLiteral("n");
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(readFile(tmux.directory() + "/keep.txt"), "original\r\n");
  EXPECT_EQ(listDirectory(tmux.directory()), (Names{"keep.txt", "keep.txt.autosave"}))
      << "only a copy this run wrote goes at the end";
}

TEST(FilesEndToEnd, F2OnAnUnnamedDocumentAsksForAName) {
  TmuxSession tmux({});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0))) << tmux.status();
  tmux.sendLiteral("text");
  tmux.sendKeys({"Enter"});
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus("file name:")) << tmux.status();
  EXPECT_TRUE(tmux.waitForCursor(11, 23)) << tmux.cursorX() << "," << tmux.cursorY();
  tmux.sendLiteral("named.txt");
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 1, 0, "named.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/named.txt"), "text\n");

  tmux.sendKeys({"M-x"});
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(listDirectory(tmux.directory()), Names{"named.txt"});
}

// Nobody is left to answer the question: the work goes to the autosave file, which stays,
// and the next start asks about it.
TEST(FilesEndToEnd, HangUpKeepsTheWorkInTheAutosaveFile) {
  TmuxSession tmux({.args = {"work.txt"}, .files = {{"work.txt", "base\n"}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "work.txt"))) << tmux.status();
  tmux.sendLiteral("more ");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 5, "work.txt"))) << tmux.status();
  pid_t editor = tmux.editorPid();
  ASSERT_GT(editor, 0);
  kill(editor, SIGHUP);
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(readFile(tmux.directory() + "/work.txt"), "base\n");
  EXPECT_EQ(readFile(tmux.directory() + "/work.txt.autosave"), "more base\n");
  EXPECT_EQ(listDirectory(tmux.directory()), (Names{"work.txt", "work.txt.autosave"}));

  TmuxSession again({{"work.txt"}, 80, 24, tmux.directory()});
  ASSERT_TRUE(again.waitForRow(23, "Autosave file seems to exist, overwrite? (Y/n)"))
      << again.row(23);
  again.sendLiteral("n");  // keeps the copy, and this run has no autosave
  ASSERT_TRUE(again.waitForStatus(statusText(false, 0, 0, "work.txt"))) << again.status();
  again.sendKeys({"M-x"});
  EXPECT_EQ(again.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(readFile(tmux.directory() + "/work.txt.autosave"), "more base\n");
}

// A name that is a directory: the reason is on the first screen, F2 asks for a name as for
// any name that could not be read, fails with the reason when given it again, and a yes at
// the end whose save fails goes back to editing instead of losing the text.
TEST(FilesEndToEnd, ASaveThatFailsKeepsTheEditorAndTheText) {
  TmuxSession tmux({.args = {"adir"}, .files = {{"adir/inside", "x"}}});
  ASSERT_TRUE(tmux.waitForStatus("Cannot read adir: Is a directory")) << tmux.status();
  tmux.sendLiteral("abc");
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus("file name:")) << tmux.status();
  tmux.sendLiteral("adir");
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus("Save failed: Is a directory")) << tmux.status();
  tmux.sendKeys({"M-x"});
  ASSERT_TRUE(tmux.waitForStatus("Save changes? (Y/n)")) << tmux.status();
  tmux.sendLiteral("y");
  ASSERT_TRUE(tmux.waitForStatus("file name:")) << tmux.status();
  tmux.sendLiteral("adir");
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus("Save failed: Is a directory")) << tmux.status();
  tmux.sendLiteral("d");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 4, "adir"))) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(0, "abcd")) << tmux.row(0);
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
  EXPECT_EQ(listDirectory(tmux.directory() + "/adir"), Names{"inside"});
}
