#include "search/run_search.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/char_rule.h"
#include "core/editor.h"
#include "core/file_source.h"
#include "search/byte_search.h"
#include "search/matcher.h"
#include "search/search_state.h"

namespace {

// The search text when it is matched byte for byte (no option on), else empty: the file's
// bytes are then looked through as they are, without cutting them into lines. A text with a
// line break in it never lies inside one line: it is looked for as nothing.
std::string exactText(const Editor& e, bool& exact) {
  const SearchState& state = *e.searchState;
  exact = !state.options.ignoreCase && !state.options.regex;
  std::string text = exact ? state.searchText : "";
  if (text.find_first_of("\r\n") != std::string::npos) text.clear();
  return text;
}

bool keepLooking(Editor& e, uint64_t looked, uint64_t total) {
  if (!e.waitProgress || e.waitProgress("Searching", looked, total)) return true;
  e.setPendingMessage("Search stopped");
  return false;
}

// Whether the occurrence of the text at offset is whole characters, as a search of the lines
// finds well-formed text in UTF-8 mode (never the e of an e with an accent): the bytes around
// it are read for the rule, which looks back a few hundred units at most for a certain
// boundary. Bytes that cannot be read count it as whole: entering its line then says why.
bool wholeCharacters(Editor& e, const FileRun& run, const std::string& text, uint64_t offset) {
  const size_t n = text.size();
  // ASCII on both sides of both ends: boundaries whatever the rest is (the text holds no line
  // break, and nothing joins ASCII to ASCII).
  const uint64_t runEnd = run.offset + run.bytes;
  const int before = offset > run.offset ? e.source->byteAt(offset - 1) : 0;
  const int after = offset + n < runEnd ? e.source->byteAt(offset + n) : 0;
  if (static_cast<uint8_t>(text.front()) < 0x80 && static_cast<uint8_t>(text.back()) < 0x80 &&
      before >= 0 && before < 0x80 && after >= 0 && after < 0x80)
    return true;
  constexpr uint64_t kAround = 1200;
  const uint64_t from = std::max(run.offset, offset > kAround ? offset - kAround : 0);
  const uint64_t to = std::min(runEnd, offset + n + kAround);
  std::vector<char> bytes(static_cast<size_t>(to - from));
  if (!e.source->read(from, bytes.size(), bytes.data())) return true;
  const ByteView around = ByteView::of(bytes.data(), bytes.size());
  const size_t start = static_cast<size_t>(offset - from);
  return characterStart(TextUnit::Character, around, start) == start &&
         characterStart(TextUnit::Character, around, start + n) == start + n;
}

// Scans the run's bytes for the text, calling found with each occurrence (each on character
// boundaries, where the text asks for them); the scan's result (see FileSource::scan).
int scanBytes(Editor& e, const FileRun& run, const std::string& text, bool forward,
              const std::function<bool(uint64_t)>& found) {
  const uint64_t total = run.bytes;
  const bool characters =
      needleFor(e.textUnit, text.data(), static_cast<int64_t>(text.size())).unit ==
      TextUnit::Character;
  const int result = e.source->scan(
      run.offset, run.offset + run.bytes, text.data(), text.size(), forward,
      [&](uint64_t offset) {
        return characters && !wholeCharacters(e, run, text, offset) ? true : found(offset);
      },
      [&e, total](uint64_t looked) { return keepLooking(e, looked, total); });
  if (result == -2) e.reportFileChanged();
  return result;
}

// Calls visit with each line of the run in order (its offset in the file, its text without
// terminator), until it answers false: 1 then, 0 at the end, -1 when a key stopped it, -2
// when the file could not be read.
int eachLine(Editor& e, const FileRun& run,
             const std::function<bool(uint64_t, const char*, int32_t)>& visit) {
  constexpr size_t kPiece = size_t{1} << 20;
  const uint64_t end = run.offset + run.bytes;
  std::vector<char> data;
  size_t want = kPiece;
  for (uint64_t at = run.offset; at < end;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(want, end - at));
    data.resize(n + 2);
    if (!e.source->read(at, n, data.data())) {
      e.reportFileChanged();
      return -2;
    }
    std::vector<TextLine> lines;
    const size_t used = splitLines(data.data(), n, at + n == end, lines);
    if (used == SIZE_MAX || (lines.empty() && want > (size_t{1} << 30))) {
      e.setPendingMessage("Line too long to search");
      return -2;
    }
    if (lines.empty()) {  // a line longer than the piece
      want *= 2;
      continue;
    }
    want = kPiece;
    for (const TextLine& line : lines)
      if (!visit(at + static_cast<uint64_t>(line.text - data.data()), line.text, line.length))
        return 1;
    at += used;
    if (!keepLooking(e, at - run.offset, run.bytes)) return -1;
  }
  return 0;
}

}  // namespace

RunHit findInRun(Editor& e, const TextLine& record, int64_t first, Matcher& matcher, bool forward) {
  RunHit hit;
  bool exact = false;
  const std::string text = exactText(e, exact);
  uint64_t at = 0;
  bool any = false;
  int result = 0;
  if (exact) {
    if (text.empty()) return hit;
    result = scanBytes(e, runOf(record), text, forward, [&](uint64_t offset) {
      at = offset;
      any = true;
      return false;
    });
  } else {
    result = eachLine(e, runOf(record), [&](uint64_t start, const char* line, int32_t length) {
      const Match m =
          forward ? matcher.find(line, length, 0) : matcher.findBefore(line, length, INT32_MAX);
      if (m.start < 0) return !matcher.stopped();
      at = start + static_cast<uint64_t>(m.start);
      any = true;
      return !forward;  // backward: the last one counts
    });
  }
  if (result < 0 || matcher.stopped()) {
    hit.stopped = true;
  } else if (any && !e.placeOfOffset(record, first, at, hit.line, hit.byteColumn)) {
    hit.line = -1;
    hit.stopped = true;
  }
  return hit;
}

int64_t countInRun(Editor& e, const TextLine& record, Matcher& matcher) {
  bool exact = false;
  const std::string text = exactText(e, exact);
  int64_t count = 0;
  int result = 0;
  if (exact) {
    if (text.empty()) return 0;
    uint64_t free = 0;  // where the next occurrence may begin
    result = scanBytes(e, runOf(record), text, true, [&](uint64_t offset) {
      if (offset >= free) {
        ++count;
        free = offset + text.size();
      }
      return true;
    });
  } else {
    result = eachLine(e, runOf(record), [&](uint64_t, const char* line, int32_t length) {
      for (Match m = matcher.find(line, length, 0); m.start >= 0;) {
        ++count;
        const int32_t next =
            m.length > 0 ? m.start + m.length : matcher.stepPast(line, length, m.start);
        if (next > length) break;
        m = matcher.find(line, length, next);
      }
      return !matcher.stopped();
    });
  }
  return result < 0 || matcher.stopped() ? -1 : count;
}

bool enterHit(Editor& e, TextLine current, const RunHit& hit) {
  if (!e.enterLine(current, hit.line, 0)) return false;
  // The hit's column counts bytes; a step right passes a whole character in UTF-8 mode.
  while (e.charsBefore.count() < static_cast<size_t>(hit.byteColumn) && e.moveRight()) {
  }
  return true;
}
