// Nothing the user has not seen is overwritten, in a real terminal: a file that could not be
// read, a name of another file, a file changed on disk, every signal that ends the editor,
// memory running out, and F12's save under another name.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "e2e/tmux_session.h"

using e2e::listDirectory;
using e2e::readFile;
using e2e::statusText;
using e2e::TmuxSession;
using e2e::writeFile;

using Names = std::vector<std::string>;

// ---- a file that could not be read ----

TEST(SafetyEndToEnd, AFileThatCouldNotBeReadIsNeverReplacedUnasked) {
  std::string why;
  const std::string user = e2e::ordinaryUser(why);
  if (user.empty()) GTEST_SKIP() << "no ordinary user to run the editor as: " << why;
  TmuxSession tmux({.args = {"w"},
                    .files = {{"w", "precious original\n"}},
                    .user = user,
                    .prepare = [](const std::string& dir) { chmod((dir + "/w").c_str(), 0200); }});
  ASSERT_TRUE(tmux.waitForStatus("Cannot read w: Permission denied")) << tmux.status();
  tmux.sendLiteral("new");
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus("file name:")) << tmux.status();  // no name offered
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 3, "w"))) << tmux.status();
  tmux.sendKeys({"M-x"});
  ASSERT_TRUE(tmux.waitForStatus("Save changes? (Y/n)")) << tmux.status();
  tmux.sendLiteral("y");
  ASSERT_TRUE(tmux.waitForStatus("file name:")) << tmux.status();
  tmux.sendLiteral("w");
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus("File exists, overwrite? (y/n)")) << tmux.status();
  tmux.sendLiteral("n");
  ASSERT_TRUE(tmux.waitForStatus("Not saved")) << tmux.status();
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
  EXPECT_EQ(readFile(tmux.directory() + "/w"), "precious original\n");
  EXPECT_EQ(listDirectory(tmux.directory()), Names{"w"});
}

// ---- a name of another file ----

TEST(SafetyEndToEnd, ANameTypedForAnUnnamedDocumentAsksBeforeReplacing) {
  TmuxSession tmux({.files = {{"existing.txt", "its contents\n"}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0))) << tmux.status();
  tmux.sendLiteral("oops");
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus("file name:")) << tmux.status();
  tmux.sendLiteral("existing.txt");
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus("File exists, overwrite? (y/n)")) << tmux.status();
  tmux.sendLiteral("n");
  ASSERT_TRUE(tmux.waitForStatus("Not saved")) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/existing.txt"), "its contents\n");
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
  EXPECT_EQ(listDirectory(tmux.directory()), Names{"existing.txt"});
}

// ---- a file changed on disk ----

TEST(SafetyEndToEnd, AFileChangedOnDiskIsReplacedOnlyOnYes) {
  TmuxSession tmux({.args = {"log.txt"}, .files = {{"log.txt", "first\n"}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "log.txt"))) << tmux.status();
  writeFile(tmux.directory() + "/log.txt", "first\nmore\n");  // another program appends
  tmux.sendLiteral("x");
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus("File changed on disk, overwrite? (y/n)")) << tmux.status();
  tmux.sendLiteral("n");
  ASSERT_TRUE(tmux.waitForStatus("Not saved")) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/log.txt"), "first\nmore\n");
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus("File changed on disk, overwrite? (y/n)")) << tmux.status();
  tmux.sendLiteral("y");
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 1, "log.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/log.txt"), "xfirst\n");
  tmux.sendLiteral("z");
  tmux.sendKeys({"F2"});  // its own save is no stranger's change: no question
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 2, "log.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/log.txt"), "xzfirst\n");
  tmux.sendKeys({"M-x"});
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
}

// ---- every signal that would end the editor ----

TEST(SafetyEndToEnd, EverySignalThatEndsTheEditorKeepsTheWorkAndTheTerminal) {
  const std::vector<std::pair<std::string, int>> signals = {
      {"QUIT", SIGQUIT},     {"ALRM", SIGALRM}, {"USR1", SIGUSR1}, {"USR2", SIGUSR2},
      {"VTALRM", SIGVTALRM}, {"PROF", SIGPROF}, {"XCPU", SIGXCPU}, {"PIPE", SIGPIPE}};
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& [name, number] : signals) files.push_back({name + ".txt", "base\n"});
  TmuxSession tmux({.args = {"QUIT.txt"}, .files = files});
  std::vector<std::string> windows = {"slate"};
  for (size_t i = 1; i < signals.size(); ++i)
    windows.push_back(tmux.openWindow(signals[i].first, {signals[i].first + ".txt"}));
  for (size_t i = 0; i < signals.size(); ++i) {
    const auto& [name, number] = signals[i];
    SCOPED_TRACE("SIG" + name);
    tmux.select(windows[i]);
    ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, name + ".txt"))) << tmux.status();
    tmux.sendLiteral("more ");
    ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 5, name + ".txt"))) << tmux.status();
    pid_t editor = tmux.editorPid();
    ASSERT_GT(editor, 0);
    kill(editor, number);
    EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
    EXPECT_FALSE(tmux.alternateOn());
    EXPECT_EQ(readFile(tmux.directory() + "/" + name + ".txt"), "base\n");
    EXPECT_EQ(readFile(tmux.directory() + "/" + name + ".txt.autosave"), "more base\n");
  }
}

