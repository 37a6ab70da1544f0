// Replacing one match at a time: each match from the cursor on is shown selected and the user
// answers y (replace it), n (skip it), a (replace it and every one after it) or q (stop).
// The whole run is one change for undo.
#include <memory>
#include <string>

#include "core/editor.h"
#include "input/keyboard.h"
#include "input/prompt.h"
#include "screen/screen.h"
#include "search/byte_search.h"
#include "search/run_search.h"
#include "search/search_scan.h"
#include "search/search_state.h"

namespace {

// y, n, a or q typed in either case (pasted text answers nothing); Escape and a lost
// terminal count as q. The match and the question are drawn again when the terminal is
// resized while the answer is awaited.
char askReplaceAnswer(Editor& e) {
  for (;;) {
    e.redraw();
    e.screen->showMessage("Replace? (y/n/a/q)");
    for (;;) {
      const console::PromptInput in = e.keyboard->readPromptInput();
      if (in.resized) break;
      if (in.key != 0 || in.pasted) continue;  // only a typed key answers
      if (in.ch < 0 || in.ch == 27) return 'q';
      const char lower = static_cast<char>(in.ch | 0x20);
      if (lower == 'y' || lower == 'n' || lower == 'a' || lower == 'q') return lower;
    }
  }
}

bool askedForTexts(Editor& e) {
  SearchState& state = *e.searchState;
  std::unique_ptr<char[]> search =
      promptString(*e.screen, *e.keyboard,
                   {"search for: ", state.searchText, PromptKind::Search, &state.options});
  std::unique_ptr<char[]> replacement =
      promptString(*e.screen, *e.keyboard,
                   {"replace with: ", state.replaceText, PromptKind::Replacement, &state.options});
  if (e.keyboard->inputHandle.inputGone()) return false;
  state.setSearchStrings(search.release(), replacement.release());
  return true;
}

// Shows the match (from the cursor to endColumn of line) selected and asks what to do with it.
char askAboutMatch(Editor& e, int32_t line, int32_t endColumn) {
  e.markLine = line;
  e.markColumn = endColumn;
  e.textDirty = 1;
  return askReplaceAnswer(e);
}

// Every match left in the cursor's line of a text or a pattern that looks only ahead, all of
// them to be replaced: found in the line's text as entered, from `next` on (where the cursor
// now stands), instead of packing the line again for each match, which took time in
// proportion to the line for every match. The bytes from `next` on are the same in both, and so are
// the matches there while a character boundary at `next` is certain both after the old text and
// after what went in; where it is not, the search through the packed line takes over.
void replaceRestOfLine(Editor& e, Matcher& matcher, const TextLine& old, int32_t next,
                       const std::string& replacement, int& found, int& replaced) {
  const ByteView oldBytes = ByteView::of(old.text, static_cast<size_t>(old.length));
  while (next < old.length) {
    if (e.textUnit == TextUnit::Character) {
      const ByteView rest{oldBytes.first + next, 1, static_cast<size_t>(old.length - next)};
      if (!certainBoundaryAt(e.textUnit, oldBytes, static_cast<size_t>(next)) ||
          !certainBoundaryBetween(e.textUnit, e.bytesBefore(), rest))
        return;
    }
    const Match m = matcher.find(old.text, old.length, next);
    if (m.start < 0 || m.length == 0) return;
    if (m.start > next) e.shiftRight(static_cast<size_t>(m.start - next));
    ++found;
    e.eraseAfter(static_cast<size_t>(m.length));
    for (char c : matcher.replacementFor(old.text, replacement)) e.addByte(static_cast<uint8_t>(c));
    ++replaced;
    next = m.start + m.length;
  }
}

}  // namespace

