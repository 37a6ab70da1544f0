// The Windows clipboard store against the real clipboard (wine's, in CI).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/memory_console.h"
#include "platform/win32/child_process.h"
#include "platform/win32/windows_api.h"

namespace {

std::string text(const std::unique_ptr<char[]>& copy) {
  return copy ? copy.get() : "<null>";
}

// Empties the clipboard, as another program may.
void emptyClipboard() {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
}

// Puts a CF_TEXT block of exactly these bytes, as a careless program might, without a NUL.
void putRawBlock(const std::string& bytes) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
  GlobalUnlock(block);
  ASSERT_TRUE(SetClipboardData(CF_TEXT, block));
  CloseClipboard();
}

// Holds the clipboard open on another thread, as a busy program does, until released. It
// opens it for a window of its own: wine lets any number of openers without a window in.
class ClipboardHolder {
 public:
  ClipboardHolder() {
    thread_ = std::thread([this] {
      HWND window =
          CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
      opened_ = window && OpenClipboard(window);
      ready_ = true;
      while (!release_) Sleep(1);
      if (opened_) CloseClipboard();
      if (window) DestroyWindow(window);
    });
    while (!ready_) Sleep(1);
  }
  ~ClipboardHolder() {
    release_ = true;
    thread_.join();
  }
  bool opened() const { return opened_; }

 private:
  std::thread thread_;
  std::atomic<bool> opened_{false}, ready_{false}, release_{false};
};

TEST(WindowsClipboard, TextRoundTripKeepsEveryByte) {
  console::MemoryConsole console(80, 25);
  auto clipboard = platform::openSystemClipboard(console);
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
  bytes += "\r\nlast line\n\r\t";
  ASSERT_TRUE(clipboard->put(bytes.c_str()));
  EXPECT_EQ(text(clipboard->get()), bytes);
  // Read twice: reading leaves the text on the clipboard.
  EXPECT_EQ(text(clipboard->get()), bytes);

  ASSERT_TRUE(clipboard->put(""));
  EXPECT_EQ(text(clipboard->get()), "");
}

TEST(WindowsClipboard, NoTextOnTheClipboardGivesNull) {
  auto clipboard = platform::openWindowsClipboard();
  emptyClipboard();
  EXPECT_EQ(clipboard->get(), nullptr);
}

TEST(WindowsClipboard, TextWithoutNulIsReadNoFurtherThanItsBlock) {
  auto clipboard = platform::openWindowsClipboard();
  putRawBlock("abcdefgh");
  // Windows hands the block back as it was put; wine ends it with a NUL of its own, in
  // place of the last byte. Either way nothing from beyond the block is read.
  std::string got = text(clipboard->get());
  EXPECT_TRUE(got == "abcdefgh" || got == "abcdefg") << got;
}

TEST(WindowsClipboard, BusyClipboardIsLeftAsItWas) {
  auto clipboard = platform::openWindowsClipboard();
  ASSERT_TRUE(clipboard->put("before"));
  {
    ClipboardHolder holder;
    ASSERT_TRUE(holder.opened());
    EXPECT_FALSE(clipboard->put("refused"));
    EXPECT_EQ(clipboard->get(), nullptr);
  }
  // The refused put neither emptied nor changed it, and it is usable again once free.
  EXPECT_EQ(text(clipboard->get()), "before");
  EXPECT_TRUE(clipboard->put("after"));
  EXPECT_EQ(text(clipboard->get()), "after");
}

// The other process's half of AcrossProcesses: expects the parent's text on the clipboard,
// then answers with its own.
TEST(WindowsClipboard, DISABLED_ChildSideOfAcrossProcesses) {
  const char* expected = std::getenv("SLATE_CLIPBOARD_EXPECT");
  ASSERT_NE(expected, nullptr);
  auto clipboard = platform::openWindowsClipboard();
  EXPECT_EQ(text(clipboard->get()), std::string(expected) + "\r\nsecond line");
  EXPECT_TRUE(clipboard->put("from the child\r\n\tindented"));
}

TEST(WindowsClipboard, AcrossProcesses) {
  auto clipboard = platform::openWindowsClipboard();
  const std::string token = "parent " + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(clipboard->put((token + "\r\nsecond line").c_str()));

  auto child = testing_win32::runChild(
      "\"" + testing_win32::thisProgram() +
          "\" --gtest_also_run_disabled_tests"
          " --gtest_filter=WindowsClipboard.DISABLED_ChildSideOfAcrossProcesses",
      "SLATE_CLIPBOARD_EXPECT", token.c_str());
  ASSERT_TRUE(child.started);
  ASSERT_TRUE(child.finished);
  EXPECT_EQ(child.exitCode, 0u) << child.output << child.errors;
  EXPECT_NE(child.output.find("[  PASSED  ] 1 test"), std::string::npos) << child.output;
  EXPECT_EQ(text(clipboard->get()), "from the child\r\n\tindented");
}

}  // namespace
