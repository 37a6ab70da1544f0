// A large document's text that is still in its file: runs of whole lines in the line stacks,
// split into lines a piece at a time where the cursor and the view go.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/editor.h"
#include "core/file_source.h"

size_t runPieceSize = size_t{64} << 10;

namespace {

constexpr char kTooManyLines[] = "Too many lines to number: the end of the file cannot be reached";
constexpr size_t kLongestPiece = size_t{1} << 30;

bool isBreak(char c) {
  return c == '\n' || c == '\r';
}

// Records popped off a stack to reach a deeper one, pushed back in the same order.
struct Lifted {
  Stack<TextLine>& lines;
  std::vector<TextLine> held;
  Lifted(Stack<TextLine>& stack, size_t n) : lines(stack) {
    for (size_t i = 0; i < n; ++i) held.push_back(lines.pop());
  }
  ~Lifted() {
    for (size_t i = held.size(); i-- > 0;) lines.push(held[i]);
  }
};

}  // namespace

size_t splitLines(char* data, size_t used, bool atEnd, std::vector<TextLine>& out) {
  size_t p = 0;
  for (;;) {
    const char* hit = data + p;
    while (hit < data + used && !isBreak(*hit)) ++hit;
    const size_t e = static_cast<size_t>(hit - data);
    if (e == used) break;
    bool pair;
    if (e + 1 < used)
      pair = data[e + 1] == (data[e] == '\n' ? '\r' : '\n');
    else if (atEnd)
      pair = false;
    else
      break;
    if (e - p > static_cast<size_t>(INT32_MAX) - 2) return SIZE_MAX;
    const uint8_t endingSize = pair ? 2 : 1;
    out.push_back(TextLine{data + p, static_cast<int32_t>(e - p), endingSize, 0});
    p = e + endingSize;
  }
  if (atEnd && p < used) {  // the last line has no terminator: it gets an LF
    if (used - p > static_cast<size_t>(INT32_MAX) - 2) return SIZE_MAX;
    data[used] = '\n';
    out.push_back(TextLine{data + p, static_cast<int32_t>(used - p), 1, 0});
    p = used;
  }
  return p;
}

TextLine Editor::runRecord(const FileRun& run) {
  runs.push_back(run);
  return TextLine{reinterpret_cast<char*>(&runs.back()), 0, 0, kRunText};
}

void Editor::reportFileChanged() {
  if (viewReading && fileChangeReported) return;
  fileChangeReported = true;
  setPendingMessage(
      (std::string(fileName.get()) +
       " changed on disk: the text not yet shown cannot be read; what is shown is kept")
          .c_str());
}

namespace {

// Reads n bytes of the file at offset into a new arena block of the document's loaded text.
char* readPiece(Editor& e, uint64_t offset, size_t n) {
  size_t capacity = n + 2;
  char* data = newArenaBlock(e.textArena, capacity);
  e.textArena.back().loaded = true;
  e.textArena.back().fileOffset = offset;
  if (!e.source->read(offset, n, data)) {
    e.textArena.pop_back();
    return nullptr;
  }
  return data;
}

// Where the first line that surely starts in data[1, n) begins: after a CR or LF, at a byte
// that is neither (a terminator cannot continue there). n when there is none.
size_t firstSureStart(const char* data, size_t n) {
  for (size_t q = 1; q < n; ++q)
    if (isBreak(data[q - 1]) && !isBreak(data[q])) return q;
  return n;
}

}  // namespace

