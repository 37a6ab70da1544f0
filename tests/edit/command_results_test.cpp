// The int results of the typing and deletion commands that other commands build on, and the
// refusal of a selection whose mark has left the document.
#include <gtest/gtest.h>

#include <climits>

#include "core/editor.h"
#include "edit/exact_document.h"
#include "support/document.h"
#include "support/test_session.h"

namespace {

struct Fixture : testing::Test {
  TestSession session;
  SessionEditor editor{session};
  void load(const std::string& bytes, int line = 0, int column = 0) {
    loadExactDocument(editor, bytes);
    ASSERT_TRUE(editor.goToPosition(line, column));
    editor.markLine = editor.cursorLine;
    editor.markColumn = editor.cursorColumn;
  }
};

using DeletionResults = Fixture;

TEST_F(DeletionResults, ByteDeletionsReportWhetherTheyDeleted) {
  load("ab\r\ncd", 0, 0);
  EXPECT_EQ(editor.deleteCharBefore(), 0);
  EXPECT_EQ(editor.changed, 0);
  EXPECT_EQ(editor.deleteCharAt(), 1);
  EXPECT_EQ(editor.changed, 1);
  editor.changed = 0;
  editor.moveLineEnd();
  EXPECT_EQ(editor.deleteCharAt(), 0);  // the terminator is not a byte of the text
  EXPECT_EQ(editor.changed, 0);
  EXPECT_EQ(editor.deleteCharOrJoin(), 1);
  EXPECT_EQ(documentBytes(editor), "bcd");
  EXPECT_EQ(editor.deleteCharOrJoin(), 1);
  EXPECT_EQ(editor.deleteCharOrJoin(), 1);
  EXPECT_EQ(editor.deleteCharOrJoin(), 0);  // end of the last line
  EXPECT_EQ(editor.deleteCharBefore(), 1);
  EXPECT_EQ(documentBytes(editor), "");
  EXPECT_EQ(editor.backspace(), 0);
  EXPECT_EQ(brokenInvariant(editor), "");
}

TEST_F(DeletionResults, NothingToDeleteLeavesChangedClear) {
  load("x\n\n", 2, 0);
  EXPECT_EQ(editor.deleteForward(), 0);
  EXPECT_EQ(editor.deleteToLineEnd(), 0);
  EXPECT_EQ(editor.deleteToLineStart(), 0);
  EXPECT_EQ(editor.deleteWordRight(), 0);
  EXPECT_EQ(editor.deleteWordLeft(), 0);
  EXPECT_EQ(editor.deleteLine(), 0);  // an empty last line: the one above keeps its terminator
  EXPECT_EQ(editor.transposeChars(), 0);
  EXPECT_EQ(editor.changed, 0);
  EXPECT_EQ(documentBytes(editor), "x\n\n");
  EXPECT_EQ(editor.backspace(), 1);  // but Backspace joins it
  EXPECT_EQ(documentBytes(editor), "x\n");
}

TEST_F(DeletionResults, TransposeReportsExchange) {
  load("a\nbc", 0, 1);
  EXPECT_EQ(editor.transposeChars(), 0);  // one byte, cursor after it
  EXPECT_EQ(editor.cursorColumn, 1);
  ASSERT_TRUE(editor.goToPosition(1, 2));
  EXPECT_EQ(editor.transposeChars(), 1);
  EXPECT_EQ(documentBytes(editor), "a\ncb");
  EXPECT_EQ(editor.cursorColumn, 2);
}

TEST_F(DeletionResults, SelectionWithMarkBelowDocumentIsRefused) {
  load("one\ntwo", 1, 1);
  editor.markLine = 5;
  editor.markColumn = 0;
  EXPECT_EQ(editor.deleteSelection(), 0);
  EXPECT_EQ(editor.markLine, 1);
  EXPECT_EQ(editor.markColumn, 1);
  EXPECT_EQ(editor.cursorLine, 1);
  EXPECT_EQ(editor.cursorColumn, 1);
  EXPECT_EQ(editor.changed, 0);
  EXPECT_EQ(documentBytes(editor), "one\ntwo");
}

TEST_F(DeletionResults, SelectionLeavesCursorAndMarkAtItsStart) {
  load("0123\nabcd\nABCD", 2, 2);
  editor.markLine = 0;
  editor.markColumn = 1;
  EXPECT_EQ(editor.deleteSelection(), 1);
  EXPECT_EQ(documentBytes(editor), "0CD");
  EXPECT_EQ(editor.cursorLine, 0);
  EXPECT_EQ(editor.cursorColumn, 1);
  EXPECT_EQ(editor.markLine, 0);
  EXPECT_EQ(editor.markColumn, 1);
  EXPECT_EQ(editor.lineCount, 1);
  ASSERT_TRUE(editor.goToPosition(editor.lineCount - 1, INT_MAX));
  EXPECT_EQ(editor.cursorColumn, 3);
}

TEST_F(DeletionResults, SelectionToMarkPastLineEndDeletesToThatEnd) {
  load("abc\ndef", 0, 3);
  editor.markLine = 0;
  editor.markColumn = 40;                  // as a Shift+Ctrl+Del may leave it
  EXPECT_EQ(editor.deleteSelection(), 0);  // the cursor already stands at that end
  EXPECT_EQ(editor.changed, 0);
  ASSERT_TRUE(editor.goToPosition(0, 1));
  editor.markColumn = 40;
  EXPECT_EQ(editor.deleteSelection(), 1);
  EXPECT_EQ(documentBytes(editor), "a\ndef");
  EXPECT_EQ(editor.cursorColumn, 1);
}

TEST_F(DeletionResults, SelectionWithMarkInsideTabTakesTheTab) {
  // A mark inside a tab's width (left there by an edit with Shift held) takes the whole tab,
  // from either side.
  load("\tx", 0, 9);
  editor.markLine = 0;
  editor.markColumn = 3;
  EXPECT_EQ(editor.deleteSelection(), 1);
  EXPECT_EQ(documentBytes(editor), "");
  load("\tx", 0, 0);
  editor.markLine = 0;
  editor.markColumn = 3;
  EXPECT_EQ(editor.deleteSelection(), 1);
  EXPECT_EQ(documentBytes(editor), "x");
}

TEST_F(DeletionResults, LongLinesDeleteInOnePiece) {
  const std::string big(1 << 18, 'w');
  load(big + " tail\nnext", 0, 1 << 17);
  EXPECT_EQ(editor.deleteToLineEnd(), 1);
  EXPECT_EQ(editor.deleteToLineStart(), 1);
  EXPECT_TRUE(documentBytes(editor) == "\nnext");
  load(big + "\n" + big, 1, 0);
  EXPECT_EQ(editor.backspace(), 1);
  EXPECT_EQ(editor.cursorColumn, 1 << 18);
  EXPECT_EQ(editor.deleteWordLeft(), 1);
  EXPECT_EQ(editor.cursorColumn, 0);
  EXPECT_TRUE(documentBytes(editor) == big);
  EXPECT_EQ(brokenInvariant(editor), "");
}

}  // namespace
