// Files on Windows: read in blocks, and replaced in one step by a temporary file beside the
// target that is flushed to disk and then moved over it.
#include <cstdio>
#include <vector>

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

std::string machineName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = sizeof name;
  if (!GetComputerNameA(name, &length)) name[0] = '\0';
  return name;
}

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
  stamp_ = stampOfHandle(file);
  stamp_.size = static_cast<uint64_t>(size.QuadPart);
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

int64_t InputFile::readAt(uint64_t offset, char* buffer, size_t n) const {
  size_t done = 0;
  while (done < n) {
    OVERLAPPED at{};
    const uint64_t where = offset + done;
    at.Offset = static_cast<DWORD>(where);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    const size_t want = n - done;
    DWORD got = 0;
    if (!ReadFile(asHandle(handle_), buffer + done,
                  static_cast<DWORD>(want < kMaxPiece ? want : kMaxPiece), &got, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<int64_t>(done);
}

int64_t InputFile::currentSize() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(asHandle(handle_), &size)) return -1;
  return static_cast<int64_t>(size.QuadPart);
}

void InputFile::close() {
  if (handle_ != kNoHandle) CloseHandle(asHandle(handle_));
  handle_ = kNoHandle;
  stamp_ = FileStamp{};
}

// ---- FileReplacer ----

struct FileReplacer::State {
  HANDLE file = INVALID_HANDLE_VALUE;
  std::string target;     // the file that is replaced, links resolved
  std::string temporary;  // empty when there is no temporary file
  FileStamp before;       // the target as begin found it
  bool replaced = false;
  FileStamp stamp;
  std::string changes;   // stays empty: a replacement is made by its owner's rules here
  bool ownCopy = false;  // see beginOwnCopy
  FileStamp own;
};

namespace {

// The folder part of a path with its separator, "" for a bare name.
std::string folderOf(const std::string& path) {
  size_t cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? "" : path.substr(0, cut + 1);
}

bool processGone(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process) {
    DWORD code = 0;
    bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    CloseHandle(process);
    return ended;
  }
  return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
}

// True when the file's owner is the user this process runs as.
bool ownedByThisUser(const std::string& name) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  char userBuffer[256];
  DWORD needed = 0;
  bool mine = false;
  if (GetTokenInformation(token, TokenUser, userBuffer, sizeof userBuffer, &needed)) {
    const TOKEN_USER* user = reinterpret_cast<const TOKEN_USER*>(userBuffer);
    char descriptor[1024];
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (GetFileSecurityA(name.c_str(), OWNER_SECURITY_INFORMATION, descriptor, sizeof descriptor,
                         &needed) &&
        GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner)
      mine = EqualSid(owner, user->User.Sid) != 0;
  }
  CloseHandle(token);
  return mine;
}

}  // namespace

FileReplacer::FileReplacer() : state_(new State) {}

FileReplacer::~FileReplacer() {
  abort();
}

bool FileReplacer::beginOwnCopy(const char* target, const FileStamp& own, const char* modeTemplate,
                                std::string& reason) {
  if (target == nullptr || target[0] == '\0') return begin(target, modeTemplate, reason);
  // Anything under the name but the file this process wrote there is never replaced.
  const FileStamp now = stampOf(target);
  if (now.exists && !now.sameFile(own)) {
    abort();
    reason = errorText(ERROR_FILE_EXISTS);
    return false;
  }
  if (!begin(target, modeTemplate, reason, 0, false)) return false;
  state_->ownCopy = true;
  state_->own = now;
  return true;
}

bool FileReplacer::begin(const char* target, const char* modeTemplate, std::string& reason,
                         uint32_t newFileMode) {
  return begin(target, modeTemplate, reason, newFileMode, true);
}

namespace {

// Opens a file as replacing it needs: to write it, and to delete it (which the move over it
// does). Fails where this user may not, or another program holds the file open against it.
HANDLE openForReplacing(const std::string& name) {
  return CreateFileA(name.c_str(), GENERIC_WRITE | DELETE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     0, nullptr);
}

// Whether the existing target may be replaced (a file on disk, not read-only, writable by
// this user and held by no other program), and the attributes its replacement takes,
// added to newAttributes.
bool checkTarget(FileReplacer::State& s, const char* modeTemplate, DWORD& newAttributes,
                 std::string& reason) {
  // The attributes that say how a file is shown and kept go over to its replacement. A file
  // marked read-only is refused, as a write in place would be.
  const DWORD kept =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  DWORD attributes = GetFileAttributesA(s.target.c_str());
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
    HANDLE probe = openForReplacing(s.target);
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
    s.before = stampOf(s.target.c_str());
  } else if (DWORD error = GetLastError(); !missing(error)) {
    reason = errorText(error);
    return false;
  } else if (modeTemplate != nullptr && modeTemplate[0] != '\0') {
    DWORD templateAttributes = GetFileAttributesA(modeTemplate);
    if (templateAttributes != INVALID_FILE_ATTRIBUTES &&
        !(templateAttributes & FILE_ATTRIBUTE_DIRECTORY))
      newAttributes |= templateAttributes & kept;
  }
  return true;
}

