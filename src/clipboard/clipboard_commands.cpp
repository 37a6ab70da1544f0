// Copy, cut and paste through the system clipboard.
#include <cstring>
#include <memory>

#include "core/editor.h"
#include "core/session.h"
#include "platform/clipboard_store.h"

namespace {

// How many of a line's text bytes lie before the display column; the column where they end
// goes to column. A column inside a tab resolves to the byte after the tab, and a column
// beyond the text to its end: the walk never reads past the text.
template <typename ByteAt>
size_t bytesBeforeColumn(int32_t tabWidth, size_t length, int32_t goal, ByteAt byteAt,
                         int32_t& column) {
  size_t p = 0;
  column = 0;
  while (column < goal && p < length) {
    if (tabWidth != 0 && byteAt(p) == '\t')
      column = (column + tabWidth) / tabWidth * tabWidth;
    else
      ++column;
    ++p;
  }
  return p;
}

// Puts the selection on the clipboard as NUL-terminated text with CR LF between its lines.
// A backwards selection is turned round first (the cursor goes to its end), and that stays
// whatever the clipboard says. The stacks are read in place, never moved. startColumn gets
// the column at which the copied text begins on the mark's line; whole tells whether all of
// the selection went, which it does not when a NUL byte in it ends the text.
int copySelection(Editor& e, int32_t& startColumn, bool& whole) {
  if (e.markLine == e.cursorLine && e.markColumn == e.cursorColumn) return 0;
  if (e.cursorLine < e.markLine || (e.cursorLine == e.markLine && e.cursorColumn < e.markColumn)) {
    const int32_t line = e.cursorLine;
    const int32_t column = e.cursorColumn;
    const int moved = e.goToPosition(e.markLine, e.markColumn);
    e.markLine = line;
    e.markColumn = column;
    // A mark outside the document, or one past the end of the cursor's own line, leaves
    // nothing selected.
    if (!moved || (e.markLine == e.cursorLine && e.markColumn == e.cursorColumn)) return 0;
  }

  const size_t before = e.charsBefore.count();
  const CharCell* cells = e.charsBefore.data();  // document order
  std::unique_ptr<char[]> text;
  size_t length = 0;

  if (e.markLine == e.cursorLine) {
    const size_t start = bytesBeforeColumn(
        e.tabWidth, before, e.markColumn, [cells](size_t i) { return cells[i].ch; }, startColumn);
    const size_t n = before - start;
    length = n;
    text.reset(new char[n + 1]);
    for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>(cells[start + i].ch);
    text[n] = '\0';
  } else {
    // The lines strictly between the two ends are the top records of linesAbove, the one
    // just above the cursor line first; the mark's line lies right under them.
    const size_t between = static_cast<size_t>(e.cursorLine - e.markLine - 1);
    const TextLine& first = e.linesAbove.fromTop(between);
    const size_t start = bytesBeforeColumn(
        e.tabWidth, static_cast<size_t>(first.length), e.markColumn,
        [&first](size_t i) { return static_cast<uint8_t>(first.text[i]); }, startColumn);

    size_t total = static_cast<size_t>(first.length) - start + 2;
    for (size_t i = 0; i < between; ++i)
      total += static_cast<size_t>(e.linesAbove.fromTop(i).length) + 2;
    total += before + 1;
    length = total - 1;
    text.reset(new char[total]);

    char* out = text.get();
    std::memcpy(out, first.text + start, static_cast<size_t>(first.length) - start);
    out += static_cast<size_t>(first.length) - start;
    *out++ = '\r';
    *out++ = '\n';
    for (size_t i = between; i-- > 0;) {
      const TextLine& line = e.linesAbove.fromTop(i);
      std::memcpy(out, line.text, static_cast<size_t>(line.length));
      out += line.length;
      *out++ = '\r';
      *out++ = '\n';
    }
    for (size_t i = 0; i < before; ++i) *out++ = static_cast<char>(cells[i].ch);
    *out = '\0';
  }
  whole = std::strlen(text.get()) == length;
  return session().clipboard.put(text.get()) ? 1 : 0;
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
  std::unique_ptr<char[]> text = session().clipboard.get();
  if (!text) return 0;
  insertText(text.get(), std::strlen(text.get()));
  return 1;
}
