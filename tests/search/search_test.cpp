#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/editor.h"
#include "support/document.h"
#include "support/test_session.h"

namespace {

constexpr uint16_t kF5 = 0x74;
constexpr uint16_t kRight = 0x27;
constexpr uint16_t kEnter = 0x0D;
constexpr uint16_t kBack = 0x08;

// The bytes of the cursor line before the cursor.
size_t cursorOffset(const Editor& editor) {
  return editor.charsBefore.count();
}

// Drives the editor through the console: keys are queued, then handled by the main loop's
// steps until the queue is empty.
class SearchKeys : public ::testing::Test {
 protected:
  TestSession ts;
  SessionEditor editor{ts};

  console::MemoryConsole& console() { return ts.console; }
  SearchState& state() { return ts.session.searchState; }

  void run() {
    Keyboard& keyboard = ts.session.keyboard;
    while (console().numberOfInputEvents() > 0) {
      if (keyboard.inputQueueEmpty()) editor.redraw();
      keyboard.waitAndHandleEvent(editor);
    }
  }
  void key(uint16_t vk, uint32_t state = 0) { console().pushKey(vk, 0, state); }
  void typed(const std::string& text) {
    for (char c : text) {
      const uint16_t vk = static_cast<uint16_t>(std::isalpha(static_cast<unsigned char>(c))
                                                    ? std::toupper(static_cast<unsigned char>(c))
                                                    : 0);
      console().pushKey(vk, static_cast<uint8_t>(c), 0);
    }
  }
  // Answers a prompt whose initial answer is `offered`: erases it, types text, presses Enter.
  void answer(const char* offered, const std::string& text) {
    for (size_t i = std::strlen(offered); i > 0; --i) console().pushKey(kBack, 8, 0);
    typed(text);
    console().pushKey(kEnter, 13, 0);
  }
  void searchFor(const std::string& text) {
    key(kF5);
    answer(state().searchText, text);
    run();
  }
  void replaceBy(const std::string& text, const std::string& by) {
    key(kF5, console::SHIFT_PRESSED);
    answer(state().searchText, text);
    answer(state().replaceText, by);
    run();
  }
  void searchAgain() {
    key(kF5, console::LEFT_CTRL_PRESSED);
    run();
  }
};

TEST_F(SearchKeys, OccurrenceAtTheCursorIsFoundAgain) {
  setDocument(editor, "xyzxy");
  searchFor("xy");
  EXPECT_EQ(cursorOffset(editor), 0u);
  searchAgain();
  searchAgain();
  EXPECT_EQ(cursorOffset(editor), 0u);
  key(kRight);
  searchAgain();
  EXPECT_EQ(cursorOffset(editor), 3u);
  EXPECT_EQ(editor.cursorColumn, 3);
  console().pushKey('A', 'a', console::LEFT_ALT_PRESSED);  // Alt+A repeats as well
  run();
  EXPECT_EQ(cursorOffset(editor), 3u);
  EXPECT_EQ(editor.modified, 0);
  EXPECT_EQ(documentBytes(editor), "xyzxy\n");
}

TEST_F(SearchKeys, NothingBeforeTheCursorIsFoundAndAMissLeavesTheCursor) {
  setDocument(editor, "abc\n\tab abc\nzzz\nab");
  editor.goToPosition(1, 9);  // after the tab and "a"
  searchFor("ab");
  EXPECT_EQ(editor.cursorLine, 1);
  EXPECT_EQ(editor.cursorColumn, 11);  // the "ab" of "abc"
  EXPECT_EQ(cursorOffset(editor), 4u);

  editor.goToPosition(1, 13);
  searchFor("abc");  // only above the cursor and before it on its line
  EXPECT_EQ(editor.cursorLine, 1);
  EXPECT_EQ(editor.cursorColumn, 13);
  searchFor("q");
  EXPECT_EQ(editor.cursorLine, 1);
  EXPECT_EQ(editor.cursorColumn, 13);

  editor.goToPosition(2, 1);
  searchFor("b\n");  // never across a terminator
  EXPECT_EQ(editor.cursorLine, 2);
  EXPECT_EQ(editor.cursorColumn, 1);
  searchFor("ab");
  EXPECT_EQ(editor.cursorLine, 3);
  EXPECT_EQ(cursorOffset(editor), 0u);
  EXPECT_EQ(documentBytes(editor), "abc\n\tab abc\nzzz\nab\n");
  EXPECT_EQ(brokenInvariant(editor), "");
}

TEST_F(SearchKeys, ReplacementsGoLeftToRightWithoutOverlap) {
  setDocument(editor, "xxx");
  replaceBy("x", "xx");
  EXPECT_EQ(documentBytes(editor), "xxxxxx\n");
  EXPECT_EQ(cursorOffset(editor), 4u);  // on the last inserted "xx"
  EXPECT_EQ(editor.modified, 1);

  setDocument(editor, "xxx");
  replaceBy("xx", "y");
  EXPECT_EQ(documentBytes(editor), "yx\n");
  EXPECT_EQ(cursorOffset(editor), 0u);
  EXPECT_EQ(brokenInvariant(editor), "");
}

TEST_F(SearchKeys, ReplacingByNothingDeletesFromTheCursorOn) {
  setDocument(editor, "axbx\nxx\r\nyxy\nz");
  editor.goToPosition(0, 2);
  replaceBy("x", "");
  EXPECT_EQ(documentBytes(editor), "axb\n\r\nyy\nz\n");
  EXPECT_EQ(editor.cursorLine, 2);
  EXPECT_EQ(cursorOffset(editor), 1u);
  EXPECT_EQ(editor.lineCount, 5);
  EXPECT_EQ(brokenInvariant(editor), "");
}

TEST_F(SearchKeys, ReplacingByTheSameTextMarksModified) {
  setDocument(editor, "ab\r\nab\r\n");
  replaceBy("ab", "ab");
  EXPECT_EQ(documentBytes(editor), "ab\r\nab\r\n");
  EXPECT_EQ(editor.modified, 1);
  EXPECT_EQ(editor.cursorLine, 1);
  EXPECT_FALSE(state().isPlainSearch());
}

TEST_F(SearchKeys, TerminatorsAndLineCountAreKept) {
  setDocument(editor, "a\r\nba\n\rc\ra");
  const int32_t lines = editor.lineCount;
  replaceBy("a", "<a>");
  EXPECT_EQ(documentBytes(editor), "<a>\r\nb<a>\n\rc\r<a>\n");
  EXPECT_EQ(editor.lineCount, lines);
  EXPECT_EQ(editor.cursorLine, 3);
  EXPECT_EQ(cursorOffset(editor), 0u);
}

TEST_F(SearchKeys, ShiftF5KeepsTheSelectionMark) {
  setDocument(editor, "one two\nthree two");
  key(kRight);
  key(kRight);
  run();
  replaceBy("two", "2");
  EXPECT_EQ(documentBytes(editor), "one 2\nthree 2\n");
  EXPECT_EQ(editor.markLine, 0);
  EXPECT_EQ(editor.markColumn, 2);
  EXPECT_EQ(editor.cursorLine, 1);
  EXPECT_EQ(editor.cursorColumn, 6);
  EXPECT_EQ(editor.selectionActive, 1);
}

TEST_F(SearchKeys, RepeatBeforeAnyQuestionDoesNothing) {
  setDocument(editor, "text\n");
  key(kRight);
  run();
  searchAgain();
  console().pushKey('A', 'a', console::LEFT_ALT_PRESSED);
  run();
  EXPECT_EQ(documentBytes(editor), "text\n");
  EXPECT_EQ(cursorOffset(editor), 1u);
  EXPECT_EQ(editor.modified, 0);
  EXPECT_EQ(editor.autosavePending, 0);
}

TEST_F(SearchKeys, ReplacePromptOffersTheSearchText) {
  setDocument(editor, "cab cab");
  searchFor("ab");
  // Enter twice: the search text, then the offered replacement, which is the search text.
  key(kF5, console::SHIFT_PRESSED);
  console().pushKey(kEnter, 13, 0);
  console().pushKey(kEnter, 13, 0);
  run();
  EXPECT_STREQ(state().searchText, "ab");
  EXPECT_STREQ(state().replaceText, "ab");
  EXPECT_FALSE(state().isPlainSearch());
  EXPECT_EQ(editor.modified, 1);
  EXPECT_EQ(cursorOffset(editor), 5u);
  EXPECT_EQ(documentBytes(editor), "cab cab\n");
}

TEST_F(SearchKeys, EmptySearchAnswerStillAsksForTheReplacement) {
  setDocument(editor, "abc");
  key(kF5, console::SHIFT_PRESSED);
  console().pushKey(kEnter, 13, 0);
  typed("q");
  console().pushKey(kEnter, 13, 0);
  run();
  EXPECT_STREQ(state().searchText, "");
  EXPECT_STREQ(state().replaceText, "q");
  EXPECT_EQ(documentBytes(editor), "abc\n");  // the "q" went to the prompt
  searchAgain();
  EXPECT_EQ(documentBytes(editor), "abc\n");
  EXPECT_EQ(editor.modified, 0);
}

TEST_F(SearchKeys, LostInputDuringThePromptsReplacesNothing) {
  setDocument(editor, "abc");
  key(kF5, console::SHIFT_PRESSED);
  typed("b");
  console().pushKey(kEnter, 13, 0);
  run();  // the input ends inside the second question
  EXPECT_EQ(documentBytes(editor), "abc\n");
  EXPECT_EQ(editor.modified, 0);
  EXPECT_STREQ(state().searchText, "");
}

TEST_F(SearchKeys, AltLettersAskAsTheFunctionKeysDo) {
  setDocument(editor, "ab ab");
  console().pushKey('S', 's', console::LEFT_ALT_PRESSED);
  answer("", "b");
  run();
  EXPECT_EQ(cursorOffset(editor), 1u);
  EXPECT_TRUE(state().isPlainSearch());
  console().pushKey('R', 'r', console::LEFT_ALT_PRESSED);
  answer("b", "a");
  answer("b", "c");
  run();
  EXPECT_EQ(documentBytes(editor), "ab cb\n");  // the first "a" is before the cursor
  EXPECT_EQ(cursorOffset(editor), 3u);
}

TEST(SearchState, IdentityDecidesTheMode) {
  SearchState state;
  EXPECT_FALSE(state.isPlainSearch());  // two empty strings of their own
  char* same = copyOf("x");
  state.setSearchStrings(same, same);
  EXPECT_TRUE(state.isPlainSearch());
  state.setSearchStrings(copyOf("x"), copyOf("x"));  // a shared string is released once
  EXPECT_FALSE(state.isPlainSearch());
}

// A document of owned and arena lines, built directly so that any mix of terminators is
// possible.
struct Line {
  std::string text;
  int ending;  // index into LineEndings; ignored on the last line
  bool arena;
};

// Returns the size of the arena block that the arena lines point into.
size_t buildDocument(Editor& editor, const std::vector<Line>& lines) {
  editor.freeBuffer();
  editor.initBuffer();
  size_t arenaBytes = 0;
  for (const Line& line : lines) arenaBytes += line.text.size() + 2;
  editor.textArena.emplace_back(new char[arenaBytes]);
  char* arena = editor.textArena.back().get();
  std::memset(arena, '#', arenaBytes);
  TextLine last{};
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string bytes = lines[i].text;
    if (i + 1 < lines.size()) bytes += LineEndings[lines[i].ending].bytes;
    const int32_t length = static_cast<int32_t>(lines[i].text.size());
    const int32_t size = static_cast<int32_t>(bytes.size());
    TextLine line = makeOwnedLine(bytes.data(), length, size);
    if (lines[i].arena) {
      releaseText(line);
      std::memcpy(arena, bytes.data(), bytes.size());
      line = TextLine{arena, length, static_cast<uint8_t>(size - length), 0};
      arena += bytes.size();
    }
    if (i + 1 < lines.size()) editor.linesAbove.push(line);
    last = line;
  }
  editor.lineCount = static_cast<int32_t>(lines.size());
  editor.cursorLine = editor.lineCount - 1;
  editor.unpackLine(last, 0);
  return arenaBytes;
}