// ---- memory running out ----

namespace {

// 40 MB that fit under the address-space limit the editor runs with; twice them do not.
const std::string& fortyMegabytes() {
  static const std::string text = [] {
    std::string bytes;
    for (int i = 0; i < 40000; ++i) bytes += std::string(999, 'z') + "\n";
    return bytes;
  }();
  return text;
}

TmuxSession::Options underMemoryLimit() {
  return {.args = {"big.txt"},
          .files = {{"big.txt", fortyMegabytes()}},
          .limits = {"--as=" + std::to_string(120 << 20)}};
}

// The file opened, and "kept " typed at its start: the work to keep.
void typeWork(TmuxSession& tmux) {
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "big.txt"))) << tmux.status();
  tmux.sendLiteral("kept ");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 5, "big.txt"))) << tmux.status();
}

}  // namespace

TEST(SafetyEndToEnd, MemoryRunningOutKeepsTheWorkInTheAutosaveFileAndSaysSo) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer runtime needs more address space than the limit leaves";
#endif
  const std::string& text = fortyMegabytes();
  TmuxSession tmux(underMemoryLimit());
  ASSERT_NO_FATAL_FAILURE(typeWork(tmux));
  tmux.sendKeys({"C-S-NPage", "C-c"});
  EXPECT_EQ(tmux.waitForExit(), "slate exited 1, tty same");
  EXPECT_TRUE(
      tmux.waitForScreenText("slate: out of memory; the unsaved work is in big.txt.autosave"))
      << tmux.dump();
  EXPECT_TRUE(readFile(tmux.directory() + "/big.txt") == text);  // 40 MB: not printed
  EXPECT_TRUE(readFile(tmux.directory() + "/big.txt.autosave") == "kept " + text);
}

// A replacement through the whole text runs out with the cursor's line in hand: a copy written
// then lacks that line, and is never passed off as the work.
TEST(SafetyEndToEnd, MemoryRunningOutMidCommandWritesNoCopyThatLacksALine) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer runtime needs more address space than the limit leaves";
#endif
  const std::string& text = fortyMegabytes();
  TmuxSession tmux(underMemoryLimit());
  ASSERT_NO_FATAL_FAILURE(typeWork(tmux));
  tmux.sendKeys({"S-F5"});
  ASSERT_TRUE(tmux.waitForRow(23, "search for: ")) << tmux.row(23);
  tmux.sendLiteral("z");
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForRow(23, "replace with: ")) << tmux.row(23);
  tmux.sendLiteral("zz");
  tmux.sendKeys({"Enter"});  // twice the text: more than the limit leaves
  EXPECT_EQ(tmux.waitForExit(), "slate exited 1, tty same");
  EXPECT_TRUE(tmux.waitForScreenText(
      "slate: out of memory; mid-command, the unsaved work could not be kept"))
      << tmux.dump();
  // The autosave copy, if the timer wrote one before, is the work as it was then.
  const std::string copy = tmux.directory() + "/big.txt.autosave";
  struct stat info;
  if (stat(copy.c_str(), &info) == 0) {
    EXPECT_TRUE(readFile(copy) == "kept " + text);
  }
  EXPECT_TRUE(readFile(tmux.directory() + "/big.txt") == text);
}

// ---- F12, save as ----

TEST(SafetyEndToEnd, F12SavesUnderANewNameAndAsksBeforeAnExistingOne) {
  TmuxSession tmux({.args = {"a.txt"}, .files = {{"a.txt", "text\n"}, {"c.txt", "other\n"}}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "a.txt"))) << tmux.status();
  tmux.sendLiteral("1");
  tmux.sendKeys({"F12"});
  ASSERT_TRUE(tmux.waitForStatus("file name: a.txt")) << tmux.status();
  tmux.sendKeys({"BSpace", "BSpace", "BSpace", "BSpace", "BSpace"});
  tmux.sendLiteral("b.txt");
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus("Saved b.txt (6 bytes)")) << tmux.status();
  tmux.sendKeys({"Right"});  // shown once
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 2, "b.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/b.txt"), "1text\n");
  EXPECT_EQ(readFile(tmux.directory() + "/a.txt"), "text\n");

  tmux.sendLiteral("2");
  tmux.sendKeys({"F12"});
  ASSERT_TRUE(tmux.waitForStatus("file name: b.txt")) << tmux.status();
  tmux.sendKeys({"BSpace", "BSpace", "BSpace", "BSpace", "BSpace"});
  tmux.sendLiteral("c.txt");
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus("File exists, overwrite? (y/n)")) << tmux.status();
  tmux.sendLiteral("y");
  ASSERT_TRUE(tmux.waitForStatus("Saved c.txt (7 bytes)")) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/c.txt"), "1t2ext\n");
  tmux.sendKeys({"M-x"});
  EXPECT_EQ(tmux.waitForExit(), "slate exited 0, tty same");
  EXPECT_EQ(listDirectory(tmux.directory()), (Names{"a.txt", "b.txt", "c.txt"}));
}
