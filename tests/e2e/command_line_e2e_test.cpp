// The command line of the real binary in a terminal (tmux): --help and --version print and
// leave the terminal alone; +N FILE opens the file on that line.
#include <gtest/gtest.h>

#include <string>

#include "core/version.h"
#include "e2e/tmux_session.h"

using e2e::statusText;
using e2e::TmuxSession;

TEST(CommandLineEndToEnd, HelpVersionAndStartLine) {
  {
    TmuxSession tmux({.args = {"--help"}, .height = 40});
    EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
    EXPECT_TRUE(tmux.waitForScreenText("Usage: slate [+LINE[:COLUMN]] [--] [FILE]")) << tmux.dump();
    EXPECT_TRUE(tmux.waitForScreenText("  F5, Alt+S")) << tmux.dump();  // from the key tables
    EXPECT_FALSE(tmux.alternateOn());
  }
  {
    TmuxSession tmux({.args = {"--version"}});
    EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
    EXPECT_TRUE(tmux.waitForScreenText(std::string("slate ") + slateVersion)) << tmux.dump();
  }
  {  // errors go to standard error with status 2, the terminal untouched
    TmuxSession tmux({.args = {"+abc", "lines.txt"}});
    EXPECT_EQ(tmux.waitForExit(), "slate exited 2, tty same");
    EXPECT_TRUE(tmux.waitForScreenText("slate: not a line number: +abc")) << tmux.dump();
    EXPECT_FALSE(tmux.alternateOn());
  }
  {
    TmuxSession tmux(
        {.args = {"+3:2", "lines.txt"}, .files = {{"lines.txt", "one\ntwo\nthree\n"}}});
    ASSERT_TRUE(tmux.waitForStatus(statusText(false, 2, 1, "lines.txt"))) << tmux.status();
    EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
  }
  {
    TmuxSession tmux({.args = {"+3", "lines.txt"}, .files = {{"lines.txt", "one\ntwo\nthree\n"}}});
    ASSERT_TRUE(tmux.waitForStatus(statusText(false, 2, 0, "lines.txt"))) << tmux.status();
    EXPECT_TRUE(tmux.waitForCursor(0, 2));
    EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
  }
}
