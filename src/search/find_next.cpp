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
#include "search/search_scan.h"
#include "search/search_state.h"

namespace {

// Where an occurrence was found: the document line and the display column of its first
// byte, and whether the scan passed the end (or the top) of the document first.
struct Found {
  int32_t line = -1;
  int32_t column = -1;
  bool wrapped = false;
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

// The scans below see the document as the packed cursor line between the two line stacks:
// linesAbove.data()[j] is line j, linesBelow.fromTop(i) is line cursorLine + 1 + i.
class FindScan {
 public:
  FindScan(Editor& editor, Matcher& matcher) : e_(editor), matcher_(matcher) {}

  Found forward(const TextLine& current, int32_t offset) {
    const int32_t line = e_.cursorLine;
    if (int32_t q = after(current, offset); q >= 0) return at(line, current, q, false);
    for (size_t i = 0; i < e_.linesBelow.count(); ++i) {
      const TextLine& l = e_.linesBelow.fromTop(i);
      if (int32_t q = first(l); q >= 0) return at(line + 1 + static_cast<int32_t>(i), l, q, false);
    }
    for (size_t j = 0; j < e_.linesAbove.count(); ++j) {
      const TextLine& l = e_.linesAbove.data()[j];
      if (int32_t q = first(l); q >= 0) return at(static_cast<int32_t>(j), l, q, true);
    }
    if (int32_t q = first(current); q >= 0) return at(line, current, q, true);
    return {};
  }

  Found backward(const TextLine& current, int32_t offset) {
    const int32_t line = e_.cursorLine;
    if (int32_t q = last(current, offset); q >= 0) return at(line, current, q, false);
    for (size_t i = 0; i < e_.linesAbove.count(); ++i) {
      const TextLine& l = e_.linesAbove.fromTop(i);
      if (int32_t q = last(l, INT32_MAX); q >= 0)
        return at(line - 1 - static_cast<int32_t>(i), l, q, false);
    }
    for (size_t i = e_.linesBelow.count(); i-- > 0;) {
      const TextLine& l = e_.linesBelow.fromTop(i);
      if (int32_t q = last(l, INT32_MAX); q >= 0)
        return at(line + 1 + static_cast<int32_t>(i), l, q, true);
    }
    if (int32_t q = last(current, INT32_MAX); q >= 0) return at(line, current, q, true);
    return {};
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
    return {line, columnOfByte(e_.textUnit, text.text, offset, e_.tabWidth), wrapped};
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
    e.setPendingMessage(("Not found: " + text).c_str());
    return 0;
  }
  e.enterLine(current, found.line, found.column);
  if (found.wrapped) e.setPendingMessage("Search wrapped");
  return 1;
}

}  // namespace

int Editor::findNext() {
  return find(*this, true);
}

int Editor::findPrevious() {
  return find(*this, false);
}