bool Editor::ensureTopLine(Stack<TextLine>& lines, bool below, int32_t runLine) {
  if (lines.empty() || !isRun(lines.top())) return true;
  const TextLine record = lines.top();
  FileRun& run = runOf(record);
  std::vector<TextLine> found;
  for (size_t piece = std::max<size_t>(runPieceSize, 1);; piece *= 2) {
    if (piece > kLongestPiece) {
      setPendingMessage("Line too long to show");
      return false;
    }
    const size_t n = static_cast<size_t>(std::min<uint64_t>(run.bytes, piece));
    const uint64_t start = below ? run.offset : run.offset + run.bytes - n;
    char* data = readPiece(*this, start, n);
    if (data == nullptr) {
      reportFileChanged();
      return false;
    }
    size_t from = 0;
    if (!below && start > run.offset) from = firstSureStart(data, n);
    const size_t used = below ? splitLines(data, n, n == run.bytes, found)
                              : (from < n ? splitLines(data + from, n - from, true, found) : 0);
    if (used == SIZE_MAX) {
      textArena.pop_back();
      setPendingMessage("Line too long to show");
      return false;
    }
    if (!found.empty()) {
      const uint64_t taken = below ? used : n - from;
      bytesReadSinceFold += static_cast<size_t>(taken);
      const int64_t k = static_cast<int64_t>(found.size());
      lines.pop();
      if (below) run.offset += taken;
      run.bytes -= taken;
      if (run.counted) {
        run.lines -= k;
      } else {  // the lines read take the run's place, the run (if any is left) follows
        const int32_t at = runLine >= 0 ? runLine : below ? cursorLine + 1 : cursorLine - 1;
        shiftLinesAfter(at, static_cast<int32_t>(k) - (run.bytes == 0 ? 1 : 0));
      }
      if (run.bytes > 0)
        lines.push(record);
      else if (&run == tailRun)
        tailRun = nullptr;
      if (below)
        for (size_t i = found.size(); i-- > 0;) lines.push(found[i]);
      else
        for (const TextLine& line : found) lines.push(line);
      return true;
    }
    textArena.pop_back();  // a line longer than the piece: read a larger one
    if (n == run.bytes) {
      reportFileChanged();  // whole lines always end a run: the bytes are not what they were
      return false;
    }
  }
}

void Editor::ensureWindow(size_t above, size_t below) {
  auto fill = [this](Stack<TextLine>& lines, size_t want, bool isBelow) {
    for (size_t i = 0; i < want && i < lines.count(); ++i) {
      if (!isRun(lines.fromTop(i))) continue;
      Lifted lifted(lines, i);  // lines: each run nearer was split into lines before
      const int32_t at = static_cast<int32_t>(i) + 1;
      if (!ensureTopLine(lines, isBelow, isBelow ? cursorLine + at : cursorLine - at)) return;
    }
  };
  auto markShown = [](Stack<TextLine>& lines, size_t want) {
    for (size_t i = 0; i < want && i < lines.count(); ++i)
      if (!isRun(lines.fromTop(i))) lines.fromTop(i).shown = 1;
  };
  viewReading = true;
  fill(linesAbove, above, false);
  fill(linesBelow, below, true);
  viewReading = false;
  markShown(linesAbove, above);
  markShown(linesBelow, below);
  cursorOrigin.shown = 1;
}

namespace {

void lookAtFile(Editor& e) {
  uint64_t grown = 0;
  const bool whole = e.source->stillWhole(grown);
  const int64_t size = whole ? static_cast<int64_t>(e.source->size() + grown) : -2;
  if (size == e.fileSizeSeen) return;
  e.fileSizeSeen = size;
  const std::string name = e.fileName.get();
  if (!whole) {
    e.fileChangeReported = true;  // the failed reads that follow say no more
    e.setPendingMessage((name + " was cut short on disk: text not yet shown cannot be read; what "
                                "was shown is kept")
                            .c_str());
  } else if (grown > 0 && (!e.following || e.modified)) {  // else follow mode shows them
    e.setPendingMessage(
        (name + " grew on disk by " + std::to_string(grown) + " bytes: open it again to see them")
            .c_str());
  }
}

}  // namespace

bool Editor::takeTailCount() {
  const int64_t lines = source->linesBetween(tailRun->offset, tailRun->offset + tailRun->bytes);
  if (lines < 0) {
    reportFileChanged();
    return false;
  }
  if (lines + lineCount > INT32_MAX - 2) {
    setPendingMessage(kTooManyLines);
    countTooLarge = true;
    return false;
  }
  bool above = false;
  size_t depth = 0;
  int32_t at = 0;
  locateTail(above, depth, at);
  shiftLinesAfter(at, static_cast<int32_t>(lines - 1));
  tailRun->lines = lines;
  tailRun->counted = true;
  return true;
}

