// Undo in a real terminal (tmux): every change to a file with mixed terminators taken back
// with F9, then F2 writes the original bytes again.
#include <gtest/gtest.h>

#include <string>

#include "e2e/tmux_session.h"

using e2e::readFile;
using e2e::statusText;
using e2e::TmuxSession;

TEST(UndoEndToEnd, EverythingUndoneWritesTheOriginalBytesAgain) {
  const std::string original = "lf\ncrlf\r\ncr\rlfcr\n\r    indented\r\nlast\r";
  TmuxSession tmux({.args = {"mixed.txt"}, .files = {{"mixed.txt", original}}});
  const std::string path = tmux.directory() + "/mixed.txt";
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "mixed.txt"))) << tmux.status();

  tmux.sendKeys({"End"});
  tmux.sendLiteral("typed");
  tmux.sendKeys({"Down", "Down", "Home", "BSpace", "BSpace", "Delete", "Enter"});
  tmux.sendKeys({"Down", "Down", "End", "Enter", "C-k", "C-t", "Tab", "M-BSpace", "C-Delete"});
  tmux.sendKeys({"C-PageUp", "S-Down", "S-Down", "S-Right", "Delete"});
  tmux.sendKeys({"S-F5"});
  ASSERT_TRUE(tmux.waitForRow(23, "search for: ")) << tmux.row(23);
  tmux.sendLiteral("l");
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForRow(23, "replace with: ")) << tmux.row(23);
  tmux.sendLiteral("LL");
  tmux.sendKeys({"Enter", "F2"});
  ASSERT_TRUE(tmux.waitFor([&] { return readFile(path) != original && !readFile(path).empty(); }))
      << tmux.dump();
  ASSERT_TRUE(tmux.waitForInputTaken());
  const std::string edited = readFile(path);

  for (int i = 0; i < 40; ++i) tmux.sendKeys({"F9"});
  ASSERT_TRUE(tmux.waitForRow(23, "Nothing to undo")) << tmux.dump();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitFor([&] { return readFile(path) == original; }))
      << tmux.dump() << "[" << readFile(path) << "] edited [" << edited << "]";

  // Forward again to the state saved before: the star goes, and Alt+X asks nothing.
  for (int i = 0; i < 40; ++i) tmux.sendKeys({"S-F9"});
  ASSERT_TRUE(tmux.waitForRow(23, "Nothing to redo")) << tmux.dump();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitFor([&] { return readFile(path) == edited; })) << tmux.dump();
  tmux.sendKeys({"M-x"});
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
}
