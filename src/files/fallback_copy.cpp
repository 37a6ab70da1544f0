#include "files/fallback_copy.h"

#include <cstdio>

#include "core/editor.h"
#include "files/load_save.h"
#include "platform/file_system.h"

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
  return folder + "\\" + name + ".autosave";
#else
  return folder + "/" + name + ".autosave";
#endif
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
