#include "core/editor.h"

#include "core/file_source.h"
#include "platform/file_system.h"

const int defaultAutoIndent = 1;

Editor::Editor() {
  lineCount = 1;
  lineEnding = 0;
  quitRequested = 0;
  initBuffer();
  fileName.reset(new char[1]{'\0'});
}

Editor::~Editor() {
  freeBuffer();
  if (autosaveName && !autosaveAdopted) platform::removeOwnCopy(autosaveName.get(), autosaveStamp);
}

const TextLine* Editor::heldLine(int32_t line) const {
  constexpr int32_t kFarthest = 4096;  // records looked through for a run
  const int32_t distance = line > cursorLine ? line - cursorLine : cursorLine - line;
  const Stack<TextLine>& lines = line > cursorLine ? linesBelow : linesAbove;
  if (distance == 0 || static_cast<size_t>(distance) > lines.count()) return nullptr;
  if (source && distance > kFarthest) return nullptr;
  for (int32_t i = 0; source && i < distance; ++i)
    if (isRun(lines.fromTop(static_cast<size_t>(i)))) return nullptr;
  return &lines.fromTop(static_cast<size_t>(distance - 1));
}

// An edit made with Shift held leaves the mark at its column, which the edit may have put
// inside a character: the mark goes where a selection's edge there lies, as a move to that
// column would land (after a character that straddles it). On the cursor line the count
// starts at the cursor, so that it covers only the text between the two.
void Editor::keepMarkOnCharacter() {
  if (textUnit == TextUnit::Byte) return;
  if (markLine == cursorLine && markColumn <= cursorColumn) {
    size_t start = charsBefore.count();
    int64_t column = cursorColumn;
    int32_t width = 0;
    while (start > 0 && column > markColumn) width = stepBackOverCharacter(start, column);
    markColumn = static_cast<int32_t>(column < markColumn ? column + width : column);
  } else if (markLine == cursorLine) {
    markColumn = boundaryColumnFrom(textUnit, tabWidth, bytesAfter(), cursorColumn, markColumn);
  } else if (const TextLine* line = heldLine(markLine)) {
    const ByteView text = ByteView::of(line->text, static_cast<size_t>(line->length));
    markColumn = boundaryColumnFrom(textUnit, tabWidth, text, 0, markColumn);
  }
}

// A mark set while the cursor stood inside a sequence being typed has its column counted in
// the line laid out in two pieces; once the line is laid out whole again it goes where a
// selection's edge at its byte lies (after the character that holds it).
void Editor::keepMarkFromSequence() {
  std::string text;
  if (markLine == cursorLine) {
    const ByteView before = bytesBefore();
    const ByteView after = bytesAfter();
    for (size_t i = 0; i < before.size; ++i) text.push_back(static_cast<char>(before[i]));
    for (size_t i = 0; i < after.size; ++i) text.push_back(static_cast<char>(after[i]));
  } else if (const TextLine* line = heldLine(markLine)) {
    text.assign(line->text, static_cast<size_t>(line->length));
  } else {
    return;
  }
  const size_t byte = std::min(text.size(), static_cast<size_t>(markSequenceByte));
  markColumn = columnOfByte(textUnit, tabWidth, ByteView::of(text.data(), text.size()), byte);
}

void Editor::afterCommand(bool extendSelection) {
  const bool markOnCursor = markLine == cursorLine && markColumn == cursorColumn;
  if (typedText)
    keepTypedCursorOnCharacter();
  else if (!steppedByCharacter || changed)
    keepCursorOnCharacter();
  typedText = steppedByCharacter = 0;
  undoHistory.endCommand(*this);
  // Counted once the cursor has left the sequence the mark was set in (the cursor may now
  // stand after a lone lead byte, which is laid out in two pieces too).
  const bool inMarkSequence = insidePartialSequence() && cursorLine == markSequenceLine &&
                              static_cast<int32_t>(charsBefore.count()) == markSequenceByte;
  if (extendSelection && markSequenceByte >= 0 && markLine == markSequenceLine &&
      markColumn == markSequenceColumn && !inMarkSequence) {
    // A command that left the cursor where it was keeps nothing selected.
    if (markOnCursor)
      markColumn = cursorColumn;
    else
      keepMarkFromSequence();
    markSequenceByte = -1;
  }
  if (extendSelection && changed) keepMarkOnCharacter();
  if (changed) {
    // Back at the text last saved (by undoing or redoing), the document is as its file.
    modified = undoHistory.atSavedState() ? 0 : 1;
    autosavePending = textDirty = 1;
    changed = 0;
  }
  if (!extendSelection) {
    markLine = cursorLine;
    markColumn = cursorColumn;
    markSequenceByte = insidePartialSequence() ? static_cast<int32_t>(charsBefore.count()) : -1;
    markSequenceLine = markLine;
    markSequenceColumn = markColumn;
    if (selectionActive) selectionDirty = 1;
  } else {
    selectionDirty = 1;
  }
  selectionActive = (markLine != cursorLine || markColumn != cursorColumn) ? 1 : 0;
  if (source) foldFarLines();
}
