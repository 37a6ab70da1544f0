#include "platform/win32/temp_folder.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/win32/windows_api.h"

namespace testing_win32 {

TempFolder::TempFolder() {
  static int made = 0;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  dir_ = std::string(temp) + "slate-test-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++made);
  CreateDirectoryA(dir_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  for (const std::string& name : names()) {
    std::string file = path(name);
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(file.c_str())) RemoveDirectoryA(file.c_str());
  }
  RemoveDirectoryA(dir_.c_str());
}

std::vector<std::string> TempFolder::names() const {
  std::vector<std::string> found;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(path("*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    std::string name = entry.cFileName;
    // The lock of a running editor's autosave name is there only while it runs.
    const bool lock = name.starts_with(".") && name.ends_with(".autosave.lock");
    if (name != "." && name != ".." && !lock) found.push_back(name);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace testing_win32
