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
  if (!following && fileUnread) {  // never read again: it would never be shown
    setPendingMessage(
        ("Cannot follow " + std::string(fileName.get()) + ": it could not be read").c_str());
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
  // A modified document is never read over; a large one only once its lines are counted (or
  // the count found the file changed), so that a log growing all the time is not read from its
  // start again and again.
  if (!following || modified || fileUnread ||
      (source && !source->countDone() && !source->countFailed()))
    return false;
  const platform::FileStamp now = platform::stampOf(fileName.get());
  if (!now.exists || !now.regular) return false;  // between a rotation's rename and new file
  // A file that was not there when the document was opened has grown from nothing once it
  // appears: the document is then still the empty text it started as.
  const bool appeared = !fileStamp.exists;
  // A log rotated (renamed away and a new one begun) or cut short: what is shown is the
  // file's text as read, nothing of the user's, so the log as it is now takes its place.
  const bool replaced = !appeared && !now.sameFile(fileStamp);
  const bool cutShort = now.sameFile(fileStamp) && now.size < fileStamp.size;
  const bool grown = now.sameFile(fileStamp) && now.size > fileStamp.size;
  // A file written over in place to the same length (a status file a program rewrites) shows
  // only in its times: of its last write, and of its last change, which no writer can set back.
  const bool rewritten = now.sameFile(fileStamp) && now.size == fileStamp.size &&
                         (now.modified != fileStamp.modified || now.changed != fileStamp.changed);
  if (!appeared && !replaced && !cutShort && !grown && !rewritten) return false;
  // Reading the file again is no command of the user's: the modes they set stay, and the
  // mark goes with the cursor, so that nothing shows as selected.
  const int32_t indent = autoIndent;
  if (!loadDocument()) return false;
  autoIndent = indent;
  const std::string name = fileName.get();
  if (replaced) setPendingMessage((name + " was replaced on disk: following the new file").c_str());
  if (cutShort) setPendingMessage((name + " was cut short on disk: read again").c_str());
  moveDocumentEnd();
  markLine = cursorLine;
  markColumn = cursorColumn;
  textDirty = 1;
  return true;
}
