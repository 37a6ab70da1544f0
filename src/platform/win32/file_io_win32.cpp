// Files on Windows: read in blocks, and replaced in one step by a temporary file beside the
// target that is flushed to disk and then moved over it.
#include <cstdio>

#include "platform/win32/windows_api.h"

namespace platform {
namespace {

// The reason for a failure, in the words the status line uses on every system where there
// is one; the system's own message otherwise.
std::string errorText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return "No such file or directory";
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return "Permission denied";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "File in use by another program";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "No space left on device";
    case ERROR_DIRECTORY:
      return "Is a directory";
    default:
      break;
  }
  char text[256];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == ' ' || text[length - 1] == '.'))
    --length;
  if (length == 0) {
    std::snprintf(text, sizeof text, "Windows error %lu", static_cast<unsigned long>(error));
    return text;
  }
  return std::string(text, length);
}

bool missing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

HANDLE asHandle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}
constexpr intptr_t kNoHandle = -1;  // INVALID_HANDLE_VALUE

// Reads and writes go in pieces a DWORD can count.
constexpr size_t kMaxPiece = size_t{1} << 30;

// Follows a symbolic link to the file it names; any other name is returned as it is.
std::string resolveLink(const char* name) {
  DWORD attributes = GetFileAttributesA(name);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return name;
  HANDLE file = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return name;
  char path[MAX_PATH + 8];
  DWORD length = GetFinalPathNameByHandleA(file, path, sizeof path, FILE_NAME_NORMALIZED);
  CloseHandle(file);
  if (length == 0 || length >= sizeof path) return name;
  return std::string(path, length);
}

// Six characters that make a temporary name fresh.
std::string randomSuffix() {
  static uint32_t counter = 0;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  uint64_t bits = static_cast<uint64_t>(now.QuadPart) ^
                  (static_cast<uint64_t>(GetCurrentProcessId()) << 40) ^
                  (uint64_t{++counter} << 20);
  bits = (bits ^ (bits >> 30)) * 0xBF58476D1CE4E5B9ull;
  bits = (bits ^ (bits >> 27)) * 0x94D049BB133111EBull;
  bits ^= bits >> 31;
  static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";  // names ignore case
  std::string suffix;
  for (int i = 0; i < 6; ++i) {
    suffix.push_back(digits[bits % 36]);
    bits /= 36;
  }
  return suffix;
}

}  // namespace

void preferLargePages(void*, size_t) {}  // large pages need a privilege users lack

// ---- InputFile ----

OpenResult InputFile::open(const char* name, std::string& reason) {
  close();
  DWORD attributes = GetFileAttributesA(name);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    if (missing(error)) return OpenResult::NotFound;
    reason = errorText(error);
    return OpenResult::Failed;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    reason = errorText(ERROR_DIRECTORY);
    return OpenResult::Failed;
  }
  HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    reason = errorText(error);
    return missing(error) ? OpenResult::NotFound : OpenResult::Failed;
  }
  LARGE_INTEGER size;
  // Devices (CON, NUL, COM1) and pipes are no files of text.
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    reason = "Not a regular file";
    CloseHandle(file);
    return OpenResult::Failed;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  size_ = static_cast<uint64_t>(size.QuadPart);
  return OpenResult::Opened;
}

int64_t InputFile::read(char* buffer, size_t n, std::string& reason) {
  DWORD got = 0;
  if (!ReadFile(asHandle(handle_), buffer, static_cast<DWORD>(n < kMaxPiece ? n : kMaxPiece), &got,
                nullptr)) {
    reason = errorText(GetLastError());
    return -1;
  }
  return got;
}

void InputFile::close() {
  if (handle_ != kNoHandle) CloseHandle(asHandle(handle_));
  handle_ = kNoHandle;
  size_ = 0;
}

// ---- FileReplacer ----

