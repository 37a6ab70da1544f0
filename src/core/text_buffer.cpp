// The document split at the cursor: lines above, lines below, and the cursor line as the
// bytes before and from the cursor.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/editor.h"
#include "platform/large_block.h"

TextLine makeOwnedLine(const char* bytes, int32_t length, int32_t size) {
  char* text = static_cast<char*>(checkedMalloc(size));
  if (size > 0) std::memcpy(text, bytes, size);
  return TextLine{text, length, static_cast<uint8_t>(size - length), 1};
}

void releaseText(TextLine& line) {
  if (line.ownsText) std::free(line.text);
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
  releaseLines(linesAbove);
  releaseLines(linesBelow);
  charsBefore.clear();
  charsAfter.clear();
  releaseText(cursorOrigin);
  textArena.clear();
  arenaSpare.clear();
  arenaNext = nullptr;
  arenaRoom = 0;
  arenaBlockSize = 0;
}

char* Editor::arenaAllocate(size_t n) {
  while ((n > arenaRoom || arenaNext == nullptr) && !arenaSpare.empty()) {
    const ArenaBlock& spare = textArena[arenaSpare.back()];
    arenaSpare.pop_back();
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

int32_t Editor::cellWidth(const CharCell& cell, int32_t column) const {
  if (tabWidth != 0 && cell.ch == '\t')
    return cell.span > 0 ? cell.span : tabWidth - column % tabWidth;
  return 1;
}

int Editor::insertByte(uint8_t ch) {
  if (tabWidth != 0 && ch == '\t') {
    int32_t next = (cursorColumn + tabWidth) / tabWidth * tabWidth;
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
  return line;
}

void Editor::packCursorLine(int32_t& length, int32_t& size, char*& text) {
  TextLine line = packCursorLine();
  if (!line.ownsText) {  // callers of this form take the array over: give them their own
    line = makeOwnedLine(line.text, line.length, line.size());
  }
  length = line.length;
  size = line.size();
  text = line.text;
}

void Editor::unpackLine(TextLine line, int32_t goal) {
  charsBefore.drop(charsBefore.count());
  charsAfter.drop(charsAfter.count());
  releaseText(cursorOrigin);
  cursorColumn = 0;
  const uint8_t* text = reinterpret_cast<const uint8_t*>(line.text);
  int32_t p = 0;
  if (goal > 0) {
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
}

void Editor::unpackLine(int32_t length, int32_t size, char* text, int32_t goal) {
  unpackLine(TextLine{text, length, static_cast<uint8_t>(size - length), 1}, goal);
}

void Editor::discardCursorLine() {
  charsBefore.drop(charsBefore.count());
  charsAfter.drop(charsAfter.count());
  releaseText(cursorOrigin);
  cursorColumn = 0;
}

int Editor::goToPosition(int32_t line, int32_t column) {
  if (line < 0 || line >= lineCount) return 0;
  TextLine current = packCursorLine();
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
  return 1;
}

int Editor::transferDown(int32_t goal) {
  if (!hasLineBelow()) return 0;
  linesAbove.push(packCursorLine());
  unpackLine(linesBelow.pop(), goal);
  ++cursorLine;
  return 1;
}

int Editor::transferUp(int32_t goal) {
  if (!hasLineAbove()) return 0;
  linesBelow.push(packCursorLine());
  unpackLine(linesAbove.pop(), goal);
  --cursorLine;
  return 1;
}

int Editor::splitLine(bool indent) {
  const LineEnding& ending = LineEndings[lineEnding];
  const size_t before = charsBefore.count();
  const size_t size = before + ending.length;
  char* text = static_cast<char*>(checkedMalloc(size));
  for (size_t i = 0; i < before; ++i) text[i] = static_cast<char>(charsBefore.data()[i].ch);
  std::memcpy(text + before, ending.bytes, ending.length);

  size_t blanks = 0;
  if (indent) {
    while (blanks < before && (text[blanks] == ' ' || text[blanks] == '\t')) ++blanks;
  }
  char* indentSource = nullptr;
  if (indent && blanks == before) {
    indentSource = text;  // the upper line keeps only its terminator
    text = static_cast<char*>(checkedMalloc(ending.length));
    std::memcpy(text, ending.bytes, ending.length);
    linesAbove.push(TextLine{text, 0, static_cast<uint8_t>(ending.length), 1});
  } else {
    linesAbove.push(
        TextLine{text, static_cast<int32_t>(before), static_cast<uint8_t>(ending.length), 1});
    indentSource = text;
  }
  charsBefore.drop(before);
  ++cursorLine;
  ++lineCount;
  cursorColumn = 0;
  for (size_t i = 0; i < blanks; ++i) insertByte(static_cast<uint8_t>(indentSource[i]));
  if (indentSource != text) std::free(indentSource);
  changed = 1;
  return 1;
}

const char* Editor::byteAtColumn(const char* p, int32_t goal) const {
  int32_t col = 0;
  while (col < goal) {
    if (tabWidth != 0 && *p == '\t')
      col = (col + tabWidth) / tabWidth * tabWidth;
    else
      ++col;
    ++p;
  }
  return p;
}
