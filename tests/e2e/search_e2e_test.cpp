// Search and replace through the status-line prompts in a real terminal (tmux).
#include <gtest/gtest.h>

#include <string>

#include "e2e/tmux_session.h"

using e2e::readFile;
using e2e::statusText;
using e2e::TmuxSession;

namespace {

// Answers the prompt on the status line: the earlier answer offered is erased first.
void answer(TmuxSession& tmux, const std::string& prompt, const std::string& offered,
            const std::string& text) {
  ASSERT_TRUE(tmux.waitForStatus(e2e::trimRight(prompt + offered))) << tmux.status();
  EXPECT_TRUE(tmux.waitForCursor(static_cast<int>(prompt.size() + offered.size()), 23))
      << tmux.cursorX() << "," << tmux.cursorY();
  for (size_t i = 0; i < offered.size(); ++i) tmux.sendKeys({"BSpace"});
  if (!text.empty()) tmux.sendLiteral(text);
  tmux.sendKeys({"Enter"});
}

}  // namespace

TEST(SearchEndToEnd, F5PutsTheCursorOnTheTextAndCtrlF5FindsTheNext) {
  TmuxSession tmux({.args = {"find.txt"}, .files = {{"find.txt", "foo bar\nbaz foo\nqux foo\n"}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "find.txt"))) << tmux.status();

  tmux.sendKeys({"F5"});
  answer(tmux, "search for: ", "", "baz");
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 1, 0, "find.txt"))) << tmux.status();
  EXPECT_TRUE(tmux.waitForCursor(0, 1)) << tmux.cursorX() << "," << tmux.cursorY();

  tmux.sendKeys({"F5"});
  answer(tmux, "search for: ", "baz", "foo");
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 1, 4, "find.txt"))) << tmux.status();
  tmux.sendKeys({"C-F5"});  // the occurrence at the cursor counts: it stays
  tmux.sendKeys({"Right", "C-F5"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 2, 4, "find.txt"))) << tmux.status();
  EXPECT_TRUE(tmux.waitForCursor(4, 2)) << tmux.cursorX() << "," << tmux.cursorY();

  tmux.sendKeys({"Right", "C-F5", "Left", "Left"});  // nothing after it: the cursor stays
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 2, 3, "find.txt"))) << tmux.status();
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}

// From the cursor to the end of the document, on every line; what lies before the cursor
// stays.
TEST(SearchEndToEnd, ShiftF5ReplacesAcrossLinesAndF2WritesIt) {
  TmuxSession tmux(
      {.args = {"swap.txt"}, .files = {{"swap.txt", "foo bar\r\nbaz foo foo\r\nqux\r\nfoo\r\n"}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "swap.txt"))) << tmux.status();
  tmux.sendKeys({"Right", "S-F5"});
  answer(tmux, "search for: ", "", "foo");
  answer(tmux, "replace with: ", "", "QUUX");
  // The cursor on the last text put in.
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 3, 0, "swap.txt"))) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(1, "baz QUUX QUUX")) << tmux.row(1);

  tmux.sendKeys({"C-PageUp", "S-F5"});  // the replacement offered the texts used last
  answer(tmux, "search for: ", "foo", "bar");
  answer(tmux, "replace with: ", "QUUX", "");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 4, "swap.txt"))) << tmux.status();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 4, "swap.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/swap.txt"), "foo \r\nbaz QUUX QUUX\r\nqux\r\nQUUX\r\n");
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}

// F7 in a real terminal: the prompts are edited with keys that carry no character, each
// match is shown selected while the question waits, and one F9 takes the whole run back.
TEST(SearchEndToEnd, F7ReplacesOneByOneAskingAtEachMatch) {
  TmuxSession tmux({.args = {"each.txt"}, .files = {{"each.txt", "foo bar\nfoo foo\nfoo\n"}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "each.txt"))) << tmux.status();
  tmux.sendKeys({"F7"});
  ASSERT_TRUE(tmux.waitForStatus("search for:")) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(22, "Shift+Del clear  Up/Down earlier  F6 ignore case  F7 regex"))
      << tmux.row(22);
  tmux.sendLiteral("fXo");
  tmux.sendKeys({"Left", "Left", "Delete", "F6"});
  tmux.sendLiteral("O");  // at the cursor: "fOo"
  ASSERT_TRUE(tmux.waitForStatus("search for [ignore case]: fOo")) << tmux.status();
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus("replace with [ignore case]:")) << tmux.status();
  tmux.sendLiteral("bax");
  tmux.sendKeys({"BSpace"});
  tmux.sendLiteral("z");
  tmux.sendKeys({"Enter"});

  ASSERT_TRUE(tmux.waitForStatus("Replace? (y/n/a/q)")) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(22, "")) << "the document's row is back: " << tmux.row(22);
  auto selectedCells = [&](int y) {
    std::string marks;
    for (const e2e::StyledCell& cell : tmux.styledRow(y)) marks += cell.bg == 107 ? '#' : '.';
    return marks.substr(0, 8);
  };
  EXPECT_TRUE(tmux.waitFor([&] { return selectedCells(0) == "###....."; })) << selectedCells(0);
  tmux.sendKeys({"y"});
  EXPECT_TRUE(tmux.waitFor([&] { return selectedCells(1) == "###....."; })) << selectedCells(1);
  tmux.sendKeys({"n"});
  EXPECT_TRUE(tmux.waitFor([&] { return selectedCells(1) == "....###."; })) << selectedCells(1);
  tmux.sendKeys({"a"});
  ASSERT_TRUE(tmux.waitForStatus("Replaced 3 of 4")) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(1, "foo baz")) << tmux.row(1);
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 2, 3, "each.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/each.txt"), "baz bar\nfoo baz\nbaz\n");
  tmux.sendKeys({"F9"});
  EXPECT_TRUE(tmux.waitForText(0, "foo bar")) << tmux.row(0);
  EXPECT_TRUE(tmux.waitForText(2, "foo")) << tmux.row(2);
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}
