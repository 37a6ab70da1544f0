// Random key presses through the keyboard, checked after every key against a plain model of
// the document: a list of lines with their terminators, the cursor as a line and a byte
// offset, the mark as a position.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "core/editor.h"
#include "edit/exact_document.h"
#include "scenarios/scenario.h"
#include "support/document.h"
#include "support/test_seed.h"
#include "support/test_session.h"

namespace {

enum class Op {
  NewLine,
  InsertTab,
  Left,
  Right,
  LineStart,
  LineEnd,
  WordLeft,
  WordRight,
  Backspace,
  DeleteForward,
  DeleteToLineStart,
  DeleteToLineEnd,
  DeleteWordLeft,
  DeleteWordRight,
  Up,
  Down,
  PageUp,
  PageDown,
  DocumentStart,
  DocumentEnd,
  Transpose,
  DeleteLine,
  ToggleAutoIndent,
  Insert,   // an unbound key with a character
  Nothing,  // an unbound key without one
};

// A key the test presses, with what the model does for it.
struct ModelKey {
  std::string name;  // as a scenario script writes it
  scenario::Key key;
  Op op;
  bool shift;
};

bool isWordByte(char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  return std::isalnum(b) || b >= 0x80;
}

struct Model {
  std::vector<std::string> text{""};
  std::vector<std::string> ending{""};
  int line = 0;
  size_t offset = 0;
  int markLine = 0;
  int markColumn = 0;
  int lineEnding = 0;
  int autoIndent = 1;
  int modified = 0;
  int topLine = 0;
  int rows = 24;

  int last() const { return static_cast<int>(text.size()) - 1; }
  static int columnOf(const std::string& s, size_t n) {
    int col = 0;
    for (size_t i = 0; i < n; ++i) col = s[i] == '\t' ? (col + 8) / 8 * 8 : col + 1;
    return col;
  }
  int column() const { return columnOf(text[line], offset); }
  // Where unpacking a line at a goal column puts the cursor.
  size_t offsetAtGoal(int l, int goal) const {
    size_t o = 0;
    int col = 0;
    while (col < goal && o < text[l].size())
      col = text[l][o++] == '\t' ? (col + 8) / 8 * 8 : col + 1;
    return o;
  }
  void eraseBefore(size_t from) {
    text[line].erase(from, offset - from);
    offset = from;
  }
  void joinBelow(int l) {
    text[l] += text[l + 1];
    ending[l] = ending[l + 1];
    text.erase(text.begin() + l + 1);
    ending.erase(ending.begin() + l + 1);
  }
  bool up() {
    if (line == 0) return false;
    const int goal = column();
    offset = offsetAtGoal(--line, goal);
    return true;
  }
  bool down() {
    if (line == last()) return false;
    const int goal = column();
    offset = offsetAtGoal(++line, goal);
    return true;
  }
  void split() {
    std::string head = text[line].substr(0, offset);
    std::string tail = text[line].substr(offset);
    size_t blanks = 0;
    while (autoIndent && blanks < head.size() && (head[blanks] == ' ' || head[blanks] == '\t'))
      ++blanks;
    const std::string lead = head.substr(0, blanks);
    if (autoIndent && blanks == head.size()) head.clear();
    const std::string oldEnding = ending[line];
    text[line] = head;
    ending[line] = LineEndings[lineEnding].bytes;
    text.insert(text.begin() + line + 1, lead + tail);
    ending.insert(ending.begin() + line + 1, oldEnding);
    ++line;
    offset = lead.size();
  }
  bool deleteSelection() {
    const int col = column();
    if (markLine == line && markColumn == col) return false;
    int startLine, endLine;
    size_t startOffset, endOffset;
    if (line < markLine || (line == markLine && col < markColumn)) {
      if (markLine > last()) {  // the mark is outside the document: nothing to delete
        markLine = line;
        markColumn = col;
        return false;
      }
      startLine = line;
      startOffset = offset;
      endLine = markLine;
      endOffset = offsetAtGoal(markLine, markColumn);
    } else {
      startLine = markLine;
      endLine = line;
      endOffset = offset;
      // Deleting back to the mark stops at the first boundary at or before its column.
      startOffset = startLine == endLine ? endOffset : text[startLine].size();
      while (startOffset > 0 && columnOf(text[startLine], startOffset) > markColumn) --startOffset;
    }
    if (startLine == endLine && startOffset >= endOffset) {
      line = startLine;
      offset = std::min(startOffset, endOffset);
      return false;
    }
    text[startLine] = text[startLine].substr(0, startOffset) + text[endLine].substr(endOffset);
    ending[startLine] = ending[endLine];
    text.erase(text.begin() + startLine + 1, text.begin() + endLine + 1);
    ending.erase(ending.begin() + startLine + 1, ending.begin() + endLine + 1);
    line = startLine;
    offset = startOffset;
    return true;
  }

