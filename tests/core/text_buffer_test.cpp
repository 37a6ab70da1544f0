#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "core/editor.h"
#include "support/document.h"

namespace {

TEST(TextBuffer, NewBufferIsOneEmptyLine) {
  Editor editor;
  EXPECT_EQ(editor.lineCount, 1);
  EXPECT_EQ(editor.cursorLine, 0);
  EXPECT_EQ(editor.cursorColumn, 0);
  EXPECT_TRUE(editor.charsBefore.empty() && editor.charsAfter.empty());
  EXPECT_TRUE(editor.linesAbove.empty() && editor.linesBelow.empty());
  EXPECT_EQ(editor.fileName[0], '\0');
  EXPECT_EQ(editor.autosaveName, nullptr);
  EXPECT_EQ(brokenInvariant(editor), "");
}

TEST(TextBuffer, PackingGivesLengthAndSize) {
  Editor editor;
  TextLine empty = editor.packCursorLine();
  EXPECT_EQ(empty.length, 0);
  EXPECT_EQ(empty.size(), 0);
  editor.unpackLine(empty, 0);

  setDocument(editor, std::string("ab\tc\r\nnext"));
  for (int32_t goal : {0, 1, 3, 8, 9, INT_MAX}) {
    editor.goToPosition(0, goal);
    TextLine line = editor.packCursorLine();
    EXPECT_EQ(line.length, 4) << goal;
    EXPECT_EQ(line.size(), 6) << goal;
    EXPECT_EQ(std::string(line.text, 6), "ab\tc\r\n");
    editor.unpackLine(line, goal);
  }
}

TEST(TextBuffer, UnpackLandsAtFirstBoundaryAtOrPastGoal) {
  Editor editor;
  setDocument(editor, "\tab\nx");
  editor.goToPosition(0, 3);
  EXPECT_EQ(editor.cursorColumn, 8);
  ASSERT_EQ(editor.charsBefore.count(), 1u);
  EXPECT_EQ(editor.charsBefore.top().span, 8);
  editor.goToPosition(0, 0);
  EXPECT_TRUE(editor.charsBefore.empty());
  EXPECT_EQ(editor.charsAfter.count(), 4u);
  editor.goToPosition(0, 100);
  EXPECT_EQ(editor.cursorColumn, 10);
  EXPECT_EQ(editor.charsAfter.top().span, SPAN_LINE_END);
}

TEST(TextBuffer, TabSpanDependsOnColumn) {
  Editor editor;
  for (char c : std::string("abcde")) editor.insertByte(static_cast<uint8_t>(c));
  editor.insertByte('\t');
  EXPECT_EQ(editor.charsBefore.top().span, 3);
  EXPECT_EQ(editor.cursorColumn, 8);
  editor.insertByte('\t');
  EXPECT_EQ(editor.charsBefore.top().span, 8);
  EXPECT_EQ(editor.cursorColumn, 16);
}

TEST(TextBuffer, GoToPositionRefusesLinesOutsideTheDocument) {
  Editor editor;
  setDocument(editor, "one\ntwo\nthree");
  editor.goToPosition(1, 2);
  std::string before = documentBytes(editor);
  EXPECT_EQ(editor.goToPosition(editor.lineCount, 0), 0);
  EXPECT_EQ(editor.goToPosition(-1, 0), 0);
  EXPECT_EQ(editor.cursorLine, 1);
  EXPECT_EQ(editor.cursorColumn, 2);
  EXPECT_EQ(documentBytes(editor), before);
  EXPECT_EQ(editor.goToPosition(1, 0), 1);
  EXPECT_EQ(editor.cursorColumn, 0);
  EXPECT_EQ(editor.goToPosition(editor.lineCount - 1, INT_MAX), 1);
  EXPECT_EQ(editor.cursorLine, 3);  // the empty line after "three\n"
  EXPECT_EQ(editor.goToPosition(2, INT_MAX), 1);
  EXPECT_EQ(editor.cursorColumn, 5);
  EXPECT_EQ(documentBytes(editor), "one\ntwo\nthree\n");
  Editor fresh;
  EXPECT_EQ(fresh.goToPosition(0, INT_MAX), 1);
  EXPECT_EQ(fresh.goToPosition(0, 0), 1);
}

TEST(TextBuffer, SplitAtEndOfLastLineAddsEmptyLastLine) {
  Editor editor;
  editor.insertByte('x');
  editor.splitLine(false);
  EXPECT_EQ(documentLines(editor), (std::vector<std::string>{"x\n", ""}));
  EXPECT_EQ(editor.lineCount, 2);
  EXPECT_EQ(editor.changed, 1);
  EXPECT_EQ(brokenInvariant(editor), "");
}

TEST(TextBuffer, SplitGivesUpperHalfTheDocumentTerminator) {
  Editor editor;
  setDocument(editor, "abcd\r\nz");
  editor.lineEnding = 0;
  editor.goToPosition(0, 2);
  editor.splitLine(false);
  EXPECT_EQ(documentLines(editor), (std::vector<std::string>{"ab\n", "cd\r\n", "z\n", ""}));
}

TEST(TextBuffer, SplitWithIndentCopiesLeadingBlanks) {
  Editor editor;
  setDocument(editor, "    foo");
  editor.goToPosition(0, 6);
  editor.splitLine(true);
  EXPECT_EQ(documentLines(editor)[0], "    fo\n");
  EXPECT_EQ(documentLines(editor)[1], "    o\n");
  EXPECT_EQ(editor.cursorColumn, 4);

  setDocument(editor, "    foo");
  editor.goToPosition(0, 2);
  editor.splitLine(true);
  EXPECT_EQ(documentLines(editor)[0], "\n");
  EXPECT_EQ(documentLines(editor)[1], "    foo\n");
  EXPECT_EQ(editor.cursorColumn, 2);
  EXPECT_EQ(brokenInvariant(editor), "");
}

TEST(TextBuffer, UnchangedLinePacksBackToItsOwnArray) {
  Editor editor;
  setDocument(editor, "alpha\nbeta\n");
  const char* beta = editor.linesBelow.top().text;
  editor.transferDown(2);
  editor.transferUp(2);
  EXPECT_EQ(editor.linesBelow.top().text, beta);
  editor.transferDown(2);
  editor.insertByte('!');
  editor.transferUp(0);
  EXPECT_EQ(std::string(editor.linesBelow.top().text, 6), "be!ta\n");
}

TEST(TextBuffer, AfterCommandFoldsChangeAndMovesMark) {
  Editor editor;
  editor.insertByte('a');
  editor.changed = 1;
  editor.textDirty = 0;
  editor.afterCommand(false);
  EXPECT_EQ(editor.modified, 1);
  EXPECT_EQ(editor.autosavePending, 1);
  EXPECT_EQ(editor.textDirty, 1);
  EXPECT_EQ(editor.changed, 0);
  EXPECT_EQ(editor.markColumn, 1);
  EXPECT_EQ(editor.selectionActive, 0);

  editor.insertByte('b');  // moved without a change, Shift held
  editor.textDirty = 0;
  editor.selectionDirty = 0;
  editor.afterCommand(true);
  EXPECT_EQ(editor.selectionActive, 1);
  EXPECT_EQ(editor.selectionDirty, 1);
  EXPECT_EQ(editor.textDirty, 0);
  EXPECT_EQ(editor.markColumn, 1);
  editor.selectionDirty = 0;
  editor.afterCommand(false);
  EXPECT_EQ(editor.selectionActive, 0);
  EXPECT_EQ(editor.selectionDirty, 1);
  EXPECT_EQ(editor.markColumn, 2);
}

}  // namespace

