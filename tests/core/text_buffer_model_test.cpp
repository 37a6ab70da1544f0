// Random sequences of buffer operations checked against a plain list of lines.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>

#include "core/editor.h"
#include "support/document.h"
#include "support/test_seed.h"

namespace {

struct Model {
  std::vector<std::string> text{""};  // each line's bytes without terminator
  std::vector<std::string> ending{""};
  int line = 0;
  size_t offset = 0;  // bytes before the cursor
  int lineEnding = 0;

  int columnOf(const std::string& s, size_t n) const {
    int col = 0;
    for (size_t i = 0; i < n; ++i) col = s[i] == '\t' ? (col + 8) / 8 * 8 : col + 1;
    return col;
  }
  int column() const { return columnOf(text[line], offset); }
  void place(int target, int goal) {
    line = target;
    offset = 0;
    int col = 0;
    while (col < goal && offset < text[line].size())
      col = text[line][offset++] == '\t' ? (col + 8) / 8 * 8 : col + 1;
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> all;
    for (size_t i = 0; i < text.size(); ++i) all.push_back(text[i] + ending[i]);
    return all;
  }
  void split(bool indent) {
    std::string head = text[line].substr(0, offset);
    std::string tail = text[line].substr(offset);
    size_t blanks = 0;
    while (indent && blanks < head.size() && (head[blanks] == ' ' || head[blanks] == '\t'))
      ++blanks;
    std::string lead = head.substr(0, blanks);
    if (indent && blanks == head.size()) head.clear();
    std::string oldEnding = ending[line];
    text[line] = head;
    ending[line] = LineEndings[lineEnding].bytes;
    text.insert(text.begin() + line + 1, lead + tail);
    ending.insert(ending.begin() + line + 1, oldEnding);
    ++line;
    offset = lead.size();
  }
};

TEST(TextBufferModel, RandomOperationsMatchPlainLines) {
  const unsigned seed = testSeed();
  const char* stepsText = std::getenv("SLATE_MODEL_STEPS");
  const int steps = stepsText ? std::atoi(stepsText) : 20000;
  std::mt19937 random(seed);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const std::string bytes = std::string("ab \t\x01\x1b\x80\xff") + std::string(1, '\0') + "\n\r";

  Editor editor;
  Model model;
  for (int step = 0; step < steps; ++step) {
    std::string what;
    switch (pick(8)) {
      case 0:
      case 1: {
        uint8_t b = static_cast<uint8_t>(bytes[pick(static_cast<int>(bytes.size()))]);
        what = "insertByte " + std::to_string(b);
        editor.insertByte(b);
        model.text[model.line].insert(model.offset++, 1, static_cast<char>(b));
        break;
      }
      case 2: {
        bool indent = pick(2);
        editor.lineEnding = model.lineEnding = pick(4);
        what = "splitLine " + std::to_string(indent);
        editor.splitLine(indent);
        model.split(indent);
        break;
      }
      case 3: {
        int line = pick(static_cast<int>(model.text.size()) + 4) - 2;
        int column = pick(5) == 0 ? INT_MAX : pick(40);
        what = "goToPosition " + std::to_string(line) + " " + std::to_string(column);
        int done = editor.goToPosition(line, column);
        bool inside = line >= 0 && line < static_cast<int>(model.text.size());
        ASSERT_EQ(done, inside ? 1 : 0) << what << " seed " << seed;
        if (inside) model.place(line, column);
        break;
      }
      case 4: {
        int goal = pick(40);
        what = "pack and unpack at " + std::to_string(goal);
        TextLine line = editor.packCursorLine();
        editor.unpackLine(line, goal);
        model.place(model.line, goal);
        break;
      }
      case 5: {
        int goal = editor.cursorColumn;
        what = "transferDown";
        int done = editor.transferDown(goal);
        bool below = model.line + 1 < static_cast<int>(model.text.size());
        ASSERT_EQ(done, below ? 1 : 0) << what << " seed " << seed;
        if (below) model.place(model.line + 1, goal);
        break;
      }
      case 6: {
        int goal = editor.cursorColumn;
        what = "transferUp";
        int done = editor.transferUp(goal);
        ASSERT_EQ(done, model.line > 0 ? 1 : 0) << what << " seed " << seed;
        if (model.line > 0) model.place(model.line - 1, goal);
        break;
      }
      case 7: {
        what = "packCursorLine then unpackLine";
        int goal = pick(30);
        editor.unpackLine(editor.packCursorLine(), goal);
        model.place(model.line, goal);
        break;
      }
    }
    ASSERT_EQ(brokenInvariant(editor), "")
        << "after " << what << " at step " << step << ", seed " << seed;
    ASSERT_EQ(documentLines(editor), model.lines()) << "after " << what << ", seed " << seed;
    ASSERT_EQ(editor.cursorLine, model.line) << what << ", seed " << seed;
    ASSERT_EQ(editor.cursorColumn, model.column()) << what << ", seed " << seed;
    ASSERT_EQ(editor.lineCount, static_cast<int>(model.text.size())) << what << ", seed " << seed;
    if (model.text.size() > 60) {  // keep documents small enough to check every step
      editor.freeBuffer();
      editor.initBuffer();
      editor.lineCount = 1;
      model = Model();
    }
  }
}

}  // namespace
