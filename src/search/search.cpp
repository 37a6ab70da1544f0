// The remembered search texts and the search, replace and repeat commands.
//
// A search step scans forward from the cursor, one stored line at a time, and never wraps.
// The lines below the cursor are scanned where they lie on their stack; only once the step
// knows where the cursor goes are the records moved, and only the destination line is
// unpacked.
#include <bit>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/editor.h"
#include "core/session.h"
#include "input/prompt.h"
#include "search/search_state.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define SLATE_SEARCH_SSE2 1
#endif

namespace {

char* emptyString() {
  return new char[1]{'\0'};
}

// A line's text may not grow past this, so that its size (text and terminator) stays an int.
constexpr int64_t kLongestLine = INT32_MAX - 2;

struct Needle {
  const char* bytes;
  int64_t length;  // at least 1
};

// Checks the candidates of one 16-byte block, given as a bit mask of the offsets from
// `block` whose first and last needle bytes match; returns the first full match or -1.
[[maybe_unused]] int32_t firstFullMatch(const char* text, const char* block, uint32_t mask,
                                        const Needle& needle) {
  const size_t middle = static_cast<size_t>(needle.length - 2);
  while (mask != 0) {
    const char* candidate = block + std::countr_zero(mask);
    if (std::memcmp(candidate + 1, needle.bytes + 1, middle) == 0)
      return static_cast<int32_t>(candidate - text);
    mask &= mask - 1;
  }
  return -1;
}

// The lowest offset q >= from at which the needle lies wholly inside text[0, length), or -1.
// A one-byte needle is a memchr. A longer one is looked for 16 candidates at a time by
// comparing its first and last bytes at once, so a common first byte costs nothing extra;
// only candidates that match both are compared in full.
int32_t findFrom(const char* text, int32_t length, int32_t from, const Needle& needle) {
  const int64_t lastStart = length - needle.length;  // the last possible start
  if (lastStart < from) return -1;
  const char first = needle.bytes[0];
  if (needle.length == 1) {
    const void* hit = std::memchr(text + from, first, static_cast<size_t>(length - from));
    return hit ? static_cast<int32_t>(static_cast<const char*>(hit) - text) : -1;
  }
#ifdef SLATE_SEARCH_SSE2
  if (lastStart - from + 1 >= 16) {
    const __m128i firsts = _mm_set1_epi8(first);
    const __m128i lasts = _mm_set1_epi8(needle.bytes[needle.length - 1]);
    const char* end = text + (needle.length - 1);  // where the last byte of a start at 0 is
    auto candidates = [&](int64_t at) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end + at));
      return static_cast<uint32_t>(
          _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, firsts), _mm_cmpeq_epi8(b, lasts))));
    };
    int64_t at = from;
    for (; at + 15 <= lastStart; at += 16) {
      if (const uint32_t mask = candidates(at)) {
        const int32_t q = firstFullMatch(text, text + at, mask, needle);
        if (q >= 0) return q;
      }
    }
    if (at <= lastStart) {  // the rest, as a block that overlaps the one before
      const int64_t back = lastStart - 15;
      const uint32_t mask = candidates(back) & ~((1u << (at - back)) - 1);
      return mask ? firstFullMatch(text, text + back, mask, needle) : -1;
    }
    return -1;
  }
#endif
  const size_t rest = static_cast<size_t>(needle.length - 1);
  const char* p = text + from;
  const char* last = text + lastStart;
  while (p <= last) {
    p = static_cast<const char*>(std::memchr(p, first, static_cast<size_t>(last - p) + 1));
    if (p == nullptr) return -1;
    if (std::memcmp(p + 1, needle.bytes + 1, rest) == 0) return static_cast<int32_t>(p - text);
    ++p;
  }
  return -1;
}

// The display column at which byte q of a line starts.
int32_t columnOfByte(const char* text, int32_t q, int32_t tabWidth) {
  if (tabWidth == 0) return q;
  int64_t column = 0;
  const char* p = text;
  const char* end = text + q;
  while (p < end) {
    const char* tab = static_cast<const char*>(std::memchr(p, '\t', static_cast<size_t>(end - p)));
    if (tab == nullptr) {
      column += end - p;
      break;
    }
    column += tab - p;
    column = (column + tabWidth) / tabWidth * tabWidth;
    p = tab + 1;
  }
  return column > INT32_MAX ? INT32_MAX : static_cast<int32_t>(column);
}