bool FileReplacer::begin(const char* target, const char* modeTemplate, std::string& reason) {
  abort();
  if (target == nullptr || target[0] == '\0') {
    reason = errorText(ERROR_FILE_NOT_FOUND);
    return false;
  }
  target_ = resolveLink(target);

  // The attributes that say how a file is shown and kept go over to its replacement. A file
  // marked read-only is refused, as a write in place would be.
  const DWORD kept =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  DWORD attributes = GetFileAttributesA(target_.c_str());
  DWORD newAttributes = FILE_ATTRIBUTE_ARCHIVE;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      reason = errorText(ERROR_DIRECTORY);
      return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      reason = errorText(ERROR_ACCESS_DENIED);
      return false;
    }
    // Whether this user may write it, and no other program holds it against writing.
    HANDLE probe = CreateFileA(target_.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
      reason = errorText(GetLastError());
      return false;
    }
    bool disk = GetFileType(probe) == FILE_TYPE_DISK;
    CloseHandle(probe);
    if (!disk) {
      reason = "Not a regular file";
      return false;
    }
    newAttributes |= attributes & kept;
  } else if (DWORD error = GetLastError(); !missing(error)) {
    reason = errorText(error);
    return false;
  } else if (modeTemplate != nullptr && modeTemplate[0] != '\0') {
    DWORD templateAttributes = GetFileAttributesA(modeTemplate);
    if (templateAttributes != INVALID_FILE_ATTRIBUTES &&
        !(templateAttributes & FILE_ATTRIBUTE_DIRECTORY))
      newAttributes |= templateAttributes & kept;
  }

  // The temporary file lies beside the target, so the move never crosses volumes.
  size_t cut = target_.find_last_of("/\\:");
  std::string directory = cut == std::string::npos ? "" : target_.substr(0, cut + 1);
  std::string base = cut == std::string::npos ? target_ : target_.substr(cut + 1);
  if (base.size() > 200) base.resize(200);  // room for the suffix within a name's limit
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary_ = directory + "." + base + "." + randomSuffix() + ".tmp";
    file = CreateFileA(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, newAttributes,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
  }
  if (file == INVALID_HANDLE_VALUE) {
    reason = errorText(error);
    temporary_.clear();
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  return true;
}

bool FileReplacer::write(const char* bytes, size_t n, std::string& reason) {
  if (handle_ == kNoHandle) {
    reason = errorText(ERROR_INVALID_HANDLE);
    return false;
  }
  while (n > 0) {
    DWORD done = 0;
    if (!WriteFile(asHandle(handle_), bytes, static_cast<DWORD>(n < kMaxPiece ? n : kMaxPiece),
                   &done, nullptr)) {
      reason = errorText(GetLastError());
      return false;
    }
    if (done == 0) {
      reason = errorText(ERROR_WRITE_FAULT);
      return false;
    }
    bytes += done;
    n -= done;
  }
  return true;
}

bool FileReplacer::commit(std::string& reason) {
  if (handle_ == kNoHandle) {
    reason = errorText(ERROR_INVALID_HANDLE);
    return false;
  }
  HANDLE file = asHandle(handle_);
  if (!FlushFileBuffers(file)) {
    reason = errorText(GetLastError());
    abort();
    return false;
  }
  handle_ = kNoHandle;
  if (!CloseHandle(file)) {
    reason = errorText(GetLastError());
    abort();
    return false;
  }
  // One step: the target is either the old file or the new one, never missing. When the move
  // fails, both files are as they were and the temporary one is removed.
  if (!MoveFileExA(temporary_.c_str(), target_.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    reason = errorText(GetLastError());
    abort();
    return false;
  }
  temporary_.clear();
  return true;
}

void FileReplacer::abort() {
  if (handle_ != kNoHandle) CloseHandle(asHandle(handle_));
  handle_ = kNoHandle;
  if (!temporary_.empty()) DeleteFileA(temporary_.c_str());
  temporary_.clear();
}

}  // namespace platform
