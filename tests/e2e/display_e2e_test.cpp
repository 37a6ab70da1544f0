// The editor in a UTF-8 terminal (tmux, LANG=C.UTF-8): UTF-8 text reads as text, F8 shows
// the bytes as code page 437 glyphs, and the file is saved unchanged.
#include <gtest/gtest.h>

#include <string>

#include "e2e/tmux_session.h"
#include "platform/posix/cp437.h"

using e2e::readFile;
using e2e::statusText;
using e2e::TmuxSession;

namespace {

std::string glyphs(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) out += terminal::cp437Glyph(b);
  return out;
}

}  // namespace

TEST(DisplayEndToEnd, Utf8TextReadsAsTextAndF8ShowsItsBytes) {
  const std::string line0 =
      "Caf\xc3\xa9 cr\xc3\xa8me \xe2\x80\x94 \xe6\xbc\xa2\xe5\xad\x97 \xe2\x9c\x93";
  const std::string line1 = "bad \xff byte";       // an invalid byte
  const std::string line2 = "\xcc\x81 lone mark";  // a combining mark with nothing before it
  const std::string edge = std::string(79, 'a') + "e\xcc\x81";  // a mark in the last column
  const std::string file = line0 + "\n" + line1 + "\n" + line2 + "\n" + edge + " cut\n";
  TmuxSession tmux({.args = {"utf8.txt"}, .files = {{"utf8.txt", file}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "utf8.txt"))) << tmux.status();

  EXPECT_TRUE(tmux.waitForText(0, line0)) << tmux.dump();
  EXPECT_TRUE(tmux.waitForText(1, "bad \xc2\xa0 byte")) << tmux.row(1);
  EXPECT_TRUE(tmux.waitForText(2, glyphs("\xcc\x81") + " lone mark")) << tmux.row(2);
  EXPECT_TRUE(tmux.waitForText(3, edge)) << "the mark stays on its letter: " << tmux.row(3);

  // Across the e-acute character by character: the status column counts terminal columns.
  for (int column = 1; column <= 6; ++column) {
    tmux.sendKeys({"Right"});
    ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, column, "utf8.txt"))) << tmux.status();
    EXPECT_TRUE(tmux.waitForCursor(column, 0)) << column << ": " << tmux.cursorX();
  }

  // Code page 437 shows a glyph per byte and counts bytes: the cursor keeps its byte.
  tmux.sendKeys({"F8"});
  ASSERT_TRUE(tmux.waitForStatus("Display: code page 437")) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(0, glyphs(line0))) << tmux.row(0);
  EXPECT_TRUE(tmux.waitForText(1, glyphs(line1))) << tmux.row(1);
  EXPECT_TRUE(tmux.waitForCursor(7, 0)) << tmux.cursorX();

  tmux.sendKeys({"F8"});
  ASSERT_TRUE(tmux.waitForStatus("Display: UTF-8")) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(0, line0)) << tmux.row(0);
  EXPECT_TRUE(tmux.waitForCursor(6, 0)) << tmux.cursorX();

  // A change and its undoing, so that F2 writes the file: the bytes come back unchanged.
  tmux.sendLiteral("x");
  tmux.sendKeys({"BSpace"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 6, "utf8.txt"))) << tmux.status();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 6, "utf8.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/utf8.txt"), file);
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}
