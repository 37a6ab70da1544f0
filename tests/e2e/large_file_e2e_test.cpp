// A 3 GB file in a real terminal: the first screen, the end, a search, an edit saved and
// undone, and the file appended to and cut short from outside while it is open. The file is
// made fresh and removed at the end; the sanitizer build leaves this run to the normal one.
// A file of 140 MB is opened where no thread can be started for its line count.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "e2e/tmux_session.h"

using e2e::statusText;
using e2e::TmuxSession;

namespace {

constexpr const char* kFiller = "a log line of the large file test, all alike";
constexpr long long kHalf = 33333333;  // filler lines before and after the middle line
constexpr long long kLineBytes = 45;

// Filler, the middle line, filler, the last line: 3 GB made by yes and head in seconds.
void makeBigLog(const std::string& dir) {
  const std::string filler =
      std::string("yes '") + kFiller + "' | head -n " + std::to_string(kHalf);
  const std::string command = "cd '" + dir + "' && { " + filler +
                              "; echo 'needle in the middle'; " + filler +
                              "; echo 'the very end'; } > big.log";
  ASSERT_EQ(std::system(command.c_str()), 0);
}

std::string bytesAt(const std::string& path, long long offset, size_t n) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(offset);
  std::string bytes(n, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(n));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

long long sizeOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

TEST(LargeFileEndToEnd, ThreeGigabytesOpenJumpSearchEditSaveUndoAndChangeOnDisk) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the multi-gigabyte run belongs to the normal build";
#endif
  TmuxSession tmux({.args = {"big.log"}, .width = 80, .height = 24, .prepare = makeBigLog});
  const std::string path = tmux.directory() + "/big.log";
  const long long middle = kHalf;        // the middle line's number
  const long long last = 2 * kHalf + 1;  // the last text line's
  const int slow = 180000;               // milliseconds for what reads all 3 GB
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "big.log"), slow)) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(0, kFiller)) << tmux.row(0);

  tmux.sendKeys({"C-NPage"});  // the end at once; its row turns exact when the count is done
  EXPECT_TRUE(tmux.waitForText(21, "the very end")) << tmux.dump();
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, static_cast<int>(last + 1), 0, "big.log"), slow))
      << tmux.status();
  tmux.sendKeys({"C-PPage"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "big.log"))) << tmux.status();

  tmux.sendKeys({"F5"});
  tmux.sendLiteral("needle in");
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, static_cast<int>(middle), 0, "big.log"), slow))
      << tmux.status();
  tmux.sendLiteral("X");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, static_cast<int>(middle), 1, "big.log")))
      << tmux.status();

  // Another program appends: said on the next key; the save asks, and writes the document.
  std::ofstream(path, std::ios::binary | std::ios::app) << "appended\n";
  tmux.sendKeys({"Left"});
  ASSERT_TRUE(tmux.waitForStatus("big.log grew on disk by 9 bytes: open it again to see them"))
      << tmux.status();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus("File changed on disk, overwrite? (y/n)")) << tmux.status();
  tmux.sendKeys({"y"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, static_cast<int>(middle), 0, "big.log"), slow))
      << tmux.status();
  const long long original = (2 * kHalf) * kLineBytes + 21 + 13;
  EXPECT_EQ(sizeOf(path), original + 1);
  EXPECT_EQ(bytesAt(path, middle * kLineBytes - 1, 23), "\nXneedle in the middle\n");
  EXPECT_EQ(bytesAt(path, original + 1 - 13, 13), "the very end\n");

  tmux.sendKeys({"F9"});  // undone: modified again, the line as it was
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, static_cast<int>(middle), 0, "big.log")))
      << tmux.status();
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");

  // Opened again and cut short from outside: the save refuses and leaves the file alone.
  tmux.openWindow("again", {"big.log"});
  tmux.select("again");
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "big.log"), slow)) << tmux.status();
  tmux.sendKeys({"F4"});  // to a line by number while the count may still run
  tmux.sendLiteral(std::to_string(middle + 1));
  tmux.sendKeys({"Enter"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, static_cast<int>(middle), 0, "big.log"), slow))
      << tmux.status();
  EXPECT_NE(tmux.dump().find("needle in the middle"), std::string::npos) << tmux.dump();
  tmux.sendKeys({"C-PPage"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "big.log"))) << tmux.status();
  tmux.sendLiteral("Y");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 1, "big.log"))) << tmux.status();
  ASSERT_EQ(truncate(path.c_str(), 1000000000), 0);
  tmux.sendKeys({"Left"});
  ASSERT_TRUE(tmux.waitForRow(23, "big.log was cut short on disk")) << tmux.status();
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus("File changed on disk, overwrite? (y/n)")) << tmux.status();
  tmux.sendKeys({"y"});
  EXPECT_TRUE(tmux.waitForRow(23, "Save failed: big.log changed on disk at line", slow))
      << tmux.status();
  EXPECT_EQ(sizeOf(path), 1000000000);
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
  unlink(path.c_str());
}

TEST(LargeFileEndToEnd, WithNoThreadToBeHadTheLinesAreCountedAtOnce) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer runtime needs more address space than the limit leaves";
#endif
  // Each thread's stack would take 1 GB, more than the editor may have in all.
  auto makeLog = [](const std::string& dir) {
    const std::string command = "yes 'ten bytes' | head -n 14000000 > '" + dir + "/big.log'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  };
  TmuxSession tmux(
      {.args = {"big.log"},
       .prepare = makeLog,
       .limits = {"--stack=" + std::to_string(1 << 30), "--as=" + std::to_string(600 << 20)}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "big.log"), 30000)) << tmux.dump();
  tmux.sendKeys({"C-NPage"});
  EXPECT_TRUE(tmux.waitForStatus(statusText(false, 14000000, 0, "big.log"))) << tmux.status();
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}

}  // namespace