  // Runs one key; true when the text changed.
  bool apply(Op op, uint8_t ch) {
    std::string& t = text[line];
    switch (op) {
      case Op::Insert:
        t.insert(offset++, 1, static_cast<char>(ch));
        return true;
      case Op::InsertTab:
        t.insert(offset++, 1, '\t');
        return true;
      case Op::NewLine:
        split();
        return true;
      case Op::Left:
        if (offset > 0) --offset;
        return false;
      case Op::Right:
        if (offset < t.size()) ++offset;
        return false;
      case Op::LineStart:
        offset = 0;
        return false;
      case Op::LineEnd:
        offset = t.size();
        return false;
      case Op::WordLeft:
        while (offset > 0 && !isWordByte(t[offset - 1])) --offset;
        while (offset > 0 && isWordByte(t[offset - 1])) --offset;
        return false;
      case Op::WordRight:
        while (offset < t.size() && isWordByte(t[offset])) ++offset;
        while (offset < t.size() && !isWordByte(t[offset])) ++offset;
        return false;
      case Op::Up:
        up();
        return false;
      case Op::Down:
        down();
        return false;
      case Op::PageUp: {
        int moved = 0;
        while (moved < rows - 1 && up()) ++moved;
        topLine = std::max(topLine - moved, 0);
        return false;
      }
      case Op::PageDown: {
        int moved = 0;
        while (moved < rows - 1 && down()) ++moved;
        topLine = std::min(topLine + moved, last() + 1);
        return false;
      }
      case Op::DocumentStart:
        line = 0;
        offset = 0;
        return false;
      case Op::DocumentEnd:
        line = last();
        offset = text[line].size();
        return false;
      case Op::Backspace:
        if (offset > 0) {
          eraseBefore(offset - 1);
          return true;
        }
        if (line == 0) return false;
        --line;
        offset = text[line].size();
        joinBelow(line);
        return true;
      case Op::DeleteForward:
        if (markLine != line || markColumn != column()) return deleteSelection();
        if (offset < t.size()) {
          t.erase(offset, 1);
          return true;
        }
        if (line == last()) return false;
        joinBelow(line);
        return true;
      case Op::DeleteToLineStart: {
        const bool any = offset > 0;
        eraseBefore(0);
        return any;
      }
      case Op::DeleteToLineEnd: {
        const bool any = offset < t.size();
        t.erase(offset);
        return any;
      }
      case Op::DeleteWordLeft: {
        size_t from = offset;
        while (from > 0 && !isWordByte(t[from - 1])) --from;
        while (from > 0 && isWordByte(t[from - 1])) --from;
        const bool any = from < offset;
        eraseBefore(from);
        return any;
      }
      case Op::DeleteWordRight: {
        size_t to = offset;
        while (to < t.size() && isWordByte(t[to])) ++to;
        while (to < t.size() && !isWordByte(t[to])) ++to;
        t.erase(offset, to - offset);
        return to > offset;
      }
      case Op::Transpose: {
        if (offset == 0) return false;
        size_t at = offset == t.size() ? offset - 1 : offset;
        if (at == 0) return false;  // one byte, cursor after it
        std::swap(t[at - 1], t[at]);
        return true;
      }
      case Op::DeleteLine: {
        if (line == last() && t.empty()) return false;
        if (line == last()) {
          t.clear();
          offset = 0;
          return true;
        }
        const int goal = column();
        text.erase(text.begin() + line);
        ending.erase(ending.begin() + line);
        offset = offsetAtGoal(line, goal);
        return true;
      }
      case Op::ToggleAutoIndent:
        autoIndent = !autoIndent;
        return false;
      case Op::Nothing:
        return false;
    }
    return false;
  }