// The temporary file beside the target, so the move never crosses volumes. Its name says
// which process of which machine writes it, for removeLeftovers.
bool createTemporary(FileReplacer::State& s, DWORD newAttributes, std::string& reason) {
  const std::string folder = folderOf(s.target);
  std::string base = s.target.substr(folder.size());
  // The system takes no path longer than MAX_PATH - 1 characters: where the target's is
  // nearly that long, the temporary name carries less of the file's name (none, at worst).
  const size_t mostChars = MAX_PATH - 1;
  const size_t suffix = 6 + 4;  // randomSuffix() and ".tmp"
  const size_t rest = absolutePath(s.target.c_str()).size() - base.size() +
                      scratchPrefix("", hostTag(), GetCurrentProcessId()).size() + suffix;
  if (rest + base.size() > mostChars) base.resize(rest < mostChars ? mostChars - rest : 0);
  const std::string prefix = folder + scratchPrefix(base, hostTag(), GetCurrentProcessId());
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < 100 && s.file == INVALID_HANDLE_VALUE; ++attempt) {
    s.temporary = prefix + randomSuffix() + ".tmp";
    // No sharing: while this process lives, nobody removes the file under it.
    s.file = CreateFileA(s.temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, newAttributes,
                         nullptr);
    if (s.file == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
  }
  if (s.file == INVALID_HANDLE_VALUE) {
    reason = errorText(error);
    s.temporary.clear();
    return false;
  }
  return true;
}

}  // namespace

bool FileReplacer::begin(const char* target, const char* modeTemplate, std::string& reason,
                         uint32_t, bool followLinks) {
  abort();
  State& s = *state_;
  s = State{};
  if (target == nullptr || target[0] == '\0') {
    reason = errorText(ERROR_FILE_NOT_FOUND);
    return false;
  }
  s.target = followLinks ? resolveLink(target) : std::string(target);

  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  return checkTarget(s, modeTemplate, attributes, reason) && createTemporary(s, attributes, reason);
}

bool FileReplacer::write(const char* bytes, size_t n, std::string& reason) {
  State& s = *state_;
  if (s.file == INVALID_HANDLE_VALUE) {
    reason = errorText(ERROR_INVALID_HANDLE);
    return false;
  }
  while (n > 0) {
    DWORD done = 0;
    if (!WriteFile(s.file, bytes, static_cast<DWORD>(n < kMaxPiece ? n : kMaxPiece), &done,
                   nullptr)) {
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
  State& s = *state_;
  if (s.file == INVALID_HANDLE_VALUE) {
    reason = errorText(ERROR_INVALID_HANDLE);
    return false;
  }
  if (!FlushFileBuffers(s.file)) {
    reason = errorText(GetLastError());
    abort();
    return false;
  }
  s.stamp = stampOfHandle(s.file);  // a move keeps the file index and the last-write time
  HANDLE file = s.file;
  s.file = INVALID_HANDLE_VALUE;
  if (!CloseHandle(file)) {
    reason = errorText(GetLastError());
    abort();
    return false;
  }
  // The last-write time is sure only once the handle that wrote is closed (NTFS sets it when
  // the handle is closed): the stamp is taken again from the closed file, so that the next
  // save does not find the file changed on disk.
  if (const FileStamp closed = stampOf(s.temporary.c_str()); closed.sameFile(s.stamp))
    s.stamp = closed;
  // Another program that changed the target while the new bytes were written would lose its
  // change: the save fails instead, and the next one asks. A copy of the editor's own goes
  // only over the file this process wrote, or as a new name.
  const FileStamp now = stampOf(s.target.c_str());
  if (s.ownCopy ? (now.exists && !now.sameFile(s.own)) : now != s.before) {
    reason = s.ownCopy ? errorText(ERROR_FILE_EXISTS) : std::string("File changed on disk");
    abort();
    return false;
  }
  // One step: the target is either the old file or the new one, never missing. When the move
  // fails, both files are as they were and the temporary one is removed.
  const DWORD replace = s.ownCopy && !s.own.exists ? 0 : MOVEFILE_REPLACE_EXISTING;
  if (!MoveFileExA(s.temporary.c_str(), s.target.c_str(), replace | MOVEFILE_WRITE_THROUGH)) {
    DWORD error = GetLastError();
    // A file that another program has open cannot be moved over, though this user may write
    // and delete it: the refusal then says so rather than "Permission denied".
    if (error == ERROR_ACCESS_DENIED && replace != 0) {
      HANDLE probe = openForReplacing(s.target);
      if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        error = ERROR_SHARING_VIOLATION;
      } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
        error = ERROR_SHARING_VIOLATION;
      }
    }
    reason = errorText(error);
    abort();
    return false;
  }
  s.temporary.clear();
  s.replaced = true;
  // The move itself changes the file's state (its change time): the stamp is the moved file's.
  if (const FileStamp moved = stampOf(s.target.c_str()); moved.sameFile(s.stamp)) s.stamp = moved;
  return true;
}

void FileReplacer::abort() {
  State& s = *state_;
  if (s.file != INVALID_HANDLE_VALUE) CloseHandle(s.file);
  s.file = INVALID_HANDLE_VALUE;
  if (!s.temporary.empty()) DeleteFileA(s.temporary.c_str());
  s.temporary.clear();
}

bool FileReplacer::targetReplaced() const {
  return state_->replaced;
}

const FileStamp& FileReplacer::stamp() const {
  return state_->stamp;
}

const std::string& FileReplacer::changes() const {
  return state_->changes;
}

std::vector<FileReplacer::Interrupted> FileReplacer::removeLeftovers(const char* target) {
  if (target == nullptr || target[0] == '\0') return {};
  const std::string folder = folderOf(resolveLink(target));
  const std::string host = hostTag();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + ".*.slate-" + host + "-*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::vector<std::string> dead;
  do {
    const ScratchName scratch = parseScratchName(found.cFileName, host);
    const DWORD pid = scratch.kind == ".tmp" ? scratch.pid : 0;
    if (pid == 0 || pid == GetCurrentProcessId() ||
        (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
      continue;
    const std::string name = folder + found.cFileName;
    if (processGone(pid) && ownedByThisUser(name)) dead.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  for (const std::string& name : dead) DeleteFileA(name.c_str());
  return {};  // a file here is never written over in place
}

}  // namespace platform
