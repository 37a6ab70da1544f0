#include "support/document.h"

#include <cstring>
#include <memory>

#include "core/file_source.h"

namespace {

// A record's lines with their terminators: a line's bytes, or a run's read from its file.
void appendRecord(const Editor& editor, const TextLine& record, std::vector<std::string>& lines) {
  if (!isRun(record)) {
    lines.emplace_back(record.text, record.size());
    return;
  }
  const FileRun& run = runOf(record);
  std::unique_ptr<char[]> bytes(new char[run.bytes + 2]);
  if (!editor.source->read(run.offset, run.bytes, bytes.get())) {
    lines.push_back("<unreadable run>");
    return;
  }
  std::vector<TextLine> split;
  splitLines(bytes.get(), run.bytes, true, split);
  for (const TextLine& line : split) lines.emplace_back(line.text, line.size());
}

int64_t linesOf(const TextLine& record) {
  return isRun(record) ? runOf(record).lines : 1;
}

}  // namespace

std::string documentBytes(const Editor& editor) {
  std::string bytes;
  for (const std::string& line : documentLines(editor)) bytes += line;
  return bytes;
}

std::vector<std::string> documentLines(const Editor& editor) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < editor.linesAbove.count(); ++i)
    appendRecord(editor, editor.linesAbove.data()[i], lines);
  std::string cursorLine;
  for (size_t i = 0; i < editor.charsBefore.count(); ++i)
    cursorLine.push_back(static_cast<char>(editor.charsBefore.data()[i].ch));
  for (size_t i = 0; i < editor.charsAfter.count(); ++i)
    cursorLine.push_back(static_cast<char>(editor.charsAfter.fromTop(i).ch));
  lines.push_back(cursorLine);
  for (size_t i = 0; i < editor.linesBelow.count(); ++i)
    appendRecord(editor, editor.linesBelow.fromTop(i), lines);
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
  int64_t above = 0, below = 0;  // a large file's runs stand for their lines
  for (size_t i = 0; i < editor.linesAbove.count(); ++i)
    above += linesOf(editor.linesAbove.data()[i]);
  for (size_t i = 0; i < editor.linesBelow.count(); ++i)
    below += linesOf(editor.linesBelow.data()[i]);
  if (editor.cursorLine != above) return "cursorLine is not the number of lines above";
  if (editor.lineCount != above + 1 + below) return "lineCount does not match the stacks";
  if (editor.lineAway) return "a line is still in hand (lineAway)";
  if (editor.openingCopy) return "a copy is still being opened (openingCopy)";
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
    if (editor.linesAbove.data()[i].endingSize == 0 && !isRun(editor.linesAbove.data()[i]))
      return "a line above has no terminator";
  for (size_t i = 1; i < editor.linesBelow.count(); ++i)
    if (editor.linesBelow.data()[i].endingSize == 0 && !isRun(editor.linesBelow.data()[i]))
      return "a line below has no terminator";
  if (!editor.linesBelow.empty() && editor.linesBelow.data()[0].endingSize != 0)
    return "the last line has a terminator";
  return "";
}
