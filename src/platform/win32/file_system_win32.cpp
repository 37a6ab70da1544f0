#include "platform/win32/windows_api.h"

namespace platform {

bool fileExists(const char* name) {
  return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

bool removeFile(const char* name) {
  if (DeleteFileA(name)) return true;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace platform
