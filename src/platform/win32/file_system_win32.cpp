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
