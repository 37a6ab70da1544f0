// The remembered search texts and the search, replace and repeat commands.
//
// A search step scans forward from the cursor, one stored line at a time, and never wraps.
// The lines below the cursor are scanned where they lie on their stack; only once the step
// knows where the cursor goes are the records moved, and only the destination line is
// unpacked.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/editor.h"
#include "input/keyboard.h"
#include "input/prompt.h"
#include "search/byte_search.h"
#include "search/matcher.h"
#include "search/run_search.h"
#include "search/search_scan.h"
#include "search/search_state.h"

namespace {

char* emptyString() {
  return new char[1]{'\0'};
}

// A line's text may not grow past this, so that its size (text and terminator) stays an int.
constexpr int64_t kLongestLine = INT32_MAX - 2;

struct LineReplacement {
  int32_t lastInserted = -1;  // offset of the last inserted text, -1 when nothing was replaced
  bool cut = false;           // stopped early: the line would have grown too long
  // The line got new text. Its pointer alone cannot tell: an empty line takes no arena
  // bytes, and the next text made may start where it points.
  bool rebuilt = false;
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
      result.rebuilt = true;
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
  result.rebuilt = true;
  return result;
}

// Puts the replacement for each match at or after `from` in its place, left to right, each
// search resuming behind the match (one character further after an empty one). The line is
// rebuilt once, in the text arena; the old text is left to the caller, as above.
LineReplacement replaceMatchesInLine(Editor& editor, TextLine& line, int32_t from, Matcher& matcher,
                                     const std::string& replacement) {
  LineReplacement result;
  Match m = matcher.find(line.text, line.length, from);
  if (m.start < 0) return result;
  std::string out;
  out.reserve(static_cast<size_t>(line.size()));
  int32_t copied = 0;  // old text before this offset is in out
  while (m.start >= 0) {
    out.append(line.text + copied, static_cast<size_t>(m.start - copied));
    const std::string inserted = matcher.replacementFor(line.text, replacement);
    const int64_t rest = line.length - (m.start + m.length);
    if (static_cast<int64_t>(out.size() + inserted.size()) + rest > kLongestLine) {
      result.cut = true;
      out.append(line.text + m.start, static_cast<size_t>(m.length));
      copied = m.start + m.length;
      break;
    }
    result.lastInserted = static_cast<int32_t>(out.size());
    out += inserted;
    copied = m.start + m.length;
    if (m.length == 0) {  // an empty match: the next one starts a character further
      if (copied >= line.length) break;
      const int32_t next = matcher.stepPast(line.text, line.length, copied);
      out.append(line.text + copied, static_cast<size_t>(next - copied));
      copied = next;
    }
    m = matcher.find(line.text, line.length, copied);
  }
  out.append(line.text + copied, static_cast<size_t>(line.size() - copied));
  char* text = editor.arenaAllocate(out.size());
  std::memcpy(text, out.data(), out.size());
  line = TextLine{text, static_cast<int32_t>(out.size()) - line.endingSize, line.endingSize, 0};
  result.rebuilt = true;
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

}  // namespace

// The first match at or after the cursor (at startOffset of the packed cursor line).
ScanEnd findForward(Editor& e, TextLine& current, int32_t startOffset, Matcher& matcher) {
  const size_t below = e.linesBelow.count();
  int64_t first = e.cursorLine;
  for (size_t i = 0; i <= below; ++i) {
    const TextLine& line = scannedLine(e, current, i);
    if (isRun(line)) {
      const RunHit hit = findInRun(e, line, first, matcher, true);
      ScanEnd end;
      end.stopped = hit.stopped;
      if (hit.line >= 0) {
        end.line = i;
        end.offset = hit.byteColumn;
        end.documentLine = hit.line;
        end.inRun = true;
      }
      if (hit.stopped || hit.line >= 0) return end;
    } else {
      const Match m = matcher.find(line.text, line.length, i == 0 ? startOffset : 0);
      if (m.start >= 0) return ScanEnd{i, m.start, m.length, false, first, false, false};
    }
    first += linesOf(line);
  }
  return ScanEnd{};
}

// A replacement of every occurrence that would rebuild text of a large file not read yet is
// refused before anything changes, with the occurrences there: false then.
bool replacementFits(Editor& e, Matcher& matcher) {
  if (!e.source) return true;
  int64_t found = 0;
  uint64_t bytes = 0;
  for (size_t i = 0; i < e.linesBelow.count(); ++i) {
    const TextLine& line = e.linesBelow.fromTop(i);
    if (!isRun(line)) continue;
    const int64_t n = countInRun(e, line, matcher);
    if (n < 0) return false;
    found += n;
    bytes += runOf(line).bytes;
  }
  if (found == 0) return true;
  char message[120];
  std::snprintf(message, sizeof message,
                "Too large to replace in memory: %lld occurrences in %.1f GB",
                static_cast<long long>(found), static_cast<double>(bytes) / 1e9);
  e.setPendingMessage(message);
  return false;
}

namespace {

// Replaces every occurrence from the cursor to the end, rebuilding each line that has one
// once. The old line goes to the undo history, or, when the history does not keep it, its
// text is freed and its arena block may be filled again.
// Without a matcher the needle is replaced byte for byte by the replacement's bytes; with one,
// each match by the replacement it makes.
ScanEnd replaceForward(Editor& e, TextLine& current, int32_t startOffset, const Needle& needle,
                       const Needle& replacement, Matcher* matcher) {
  ArenaRecycler recycler(e, current);
  ScanEnd end;
  const size_t below = e.linesBelow.count();
  int64_t first = e.cursorLine;
  for (size_t i = 0; i <= below && !end.cut; first += linesOf(scannedLine(e, current, i)), ++i) {
    TextLine& line = scannedLine(e, current, i);
    if (isRun(line)) continue;  // none there: replacementFits made sure
    TextLine before = line;
    const int32_t from = i == 0 ? startOffset : 0;
    const LineReplacement done =
        matcher ? replaceMatchesInLine(
                      e, line, from, *matcher,
                      std::string(replacement.bytes, static_cast<size_t>(replacement.length)))
                : replaceInLine(e, line, from, needle, replacement);
    if (done.rebuilt && !e.undoHistory.rebuiltLine(e, static_cast<int32_t>(first), before)) {
      recycler.left(before);
      releaseText(before);
    }
    if (done.lastInserted >= 0) {
      end.line = i;
      end.offset = done.lastInserted;
      end.documentLine = first;
      e.changed = 1;
    }
    end.cut = done.cut;
  }
  return end;
}

bool inputGone(Keyboard& keyboard) {
  return keyboard.inputHandle.inputGone();
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
  SearchState& state = *searchState;
  std::unique_ptr<char[]> answer = promptString(
      *screen, *keyboard, {"search for: ", state.searchText, PromptKind::Search, &state.options});
  if (inputGone(*keyboard)) return 0;  // a prompt cut short by a lost terminal is no answer
  char* text = answer.release();
  state.setSearchStrings(text, text);
  if (text[0] == '\0') return 1;
  return searchAgain();
}

int Editor::replace() {
  SearchState& state = *searchState;
  std::unique_ptr<char[]> searchAnswer = promptString(
      *screen, *keyboard, {"search for: ", state.searchText, PromptKind::Search, &state.options});
  std::unique_ptr<char[]> replaceAnswer =
      promptString(*screen, *keyboard,
                   {"replace with: ", state.replaceText, PromptKind::Replacement, &state.options});
  // A lost terminal ends a prompt with an empty answer; replacing by it would delete text.
  if (inputGone(*keyboard)) return 0;
  state.setSearchStrings(searchAnswer.release(), replaceAnswer.release());
  if (state.searchText[0] == '\0') return 1;
  return searchAgain();
}

int Editor::searchAgain() {
  const SearchState& state = *searchState;
  const Needle needle =
      needleFor(textUnit, state.searchText, static_cast<int64_t>(std::strlen(state.searchText)));
  if (needle.length == 0) return 0;
  std::unique_ptr<Matcher> matcher = searchMatcher(*this);
  if (!matcher) return 0;
  // With both options off, a replacement takes the byte-for-byte path.
  const bool exact = !state.options.ignoreCase && !state.options.regex;
  const bool plain = state.isPlainSearch();
  const Needle replacement{
      state.replaceText,
      plain ? needle.length : static_cast<int64_t>(std::strlen(state.replaceText))};

  if (!plain && !replacementFits(*this, *matcher)) return 0;

  const int32_t startColumn = cursorColumn;
  const int32_t startOffset = static_cast<int32_t>(charsBefore.count());
  TextLine current = packCursorLine();
  const ScanEnd end = plain ? findForward(*this, current, startOffset, *matcher)
                            : replaceForward(*this, current, startOffset, needle, replacement,
                                             exact ? nullptr : matcher.get());
  if (end.cut) setPendingMessage("Replacement stopped: a line would grow too long");
  if (matcher->gaveUp() && !matcher->stopped()) setPendingMessage(kLinesPassedOver);
  if (!plain && changed) {  // the lines rebuilt may have left whole blocks unused
    linesBelow.push(current);
    releaseUnusedArena();
    current = linesBelow.pop();
  }

  if (end.offset < 0) {  // nothing found or replaced: the cursor stays where it was
    unpackLine(current, startColumn);
    return 0;
  }
  const int32_t line = static_cast<int32_t>(end.documentLine);
  if (end.inRun) return enterHit(*this, current, RunHit{line, end.offset, false}) ? 1 : 0;
  const TextLine& found = scannedLine(*this, current, end.line);
  const int32_t column = columnOfByte(textUnit, found.text, end.offset, tabWidth);
  enterLine(current, line, column);
  return 1;
}
