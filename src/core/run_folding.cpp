// Lines of a large file that the cursor has left far behind become runs of the file again,
// so that reading through the file (a search, a jump, the lines passed between two screens)
// keeps in memory only the text near the cursor and the text that was shown. Only lines that
// are the file's bytes as read and were never on the screen are folded (their text lies in an
// arena block read from the file, never changed in place), and only where they follow each
// other in the file; a run over them is the same text. Reading it again later goes through
// the checksums taken when the blocks were first read, so a file changed since then is
// refused, never shown or saved as if it were the same.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/editor.h"
#include "core/file_source.h"

size_t foldKeepRecords = 4096;
size_t foldAfterBytes = size_t{64} << 20;
size_t foldLeastLines = 64;

namespace {

// Records next to each other in the document whose bytes follow each other in the file.
struct Stretch {
  uint64_t offset = 0;
  uint64_t bytes = 0;
  int64_t lines = 0;
  size_t first = 0;  // where its first record lies among the records gathered
  size_t lineRecords = 0;
  size_t runRecords = 0;
};

}  // namespace

bool Editor::fileBytesOf(const TextLine& line, uint64_t& offset, uint64_t& bytes) const {
  const ArenaBlock* block = blockHolding(line);
  if (block == nullptr || !block->loaded || block->fileOffset == ArenaBlock::kNoOffset)
    return false;
  offset = block->fileOffset + static_cast<uint64_t>(line.text - block->data);
  if (offset >= source->size()) return false;
  // A last line without terminator was given an LF that the file does not hold.
  bytes = std::min<uint64_t>(static_cast<uint64_t>(line.size()), source->size() - offset);
  return true;
}

namespace {

// A line that was on the screen stays in memory, however far the cursor goes, so that it is
// still there if the file changes under it. Its bytes move out of the piece read from the
// file, so that the piece itself can go: screens shown here and there keep only their lines.
TextLine keptInMemory(Editor& e, const TextLine& line) {
  if (!e.inLoadedText(line)) return line;
  TextLine kept = line;
  kept.text = e.arenaAllocate(static_cast<size_t>(line.size()));
  std::memcpy(kept.text, line.text, static_cast<size_t>(line.size()));
  return kept;
}

// Folds the records [0, end) of a line stack, the far ones, in place; below: the stack
// holds the document's lines from its end (the far records are in reverse document order).
void foldStack(Editor& e, Stack<TextLine>& lines, size_t end, bool below) {
  std::vector<TextLine> out;  // in document order
  out.reserve(end);
  Stretch s;
  auto close = [&] {
    if (s.lineRecords >= foldLeastLines || (s.lineRecords > 0 && s.runRecords > 0) ||
        s.runRecords > 1) {
      out.resize(s.first);
      out.push_back(e.runRecord(FileRun{s.offset, s.bytes, s.lines, true}));
    }
    s = Stretch{};
  };
  for (size_t k = 0; k < end; ++k) {
    TextLine record = lines.data()[below ? end - 1 - k : k];
    uint64_t offset = 0, bytes = 0;
    int64_t count = 1;
    bool fileText;
    if (record.shown) {
      record = keptInMemory(e, record);
      fileText = false;
    } else if (isRun(record)) {
      const FileRun& run = runOf(record);
      fileText = run.counted && &run != e.tailRun && run.bytes > 0;
      offset = run.offset;
      bytes = run.bytes;
      count = run.lines;
    } else {
      fileText = e.fileBytesOf(record, offset, bytes);
    }
    if (!fileText || (s.lines > 0 && offset != s.offset + s.bytes)) close();
    if (fileText) {
      if (s.lines == 0) {
        s.offset = offset;
        s.first = out.size();
      }
      s.bytes += bytes;
      s.lines += count;
      ++(isRun(record) ? s.runRecords : s.lineRecords);
    }
    out.push_back(record);
  }
  close();
  if (below) std::reverse(out.begin(), out.end());
  const size_t near = lines.count() - end;
  std::vector<TextLine> kept(lines.data() + end, lines.data() + end + near);
  lines.clear();
  lines.reserve(out.size() + near);
  for (const TextLine& record : out) lines.push(record);
  for (const TextLine& record : kept) lines.push(record);
}

// How many records nearest the cursor stay as they are on one side: the view's and the
// selection's, and a margin.
size_t keptRecords(const Editor& e, bool below) {
  int64_t selected = below ? e.markLine - e.cursorLine : e.cursorLine - e.markLine;
  return std::max<size_t>(foldKeepRecords, static_cast<size_t>(std::max<int64_t>(selected, 0)));
}

}  // namespace

void Editor::foldFarLines() {
  // Once the file is known to have changed, the lines in memory are the only copy of what
  // they show: they stay.
  if (bytesReadSinceFold < foldAfterBytes || fileChangeReported) return;
  bytesReadSinceFold = 0;
  const size_t keepAbove = keptRecords(*this, false);
  const size_t keepBelow = keptRecords(*this, true);
  if (linesAbove.count() > keepAbove + foldLeastLines)
    foldStack(*this, linesAbove, linesAbove.count() - keepAbove, false);
  if (linesBelow.count() > keepBelow + foldLeastLines)
    foldStack(*this, linesBelow, linesBelow.count() - keepBelow, true);
  releaseUnusedArena();
}
