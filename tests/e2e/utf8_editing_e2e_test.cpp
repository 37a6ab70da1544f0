// Editing UTF-8 text in a UTF-8 terminal (tmux, LANG=C.UTF-8), as a new user would try it:
// Backspace after e-acute, Right across a wide character, a line of fifty e-acute, End on
// it, a tab after wide characters, and Ctrl+T between e-acute and a letter.
#include <gtest/gtest.h>

#include <string>

#include "e2e/tmux_session.h"

using e2e::readFile;
using e2e::statusText;
using e2e::TmuxSession;

TEST(Utf8EditingEndToEnd, TheCursorDeletionsAndColumnsGoByCharacter) {
  std::string fifty;
  for (int i = 0; i < 50; ++i) fifty += "\xc3\xa9";
  const std::string japanese =
      "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe3\x83\x86\xe3\x82\xad\xe3\x82\xb9"
      "\xe3\x83\x88";                                  // 8 wide characters, 16 columns
  const std::string tab = "\xe3\x82\xbf\xe3\x83\x96";  // 2 more after the tab
  const std::string file =
      "\xc3\xa9\n"
      "a\xe6\x97\xa5"
      "b\n" +
      fifty + "\n" + japanese + "\t" + tab +
      "\n"
      "\xc3\xa9"
      "a\n";
  TmuxSession tmux({.args = {"text.txt"}, .files = {{"text.txt", file}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "text.txt"))) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(2, fifty)) << "fifty e-acute in fifty columns: " << tmux.row(2);
  EXPECT_TRUE(tmux.waitForText(3, japanese + std::string(8, ' ') + tab))
      << "the tab reaches column 24 on screen: " << tmux.row(3);

  // Backspace after e-acute removes it whole.
  tmux.sendKeys({"End", "BSpace"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 0, "text.txt"))) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(0, "")) << tmux.row(0);

  // Right across the wide character takes one press and two columns.
  tmux.sendKeys({"Down", "Right", "Right"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 1, 3, "text.txt"))) << tmux.status();
  EXPECT_TRUE(tmux.waitForCursor(3, 1)) << tmux.cursorX();

  // End on the fifty e-acute: column 50, and the row does not scroll.
  tmux.sendKeys({"Down", "End"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 2, 50, "text.txt"))) << tmux.status();
  EXPECT_TRUE(tmux.waitForCursor(50, 2)) << tmux.cursorX();
  EXPECT_TRUE(tmux.waitForText(2, fifty)) << tmux.row(2);

  // Ctrl+T between e-acute and a exchanges the two characters.
  tmux.sendKeys({"Down", "Down", "Home", "Right", "C-t"});
  ASSERT_TRUE(tmux.waitForText(4, "a\xc3\xa9")) << tmux.row(4);
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 4, 1, "text.txt"))) << tmux.status();

  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 4, 1, "text.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/text.txt"),
            "\n"
            "a\xe6\x97\xa5"
            "b\n" +
                fifty + "\n" + japanese + "\t" + tab +
                "\n"
                "a\xc3\xa9\n");
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}
