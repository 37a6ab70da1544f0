// The document split at the cursor: lines above, lines below, and the cursor line as the
// bytes before and from the cursor.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "core/editor.h"
#include "core/file_source.h"
#include "core/tab_stop.h"
#include "platform/large_block.h"

TextLine makeOwnedLine(const char* bytes, int32_t length, int32_t size) {
  char* text = static_cast<char*>(checkedMalloc(size));
  if (size > 0) std::memcpy(text, bytes, size);
  return TextLine{text, length, static_cast<uint8_t>(size - length), 1};
}

void releaseText(TextLine& line) {
  if (line.ownsText == 1) std::free(line.text);
  line = kBottomLine;
}

char* newArenaBlock(std::vector<ArenaBlock>& arena, size_t& capacity) {
  constexpr size_t kPage = platform::kLargePageSize;
  if (capacity < 4 * kPage) {
    char* block = new char[capacity];
    arena.emplace_back(block, block, capacity);
    return block;
  }
  capacity = (capacity + kPage - 1) / kPage * kPage;
  char* block = new char[capacity + kPage];
  const uintptr_t start = reinterpret_cast<uintptr_t>(block);
  char* data = block + ((kPage - start % kPage) % kPage);
  arena.emplace_back(block, data, capacity);
  platform::preferLargePages(data, capacity);
  return data;
}

ArenaIndex::ArenaIndex(const std::vector<ArenaBlock>& arena) : starts_(arena.size()) {
  for (size_t i = 0; i < arena.size(); ++i)
    starts_[i] = {reinterpret_cast<uintptr_t>(arena[i].get()), i};
  std::sort(starts_.begin(), starts_.end());
}

size_t ArenaIndex::blockOf(const char* text) {
  const uintptr_t p = reinterpret_cast<uintptr_t>(text);
  const size_t blocks = starts_.size();
  if (blocks == 0) return SIZE_MAX;
  if (p < starts_[last_].first || (last_ + 1 < blocks && p >= starts_[last_ + 1].first)) {
    auto after = std::upper_bound(starts_.begin(), starts_.end(), std::make_pair(p, SIZE_MAX));
    if (after == starts_.begin()) return SIZE_MAX;
    last_ = static_cast<size_t>(after - starts_.begin()) - 1;
  }
  return starts_[last_].second;
}

namespace {

void releaseLines(Stack<TextLine>& lines) {
  for (size_t i = 0; i < lines.count(); ++i) releaseText(lines.data()[i]);
  lines.clear();
}

}  // namespace

// Moves n records from the top of one line stack to the other, nearest first, in slices.
// The source gives back the memory of each slice as soon as it is moved, so the records are
// never held twice: the destination's room is reserved but only touched as it fills.
void moveLines(Stack<TextLine>& from, Stack<TextLine>& to, size_t n) {
  constexpr size_t kSlice = 1 << 16;
  constexpr size_t kFew = 16;
  const size_t stay = from.count() - n;
  if (n >= kSlice && stay <= kFew && to.count() <= kFew) {
    // Nearly every record crosses (a jump to an end of the document): the source's block
    // becomes the destination's, the records reversed where they lie, so no fresh memory is
    // touched. The few records on either side are put back around them.
    TextLine staying[kFew], below[kFew];
    const size_t m = to.count();
    std::copy(from.data(), from.data() + stay, staying);
    std::copy(to.data(), to.data() + m, below);
    std::swap(from, to);
    std::reverse(to.data(), to.data() + to.count());  // the crossing ones first, nearest first
    to.drop(stay);                                    // the staying ones, now on top
    if (m > 0) {
      to.extend(m);
      TextLine* block = to.data();
      std::memmove(static_cast<void*>(block + m), block, n * sizeof(TextLine));
      std::copy(below, below + m, block);
    }
    from.drop(m);
    for (size_t i = 0; i < stay; ++i) from.push(staying[i]);
    return;
  }
  const bool large = n >= kSlice;
  to.reserve(to.count() + n);
  while (n > 0) {
    size_t slice = n < kSlice ? n : kSlice;
    TextLine* slot = to.extend(slice);
    for (size_t i = 0; i < slice; ++i) slot[i] = from.fromTop(i);
    from.drop(slice);
    if (large) from.trim();
    n -= slice;
  }
}

