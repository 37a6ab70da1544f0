#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/editor.h"
#include "edit/exact_document.h"
#include "input/keyboard.h"
#include "scenarios/scenario.h"
#include "support/document.h"
#include "support/test_seed.h"
#include "support/test_session.h"

namespace {

struct Position {
  int32_t line;
  size_t byte;  // offset in the line's text
  bool operator<(const Position& o) const { return line != o.line ? line < o.line : byte < o.byte; }
  bool operator==(const Position& o) const { return line == o.line && byte == o.byte; }
};

std::string textOf(const std::string& line) {
  size_t end = line.size();
  while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) --end;
  return line.substr(0, end);
}

int32_t columnOf(const std::string& text, size_t byte) {
  int32_t column = 0;
  for (size_t i = 0; i < byte; ++i) column = text[i] == '\t' ? (column + 8) / 8 * 8 : column + 1;
  return column;
}

std::string randomDocument(std::mt19937& rng) {
  static const char kBytes[] = {'a', 'b', ' ', '\t', '\x80', '\xff', '\x01'};
  static const char* kEndings[] = {"\n", "\r\n", "\r", "\n\r"};
  std::string bytes;
  const int lines = 1 + static_cast<int>(rng() % 8);
  for (int l = 0; l < lines; ++l) {
    const int length = static_cast<int>(rng() % 12);
    for (int i = 0; i < length; ++i)
      bytes.push_back(rng() % 40 == 0 ? '\0' : kBytes[rng() % sizeof kBytes]);
    if (l + 1 < lines || rng() % 2) bytes += kEndings[rng() % 4];
  }
  return bytes;
}

// The selected text as copy puts it on the clipboard: CR LF between lines, ended by a NUL.
std::string clipboardText(const std::vector<std::string>& lines, Position start, Position end) {
  std::string text;
  for (int32_t l = start.line; l <= end.line; ++l) {
    const std::string line = textOf(lines[l]);
    const size_t from = l == start.line ? start.byte : 0;
    const size_t to = l == end.line ? end.byte : line.size();
    text += line.substr(from, to - from);
    if (l < end.line) text += "\r\n";
  }
  return text.substr(0, text.find('\0'));
}

// Clipboard text with every break made with the given terminator, as paste puts it in.
std::string withBreaks(const std::string& text, const char* ending) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\r\n") == 0) {
      out += ending;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The document's bytes up to a position.
size_t offsetOf(const std::vector<std::string>& lines, Position p) {
  size_t offset = 0;
  for (int32_t l = 0; l < p.line; ++l) offset += lines[l].size();
  return offset + p.byte;
}

TEST(ClipboardRandom, CopyThenPasteReproducesTheSelectionWithTheDocumentsTerminators) {
  TestSession ts;
  std::mt19937 rng(20240611);
  int copied = 0;
  for (int round = 0; round < 600; ++round) {
    SessionEditor editor{ts};
    setDocument(editor, randomDocument(rng));
    editor.lineEnding = static_cast<int32_t>(rng() % 4);
    const std::vector<std::string> lines = documentLines(editor);
    const std::string original = documentBytes(editor);
    auto pick = [&]() {
      Position p{static_cast<int32_t>(rng() % lines.size()), 0};
      p.byte = rng() % (textOf(lines[p.line]).size() + 1);
      return p;
    };
    const Position mark = pick();
    const Position cursor = pick();
    ASSERT_EQ(editor.goToPosition(cursor.line, columnOf(textOf(lines[cursor.line]), cursor.byte)),
              1);
    editor.markLine = mark.line;
    editor.markColumn = columnOf(textOf(lines[mark.line]), mark.byte);
    ts.clipboard.text.reset();
    SCOPED_TRACE(testing::PrintToString(original) + " mark " + std::to_string(mark.line) + ":" +
                 std::to_string(mark.byte) + " cursor " + std::to_string(cursor.line) + ":" +
                 std::to_string(cursor.byte));

    const int result = editor.copy();
    if (mark == cursor) {
      EXPECT_EQ(result, 0);
      EXPECT_FALSE(ts.clipboard.text.has_value());
      continue;
    }
    ASSERT_EQ(result, 1);
    ++copied;
    const Position start = mark < cursor ? mark : cursor;
    const Position end = mark < cursor ? cursor : mark;
    const std::string expected = clipboardText(lines, start, end);
    EXPECT_EQ(*ts.clipboard.text, expected);

    // Copying moved nothing but the cursor, to the selection's end.
    EXPECT_EQ(documentLines(editor), lines);
    EXPECT_EQ(brokenInvariant(editor), "");
    EXPECT_EQ(editor.cursorLine, end.line);
    EXPECT_EQ(editor.cursorColumn, columnOf(textOf(lines[end.line]), end.byte));
    EXPECT_EQ(editor.markLine, start.line);
    EXPECT_EQ(editor.markColumn, columnOf(textOf(lines[start.line]), start.byte));

    // Pasting at the selection's end puts the same text in again, each break made with the
    // document's own terminator.
    const std::string own = withBreaks(expected, LineEndings[editor.lineEnding].bytes);
    const size_t at = offsetOf(lines, end);
    EXPECT_EQ(editor.paste(), 1);
    EXPECT_EQ(documentBytes(editor), original.substr(0, at) + own + original.substr(at));
    EXPECT_EQ(brokenInvariant(editor), "");
  }
  EXPECT_GT(copied, 400);
}