struct LineReplacement {
  int32_t lastInserted = -1;  // offset of the last inserted text, -1 when nothing was replaced
  bool cut = false;           // stopped early: the line would have grown too long
};

// Puts the replacement in place of every occurrence of the needle at or after `from`, left
// to right, each search resuming behind the text just inserted. The result equals rebuilding
// the line once per occurrence; here it is rebuilt once. A rebuilt line gets its bytes from
// the editor's text arena: a replacement through millions of lines then costs no heap block
// per line. The old text is left as it was; the caller disposes of it.
LineReplacement replaceInLine(Editor& editor, TextLine& line, int32_t from, const Needle& needle,
                              const Needle& replacement) {
  LineReplacement result;
  int32_t q = findFrom(line.text, line.length, from, needle);
  if (q < 0) return result;

  const int64_t n = needle.length;
  const int64_t m = replacement.length;
  if (m == n) {
    const bool sameBytes = std::memcmp(needle.bytes, replacement.bytes, n) == 0;
    if (!sameBytes) {  // the old text stays as it was, for undo: write a copy
      char* copy = editor.arenaAllocate(static_cast<size_t>(line.size()));
      std::memcpy(copy, line.text, static_cast<size_t>(line.size()));
      line.text = copy;
      line.ownsText = 0;
    }
    while (q >= 0) {
      if (!sameBytes) std::memcpy(line.text + q, replacement.bytes, n);
      result.lastInserted = q;
      q = findFrom(line.text, line.length, static_cast<int32_t>(q + n), needle);
    }
    return result;
  }

  // Count the occurrences first (offsets in the old text, each search resuming behind the
  // occurrence just counted), remembering the first few so the copy need not find them again.
  constexpr int kRemembered = 64;
  int32_t remembered[kRemembered];
  int64_t count = 0;
  int64_t allowed = INT64_MAX;
  if (m > n) allowed = (kLongestLine - line.length) / (m - n);
  int32_t at = q;
  while (at >= 0 && count < allowed) {
    if (count < kRemembered) remembered[count] = at;
    ++count;
    at = findFrom(line.text, line.length, static_cast<int32_t>(at + n), needle);
  }
  result.cut = at >= 0;  // occurrences are left that no longer fit in the line
  if (count == 0) return result;

  const int64_t newLength = line.length + count * (m - n);
  const int64_t newSize = newLength + line.endingSize;
  char* text = editor.arenaAllocate(static_cast<size_t>(newSize));
  const char* src = line.text;
  char* dst = text;
  int64_t copiedTo = 0;  // old text before this offset has been written
  for (int64_t i = 0; i < count; ++i) {
    at = i < kRemembered ? remembered[i]
                         : findFrom(line.text, line.length, static_cast<int32_t>(copiedTo), needle);
    std::memcpy(dst, src + copiedTo, static_cast<size_t>(at - copiedTo));
    dst += at - copiedTo;
    result.lastInserted = static_cast<int32_t>(dst - text);
    std::memcpy(dst, replacement.bytes, static_cast<size_t>(m));
    dst += m;
    copiedTo = at + n;
  }
  std::memcpy(dst, src + copiedTo, static_cast<size_t>(line.size() - copiedTo));
  line = TextLine{text, static_cast<int32_t>(newLength), line.endingSize, 0};
  return result;
}

// Counts the lines in each arena block when a replacement starts, the undo history's
// included, so that a block whose last line has been rebuilt elsewhere, and that no undo step
// holds, takes the lines rebuilt after it instead of new memory.
class ArenaRecycler {
 public:
  ArenaRecycler(Editor& editor, const TextLine& current)
      : editor_(editor), index_(editor.textArena), lines_(editor.textArena.size(), 0) {
    for (size_t i = 0; i < editor.linesAbove.count(); ++i) count(editor.linesAbove.data()[i]);
    for (size_t i = 0; i < editor.linesBelow.count(); ++i) count(editor.linesBelow.data()[i]);
    count(current);
    editor.undoHistory.forEachLine([this](const TextLine& line) { count(line); });
    if (editor.arenaRoom > 0) {  // the block being filled is never handed out again
      const size_t block = index_.blockOf(editor.arenaNext);
      if (block != SIZE_MAX) ++lines_[block];
    }
  }

  // A line that pointed at old now has its text elsewhere.
  void left(const TextLine& old) {
    if (old.ownsText || old.text == nullptr) return;
    const size_t block = index_.blockOf(old.text);
    if (block != SIZE_MAX && --lines_[block] == 0 && editor_.textArena[block].capacity > 0)
      editor_.arenaSpare.push_back(block);
  }

