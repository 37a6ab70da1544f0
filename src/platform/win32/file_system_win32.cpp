#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/win32/windows_api.h"

namespace platform {

bool fileExists(const char* name) {
  return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

FileStamp stampOfHandle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  FileStamp stamp;
  if (!GetFileInformationByHandle(file, &info)) return stamp;
  stamp.exists = true;
  stamp.regular = !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  stamp.device = info.dwVolumeSerialNumber;
  stamp.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.modified =
      static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                           info.ftLastWriteTime.dwLowDateTime);
  // The last-write time can be set back (a copy keeps its source's); the change time, moved
  // on by every write and change of the file's state, is what shows such a rewrite.
  FILE_BASIC_INFO basic;
  if (GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
    stamp.changed = basic.ChangeTime.QuadPart;
  return stamp;
}

FileStamp stampOf(const char* name) {
  // No access asked for: the file's information can be had even where its contents cannot.
  HANDLE file = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FileStamp{};
  FileStamp stamp = stampOfHandle(file);
  CloseHandle(file);
  return stamp;
}

bool removeFile(const char* name) {
  if (DeleteFileA(name)) return true;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace platform

namespace platform {

bool isOwnPlainFile(const char* name) {
  const DWORD attributes = GetFileAttributesA(name);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

bool removeOwnCopy(const char* name, const FileStamp& own) {
  const FileStamp now = stampOf(name);
  if (!now.exists) return true;
  return now.sameFile(own) && removeFile(name);
}

std::vector<std::string> systemFallbackFolders(bool make) {
  std::vector<std::string> folders;
  for (const wchar_t* variable : {L"LOCALAPPDATA", L"TEMP"}) {
    // In the code page the file functions take (see useConsoleNames), not the ANSI one.
    wchar_t wide[MAX_PATH];
    char base[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableW(variable, wide, MAX_PATH);
    const UINT codePage = AreFileApisANSI() ? GetACP() : GetOEMCP();
    const bool utf8 = codePage == CP_UTF8;  // takes neither flag nor lacking
    BOOL lacking = FALSE;
    if (length == 0 || length >= MAX_PATH ||
        WideCharToMultiByte(codePage, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide,
                            static_cast<int>(length) + 1, base, sizeof base, nullptr,
                            utf8 ? nullptr : &lacking) == 0 ||
        lacking)
      continue;
    const std::string folder = std::string(base) + "\\slate";
    if (make) CreateDirectoryA(folder.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      folders.push_back(folder);
  }
  return folders;
}

std::string absolutePath(const char* name) {
  char buffer[MAX_PATH * 4];
  const DWORD n = GetFullPathNameA(name, sizeof buffer, buffer, nullptr);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string(name);
}

NameLock::Result NameLock::take(const std::string& path, long& holder) {
  release();
  holder = 0;
  // Others may read who holds it, never write it or take it while this process lives.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
      return Result::Unavailable;
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (reader != INVALID_HANDLE_VALUE) {
      char text[24] = {};
      DWORD got = 0;
      if (ReadFile(reader, text, sizeof text - 1, &got, nullptr)) holder = std::atol(text);
      CloseHandle(reader);
    }
    if (holder <= 0) holder = -1;  // it could not write who it is (a full disk), or not yet
    return Result::Busy;
  }
  const std::string pid = std::to_string(GetCurrentProcessId()) + "\r\n";
  DWORD written = 0;
  SetEndOfFile(file);
  WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr);
  FlushFileBuffers(file);
  handle_ = reinterpret_cast<intptr_t>(file);
  path_ = path;
  return Result::Taken;
}

void NameLock::release() {
  if (handle_ == -1) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  DeleteFileA(path_.c_str());
  handle_ = -1;
  path_.clear();
}

}  // namespace platform
