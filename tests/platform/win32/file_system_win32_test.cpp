// File existence and removal on Windows, where a read-only file cannot be deleted.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/temp_folder.h"
#include "platform/win32/windows_api.h"

namespace {

using testing_win32::TempFolder;

TEST(WindowsFileSystem, ExistsUntilRemoved) {
  TempFolder temp;
  const std::string file = temp.path("notes.txt");
  EXPECT_FALSE(platform::fileExists(file.c_str()));
  testing_win32::writeFile(file, "x");
  EXPECT_TRUE(platform::fileExists(file.c_str()));
  EXPECT_TRUE(platform::fileExists(temp.dir().c_str()));  // a folder is there too
  EXPECT_TRUE(platform::removeFile(file.c_str()));
  EXPECT_FALSE(platform::fileExists(file.c_str()));
}

TEST(WindowsFileSystem, RemovingWhatIsNotThereSucceeds) {
  TempFolder temp;
  EXPECT_TRUE(platform::removeFile(temp.path("notes.txt").c_str()));
  EXPECT_TRUE(platform::removeFile(temp.path("no such folder\\notes.txt").c_str()));
}

TEST(WindowsFileSystem, ReadOnlyFileIsReportedAsNotRemoved) {
  TempFolder temp;
  const std::string file = temp.path("notes.txt");
  testing_win32::writeFile(file, "x");
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(platform::removeFile(file.c_str()));
  EXPECT_TRUE(platform::fileExists(file.c_str()));
}

}  // namespace
