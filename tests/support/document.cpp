#include "support/document.h"

#include <cstring>

std::string documentBytes(const Editor& editor) {
  std::string bytes;
  for (const std::string& line : documentLines(editor)) bytes += line;
  return bytes;
}

std::vector<std::string> documentLines(const Editor& editor) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < editor.linesAbove.count(); ++i) {
    const TextLine& line = editor.linesAbove.data()[i];
    lines.emplace_back(line.text, line.size());
  }
  std::string cursorLine;
  for (size_t i = 0; i < editor.charsBefore.count(); ++i)
    cursorLine.push_back(static_cast<char>(editor.charsBefore.data()[i].ch));
  for (size_t i = 0; i < editor.charsAfter.count(); ++i)
    cursorLine.push_back(static_cast<char>(editor.charsAfter.fromTop(i).ch));
  lines.push_back(cursorLine);
  for (size_t i = 0; i < editor.linesBelow.count(); ++i) {
    const TextLine& line = editor.linesBelow.fromTop(i);
    lines.emplace_back(line.text, line.size());
  }
  return lines;
}

void setDocument(Editor& editor, const std::string& bytes) {
  editor.freeBuffer();
  editor.initBuffer();
  editor.lineCount = 0;
  editor.lineEnding = -1;
  size_t p = 0;
  const size_t n = bytes.size();
  while (p < n) {
    size_t e = p;
    while (e < n && bytes[e] != '\n' && bytes[e] != '\r') ++e;
    std::string term;
    int index = 0;
    if (e == n) {
      term = "\n";
    } else if (bytes[e] == '\n') {
      bool pair = e + 1 < n && bytes[e + 1] == '\r';
      term = pair ? "\n\r" : "\n";
      index = pair ? 3 : 0;
    } else {
      bool pair = e + 1 < n && bytes[e + 1] == '\n';
      term = pair ? "\r\n" : "\r";
      index = pair ? 1 : 2;
    }
    if (editor.lineEnding < 0) editor.lineEnding = index;
    std::string line = bytes.substr(p, e - p) + term;
    editor.linesAbove.push(
        makeOwnedLine(line.data(), static_cast<int32_t>(e - p), static_cast<int32_t>(line.size())));
    ++editor.lineCount;
    ++editor.cursorLine;
    p = e + (e == n ? 0 : term.size());
  }
  if (editor.lineEnding < 0) editor.lineEnding = 0;
  ++editor.lineCount;
  editor.goToPosition(0, 0);
}

std::string brokenInvariant(const Editor& editor) {
  if (static_cast<size_t>(editor.cursorLine) != editor.linesAbove.count())
    return "cursorLine is not the number of lines above";
  if (static_cast<size_t>(editor.lineCount) !=
      editor.linesAbove.count() + 1 + editor.linesBelow.count())
    return "lineCount does not match the stacks";
  int32_t column = 0;
  const ByteView before = editor.bytesBefore();
  for (size_t i = 0; i < before.size;) {  // character by character, in the editor's unit
    const size_t next = nextCharBoundary(editor.textUnit, before, i);
    for (size_t k = i; k < next; ++k) {
      const CharCell& cell = editor.charsBefore.data()[k];
      if (cell.span < 0) return "a terminator or sentinel cell before the cursor";
      if (cell.span != 0 && !(cell.ch == '\t' && editor.tabWidth != 0))
        return "a non-tab cell with a span";
    }
    if (editor.tabWidth != 0 && next == i + 1 && before[i] == '\t') {
      int32_t stop = (column + editor.tabWidth) / editor.tabWidth * editor.tabWidth;
      if (editor.charsBefore.data()[i].span != stop - column)
        return "a tab's span does not match its column";
      column = stop;
    } else {
      column += characterWidth(editor.textUnit, before, i, next);
    }
    i = next;
  }
  if (column != editor.cursorColumn) return "cursorColumn is not the width before the cursor";
  bool inText = false;
  for (size_t i = 0; i < editor.charsAfter.count(); ++i) {
    const CharCell& cell = editor.charsAfter.data()[i];  // bottom first
    if (cell.span == SPAN_LINE_END) {
      if (inText) return "a terminator cell above a text cell";
    } else if (cell.span == 0) {
      inText = true;
    } else {
      return "a cell after the cursor with a span";
    }
  }
  size_t ending = 0;
  while (ending < editor.charsAfter.count() &&
         editor.charsAfter.data()[ending].span == SPAN_LINE_END)
    ++ending;
  if (ending > 2) return "more than two terminator bytes";
  if (editor.linesBelow.empty() && ending != 0) return "the last line has a terminator";
  if (!editor.linesBelow.empty() && ending == 0)
    return "a line other than the last has no terminator";
  for (size_t i = 0; i < editor.linesAbove.count(); ++i)
    if (editor.linesAbove.data()[i].endingSize == 0) return "a line above has no terminator";
  for (size_t i = 1; i < editor.linesBelow.count(); ++i)
    if (editor.linesBelow.data()[i].endingSize == 0) return "a line below has no terminator";
  if (!editor.linesBelow.empty() && editor.linesBelow.data()[0].endingSize != 0)
    return "the last line has a terminator";
  return "";
}