void Editor::initBuffer() {
  linesAbove.clear();
  linesBelow.clear();
  charsBefore.clear();
  charsAfter.clear();
  cursorOrigin = kBottomLine;
  markColumn = markLine = leftColumn = topLine = cursorColumn = cursorLine = 0;
  tabWidth = 8;
  textDirty = selectionDirty = 1;
  modified = autosavePending = changed = selectionActive = 0;
  autoIndent = defaultAutoIndent;
}

void Editor::freeBuffer() {
  undoHistory.clear();
  source.reset();
  tailRun = nullptr;
  fileSizeSeen = -1;
  fileChangeReported = false;
  countTooLarge = false;
  releaseLines(linesAbove);
  releaseLines(linesBelow);
  charsBefore.clear();
  charsAfter.clear();
  releaseText(cursorOrigin);
  runs.clear();
  textArena.clear();
  arenaSpare.clear();
  arenaNext = nullptr;
  arenaRoom = 0;
  arenaBlockSize = 0;
}

char* Editor::arenaAllocate(size_t n) {
  while ((n > arenaRoom || arenaNext == nullptr) && !arenaSpare.empty()) {
    ArenaBlock& spare = textArena[arenaSpare.back()];
    arenaSpare.pop_back();
    spare.loaded = false;  // what it held is gone; it takes text made by editing
    if (spare.capacity >= n) {
      arenaNext = spare.data;
      arenaRoom = spare.capacity;
    }
  }
  if (n > arenaRoom || arenaNext == nullptr) {
    constexpr size_t kFirstBlock = size_t{64} << 10;
    constexpr size_t kLargestBlock = size_t{16} << 20;
    arenaBlockSize =
        arenaBlockSize == 0 ? kFirstBlock : std::min(2 * arenaBlockSize, kLargestBlock);
    size_t capacity = std::max(n, arenaBlockSize);
    arenaNext = newArenaBlock(textArena, capacity);
    arenaRoom = capacity;
  }
  char* bytes = arenaNext;
  arenaNext += n;
  arenaRoom -= n;
  return bytes;
}

const ArenaBlock* Editor::blockHolding(const TextLine& line) const {
  if (line.ownsText || line.text == nullptr) return nullptr;
  const size_t blocks = textArena.size();
  for (size_t k = 0; k < blocks; ++k) {
    const size_t i = (lastLineBlock + k) % blocks;  // neighbouring lines share a block
    const ArenaBlock& block = textArena[i];
    if (line.text >= block.data && line.text < block.data + block.capacity) {
      lastLineBlock = i;
      return &block;
    }
  }
  return nullptr;
}

bool Editor::inLoadedText(const TextLine& line) const {
  const ArenaBlock* block = blockHolding(line);
  return block != nullptr && block->loaded;
}

void Editor::releaseUnusedArena() {
  const size_t blocks = textArena.size();
  if (blocks == 0) return;
  ArenaIndex index(textArena);
  std::vector<char> used(blocks, 0);
  auto mark = [&](const char* text) {
    const size_t block = index.blockOf(text);
    if (block != SIZE_MAX) used[block] = 1;
  };
  auto markLines = [&](const Stack<TextLine>& lines) {
    for (size_t i = 0; i < lines.count(); ++i) {
      const TextLine& line = lines.data()[i];
      if (!line.ownsText && line.text != nullptr) mark(line.text);
    }
  };
  markLines(linesAbove);
  markLines(linesBelow);
  if (!cursorOrigin.ownsText && cursorOrigin.text != nullptr) mark(cursorOrigin.text);
  undoHistory.forEachLine([&](const TextLine& line) {
    if (!line.ownsText && line.text != nullptr) mark(line.text);
  });
  if (arenaRoom > 0)
    mark(arenaNext);  // the open block keeps its room for the next lines
  else
    arenaNext = nullptr;

  arenaSpare.clear();
  size_t kept = 0;
  for (size_t i = 0; i < blocks; ++i) {
    if (used[i]) textArena[kept++] = std::move(textArena[i]);
  }
  textArena.erase(textArena.begin() + static_cast<std::ptrdiff_t>(kept), textArena.end());
}

