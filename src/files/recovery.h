#pragma once

#include <string>

class Editor;

namespace files {

// Puts the bytes of a copy of the document (its autosave file, the new text of a save cut
// short) in place of its text, as one step of the undo history: F9 gives the file's own text
// back, so the two can be compared before a save. The document keeps its name and counts as
// modified unless the copy equals the file. False, with the reason, when the copy cannot be
// read or the document's text cannot be taken out (text of a large file not yet read); the
// document is then as it was.
bool openCopyInstead(Editor& editor, const char* copy, std::string& reason);

// Opens the old autosave copy the user chose at the start-up question (r), if any, and says
// so on the status line.
void openAskedCopy(Editor& editor);

// The old copy the user chose to open could not be opened: it stays as it is, and this run's
// autosave goes under the next name free.
void keepOldCopy(Editor& editor);

// The old copy the user opened is replaced by this run's copy only while the document holds
// its text: once the step that opened it is undone (or gone from the history), or a killed
// save's copy opened after it is in its place, the copy is kept as keepOldCopy keeps it. Called
// before a copy of the document is written.
void keepUndoneCopy(Editor& editor);

}  // namespace files