// Jumping across many lines hands the records over slice by slice: the stack they leave
// gives its memory back, so the records are never held twice, and the lines arrive intact.
TEST(TextBuffer, FarJumpsKeepLinesAndReleaseTheEmptiedStack) {
  std::string doc;
  for (int i = 0; i < 300'000; ++i) doc += "line " + std::to_string(i) + (i % 3 ? "\n" : "\r\n");
  Editor editor;
  setDocument(editor, doc);
  const std::vector<std::string> lines = documentLines(editor);

  ASSERT_TRUE(editor.goToPosition(editor.lineCount - 1, 0));
  EXPECT_LT(editor.linesBelow.capacity(), 1000u);
  EXPECT_EQ(brokenInvariant(editor), "");
  EXPECT_EQ(documentLines(editor), lines);

  ASSERT_TRUE(editor.goToPosition(1, 2));
  EXPECT_EQ(editor.linesAbove.count(), 1u);
  EXPECT_LT(editor.linesAbove.capacity(), 1000u);
  EXPECT_EQ(editor.cursorColumn, 2);
  EXPECT_EQ(brokenInvariant(editor), "");
  EXPECT_EQ(documentLines(editor), lines);
}

// moveLines against a plain model, for moves that take the slice path and for moves of
// nearly every record, which hand the source's block over: the records on each stack and
// their order must be the same either way.
TEST(TextBuffer, MoveLinesKeepsEveryRecordInOrder) {
  static char bytes[1];
  auto record = [](size_t id) { return TextLine{bytes, static_cast<int32_t>(id), 0, 0}; };
  auto ids = [](const Stack<TextLine>& stack) {
    std::vector<int32_t> out;
    for (size_t i = 0; i < stack.count(); ++i) out.push_back(stack.data()[i].length);
    return out;
  };
  const size_t total = 70'000;  // above the slice of 65,536 records
  for (size_t onTo : {size_t{0}, size_t{1}, size_t{16}, size_t{17}}) {
    for (size_t stay : {size_t{0}, size_t{1}, size_t{16}, size_t{17}, size_t{5000}}) {
      Stack<TextLine> from, to;
      std::vector<int32_t> fromModel, toModel;
      for (size_t i = 0; i < onTo; ++i) {
        to.push(record(1'000'000 + i));
        toModel.push_back(static_cast<int32_t>(1'000'000 + i));
      }
      for (size_t i = 0; i < total; ++i) {
        from.push(record(i));
        fromModel.push_back(static_cast<int32_t>(i));
      }
      const size_t n = total - stay;
      for (size_t i = 0; i < n; ++i) {
        toModel.push_back(fromModel.back());
        fromModel.pop_back();
      }
      moveLines(from, to, n);
      EXPECT_EQ(ids(from), fromModel) << onTo << " below, " << stay << " staying";
      EXPECT_EQ(ids(to), toModel) << onTo << " below, " << stay << " staying";
    }
  }
}