int Editor::insertByte(uint8_t ch) {
  const size_t count = charsBefore.count();
  if (textUnit == TextUnit::Character && ch != '\t' &&
      !(ch >= 0x20 && ch < 0x7F && (count == 0 || charsBefore.top().ch < 0x80))) {
    // A byte that may join the character before it (or make a sequence whole).
    size_t start;
    int32_t column;
    settledStart(count, start, column);
    charsBefore.push(CharCell{ch, 0});
    cursorColumn = layOutFrom(start, column);
    return 1;
  }
  if (tabWidth != 0 && ch == '\t') {
    const int32_t next = nextTabStop(cursorColumn, tabWidth);
    charsBefore.push(CharCell{ch, static_cast<int8_t>(next - cursorColumn)});
    cursorColumn = next;
  } else {
    charsBefore.push(CharCell{ch, 0});
    ++cursorColumn;
  }
  return 1;
}

TextLine Editor::packCursorLine() {
  const size_t before = charsBefore.count();
  const size_t after = charsAfter.count();
  uint8_t ending = 0;
  while (ending < after && charsAfter.data()[ending].span == SPAN_LINE_END) ++ending;
  const size_t size = before + after;
  const CharCell* head = charsBefore.data();
  const CharCell* tail = charsAfter.data();  // last byte of the line first

  TextLine line = cursorOrigin;
  bool same =
      line.text != nullptr && static_cast<size_t>(line.size()) == size && line.endingSize == ending;
  for (size_t i = 0; same && i < before; ++i)
    same = static_cast<uint8_t>(line.text[i]) == head[i].ch;
  for (size_t i = 0; same && i < after; ++i)
    same = static_cast<uint8_t>(line.text[before + i]) == tail[after - 1 - i].ch;
  if (same) {
    cursorOrigin = kBottomLine;
  } else {
    releaseText(cursorOrigin);
    char* text = static_cast<char*>(checkedMalloc(size));
    for (size_t i = 0; i < before; ++i) text[i] = static_cast<char>(head[i].ch);
    for (size_t i = 0; i < after; ++i) text[before + i] = static_cast<char>(tail[after - 1 - i].ch);
    line = TextLine{text, static_cast<int32_t>(size - ending), ending, 1};
  }
  charsBefore.drop(before);
  charsAfter.drop(after);
  lineAway = 1;
  return line;
}

void Editor::unpackLine(TextLine line, int32_t goal) {
  charsBefore.drop(charsBefore.count());
  charsAfter.drop(charsAfter.count());
  releaseText(cursorOrigin);
  cursorColumn = 0;
  const uint8_t* text = reinterpret_cast<const uint8_t*>(line.text);
  int32_t p = 0;
  if (goal > 0 && textUnit == TextUnit::Character) {
    const ByteView bytes = ByteView::of(line.text, static_cast<size_t>(line.length));
    int32_t column = 0;
    p = static_cast<int32_t>(bytesBeforeColumn(textUnit, tabWidth, bytes, goal, column));
    CharCell* slot = charsBefore.extend(static_cast<size_t>(p));
    for (int32_t i = 0; i < p; ++i) slot[i] = CharCell{text[i], 0};
    cursorColumn = layOutFrom(0, 0);
  } else if (goal > 0) {
    int32_t limit = line.length;
    if (goal < limit) limit = goal;  // at least this many bytes stay before the goal
    charsBefore.reserve(static_cast<size_t>(limit));
    while (cursorColumn < goal && p < line.length) insertByte(text[p++]);
  }
  const int32_t rest = line.size() - p;
  CharCell* slot = charsAfter.extend(static_cast<size_t>(rest));
  for (int32_t i = 0; i < line.endingSize; ++i)
    slot[i] = CharCell{text[line.size() - 1 - i], SPAN_LINE_END};
  for (int32_t i = line.endingSize; i < rest; ++i) slot[i] = CharCell{text[line.size() - 1 - i], 0};
  cursorOrigin = line;
  lineAway = 0;
}

int Editor::goToPosition(int32_t line, int32_t column) {
  if (line < 0 || line >= lineCount) return 0;
  TextLine current = packCursorLine();
  if (enterLine(current, line, column)) return 1;
  return 0;
}