int Editor::replaceEach() {
  if (!askedForTexts(*this)) return 0;
  const SearchState& state = *searchState;
  if (state.searchText[0] == '\0') return 1;
  std::unique_ptr<Matcher> matcher = searchMatcher(*this);
  if (!matcher) return 0;
  const std::string replacement = state.replaceText;

  int replaced = 0;
  int found = 0;
  bool all = false;
  int32_t from = static_cast<int32_t>(charsBefore.count());
  bool stepFirst = false;  // the last match was empty: look a character further
  bool stopped = false;    // a key or an unreadable file ended a search (a message says which)
  for (;;) {
    TextLine current = packCursorLine();
    if (stepFirst) from = matcher->stepPast(current.text, current.length, from);
    const ScanEnd end = findForward(*this, current, from, *matcher);
    if (end.offset < 0) {
      unpackLine(current, cursorColumn);
      stopped = end.stopped || matcher->stopped();
      break;
    }
    if (end.inRun) {  // in a large file's unread text: read its line, and find it there
      if (!enterHit(*this, current,
                    RunHit{static_cast<int32_t>(end.documentLine), end.offset, false}))
        break;
      // From the hit's own byte: in UTF-8 mode the cursor may stand past it, after the
      // character that holds a match of ill-formed text.
      from = end.offset;
      stepFirst = false;
      continue;
    }
    const TextLine& line = scannedLine(*this, current, end.line);
    const std::string inserted = matcher->replacementFor(line.text, replacement);
    const int32_t endColumn = columnOfByte(textUnit, line.text, end.offset + end.length, tabWidth);
    const int32_t lineIndex = static_cast<int32_t>(end.documentLine);
    if (!enterLine(current, lineIndex, columnOfByte(textUnit, line.text, end.offset, tabWidth)))
      break;
    const TextLine unpacked = cursorOrigin;  // the line's text as entered, kept until it is left
    // A match of ill-formed text may start inside a character, where the column cannot lead:
    // the cursor goes to the match's own byte, so that exactly the match is replaced.
    const size_t at = static_cast<size_t>(end.offset);
    if (charsBefore.count() > at) shiftLeft(charsBefore.count() - at);
    if (charsBefore.count() < at) shiftRight(at - charsBefore.count());
    ++found;
    const char answer = all ? 'a' : askAboutMatch(*this, lineIndex, endColumn);
    matcher->restartClock();
    if (answer == 'q') break;
    all = answer == 'a';
    from = end.offset + end.length;
    if (answer != 'n') {
      eraseAfter(static_cast<size_t>(end.length));
      for (char c : inserted) addByte(static_cast<uint8_t>(c));
      from = static_cast<int32_t>(charsBefore.count());
      ++replaced;
      // (A line break put in would be a line's start for a pattern's ^ in multi-line mode.)
      if (all && matcher->looksOnlyAhead() && end.length > 0 &&
          replacement.find_first_of("\r\n") == std::string::npos &&
          unpacked.length == static_cast<int32_t>(charsBefore.count() + bytesAfter().size) -
                                 static_cast<int32_t>(inserted.size()) + end.length)
        replaceRestOfLine(*this, *matcher, unpacked, end.offset + end.length, replacement, found,
                          replaced);
      from = static_cast<int32_t>(charsBefore.count());
    }
    stepFirst = end.length == 0;
  }
  keepCursorOnCharacter();
  // A match asked about may have stood inside a character, its line then laid out in two
  // pieces around the cursor: the line is drawn whole again.
  if (found > 0) textDirty = 1;
  markLine = cursorLine;
  markColumn = cursorColumn;
  selectionDirty = 1;
  std::string message = "Replaced " + std::to_string(replaced) + " of " + std::to_string(found);
  if (stopped && pendingMessage) {  // said first: the count so far comes after it
    message = std::string(pendingMessage.get()) + " (replaced " + std::to_string(replaced) +
              " of " + std::to_string(found) + ")";
  } else if (matcher->gaveUp()) {
    message += "; some lines were too complex for the pattern";
  }
  setPendingMessage(message.c_str());
  return replaced > 0;
}
