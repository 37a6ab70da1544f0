// The Windows console backend where no console is needed: refusing what is not one.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/child_process.h"
#include "platform/win32/temp_folder.h"
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

BOOL WINAPI outliveConsoleEvents(DWORD) {
  return TRUE;
}

// The driver of the end-to-end run's console event (tests/e2e-windows/run.sh): starts
// slate.exe for doc.txt on this console and, once a file "send-event" appears, sends Ctrl+C
// to every program on the console, as another program may; slate.exe's exit status goes to
// the file "slate-status".
TEST(WindowsConsole, DISABLED_ConsoleEventDriver) {
  SetConsoleCtrlHandler(outliveConsoleEvents, TRUE);
  std::string command = "\"" + testing_win32::programBesideThis("slate.exe") + "\" doc.txt";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  while (GetFileAttributesA("send-event") == INVALID_FILE_ATTRIBUTES &&
         WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
  }
  EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  testing_win32::writeFile("slate-status", std::to_string(status) + "\n");
}

CONSOLE_SCREEN_BUFFER_INFO buffer(SHORT height, SHORT windowTop, SHORT windowBottom) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  info.dwSize = COORD{80, height};
  info.srWindow = SMALL_RECT{0, windowTop, 79, windowBottom};
  return info;
}

bool operator==(platform::RowsInUse a, platform::RowsInUse b) {
  return a.top == b.top && a.height == b.height;
}

TEST(WindowsConsole, RowsInUseAreTheWindowsWhereTheBufferKeepsAScrollBack) {
  using platform::rowsInUse;
  using Rows = platform::RowsInUse;
  // A buffer as tall as its window: all of it.
  EXPECT_TRUE(rowsInUse(buffer(25, 0, 24), -1) == (Rows{0, 25}));
  // A scroll-back of 9001 rows with the window on rows 300 to 329: the window's rows.
  EXPECT_TRUE(rowsInUse(buffer(9001, 300, 329), -1) == (Rows{300, 30}));
  // Scrolling the window later does not move them; resizing it changes their number.
  EXPECT_TRUE(rowsInUse(buffer(9001, 0, 29), 300) == (Rows{300, 30}));
  EXPECT_TRUE(rowsInUse(buffer(9001, 300, 339), 300) == (Rows{300, 40}));
  // They never reach past the buffer's end.
  EXPECT_TRUE(rowsInUse(buffer(9001, 8980, 9000), 8990) == (Rows{8980, 21}));
  // A window that reports nonsense: the whole buffer.
  EXPECT_TRUE(rowsInUse(buffer(50, 10, 5), -1) == (Rows{0, 50}));
}

}  // namespace