void Editor::pollCount() {
  if (tailRun != nullptr && !tailRun->counted && !countTooLarge) {
    if (source->countFailed()) {
      if (!fileChangeReported) reportFileChanged();
    } else if (source->countDone()) {
      takeTailCount();
    }
  }
  lookAtFile(*this);  // last: its message says more than the count's
}

bool Editor::finishCount() {
  while (!countKnown()) {
    // Read before the poll: a count that ends between the poll and the test below is taken
    // at the next turn, not mistaken for a file that changed.
    const bool ended = source->countFailed() || source->countDone();
    pollCount();
    if (countKnown()) break;
    if (countTooLarge) {
      setPendingMessage(kTooManyLines);
      return false;
    }
    if (ended) {
      reportFileChanged();
      return false;
    }
    if (!pauseForCount()) return false;
  }
  return true;
}

bool Editor::pauseForCount() {
  if (waitProgress && !waitProgress("Counting lines", source->countedBytes(), source->size()))
    return false;
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return true;
}

bool Editor::splitTailAt(uint64_t s, int32_t& firstLine) {
  FileRun* tail = tailRun;
  bool above = false;
  size_t depth = 0;
  int32_t line = 0;
  if (!locateTail(above, depth, line)) return false;
  if (s == tail->offset) {
    firstLine = line;
    return true;
  }
  while (!source->countFailed() && source->countedBytes() <= s && !source->countDone())
    if (!pauseForCount()) return false;
  const int64_t lines = source->linesBetween(tail->offset, s);
  if (lines < 0 || lines + lineCount > INT32_MAX - 2) {
    reportFileChanged();
    return false;
  }
  // The tail's front, counted, goes before it: on top of it below the cursor, under it above.
  Stack<TextLine>& stack = above ? linesAbove : linesBelow;
  Lifted lifted(stack, depth);
  const TextLine tailRecord = above ? stack.pop() : TextLine{};
  FileRun front{tail->offset, s - tail->offset, lines, true};
  tail->offset = s;
  tail->bytes -= front.bytes;
  stack.push(runRecord(front));
  if (above) stack.push(tailRecord);
  shiftLinesAfter(line, static_cast<int32_t>(lines));
  firstLine = line + static_cast<int32_t>(lines);
  return true;
}

bool Editor::placeOfOffset(const TextLine& record, int64_t first, uint64_t offset, int32_t& line,
                           int32_t& byteColumn) {
  FileRun& run = runOf(record);
  const int64_t before = source->terminatorsBefore(run.offset);
  const int64_t upTo = before < 0 ? -1 : source->terminatorsBefore(offset);
  const int64_t start = upTo < 0 ? -1 : source->lineStartAfter(run.offset, upTo - before);
  if (start < 0 || offset - static_cast<uint64_t>(start) > INT32_MAX) {
    reportFileChanged();
    return false;
  }
  byteColumn = static_cast<int32_t>(offset - static_cast<uint64_t>(start));
  if (run.counted) {
    line = static_cast<int32_t>(first + (upTo - before));
    return true;
  }
  return splitTailAt(static_cast<uint64_t>(start), line);
}

bool Editor::runAbove(int32_t lines) const {
  for (size_t i = 0; lines > 0 && i < linesAbove.count(); ++i) {
    const TextLine& record = linesAbove.fromTop(i);
    if (isRun(record)) return true;
    --lines;
  }
  return false;
}

bool Editor::locateTail(bool& above, size_t& depth, int32_t& line) const {
  if (countKnown()) return false;
  const char* tail = reinterpret_cast<const char*>(tailRun);
  int64_t n = cursorLine + 1;  // the first line of the record looked at
  for (depth = 0; depth < linesBelow.count(); ++depth) {
    const TextLine& record = linesBelow.fromTop(depth);
    if (record.text == tail && isRun(record)) {
      above = false;
      line = static_cast<int32_t>(n);
      return true;
    }
    n += isRun(record) ? runOf(record).lines : 1;
  }
  n = cursorLine;  // the line after the record looked at
  for (depth = 0; depth < linesAbove.count(); ++depth) {
    const TextLine& record = linesAbove.fromTop(depth);
    n -= isRun(record) ? runOf(record).lines : 1;
    if (record.text == tail && isRun(record)) {
      above = true;
      line = static_cast<int32_t>(n);
      return true;
    }
  }
  return false;
}

