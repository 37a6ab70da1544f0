// Copy, cut and paste through the system clipboard.
#include <cstring>
#include <memory>

#include "core/editor.h"
#include "platform/clipboard_store.h"

namespace {

// Turns a backwards selection round, so that the cursor stands at its end: false when
// nothing is selected, or the mark lies outside the document or past the end of the cursor's
// own line (then nothing is selected either).
bool cursorAtSelectionEnd(Editor& e) {
  if (e.markLine == e.cursorLine && e.markColumn == e.cursorColumn) return false;
  if (e.cursorLine > e.markLine || (e.cursorLine == e.markLine && e.cursorColumn > e.markColumn))
    return true;
  const int32_t line = e.cursorLine;
  const int32_t column = e.cursorColumn;
  const int moved = e.goToPosition(e.markLine, e.markColumn);
  e.markLine = line;
  e.markColumn = column;
  return moved && !(e.markLine == e.cursorLine && e.markColumn == e.cursorColumn);
}

// A selection over a large file's text not read yet is not taken into memory.
bool selectionHeld(Editor& e) {
  if (!e.runAbove(e.cursorLine - e.markLine)) return true;
  e.setPendingMessage("Selection too large: part of it has not been read");
  return false;
}

// A selection's text, NUL-terminated, and its length (a NUL byte inside may end it sooner).
struct SelectionText {
  std::unique_ptr<char[]> text;
  size_t length = 0;
};

// The selection within the cursor line: from the mark's column to the cursor.
SelectionText textWithinLine(const Editor& e, int32_t& startColumn) {
  const size_t before = e.charsBefore.count();
  const CharCell* cells = e.charsBefore.data();  // document order
  const size_t start =
      bytesBeforeColumn(e.textUnit, e.tabWidth, e.bytesBefore(), e.markColumn, startColumn);
  SelectionText selection;
  selection.length = before - start;
  selection.text.reset(new char[selection.length + 1]);
  for (size_t i = 0; i < selection.length; ++i)
    selection.text[i] = static_cast<char>(cells[start + i].ch);
  selection.text[selection.length] = '\0';
  return selection;
}

// A selection over several lines, with CR LF between them. The lines strictly between the
// two ends are the top records of linesAbove, the one just above the cursor line first; the
// mark's line lies right under them.
SelectionText textAcrossLines(const Editor& e, int32_t& startColumn) {
  const size_t before = e.charsBefore.count();
  const CharCell* cells = e.charsBefore.data();  // document order
  const size_t between = static_cast<size_t>(e.cursorLine - e.markLine - 1);
  const TextLine& first = e.linesAbove.fromTop(between);
  const size_t start = bytesBeforeColumn(
      e.textUnit, e.tabWidth, ByteView::of(first.text, static_cast<size_t>(first.length)),
      e.markColumn, startColumn);

  size_t total = static_cast<size_t>(first.length) - start + 2;
  for (size_t i = 0; i < between; ++i)
    total += static_cast<size_t>(e.linesAbove.fromTop(i).length) + 2;
  total += before + 1;
  SelectionText selection;
  selection.length = total - 1;
  selection.text.reset(new char[total]);

  char* out = selection.text.get();
  auto appendLine = [&out](const char* text, size_t length) {
    std::memcpy(out, text, length);
    out += length;
    *out++ = '\r';
    *out++ = '\n';
  };
  appendLine(first.text + start, static_cast<size_t>(first.length) - start);
  for (size_t i = between; i-- > 0;) {
    const TextLine& line = e.linesAbove.fromTop(i);
    appendLine(line.text, static_cast<size_t>(line.length));
  }
  for (size_t i = 0; i < before; ++i) *out++ = static_cast<char>(cells[i].ch);
  *out = '\0';
  return selection;
}

// Puts the selection on the clipboard as NUL-terminated text with CR LF between its lines.
// A backwards selection is turned round first (the cursor goes to its end), and that stays
// whatever the clipboard says. The stacks are read in place, never moved. startColumn gets
// the column at which the copied text begins on the mark's line; whole tells whether all of
// the selection went, which it does not when a NUL byte in it ends the text.
int copySelection(Editor& e, int32_t& startColumn, bool& whole) {
  if (!cursorAtSelectionEnd(e) || !selectionHeld(e)) return 0;
  const SelectionText selection =
      e.markLine == e.cursorLine ? textWithinLine(e, startColumn) : textAcrossLines(e, startColumn);
  // A selection that holds no byte (its mark inside the tab just before the cursor) leaves the
  // clipboard as it was, as a copy with nothing selected does.
  if (selection.length == 0) return 0;
  whole = std::strlen(selection.text.get()) == selection.length;
  return e.clipboard->put(selection.text.get()) ? 1 : 0;
}

}  // namespace

int Editor::copy() {
  int32_t startColumn = 0;
  bool whole = true;
  return copySelection(*this, startColumn, whole);
}

int Editor::cut() {
  int32_t startColumn = 0;
  bool whole = true;
  if (!copySelection(*this, startColumn, whole)) return 0;
  // Only what is on the clipboard may go: a selection that a NUL byte cut short stays, and a
  // mark inside a tab or past its line's text stands where the copied text began.
  if (!whole) return 0;
  markColumn = startColumn;
  return deleteSelection();
}

int Editor::paste() {
  std::unique_ptr<char[]> text = clipboard->get();
  if (!text) return 0;
  insertText(text.get(), std::strlen(text.get()));
  return 1;
}
