// Finding the remembered search text again, forward or backward from the cursor, passing
// the end (or the top) of the document when nothing lies beyond the cursor.
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "core/editor.h"
#include "input/keyboard.h"
#include "input/prompt.h"
#include "search/byte_search.h"
#include "search/run_search.h"
#include "search/search_scan.h"
#include "search/search_state.h"

namespace {

// Where an occurrence was found: the document line and the display column of its first
// byte (or its byte column, for one found in a large file's unread text), and whether the
// scan passed the end (or the top) of the document first. stopped: a key or an unreadable
// file ended the scan (a message says which).
struct Found {
  int32_t line = -1;
  int32_t column = -1;
  bool wrapped = false;
  int32_t byteColumn = -1;
  bool stopped = false;
};

// The remembered text; with none yet, asks for it as the search command does. Empty when
// there is nothing to look for.
std::string textToFind(Editor& e) {
  SearchState& state = *e.searchState;
  if (state.searchText[0] == '\0') {
    std::unique_ptr<char[]> answer =
        promptString(*e.screen, *e.keyboard,
                     {"search for: ", state.searchText, PromptKind::Search, &state.options});
    if (e.keyboard->inputHandle.inputGone()) return "";
    char* text = answer.release();
    state.setSearchStrings(text, text);
  }
  return state.searchText;
}

// The scans below see the document as the packed cursor line between the two line stacks,
// each record a line, or a run of a large file's lines looked through in the file.
class FindScan {
 public:
  FindScan(Editor& editor, Matcher& matcher) : e_(editor), matcher_(matcher) {}

  Found forward(const TextLine& current, int32_t offset) {
    const int32_t line = e_.cursorLine;
    if (int32_t q = after(current, offset); q >= 0) return at(line, current, q, false);
    int64_t next = line + 1;
    for (size_t i = 0; i < e_.linesBelow.count(); ++i) {
      const TextLine& l = e_.linesBelow.fromTop(i);
      if (Found f = inRecord(l, next, true, false); f.line >= 0 || f.stopped) return f;
      next += linesOf(l);
    }
    next = 0;
    for (size_t j = 0; j < e_.linesAbove.count(); ++j) {
      const TextLine& l = e_.linesAbove.data()[j];
      if (Found f = inRecord(l, next, true, true); f.line >= 0 || f.stopped) return f;
      next += linesOf(l);
    }
    if (int32_t q = first(current); q >= 0) return at(line, current, q, true);
    return {};
  }

  Found backward(const TextLine& current, int32_t offset) {
    const int32_t line = e_.cursorLine;
    if (int32_t q = last(current, offset); q >= 0) return at(line, current, q, false);
    int64_t end = line;  // the line after the record
    for (size_t i = 0; i < e_.linesAbove.count(); ++i) {
      const TextLine& l = e_.linesAbove.fromTop(i);
      end -= linesOf(l);
      if (Found f = inRecord(l, end, false, false); f.line >= 0 || f.stopped) return f;
    }
    end = e_.lineCount;
    for (size_t i = e_.linesBelow.count(); i-- > 0;) {
      const TextLine& l = e_.linesBelow.fromTop(i);
      end -= linesOf(l);
      if (Found f = inRecord(l, end, false, true); f.line >= 0 || f.stopped) return f;
    }
    if (int32_t q = last(current, INT32_MAX); q >= 0) return at(line, current, q, true);
    return {};
  }

 private:
  // The first (forward) or last occurrence in one record whose first line is `firstLine`.
  Found inRecord(const TextLine& l, int64_t firstLine, bool forward, bool wrapped) {
    if (isRun(l)) {
      const RunHit hit = findInRun(e_, l, firstLine, matcher_, forward);
      Found found;
      found.line = hit.line;
      found.byteColumn = hit.byteColumn;
      found.wrapped = wrapped;
      found.stopped = hit.stopped;
      return found;
    }
    const int32_t q = forward ? first(l) : last(l, INT32_MAX);
    return q >= 0 ? at(static_cast<int32_t>(firstLine), l, q, wrapped) : Found{};
  }

 private:
  int32_t first(const TextLine& l) { return matcher_.find(l.text, l.length, 0).start; }
  // From the character after the cursor's.
  int32_t after(const TextLine& l, int32_t offset) {
    return matcher_.find(l.text, l.length, matcher_.stepPast(l.text, l.length, offset)).start;
  }
  int32_t last(const TextLine& l, int32_t before) {
    return matcher_.findBefore(l.text, l.length, before).start;
  }

  Found at(int32_t line, const TextLine& text, int32_t offset, bool wrapped) const {
    return {line, columnOfByte(e_.textUnit, text.text, offset, e_.tabWidth), wrapped, -1, false};
  }

  Editor& e_;
  Matcher& matcher_;
};

int find(Editor& e, bool forward) {
  const std::string text = textToFind(e);
  if (text.empty()) return 0;
  std::unique_ptr<Matcher> matcher = searchMatcher(e);
  if (!matcher) return 0;
  const int32_t startColumn = e.cursorColumn;
  const int32_t offset = static_cast<int32_t>(e.charsBefore.count());
  TextLine current = e.packCursorLine();
  FindScan scan(e, *matcher);
  const Found found = forward ? scan.forward(current, offset) : scan.backward(current, offset);
  if (found.line < 0) {
    e.unpackLine(current, startColumn);
    if (!found.stopped && !matcher->stopped())
      e.setPendingMessage(matcher->gaveUp() ? kLinesPassedOver : ("Not found: " + text).c_str());
    return 0;
  }
  if (found.byteColumn >= 0) {
    if (!enterHit(e, current, RunHit{found.line, found.byteColumn, false})) return 0;
  } else {
    e.enterLine(current, found.line, found.column);
  }
  if (found.wrapped) e.setPendingMessage("Search wrapped");
  if (matcher->gaveUp()) e.setPendingMessage(kLinesPassedOver);  // says more than the wrap
  return 1;
}

}  // namespace

int Editor::findNext() {
  return find(*this, true);
}

int Editor::findPrevious() {
  return find(*this, false);
}