TEST(ClipboardRandom, CutThenPastePutsTheSelectionBackWithTheDocumentsTerminators) {
  TestSession ts;
  std::mt19937 rng(20240612);
  for (int round = 0; round < 600; ++round) {
    SessionEditor editor{ts};
    setDocument(editor, randomDocument(rng));
    editor.lineEnding = static_cast<int32_t>(rng() % 4);
    const std::vector<std::string> lines = documentLines(editor);
    const std::string original = documentBytes(editor);
    auto pick = [&]() {
      Position p{static_cast<int32_t>(rng() % lines.size()), 0};
      p.byte = rng() % (textOf(lines[p.line]).size() + 1);
      return p;
    };
    const Position mark = pick();
    const Position cursor = pick();
    if (mark == cursor) continue;
    ASSERT_EQ(editor.goToPosition(cursor.line, columnOf(textOf(lines[cursor.line]), cursor.byte)),
              1);
    editor.markLine = mark.line;
    editor.markColumn = columnOf(textOf(lines[mark.line]), mark.byte);
    SCOPED_TRACE(testing::PrintToString(original));

    const Position start = mark < cursor ? mark : cursor;
    const Position end = mark < cursor ? cursor : mark;
    const size_t from = offsetOf(lines, start);
    const size_t to = offsetOf(lines, end);
    const std::string selected = original.substr(from, to - from);
    if (selected.find('\0') != std::string::npos) {
      EXPECT_EQ(editor.cut(), 0);  // what would not fit on the clipboard stays
      EXPECT_EQ(documentBytes(editor), original);
      continue;
    }
    ASSERT_EQ(editor.cut(), 1);
    EXPECT_EQ(documentBytes(editor), original.substr(0, from) + original.substr(to));
    EXPECT_EQ(editor.cursorLine, start.line);
    EXPECT_EQ(brokenInvariant(editor), "");
    EXPECT_EQ(editor.paste(), 1);
    EXPECT_EQ(documentBytes(editor), original.substr(0, from) +
                                         withBreaks(clipboardText(lines, start, end),
                                                    LineEndings[editor.lineEnding].bytes) +
                                         original.substr(to));
    EXPECT_EQ(brokenInvariant(editor), "");
  }
}

// Selections made with the keys, every Shift move among them, in a document whose line breaks
// are all the document's own: cutting and pasting back at once gives back every byte, and
// undoing and redoing pass exactly the states the keys made. In UTF-8 mode the pieces are
// characters that no line break can join to the one before it (a cut that joins two lines
// may make one character of the bytes on either side, and the cursor then stands at its
// start).
TEST(ClipboardRandom, CutAndPasteBackWithTheKeysIsExactAndUndoesExactly) {
  static const char* const kPieces[] = {"a",    "b",    " ",        "\t",           ".",
                                        "\x01", "\xff", "\xc3\xa9", "\xe6\x97\xa5", "e\xcc\x81"};
  static const char* const kEndings[] = {"\n", "\r\n", "\r", "\n\r"};
  static const char* const kMoves[] = {"Left", "Right", "Up", "Down", "C-Right", "End", "PgDn"};
  static const char* const kSelect[] = {"S-Left", "S-Right", "S-C-Left", "S-C-Right",
                                        "S-Home", "S-End",   "S-Up",     "S-Down",
                                        "S-PgUp", "S-PgDn",  "S-C-PgUp", "S-C-PgDn"};
  const unsigned seed = testSeed();
  std::mt19937 rng(seed);
  for (int round = 0; round < 400; ++round) {
    TestSession ts(40, 8);
    SessionEditor editor{ts};
#ifndef _WIN32
    const bool utf8 = rng() % 2 == 0;
    if (utf8) editor.setTextUnit(TextUnit::Character);
#else
    const bool utf8 = false;
#endif
    const int ending = static_cast<int>(rng() % 4);
    std::string text;
    for (int lines = 1 + static_cast<int>(rng() % 16), l = 0; l < lines; ++l) {
      for (int n = static_cast<int>(rng() % 8); n > 0; --n)
        text += kPieces[rng() % (utf8 ? std::size(kPieces) : 7)];
      if (l + 1 < lines || rng() % 2) text += kEndings[ending];
    }
    loadExactDocument(editor, text);
    editor.lineEnding = ending;
    std::string script;
    auto press = [&](const char* name) {
      script += std::string(" ") + name;
      scenario::Key key{};
      std::string error;
      ASSERT_TRUE(scenario::parseKey(name, key, error)) << name;
      ts.session.keyboard.keyDown(editor, key.virtualKeyCode, key.ch, key.controlKeyState);
    };
    for (int n = static_cast<int>(rng() % 6); n > 0; --n) press(kMoves[rng() % std::size(kMoves)]);
    for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n)
      press(kSelect[rng() % std::size(kSelect)]);
    const bool selected = editor.selectionActive;
    const bool withShift = rng() % 2 == 0;
    press(withShift ? "S-Del" : "C-x");
    const std::string cut = documentBytes(editor);
    press(withShift ? "S-Ins" : "C-v");
    const std::string pasted = documentBytes(editor);
    const std::string context = "SLATE_SEED=" + std::to_string(seed) + " round " +
                                std::to_string(round) + (utf8 ? " utf8 " : " ") +
                                scenario::quote(text) + script;
    ASSERT_EQ(brokenInvariant(editor), "") << context;
    if (!selected) continue;  // the clipboard had no text: nothing was cut or pasted
    ASSERT_EQ(pasted, text) << context;
    press("F9");
    ASSERT_EQ(documentBytes(editor), cut) << context;
    press("F9");
    ASSERT_EQ(documentBytes(editor), text) << context;
    ASSERT_EQ(editor.modified, 0) << context;
    press("S-F9");
    ASSERT_EQ(documentBytes(editor), cut) << context;
    press("S-F9");
    ASSERT_EQ(documentBytes(editor), text) << context;
    ASSERT_EQ(brokenInvariant(editor), "") << context;
  }
}

}  // namespace