namespace {

// Moves records from one line stack to the other until n lines have crossed, splitting a
// run that holds more than the lines left to cross. Returns the records moved, with the
// split part last, for walking back.
struct Walk {
  size_t moved = 0;
  bool split = false;
  bool failed = false;
};

Walk walkLines(Editor& e, Stack<TextLine>& from, Stack<TextLine>& to, int64_t n, bool down) {
  Walk walk;
  while (n > 0 && !from.empty()) {
    const TextLine top = from.top();
    if (!isRun(top)) {
      to.push(from.pop());
      ++walk.moved;
      --n;
      continue;
    }
    FileRun& run = runOf(top);
    if (run.lines <= n) {  // an uncounted run stands for one line
      to.push(from.pop());
      ++walk.moved;
      n -= run.lines;
      continue;
    }
    // The lines that cross: the run's first n going down, its last n going up.
    const int64_t keep = down ? n : run.lines - n;
    const int64_t s = e.source->lineStartAfter(run.offset, keep);
    if (s < 0) {
      walk.failed = true;
      return walk;
    }
    const uint64_t at = static_cast<uint64_t>(s);
    FileRun part{down ? run.offset : at, down ? at - run.offset : run.offset + run.bytes - at, n,
                 true};
    if (down) run.offset = at;
    run.bytes -= part.bytes;
    run.lines -= n;
    to.push(e.runRecord(part));
    ++walk.moved;
    walk.split = true;
    n = 0;
  }
  return walk;
}

// Takes back a walk that could not reach its line.
void walkBack(Stack<TextLine>& from, Stack<TextLine>& to, const Walk& walk) {
  size_t moved = walk.moved;
  if (walk.split) {  // the split part joins its run again
    const TextLine part = to.pop();
    FileRun& run = runOf(from.top());
    if (runOf(part).offset < run.offset) run.offset = runOf(part).offset;
    run.bytes += runOf(part).bytes;
    run.lines += runOf(part).lines;
    --moved;
  }
  for (; moved > 0; --moved) from.push(to.pop());
}

}  // namespace

bool Editor::enterLine(TextLine current, int32_t line, int32_t column) {
  if (!source) {
    if (line < cursorLine) {
      linesBelow.push(current);
      moveLines(linesAbove, linesBelow, static_cast<size_t>(cursorLine - line - 1));
      current = linesAbove.pop();
    } else if (line > cursorLine) {
      linesAbove.push(current);
      moveLines(linesBelow, linesAbove, static_cast<size_t>(line - cursorLine - 1));
      current = linesBelow.pop();
    }
    cursorLine = line;
    unpackLine(current, column);
    return true;
  }
  if (line != cursorLine) {
    const bool down = line > cursorLine;
    Stack<TextLine>& from = down ? linesBelow : linesAbove;
    Stack<TextLine>& to = down ? linesAbove : linesBelow;
    to.push(current);
    const int32_t between = down ? line - cursorLine - 1 : cursorLine - line - 1;
    Walk walk = walkLines(*this, from, to, between, down);
    // Going up to an uncounted run: its first line is the one that has the number.
    const bool crossTail =
        !down && !walk.failed && !from.empty() && isRun(from.top()) && !runOf(from.top()).counted;
    if (crossTail) {
      to.push(from.pop());
      ++walk.moved;
    }
    Stack<TextLine>& nearest = crossTail ? to : from;
    if (walk.failed || nearest.empty() || !ensureTopLine(nearest, down || crossTail, line)) {
      walkBack(from, to, walk);
      current = to.pop();
      unpackLine(current, cursorColumn);  // the cursor stays where it was
      if (walk.failed) reportFileChanged();
      return false;
    }
    current = nearest.pop();
  }
  cursorLine = line;
  unpackLine(current, column);
  return true;
}

int Editor::transferDown(int32_t goal) {
  if (!hasLineBelow() || !ensureTopLine(linesBelow, true)) return 0;
  linesAbove.push(packCursorLine());
  unpackLine(linesBelow.pop(), goal);
  ++cursorLine;
  return 1;
}

int Editor::transferUp(int32_t goal) {
  if (!hasLineAbove() || !ensureTopLine(linesAbove, false)) return 0;
  linesBelow.push(packCursorLine());
  unpackLine(linesAbove.pop(), goal);
  --cursorLine;
  return 1;
}

int Editor::splitLine(bool indent) {
  const LineEnding& ending = LineEndings[lineEnding];
  const size_t before = charsBefore.count();
  std::vector<uint8_t> lead;  // the blanks that start the line, for the new line
  if (indent) {
    const CharCell* cells = charsBefore.data();
    while (lead.size() < before && (cells[lead.size()].ch == ' ' || cells[lead.size()].ch == '\t'))
      lead.push_back(cells[lead.size()].ch);
  }
  if (indent && lead.size() == before && before > 0)
    eraseBefore(before);  // the upper line keeps only its terminator
  breakLine(ending.bytes, ending.length);
  for (const uint8_t b : lead) addByte(b);
  changed = 1;
  return 1;
}

