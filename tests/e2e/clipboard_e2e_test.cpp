// The clipboard inside tmux is the server's paste buffer: what the editor copies, tmux
// pastes, and the other way round, also between two editors of one server.
#include <gtest/gtest.h>

#include <string>

#include "e2e/tmux_session.h"

using e2e::readFile;
using e2e::statusText;
using e2e::TmuxSession;

namespace {

std::string environmentOf(pid_t pid) {
  std::string environ = "\n" + readFile("/proc/" + std::to_string(pid) + "/environ");
  for (char& c : environ)
    if (c == '\0') c = '\n';
  return environ;
}

}  // namespace

TEST(ClipboardEndToEnd, CopiedTextIsInTheTmuxBufferWithCrLfBreaks) {
  TmuxSession tmux({.args = {"lines.txt"}, .files = {{"lines.txt", "alpha\nbeta\ngamma\n"}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "lines.txt"))) << tmux.status();
  pid_t editor = tmux.editorPid();
  ASSERT_GT(editor, 0);
  EXPECT_NE(environmentOf(editor).find("\nTMUX=/"), std::string::npos) << "inside tmux";
  ASSERT_EQ(tmux.buffer(), "");

  tmux.sendKeys({"Right", "Right", "S-Down", "S-Down", "S-Right", "C-c"});
  ASSERT_TRUE(tmux.waitFor([&] { return tmux.buffer() == "pha\r\nbeta\r\ngam"; })) << tmux.buffer();
  // The text may reach tmux before the screen shows the cursor at the selection's end.
  EXPECT_TRUE(tmux.waitForStatus(statusText(false, 2, 3, "lines.txt"))) << tmux.status();

  tmux.sendKeys({"Up", "Home", "S-End", "C-IC"});  // Ctrl+Insert
  ASSERT_TRUE(tmux.waitFor([&] { return tmux.buffer() == "beta"; })) << tmux.buffer();

  // tmux's own paste key puts it back into the document, as a bracketed paste.
  tmux.sendKeys({"C-PageDown"});
  tmux.pasteBuffer(true);
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 3, 4, "lines.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/lines.txt"), "alpha\nbeta\ngamma\nbeta");
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}

// Each break of the text becomes one break with the document's own terminator (here the
// first line's CR LF), without the indentation of the line it breaks.
TEST(ClipboardEndToEnd, PastedTmuxBufferGetsTheFilesTerminator) {
  TmuxSession tmux({.args = {"crlf.txt"}, .files = {{"crlf.txt", "    x\r\ny\r\n"}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "crlf.txt"))) << tmux.status();
  tmux.setBuffer("a\r\nb\rc\n");
  tmux.sendKeys({"End", "C-v"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 3, 0, "crlf.txt"))) << tmux.status();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 3, 0, "crlf.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/crlf.txt"), "    xa\r\nb\r\nc\r\n\r\ny\r\n");
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}

// Text pasted while a question waits answers nothing: "no" pasted by mistake at "Save
// changes?" would otherwise end the editor without saving.
TEST(ClipboardEndToEnd, APasteNeverAnswersAQuestion) {
  TmuxSession tmux({.args = {"a.txt"}, .files = {{"a.txt", "x\n"}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "a.txt"))) << tmux.status();
  tmux.sendLiteral("y");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 1, "a.txt"))) << tmux.status();
  tmux.setBuffer("no");
  tmux.sendKeys({"M-x"});
  ASSERT_TRUE(tmux.waitForRow(23, "Save changes? (Y/n)")) << tmux.dump();
  tmux.pasteBuffer(true);
  tmux.sendLiteral("y");
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(readFile(tmux.directory() + "/a.txt"), "yx\n");
}

TEST(ClipboardEndToEnd, CutInOneEditorPastesInAnother) {
  TmuxSession tmux({.args = {"one.txt"},
                    .files = {{"one.txt", "first line\nsecond line\n"}, {"two.txt", "end\n"}}});
  const std::string second = tmux.openWindow("second", {"two.txt"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "one.txt"))) << tmux.status();

  tmux.sendKeys({"S-Down", "S-DC"});  // Shift+Delete cuts the first line
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 0, "one.txt"))) << tmux.status();
  ASSERT_TRUE(tmux.waitFor([&] { return tmux.buffer() == "first line\r\n"; })) << tmux.buffer();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "one.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/one.txt"), "second line\n");

  tmux.select(second);
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "two.txt"))) << tmux.status();
  tmux.sendKeys({"S-IC"});  // Shift+Insert pastes
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 1, 0, "two.txt"))) << tmux.status();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 1, 0, "two.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/two.txt"), "first line\nend\n");
  tmux.sendKeys({"M-x"});
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  tmux.select("slate");
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}