bool Editor::rowExact() const {
  bool above = false;
  size_t depth = 0;
  int32_t line = 0;
  return !locateTail(above, depth, line) || !above;
}

int64_t Editor::estimatedRow() const {
  const uint64_t bytes = source ? source->countedBytes() : 0;
  if (bytes == 0 || countKnown()) return -1;
  const double perByte = static_cast<double>(source->countedTerminators()) / bytes;
  return cursorLine - 1 + static_cast<int64_t>(perByte * static_cast<double>(tailRun->bytes));
}

void Editor::shiftLinesAfter(int32_t line, int32_t delta) {
  if (delta == 0) return;
  lineCount += delta;
  if (topLine > line || cursorLine > line) topLine += delta;  // the cursor keeps its row
  if (cursorLine > line) cursorLine += delta;
  if (markLine > line) markLine += delta;
  undoHistory.shiftLines(line, delta);
}

bool Editor::reachLine(int32_t index) {
  bool above = false;
  size_t depth = 0;
  int32_t tailLine = 0;
  if (!locateTail(above, depth, tailLine) || index <= tailLine) return true;
  auto keepWaiting = [this] {
    if (!source->countFailed()) return pauseForCount();
    reportFileChanged();
    return false;
  };
  while (source->countedBytes() <= tailRun->offset && !source->countDone())
    if (!keepWaiting()) return false;
  const int64_t base = source->terminatorsBefore(tailRun->offset);
  if (base < 0) {
    reportFileChanged();
    return false;
  }
  const int64_t k = index - tailLine;  // lines into the run
  while (!source->countDone() && static_cast<int64_t>(source->countedTerminators()) - base <= k)
    if (!keepWaiting()) return false;
  const int64_t s = source->countDone() ? -1 : source->lineStartAfter(tailRun->offset, k);
  if (s < 0 || static_cast<uint64_t>(s) >= tailRun->offset + tailRun->bytes)
    return countTooLarge ? finishCount() : takeTailCount();  // the count passed the run
  int32_t first = 0;
  return splitTailAt(static_cast<uint64_t>(s), first);
}

bool Editor::reanchorRuns(const char* name) {
  auto file = std::make_unique<platform::InputFile>();
  std::string reason;
  if (file->open(name, reason) != platform::OpenResult::Opened) return false;
  // A last line without terminator was saved with an LF, which its run now takes in.
  const uint64_t oldSize = source->size();
  const int last = oldSize > 0 ? source->byteAt(oldSize - 1) : '\n';
  const bool openEnd = last >= 0 && !isBreak(static_cast<char>(last));
  uint64_t at = 0;  // where the next record's bytes lie in the saved file, in document order
  std::vector<std::pair<FileRun*, FileRun>> moved;
  auto place = [&](const TextLine& record) {
    if (!isRun(record)) {
      at += static_cast<uint64_t>(record.size());
      return;
    }
    FileRun run = runOf(record);
    if (openEnd && run.bytes > 0 && run.offset + run.bytes == oldSize) ++run.bytes;
    run.offset = at;
    at += run.bytes;
    moved.emplace_back(&runOf(record), run);
  };
  for (size_t i = 0; i < linesAbove.count(); ++i) place(linesAbove.data()[i]);
  at += charsBefore.count() + charsAfter.count();
  for (size_t i = linesBelow.count(); i-- > 0;) place(linesBelow.data()[i]);
  if (file->size() != at) return false;  // not the document as saved
  for (auto& [run, now] : moved) *run = now;
  for (ArenaBlock& block : textArena) block.fileOffset = ArenaBlock::kNoOffset;  // the old file's
  source = std::make_unique<FileSource>(std::move(file), at);
  fileSizeSeen = -1;
  fileChangeReported = false;
  return true;
}
