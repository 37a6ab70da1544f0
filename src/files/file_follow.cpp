// Follow mode: a log that another program is still writing, shown to its end as it grows.
#include <string>

#include "core/editor.h"
#include "core/file_source.h"
#include "platform/file_system.h"

int Editor::toggleFollow() {
  if (fileName[0] == '\0') {
    setPendingMessage("No file to follow");
    return 0;
  }
  following = !following;
  const std::string name = fileName.get();
  setPendingMessage((following ? "Following " + name + ": shown to its end as it grows (F10 stops)"
                               : "No longer following " + name)
                        .c_str());
  if (following) followFile();
  return 1;
}

bool Editor::followFile() {
  // A modified document is never read over; a large one only once its lines are counted, so
  // that a log growing all the time is not read from its start again and again.
  if (!following || modified || fileUnread || (source && !source->countDone())) return false;
  const platform::FileStamp now = platform::stampOf(fileName.get());
  if (!now.sameFile(fileStamp) || now.size <= fileStamp.size) return false;
  // Reading the file again is no command of the user's: the modes they set stay, and the
  // mark goes with the cursor, so that nothing shows as selected.
  const int32_t indent = autoIndent;
  if (!loadDocument()) return false;
  autoIndent = indent;
  moveDocumentEnd();
  markLine = cursorLine;
  markColumn = cursorColumn;
  textDirty = 1;
  return true;
}
