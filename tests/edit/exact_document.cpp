#include "edit/exact_document.h"

#include "support/document.h"

std::vector<SplitLine> splitDocument(const std::string& bytes) {
  std::vector<SplitLine> lines;
  size_t p = 0;
  const size_t n = bytes.size();
  for (;;) {
    size_t e = p;
    while (e < n && bytes[e] != '\n' && bytes[e] != '\r') ++e;
    if (e == n) {
      lines.push_back({bytes.substr(p), ""});
      return lines;
    }
    const char pair = bytes[e] == '\n' ? '\r' : '\n';
    const size_t ending = e + 1 < n && bytes[e + 1] == pair ? 2 : 1;
    lines.push_back({bytes.substr(p, e - p), bytes.substr(e, ending)});
    p = e + ending;
  }
}

void loadExactDocument(Editor& editor, const std::string& bytes) {
  editor.freeBuffer();
  editor.initBuffer();
  const std::vector<SplitLine> lines = splitDocument(bytes);
  editor.lineEnding = 0;
  if (lines.size() > 1) {
    for (int i = 0; i < 4; ++i)
      if (lines[0].ending == LineEndings[i].bytes) editor.lineEnding = i;
  }
  for (const SplitLine& line : lines) {
    const std::string all = line.text + line.ending;
    editor.linesAbove.push(makeOwnedLine(all.data(), static_cast<int32_t>(line.text.size()),
                                         static_cast<int32_t>(all.size())));
  }
  editor.lineCount = static_cast<int32_t>(lines.size());
  // The last record becomes the cursor line; then to the start.
  editor.cursorLine = editor.lineCount - 1;
  editor.unpackLine(editor.linesAbove.pop(), 0);
  editor.goToPosition(0, 0);
  editor.markLine = editor.markColumn = 0;
}