int32_t columnAt(const std::string& text, size_t offset) {
  int32_t column = 0;
  for (size_t i = 0; i < offset; ++i) column = text[i] == '\t' ? (column + 8) / 8 * 8 : column + 1;
  return column;
}

std::string randomText(std::mt19937& rng, const std::string& alphabet, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) text += alphabet[rng() % alphabet.size()];
  return text;
}

// Plain search and replacement against std::string find and replace on each line from the
// cursor on, with small alphabets so that occurrences are frequent and overlapping.
TEST(SearchRandom, MatchesFindAndReplaceOnEachLine) {
  TestSession ts;
  SessionEditor editor{ts};
  SearchState& state = ts.session.searchState;
  std::mt19937 rng(7);
  const char* alphabets[] = {"ab", "ab\t", "a", "abcdefgh"};
  for (int round = 0; round < 5000; ++round) {
    // Lines short and long, around the 16 bytes that the scan takes at once.
    std::vector<Line> lines(1 + rng() % 6);
    const std::string alphabet = alphabets[rng() % 4];
    for (Line& line : lines) {
      const size_t length = rng() % 8 == 0 ? 60 + rng() % 250 : rng() % 40;
      line.text = randomText(rng, alphabet, length);
      line.ending = static_cast<int>(rng() % 4);
      line.arena = rng() % 2;
    }
    const size_t arenaSize = buildDocument(editor, lines);
    const int32_t startLine = static_cast<int32_t>(rng() % lines.size());
    const size_t startOffset = rng() % (lines[startLine].text.size() + 1);
    editor.goToPosition(startLine, columnAt(lines[startLine].text, startOffset));
    ASSERT_EQ(cursorOffset(editor), startOffset);

    const std::string needle =
        randomText(rng, alphabet.substr(0, 2), rng() % 6 == 0 ? 4 + rng() % 20 : 1 + rng() % 3);
    const bool plain = rng() % 3 == 0;
    const std::string by = randomText(rng, "abc", rng() % 5);
    if (plain) {
      char* s = copyOf(needle);
      state.setSearchStrings(s, s);
    } else {
      state.setSearchStrings(copyOf(needle), copyOf(by));
    }

    std::vector<std::string> expected;
    for (const Line& line : lines) expected.push_back(line.text);
    int32_t endLine = startLine;
    size_t endOffset = startOffset;
    bool found = false;
    for (size_t i = startLine; i < lines.size() && !(plain && found); ++i) {
      std::string& text = expected[i];
      size_t from = i == static_cast<size_t>(startLine) ? startOffset : 0;
      for (size_t q; (q = text.find(needle, from)) != std::string::npos;) {
        found = true;
        endLine = static_cast<int32_t>(i);
        endOffset = q;
        if (plain) break;
        text.replace(q, needle.size(), by);
        from = q + by.size();
      }
    }
    std::string expectedBytes;
    for (size_t i = 0; i < lines.size(); ++i) {
      expectedBytes += expected[i];
      if (i + 1 < lines.size()) expectedBytes += LineEndings[lines[i].ending].bytes;
    }
    const char* loadBlock = editor.textArena.back().get();
    const std::string arenaBefore(loadBlock, arenaSize);

    SCOPED_TRACE("round " + std::to_string(round) + " needle '" + needle + "' by '" + by + "'" +
                 (plain ? " plain" : ""));
    EXPECT_EQ(editor.searchAgain(), found ? 1 : 0);
    EXPECT_EQ(editor.changed, !plain && found ? 1 : 0);
    editor.changed = 0;
    EXPECT_EQ(editor.cursorLine, endLine);
    EXPECT_EQ(cursorOffset(editor), endOffset);
    EXPECT_EQ(editor.cursorColumn, columnAt(expected[endLine], endOffset));
    EXPECT_EQ(editor.lineCount, static_cast<int32_t>(lines.size()));
    EXPECT_EQ(documentBytes(editor), expectedBytes);
    EXPECT_EQ(brokenInvariant(editor), "");
    // Rebuilt lines go to arena blocks of their own; the load block stays as it was, or is
    // given back when no line points into it any more.
    bool loadBlockKept = false;
    for (const auto& block : editor.textArena) loadBlockKept |= block.get() == loadBlock;
    if (loadBlockKept) {
      EXPECT_EQ(std::string(loadBlock, arenaSize), arenaBefore) << "the load arena was written";
    }
    bool arenaLines = false;
    for (const Line& line : lines) arenaLines |= line.arena;
    if (plain && arenaLines) {
      EXPECT_TRUE(loadBlockKept);
    }
    if (HasFailure()) break;
  }
}