 private:
  void count(const TextLine& line) {
    if (line.ownsText || line.text == nullptr) return;
    const size_t block = index_.blockOf(line.text);
    if (block != SIZE_MAX) ++lines_[block];
  }

  Editor& editor_;
  ArenaIndex index_;
  std::vector<size_t> lines_;
};

bool inputGone() {
  return session().keyboard.inputHandle.inputGone();
}

}  // namespace

SearchState::SearchState() : searchText(emptyString()), replaceText(emptyString()) {}

SearchState::~SearchState() {
  if (replaceText != searchText) delete[] replaceText;
  delete[] searchText;
}

void SearchState::setSearchStrings(char* search, char* replacement) {
  if (replaceText != searchText) delete[] replaceText;
  delete[] searchText;
  searchText = search;
  replaceText = replacement;
}

int Editor::search() {
  SearchState& state = session().searchState;
  std::unique_ptr<char[]> answer = promptString(session().screen, "search for: ", state.searchText);
  if (inputGone()) return 0;  // a prompt cut short by a lost terminal is no answer
  char* text = answer.release();
  state.setSearchStrings(text, text);
  if (text[0] == '\0') return 1;
  return searchAgain();
}

int Editor::replace() {
  SearchState& state = session().searchState;
  std::unique_ptr<char[]> searchAnswer =
      promptString(session().screen, "search for: ", state.searchText);
  std::unique_ptr<char[]> replaceAnswer =
      promptString(session().screen, "replace with: ", state.replaceText);
  // A lost terminal ends a prompt with an empty answer; replacing by it would delete text.
  if (inputGone()) return 0;
  state.setSearchStrings(searchAnswer.release(), replaceAnswer.release());
  if (state.searchText[0] == '\0') return 1;
  return searchAgain();
}

int Editor::searchAgain() {
  const SearchState& state = session().searchState;
  const Needle needle{state.searchText, static_cast<int64_t>(std::strlen(state.searchText))};
  if (needle.length == 0) return 0;
  const bool plain = state.isPlainSearch();
  const Needle replacement{
      state.replaceText,
      plain ? needle.length : static_cast<int64_t>(std::strlen(state.replaceText))};

  const int32_t startColumn = cursorColumn;
  const int32_t startOffset = static_cast<int32_t>(charsBefore.count());
  TextLine current = packCursorLine();

  // Line 0 of the scan is the cursor line, from the cursor on; line i > 0 is the i-th line
  // below it, from its start.
  const size_t below = linesBelow.count();
  size_t matchLine = 0;
  int32_t matchOffset = -1;  // the occurrence found, or the last text inserted
  bool cut = false;
  std::unique_ptr<ArenaRecycler> recycler;
  if (!plain) recycler = std::make_unique<ArenaRecycler>(*this, current);
  for (size_t i = 0; i <= below && !cut; ++i) {
    TextLine& line = i == 0 ? current : linesBelow.fromTop(i - 1);
    const int32_t from = i == 0 ? startOffset : 0;
    if (plain) {
      const int32_t q = findFrom(line.text, line.length, from, needle);
      if (q >= 0) {
        matchLine = i;
        matchOffset = q;
        break;
      }
    } else {
      TextLine before = line;
      const LineReplacement done = replaceInLine(*this, line, from, needle, replacement);
      if (line.text != before.text &&
          !undoHistory.rebuiltLine(*this, cursorLine + static_cast<int32_t>(i), before)) {
        recycler->left(before);
        releaseText(before);
      }
      if (done.lastInserted >= 0) {
        matchLine = i;
        matchOffset = done.lastInserted;
        changed = 1;
      }
      cut = done.cut;
    }
  }
  if (cut) setPendingMessage("Replacement stopped: a line would grow too long");
  if (!plain && changed) {  // the lines rebuilt may have left whole blocks unused
    linesBelow.push(current);
    releaseUnusedArena();
    current = linesBelow.pop();
  }

  if (matchOffset < 0) {  // nothing found or replaced: the cursor stays where it was
    unpackLine(current, startColumn);
    return 0;
  }
  if (matchLine > 0) {
    linesAbove.push(current);
    moveLines(linesBelow, linesAbove, matchLine - 1);
    current = linesBelow.pop();
    cursorLine += static_cast<int32_t>(matchLine);
  }
  unpackLine(current, columnOfByte(current.text, matchOffset, tabWidth));
  return 1;
}
