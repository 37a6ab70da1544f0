#include "files/recovery.h"

#include <climits>
#include <initializer_list>

#include "core/editor.h"
#include "platform/file_io.h"

namespace {

bool readWhole(const char* name, std::string& bytes, std::string& reason) {
  platform::InputFile file;
  if (file.open(name, reason) != platform::OpenResult::Opened) {
    if (reason.empty()) reason = "No such file or directory";
    return false;
  }
  bytes.clear();
  // Room for the whole file at once: growing by doubling would hold up to three times it.
  if (file.size() < bytes.max_size()) bytes.reserve(static_cast<size_t>(file.size()));
  char buffer[1 << 16];
  for (;;) {
    const int64_t got = file.read(buffer, sizeof buffer, reason);
    if (got < 0) return false;
    if (got == 0) return true;
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

// The bytes go in as a load reads them: every terminator as it stands, a last line without
// one ended by LF.
void insertAsLoaded(Editor& editor, const std::string& bytes) {
  const size_t n = bytes.size();
  size_t lineStart = 0;
  for (size_t i = 0; i < n; ++i) {
    const char c = bytes[i];
    if (c != '\n' && c != '\r') {
      editor.addByte(static_cast<uint8_t>(c));
      continue;
    }
    const bool pair = i + 1 < n && bytes[i + 1] == (c == '\n' ? '\r' : '\n');
    const LineEnding& ending = LineEndings[c == '\n' ? (pair ? 3 : 0) : (pair ? 1 : 2)];
    editor.breakLine(ending.bytes, ending.length);
    if (pair) ++i;
    lineStart = i + 1;
  }
  if (lineStart < n) editor.breakLine(LineEndings[0].bytes, LineEndings[0].length);
}

// Whether the document holds a large file's text not yet read, which cannot be taken out.
bool holdsUnreadText(const Editor& editor) {
  if (!editor.source) return false;
  for (const Stack<TextLine>* lines : {&editor.linesAbove, &editor.linesBelow})
    for (size_t i = 0; i < lines->count(); ++i)
      if (isRun(lines->fromTop(i))) return true;
  return false;
}

}  // namespace

namespace files {

bool openCopyInstead(Editor& editor, const char* copy, std::string& reason) {
  // Told before the copy is read: a copy of a large file may be as large, and more than the
  // memory holds.
  if (holdsUnreadText(editor)) {
    reason = "the file is too large to replace";
    return false;
  }
  std::string bytes;
  if (!readWhole(copy, bytes, reason)) return false;
  editor.openingCopy = 1;
  editor.goToPosition(editor.lineCount - 1, INT_MAX);
  editor.markLine = 0;
  editor.markColumn = 0;
  editor.deleteSelection();
  if (editor.cursorLine != 0 || editor.cursorColumn != 0) {
    // Text not yet read from a large file cannot be taken out, and the copy never goes
    // beside it.
    editor.goToPosition(0, 0);
    editor.afterCommand(false);
    editor.openingCopy = 0;
    reason = "the file is too large to replace";
    return false;
  }
  insertAsLoaded(editor, bytes);
  editor.goToPosition(0, 0);
  editor.afterCommand(false);  // one step of the undo history
  editor.openingCopy = 0;
  return true;
}

void openAskedCopy(Editor& editor) {
  if (editor.copyToOpen.empty()) return;
  const std::string copy = std::move(editor.copyToOpen);
  editor.copyToOpen.clear();
  // What taking the name said (another Slate has the file open) goes before.
  const std::string said =
      editor.pendingMessage ? std::string(editor.pendingMessage.get()) + "; " : "";
  std::string reason;
  if (openCopyInstead(editor, copy.c_str(), reason)) {
    editor.adoptedStep = editor.modified ? editor.undoHistory.lastDoneStep() : 0;
    editor.setPendingMessage((said + "Opened " + copy + "; F9 shows the file").c_str());
    return;
  }
  keepOldCopy(editor);
  editor.setPendingMessage((said + "Cannot open " + copy + ": " + reason + "; it is kept").c_str());
}

}  // namespace files