TEST(SearchRandom, LineWithManyOccurrencesIsRebuiltWhole) {
  TestSession ts;
  SessionEditor editor{ts};
  std::string text(1000, 'a');
  for (size_t i = 0; i < text.size(); i += 7) text[i] = '\t';
  setDocument(editor, text);
  editor.goToPosition(0, 10);  // after the first tab and two bytes
  ts.session.searchState.setSearchStrings(copyOf("a"), copyOf("<>"));
  EXPECT_EQ(editor.searchAgain(), 1);
  std::string expected = text.substr(0, 3);
  size_t last = 0;
  for (size_t i = 3; i < text.size(); ++i) {
    if (text[i] == 'a') {
      last = expected.size();
      expected += "<>";
    } else {
      expected += text[i];
    }
  }
  EXPECT_EQ(documentBytes(editor), expected + "\n");
  EXPECT_EQ(cursorOffset(editor), last);
  EXPECT_EQ(editor.cursorColumn, columnAt(expected, last));
}

// The undo history keeps the lines a replacement rebuilt until it lets them go.
void forgetHistory(Editor& editor) {
  editor.undoHistory.clear();
  editor.releaseUnusedArena();
}

// Rebuilt lines take their bytes from arena blocks; a block that no line (and no undo step)
// points into any more is given back, so replacing again and again through a whole document
// never holds more than the text it has plus the blocks being filled.
TEST(SearchArena, BlocksNoLineUsesAreGivenBack) {
  TestSession ts;
  SessionEditor editor{ts};
  std::vector<Line> lines;
  for (int i = 0; i < 2000; ++i)
    lines.push_back({"line " + std::to_string(i) + " with an a", i % 4, true});
  buildDocument(editor, lines);
  const std::string original = documentBytes(editor);
  const char* loadBlock = editor.textArena.front().get();
  editor.goToPosition(0, 0);

  // Every line is rebuilt (the replacement is longer), so the load block is left unused.
  ts.session.searchState.setSearchStrings(copyOf("a"), copyOf("<a>"));
  ASSERT_EQ(editor.searchAgain(), 1);
  forgetHistory(editor);
  for (const auto& block : editor.textArena) EXPECT_NE(block.get(), loadBlock);
  std::string expected = original;
  for (size_t q = 0; (q = expected.find('a', q)) != std::string::npos; q += 3)
    expected.replace(q, 1, "<a>");
  EXPECT_EQ(documentBytes(editor), expected);
  EXPECT_EQ(brokenInvariant(editor), "");

  size_t most = 0;
  for (int round = 0; round < 30; ++round) {
    editor.goToPosition(0, 0);
    const bool grow = round % 2 == 1;
    ts.session.searchState.setSearchStrings(copyOf(grow ? "a" : "<a>"), copyOf(grow ? "<a>" : "a"));
    ASSERT_EQ(editor.searchAgain(), 1);
    forgetHistory(editor);
    EXPECT_EQ(documentBytes(editor), grow ? expected : original) << "round " << round;
    most = std::max(most, editor.textArena.size());
  }
  EXPECT_LE(most, 8u) << "arena blocks pile up across replacements";
  EXPECT_EQ(brokenInvariant(editor), "");

  // A same-length replacement below the cursor copies those lines; the lines above still
  // point into their block, which stays, unchanged.
  editor.goToPosition(1000, 0);
  const std::string above = documentLines(editor)[10];
  const char* aboveText = editor.linesAbove.data()[10].text;
  ts.session.searchState.setSearchStrings(copyOf("line"), copyOf("LINE"));
  ASSERT_EQ(editor.searchAgain(), 1);
  EXPECT_EQ(std::string(aboveText, above.size()), above);
  EXPECT_EQ(editor.linesAbove.data()[10].text, aboveText);
  EXPECT_EQ(documentLines(editor)[1999].substr(0, 4), "LINE");
  EXPECT_EQ(documentLines(editor)[999].substr(0, 4), "line");
  EXPECT_EQ(brokenInvariant(editor), "");
}

}  // namespace
