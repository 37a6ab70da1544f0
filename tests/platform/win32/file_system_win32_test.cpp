// File existence and removal on Windows, where a read-only file cannot be deleted.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/windows_api.h"

namespace {

class WindowsFileSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    dir = std::string(temp) + "slate-fs-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    file = dir + "\\notes.txt";
  }
  void TearDown() override {
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(file.c_str());
    RemoveDirectoryA(dir.c_str());
  }
  void create(const std::string& name) {
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
  }
  std::string dir, file;
};

TEST_F(WindowsFileSystem, ExistsUntilRemoved) {
  EXPECT_FALSE(platform::fileExists(file.c_str()));
  create(file);
  EXPECT_TRUE(platform::fileExists(file.c_str()));
  EXPECT_TRUE(platform::fileExists(dir.c_str()));  // a folder is there too
  EXPECT_TRUE(platform::removeFile(file.c_str()));
  EXPECT_FALSE(platform::fileExists(file.c_str()));
}

TEST_F(WindowsFileSystem, RemovingWhatIsNotThereSucceeds) {
  EXPECT_TRUE(platform::removeFile(file.c_str()));
  EXPECT_TRUE(platform::removeFile((dir + "\\no such folder\\notes.txt").c_str()));
}

TEST_F(WindowsFileSystem, ReadOnlyFileIsReportedAsNotRemoved) {
  create(file);
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(platform::removeFile(file.c_str()));
  EXPECT_TRUE(platform::fileExists(file.c_str()));
}

}  // namespace
