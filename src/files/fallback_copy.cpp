#include "files/fallback_copy.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/editor.h"
#include "files/load_save.h"
#include "platform/file_system.h"

namespace {

// The longest name the systems here take, less ".autosave" and a numbered copy's ".NN".
constexpr size_t kMostNameBytes = 255 - 9 - 3;

// The longest name a copy in the folder may have: on Windows the whole path must also stay
// within MAX_PATH - 1 (259) characters.
size_t mostNameBytes(const std::string& folder) {
#ifdef _WIN32
  const size_t mostPath = 259 - 1 - 9 - 3;  // less the separator, ".autosave" and ".NN"
  const size_t room = folder.size() < mostPath ? mostPath - folder.size() : 0;
  return std::clamp<size_t>(room, 20, kMostNameBytes);  // at least a digest and a few bytes
#else
  (void)folder;
  return kMostNameBytes;
#endif
}

// A name too long for one file name keeps its end, which names the file, after a digest of
// the whole, so that two documents still never share one; no escape is cut in two.
std::string cutToFit(const std::string& name, size_t most) {
  if (name.size() <= most) return name;
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
  char digest[18];
  std::snprintf(digest, sizeof digest, "%016llx-", static_cast<unsigned long long>(hash));
  size_t start = name.size() - (most - 17);
  while (name[start - 1] == '%' || name[start - 2] == '%') ++start;
  return digest + name.substr(start);
}

}  // namespace

namespace files {

std::string fallbackCopyName(const std::string& folder, const char* fileName) {
  const std::string path = platform::absolutePath(fileName[0] != '\0' ? fileName : "untitled");
  std::string name;
  for (unsigned char c : path) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
        c == '_' || c == '-') {
      name.push_back(static_cast<char>(c));
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      name += escaped;
    }
  }
#ifdef _WIN32
  return folder + "\\" + cutToFit(name, mostNameBytes(folder)) + ".autosave";
#else
  return folder + "/" + cutToFit(name, mostNameBytes(folder)) + ".autosave";
#endif
}

std::string findFallbackCopy(const char* fileName) {
  std::string newest;
  int64_t newestTime = 0;
  for (const std::string& folder : platform::fallbackFolders(false)) {
    const std::string base = fallbackCopyName(folder, fileName);
    // Numbered as writeFallbackCopy numbers them; a name before may be gone (that run's copy
    // removed when its document was saved) while a later one is still there.
    for (int i = 0; i < 100; ++i) {
      const std::string name = i == 0 ? base : base + "." + std::to_string(i);
      const platform::FileStamp stamp = platform::stampOf(name.c_str());
      if (stamp.exists && platform::isOwnPlainFile(name.c_str()) &&
          (newest.empty() || stamp.modified > newestTime)) {
        newest = name;
        newestTime = stamp.modified;
      }
    }
  }
  return newest;
}

std::string writeFallbackCopy(Editor& editor, platform::FileStamp& own, std::string& reason) {
  const std::vector<std::string> folders = platform::fallbackFolders();
  if (folders.empty()) reason = "no folder of this user's to write to";
  for (const std::string& folder : folders) {
    const std::string base = fallbackCopyName(folder, editor.fileName.get());
    for (int i = 0; i < 100; ++i) {
      const std::string name = i == 0 ? base : base + "." + std::to_string(i);
      platform::FileStamp none;
      // The copy this run wrote there before is replaced; any other file is left alone.
      platform::FileStamp& mine =
          own.exists && platform::stampOf(name.c_str()).sameFile(own) ? own : none;
      if (mine.exists || !platform::fileExists(name.c_str())) {
        std::string why;
        if (writeOwnCopy(editor, name.c_str(), mine, why)) {
          own = mine;
          return name;
        }
        reason = folder + ": " + why;
        break;  // this folder does not take it: the next one
      }
    }
  }
  return "";
}

}  // namespace files