void Editor::addByte(uint8_t ch) {
  const char byte = static_cast<char>(ch);
  undoHistory.insertedBytes(*this, cursorLine, static_cast<int32_t>(charsBefore.count()), &byte, 1);
  insertByte(ch);
  changed = 1;
}

void Editor::addByteAfter(uint8_t ch) {
  const char byte = static_cast<char>(ch);
  undoHistory.insertedBytes(*this, cursorLine, static_cast<int32_t>(charsBefore.count()), &byte, 1);
  charsAfter.push(CharCell{ch, 0});
  changed = 1;
}

void Editor::eraseBefore(size_t n, bool oneCharacter) {
  const size_t count = charsBefore.count();
  const CharCell* cells = charsBefore.data() + (count - n);
  undoHistory.erasedCells(*this, cursorLine, static_cast<int32_t>(count - n), cells, n, false);
  dropBefore(n, oneCharacter);
  changed = 1;
}

void Editor::eraseAfter(size_t n) {
  const CharCell* cells = charsAfter.data() + (charsAfter.count() - n);
  undoHistory.erasedCells(*this, cursorLine, static_cast<int32_t>(charsBefore.count()), cells, n,
                          true);
  charsAfter.drop(n);
  changed = 1;
}

void Editor::breakLine(const char* ending, int32_t length) {
  const size_t before = charsBefore.count();
  undoHistory.brokeLine(*this, cursorLine, static_cast<int32_t>(before), ending, length);
  const size_t size = before + static_cast<size_t>(length);
  char* text = static_cast<char*>(checkedMalloc(size));
  for (size_t i = 0; i < before; ++i) text[i] = static_cast<char>(charsBefore.data()[i].ch);
  std::memcpy(text + before, ending, static_cast<size_t>(length));
  linesAbove.push(TextLine{text, static_cast<int32_t>(before), static_cast<uint8_t>(length), 1});
  charsBefore.drop(before);
  ++cursorLine;
  ++lineCount;
  cursorColumn = 0;
  changed = 1;
}

int Editor::joinLineBelow() {
  if (!hasLineBelow() || !ensureTopLine(linesBelow, true)) return 0;
  // Only the cursor line's terminator is left after the cursor: the lower line replaces it,
  // bringing its own terminator.
  char ending[2] = {0, 0};
  const size_t endingSize = std::min<size_t>(charsAfter.count(), 2);
  for (size_t i = 0; i < endingSize; ++i) ending[i] = static_cast<char>(charsAfter.fromTop(i).ch);
  undoHistory.joinedLine(*this, cursorLine, static_cast<int32_t>(charsBefore.count()), ending,
                         static_cast<int32_t>(endingSize));
  lineAway = 1;
  TextLine lower = linesBelow.pop();
  charsAfter.drop(charsAfter.count());
  const int32_t size = lower.size();
  const uint8_t* text = reinterpret_cast<const uint8_t*>(lower.text);
  CharCell* slot = charsAfter.extend(static_cast<size_t>(size));
  for (int32_t i = 0; i < lower.endingSize; ++i)
    slot[i] = CharCell{text[size - 1 - i], SPAN_LINE_END};
  for (int32_t i = lower.endingSize; i < size; ++i) slot[i] = CharCell{text[size - 1 - i], 0};
  lineAway = 0;
  releaseText(lower);
  --lineCount;
  changed = 1;
  return 1;
}

void Editor::removeCursorLine(int32_t goal) {
  if (!ensureTopLine(linesBelow, true)) return;
  const int32_t line = cursorLine;
  undoHistory.removedLine(*this, line, packCursorLine());
  unpackLine(linesBelow.pop(), goal);
  --lineCount;
  changed = 1;
}

void Editor::removeLinesAbove(size_t n) {
  if (n == 0) return;
  const int32_t first = cursorLine - static_cast<int32_t>(n);
  // The top n records of the stack are those lines in document order.
  undoHistory.removedLines(*this, first, linesAbove.data() + (linesAbove.count() - n), n);
  linesAbove.drop(n);
  cursorLine = first;
  lineCount -= static_cast<int32_t>(n);
  changed = 1;
}

void Editor::markTextSaved() {
  modified = 0;
  undoHistory.markSaved();
}