  std::vector<std::string> lines() const {
    std::vector<std::string> all;
    for (size_t i = 0; i < text.size(); ++i) all.push_back(text[i] + ending[i]);
    return all;
  }
};

std::vector<ModelKey> makeKeys(std::vector<ModelKey>& typed, std::vector<ModelKey>& inert) {
  const std::pair<const char*, Op> bound[] = {
      {"Enter", Op::NewLine},
      {"Tab", Op::InsertTab},
      {"Left", Op::Left},
      {"Right", Op::Right},
      {"Home", Op::LineStart},
      {"End", Op::LineEnd},
      {"C-Left", Op::WordLeft},
      {"C-Right", Op::WordRight},
      {"BS", Op::Backspace},
      {"Del", Op::DeleteForward},
      {"C-BS", Op::DeleteToLineStart},
      {"C-Del", Op::DeleteToLineEnd},
      {"M-BS", Op::DeleteWordLeft},
      {"M-Del", Op::DeleteWordRight},
      {"Up", Op::Up},
      {"Down", Op::Down},
      {"PgUp", Op::PageUp},
      {"PgDn", Op::PageDown},
      {"C-PgUp", Op::DocumentStart},
      {"C-PgDn", Op::DocumentEnd},
      {"C-e", Op::LineEnd},
      {"C-a", Op::LineStart},
      {"C-p", Op::Up},
      {"C-n", Op::Down},
      {"C-f", Op::Right},
      {"C-b", Op::Left},
      {"C-t", Op::Transpose},
      {"C-k", Op::DeleteLine},
      {"C-y", Op::DeleteLine},
      {"M-i", Op::ToggleAutoIndent},
  };
  auto keyOf = [](const std::string& name, Op op, bool shift) {
    ModelKey k{name, {}, op, shift};
    std::string error;
    if (!scenario::parseKey(name, k.key, error)) ADD_FAILURE() << error;
    return k;
  };
  std::vector<ModelKey> keys;
  for (const auto& [name, op] : bound) {
    keys.push_back(keyOf(name, op, false));
    // Shift+Del is cut, not built here; every other binding answers with Shift too.
    if (std::string(name) != "Del") keys.push_back(keyOf(std::string("S-") + name, op, true));
  }
  for (const char* name :
       {"a",       "z",     "S-q",   "7",     "Space", ".",     "M-z",   "Esc",   "C-m",   "C-g",
        "C-Enter", "C-S-g", "\\x01", "\\x09", "\\x0a", "\\x0d", "\\x5f", "\\x80", "\\xe9", "\\xff"})
    typed.push_back(keyOf(name, Op::Insert, false));
  for (const char* name : {"F6", "S-F6", "C-F1", "F11", "M-Left", "M-Up", "M-PgDn", "Ins", "\\x00"})
    inert.push_back(keyOf(name, Op::Nothing, false));
  return keys;
}

std::string randomDocument(std::mt19937& random) {
  static const char kBytes[] = "ab z\t.\x01_\x80\xff";
  static const char* const kEndings[] = {"\n", "\r\n", "\r", "\n\r"};
  std::string doc;
  const int lines = static_cast<int>(random() % 9);
  for (int i = 0; i < lines; ++i) {
    const int length = static_cast<int>(random() % 14);
    for (int j = 0; j < length; ++j) doc.push_back(kBytes[random() % (sizeof kBytes - 1)]);
    doc += kEndings[random() % 4];
  }
  const int tail = static_cast<int>(random() % 4);
  for (int j = 0; j < tail; ++j) doc.push_back(kBytes[random() % (sizeof kBytes - 1)]);
  return doc;
}

TEST(CommandModel, RandomKeysMatchPlainModel) {
  const unsigned seed = testSeed();
  const char* stepsText = std::getenv("SLATE_MODEL_STEPS");
  const int totalKeys = stepsText ? std::atoi(stepsText) : 20000;
  constexpr int kKeysPerRound = 400;
  std::mt19937 random(seed);
  auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };

  std::vector<ModelKey> typed, inert;
  const std::vector<ModelKey> bound = makeKeys(typed, inert);
  const int heights[] = {2, 3, 4, 6, 25};

  for (int done = 0, round = 0; done < totalKeys; done += kKeysPerRound, ++round) {
    const int height = heights[pick(5)];
    TestSession session(40, height);
    Keyboard& keyboard = session.session.keyboard;
    SessionEditor editor{session};
    const std::string start = randomDocument(random);
    loadExactDocument(editor, start);
    Model model;
    const std::vector<SplitLine> split = splitDocument(start);
    model.text.clear();
    model.ending.clear();
    for (const SplitLine& l : split) {
      model.text.push_back(l.text);
      model.ending.push_back(l.ending);
    }
    model.lineEnding = editor.lineEnding;
    model.rows = session.session.screen.rows;

    std::string script;
    for (int step = 0; step < kKeysPerRound; ++step) {
      const size_t kind = pick(20);
      const ModelKey& k = kind < 13   ? bound[pick(bound.size())]
                          : kind < 19 ? typed[pick(typed.size())]
                                      : inert[pick(inert.size())];
      script += " " + k.name;

      const bool changed = model.apply(k.op, k.key.ch);
      if (k.op != Op::Nothing) {
        if (changed) model.modified = 1;
        if (!k.shift) {
          model.markLine = model.line;
          model.markColumn = model.column();
        }
      }
      keyboard.keyDown(editor, k.key.virtualKeyCode, k.key.ch, k.key.controlKeyState);
      // Now and then the screen catches up, moving the view as the user would see it.
      if (step % 37 == 36) {
        editor.redraw();
        model.topLine = editor.topLine;
      }

      const std::string context = "SLATE_SEED=" + std::to_string(seed) + " round " +
                                  std::to_string(round) + ", as a scenario:\nscreen 40x" +
                                  std::to_string(height) + "\ndoc " + scenario::quote(start) +
                                  "\nkeys" + script;
      const std::string broken = brokenInvariant(editor);
      ASSERT_EQ(broken, "") << context;
      ASSERT_EQ(documentLines(editor), model.lines()) << context;
      ASSERT_EQ(editor.lineCount, static_cast<int>(model.text.size())) << context;
      ASSERT_EQ(editor.cursorLine, model.line) << context;
      ASSERT_EQ(editor.cursorColumn, model.column()) << context;
      ASSERT_EQ(editor.markLine, model.markLine) << context;
      ASSERT_EQ(editor.markColumn, model.markColumn) << context;
      ASSERT_EQ(editor.selectionActive,
                model.markLine != model.line || model.markColumn != model.column())
          << context;
      ASSERT_EQ(editor.modified, model.modified) << context;
      ASSERT_EQ(editor.autoIndent, model.autoIndent) << context;
      ASSERT_EQ(editor.topLine, model.topLine) << context;
      ASSERT_EQ(editor.changed, 0) << context;
    }
  }
}

}  // namespace
