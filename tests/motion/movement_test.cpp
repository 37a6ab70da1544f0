// Results of the movement commands that other commands rely on, and what paging does to the
// view when the screen has a single text row.
#include <gtest/gtest.h>

#include "core/editor.h"
#include "edit/exact_document.h"
#include "support/document.h"
#include "support/test_session.h"

namespace {

TEST(Movement, StepsReportWhetherTheyMoved) {
  TestSession session;
  SessionEditor editor{session};
  loadExactDocument(editor, "a\tb\r\nc");
  EXPECT_EQ(editor.moveLeft(), 0);
  EXPECT_EQ(editor.moveUp(), 0);
  EXPECT_EQ(editor.moveWordLeft(), 0);
  EXPECT_EQ(editor.moveWordRight(), 1);  // to b
  EXPECT_EQ(editor.cursorColumn, 8);
  EXPECT_EQ(editor.moveWordRight(), 0);  // to the end of the text, not into the terminator
  EXPECT_EQ(editor.cursorColumn, 9);
  EXPECT_EQ(editor.moveRight(), 0);
  EXPECT_EQ(editor.moveDown(), 1);
  EXPECT_EQ(editor.cursorColumn, 1);
  EXPECT_EQ(editor.moveDown(), 0);
  EXPECT_EQ(editor.moveDocumentStart(), 1);
  EXPECT_EQ(editor.moveDocumentEnd(), 1);
  EXPECT_EQ(editor.cursorLine, 1);
  EXPECT_EQ(editor.changed, 0);
  EXPECT_EQ(brokenInvariant(editor), "");
}

TEST(Movement, PagingWithOneTextRowMovesNothingButRedraws) {
  TestSession session(20, 2);
  SessionEditor editor{session};
  loadExactDocument(editor, "0\n1\n2");
  ASSERT_TRUE(editor.goToPosition(1, 0));
  editor.topLine = 1;
  editor.textDirty = 0;
  EXPECT_EQ(editor.pageDown(), 1);
  EXPECT_EQ(editor.textDirty, 1);
  editor.textDirty = 0;
  EXPECT_EQ(editor.pageUp(), 1);
  EXPECT_EQ(editor.textDirty, 1);
  EXPECT_EQ(editor.cursorLine, 1);
  EXPECT_EQ(editor.topLine, 1);
}

TEST(Movement, PageDownMovesViewByLinesMovedUpToLineCount) {
  TestSession session(20, 6);
  SessionEditor editor{session};
  loadExactDocument(editor, "0\n1\n2");
  editor.topLine = 2;  // as a redraw left it with the cursor on the last line
  ASSERT_TRUE(editor.goToPosition(1, 0));
  EXPECT_EQ(editor.pageDown(), 1);
  EXPECT_EQ(editor.cursorLine, 2);
  EXPECT_EQ(editor.topLine, 3);
}

}  // namespace
