// File existence and removal on Windows, where a read-only file cannot be deleted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// A rewrite to the same length whose last-write time was put back (as a copy keeps its
// source's) still shows in the file's stamp.
TEST(WindowsFileSystem, RewriteWithItsTimePutBackChangesTheStamp) {
  TempFolder temp;
  const std::string file = temp.path("notes.txt");
  testing_win32::writeFile(file, "one");
  const platform::FileStamp before = platform::stampOf(file.c_str());
  Sleep(20);
  testing_win32::writeFile(file, "two");
  HANDLE handle = CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  FILETIME written;
  written.dwLowDateTime = static_cast<DWORD>(before.modified);
  written.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(before.modified) >> 32);
  ASSERT_TRUE(SetFileTime(handle, nullptr, nullptr, &written));
  CloseHandle(handle);
  const platform::FileStamp after = platform::stampOf(file.c_str());
  ASSERT_EQ(after.modified, before.modified);
  EXPECT_NE(after, before);
}

// A holder that has not written its process id (a full disk) still makes the name busy, and
// the lock says no one is known rather than that no one holds it.
TEST(WindowsFileSystem, LockWithoutProcessIdIsHeldByAnUnknownProcess) {
  TempFolder temp;
  const std::string lock = temp.path(".notes.txt.autosave.lock");
  HANDLE holder = CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  platform::NameLock claim;
  long pid = 0;
  EXPECT_EQ(claim.take(lock, pid), platform::NameLock::Result::Busy);
  EXPECT_EQ(pid, -1);
  CloseHandle(holder);
  EXPECT_EQ(claim.take(lock, pid), platform::NameLock::Result::Taken);
}

// Names from the command line go into the console's code page whole, or all stay as given.
TEST(WindowsFileSystem, NamesAreRecodedOnlyWhereEveryCharacterHasItsByte) {
  char program[] = "slate";
  char line[] = "+3";
  char name[] = "caf\xE9.txt";  // code page 1252
  char* argv[] = {program, line, name};
  EXPECT_TRUE(platform::recodeNames(3, argv, 1252, 437));
  EXPECT_STREQ(name, "caf\x82.txt");
  EXPECT_STREQ(line, "+3");
  char other[] = "caf\xE9.txt";
  char euro[] = "\x80.txt";  // no euro sign in code page 437
  char* lacking[] = {program, other, euro};
  EXPECT_FALSE(platform::recodeNames(3, lacking, 1252, 437));
  EXPECT_STREQ(other, "caf\xE9.txt");
  EXPECT_STREQ(euro, "\x80.txt");
}

// The user's folders are named in the code page the file functions take, which the console's
// may have made the OEM one.
TEST(WindowsFileSystem, FallbackFolderOutsideAsciiIsFoundInTheFileFunctionsCodePage) {
  TempFolder temp;
  wchar_t wideTemp[MAX_PATH];
  ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, temp.dir().c_str(), -1, wideTemp, MAX_PATH), 0);
  const std::wstring local = std::wstring(wideTemp) + L"\\caf\u00e9";
  ASSERT_TRUE(CreateDirectoryW(local.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((local + L"\\slate").c_str(), nullptr));
  wchar_t oldLocal[MAX_PATH] = {};
  const bool had = GetEnvironmentVariableW(L"LOCALAPPDATA", oldLocal, MAX_PATH) > 0;
  SetEnvironmentVariableW(L"LOCALAPPDATA", local.c_str());
  SetFileApisToOEM();
  const std::vector<std::string> folders = platform::systemFallbackFolders(false);
  SetFileApisToANSI();
  SetEnvironmentVariableW(L"LOCALAPPDATA", had ? oldLocal : nullptr);
  RemoveDirectoryW((local + L"\\slate").c_str());
  RemoveDirectoryW(local.c_str());
  char oem[MAX_PATH * 2];
  ASSERT_GT(WideCharToMultiByte(CP_OEMCP, 0, (local + L"\\slate").c_str(), -1, oem, sizeof oem,
                                nullptr, nullptr),
            0);
  ASSERT_FALSE(folders.empty());
  EXPECT_EQ(folders[0], oem);
}

}  // namespace
