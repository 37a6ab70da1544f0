// The Windows console backend where no console is needed: refusing what is not one.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/child_process.h"
#include "platform/win32/windows_api.h"

namespace {

// Points the standard handles at a pipe for the life of the object.
class StandardHandlesOnPipe {
 public:
  StandardHandlesOnPipe() {
    savedInput_ = GetStdHandle(STD_INPUT_HANDLE);
    savedOutput_ = GetStdHandle(STD_OUTPUT_HANDLE);
    CreatePipe(&read_, &write_, nullptr, 0);
    SetStdHandle(STD_INPUT_HANDLE, read_);
    SetStdHandle(STD_OUTPUT_HANDLE, write_);
  }
  ~StandardHandlesOnPipe() {
    SetStdHandle(STD_INPUT_HANDLE, savedInput_);
    SetStdHandle(STD_OUTPUT_HANDLE, savedOutput_);
    CloseHandle(read_);
    CloseHandle(write_);
  }

 private:
  HANDLE savedInput_, savedOutput_, read_ = nullptr, write_ = nullptr;
};

TEST(WindowsConsole, PipesAreRefusedWithAReason) {
  StandardHandlesOnPipe pipes;
  std::string error;
  EXPECT_EQ(platform::openSystemConsole(error), nullptr);
  EXPECT_EQ(error, "standard input is not a console");
}

TEST(WindowsConsole, ProgramOffAConsoleSaysSoAndEndsWithStatus2) {
  auto child = testing_win32::runChild("\"" + testing_win32::programBesideThis("slate.exe") +
                                       "\" notes.txt");
  ASSERT_TRUE(child.started);
  ASSERT_TRUE(child.finished);
  EXPECT_EQ(child.exitCode, 2u);
  EXPECT_EQ(child.errors, "slate: standard input is not a console\r\n");  // text mode
  EXPECT_EQ(child.output, "");  // nothing drawn, no escape sequences
}

}  // namespace
