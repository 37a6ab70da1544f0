#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "core/editor.h"
#include "screen/status_line.h"
#include "support/document.h"
#include "support/test_session.h"

namespace {

std::string row(TestSession& t, int r) {
  return t.console.rowText(r);
}

TEST(Render, FreshDocumentShowsBlankRowsAndTheStatusLine) {
  TestSession t(40, 5);
  SessionEditor editor{t};
  editor.redraw();
  for (int r = 0; r < 4; ++r) EXPECT_EQ(row(t, r), std::string(40, ' '));
  EXPECT_EQ(row(t, 4), "<Sep 07 1996>  R 0  C 0  " + std::string(15, ' '));
  EXPECT_EQ(t.console.attributeAt(4, 0), StatusAttribute);
  EXPECT_EQ(t.console.cursor.x, 0);
  EXPECT_EQ(t.console.cursor.y, 0);
  EXPECT_EQ(editor.textDirty, 0);
  EXPECT_EQ(editor.selectionDirty, 0);
}

TEST(Render, StatusLineText) {
  EXPECT_STREQ(statusLineText(1, 12, 5, "a.txt").get(), "<Sep 07 1996>* R 12  C 5  a.txt");
  EXPECT_STREQ(statusLineText(0, INT_MAX, INT_MAX, "").get(),
               "<Sep 07 1996>  R 2147483647  C 2147483647  ");
  EXPECT_STREQ(statusLineText(0, 9, 0, "b", RowKind::Estimated, 12345678901).get(),
               "<Sep 07 1996>  R ~12345678901  C 0  b");
  EXPECT_STREQ(statusLineText(0, 9, 0, "b", RowKind::Estimated, -1).get(),
               "<Sep 07 1996>  R ?  C 0  b");
}

TEST(Render, TabsControlBytesAndTerminators) {
  TestSession t(24, 6);
  SessionEditor editor{t};
  setDocument(editor, std::string("ab\tc\r\n1234567\tx\r\n12345678\ty\n\x01\x1b\xff\n"));
  editor.goToPosition(1, 3);  // the cursor line is drawn from its cells
  editor.redraw();
  EXPECT_EQ(row(t, 0), "ab      c" + std::string(15, ' '));
  EXPECT_EQ(row(t, 1), "1234567 x" + std::string(15, ' '));
  EXPECT_EQ(row(t, 2), "12345678        y" + std::string(7, ' '));
  EXPECT_EQ(row(t, 3), std::string("\x01\x1b\xff") + std::string(21, ' '));
  EXPECT_EQ(row(t, 4), std::string(24, ' '));
  editor.goToPosition(2, 100);
  editor.textDirty = 1;
  editor.redraw();
  EXPECT_EQ(row(t, 2), "12345678        y" + std::string(7, ' '));
  EXPECT_EQ(t.console.cursor.x, 17);
}

TEST(Render, TabStraddlingTheLeftEdgeShowsItsRemainingBlanks) {
  TestSession t(10, 4);
  SessionEditor editor{t};
  setDocument(editor, std::string("abc\tdefghijklmnop\nabc\tdefghijklmnop"));
  editor.goToPosition(1, INT_MAX);  // column 20: the view scrolls to leftColumn 12
  editor.redraw();
  EXPECT_EQ(editor.leftColumn, 12);
  EXPECT_EQ(row(t, 0), "hijklmnop ");
  editor.leftColumn = 5;
  editor.goToPosition(1, 12);
  editor.textDirty = 1;
  editor.redraw();
  EXPECT_EQ(editor.leftColumn, 5);
  EXPECT_EQ(row(t, 0), "   defghij");
  EXPECT_EQ(row(t, 1), "   defghij");
}

TEST(Render, ScrollsJustEnoughToShowTheCursor) {
  TestSession t(10, 4);  // 3 text rows
  SessionEditor editor{t};
  std::string text;
  for (int i = 0; i < 10; ++i) text += "line" + std::to_string(i) + "\n";
  setDocument(editor, text);
  editor.redraw();
  editor.goToPosition(3, 0);
  editor.redraw();
  EXPECT_EQ(editor.topLine, 1);
  EXPECT_EQ(row(t, 2), "line3     ");
  EXPECT_EQ(t.console.cursor.y, 2);
  editor.goToPosition(9, 0);
  editor.redraw();
  EXPECT_EQ(editor.topLine, 7);
  editor.goToPosition(0, 0);
  editor.redraw();
  EXPECT_EQ(editor.topLine, 0);
  EXPECT_EQ(t.console.cursor.y, 0);
  editor.goToPosition(0, 12);
  editor.redraw();
  EXPECT_EQ(editor.leftColumn, 0);  // "line0" is 5 columns: no horizontal scroll
  editor.goToPosition(10, 0);
  editor.redraw();
  EXPECT_EQ(row(t, 2), std::string(10, ' '));  // past the end: blank rows
}

TEST(Render, HorizontalScrollByOneColumn) {
  TestSession t(5, 3);
  SessionEditor editor{t};
  for (char c : std::string("abcde")) editor.insertByte(static_cast<uint8_t>(c));
  editor.redraw();
  EXPECT_EQ(editor.leftColumn, 1);
  EXPECT_EQ(t.console.cursor.x, 4);
  EXPECT_EQ(row(t, 0), "bcde ");
  editor.goToPosition(0, 0);
  editor.redraw();
  EXPECT_EQ(editor.leftColumn, 0);
}

std::string highlighted(TestSession& t, int r) {
  std::string out;
  for (int x = 0; x < t.console.width; ++x)
    out += t.console.attributeAt(r, x) == SelectionAttribute ? '#' : '.';
  return out;
}

TEST(Render, SelectionWithMarkBeforeOrAfterTheCursor) {
  TestSession t(8, 4);
  SessionEditor editor{t};
  setDocument(editor, "abc\ndefg\nhi");
  editor.redraw();
  editor.markLine = 0;
  editor.markColumn = 1;
  editor.goToPosition(1, 2);
  editor.afterCommand(true);
  editor.redraw();
  EXPECT_EQ(highlighted(t, 0), ".#######");  // the blanks after a line's end too
  EXPECT_EQ(highlighted(t, 1), "##......");
  editor.goToPosition(0, 2);
  editor.afterCommand(true);
  editor.redraw();
  EXPECT_EQ(highlighted(t, 0), ".#......");
  EXPECT_EQ(highlighted(t, 1), "........");
  editor.markLine = 2;  // now the cursor comes first
  editor.markColumn = 1;
  editor.afterCommand(true);
  editor.redraw();
  EXPECT_EQ(highlighted(t, 0), "..######");
  EXPECT_EQ(highlighted(t, 1), "########");
  EXPECT_EQ(highlighted(t, 2), "#.......");
  editor.afterCommand(false);  // collapsing removes the highlight
  editor.redraw();
  EXPECT_EQ(highlighted(t, 0), "........");
  EXPECT_EQ(highlighted(t, 2), "........");
}

TEST(Render, CursorMoveWithoutScrollWritesOnlyTheStatusLine) {
  TestSession t(20, 5);
  SessionEditor editor{t};
  setDocument(editor, "hello\nworld\n");
  editor.redraw();
  const int writes = t.console.textWrites;
  const int fills = t.console.attributeFills;
  editor.goToPosition(1, 2);
  editor.afterCommand(false);
  editor.redraw();
  EXPECT_EQ(t.console.textWrites, writes + 1);
  EXPECT_EQ(t.console.attributeFills, fills);
  EXPECT_EQ(row(t, 4).substr(0, 25 > 20 ? 20 : 25), "<Sep 07 1996>  R 1  ");
}

TEST(Render, PendingMessageReplacesTheStatusText) {
  TestSession t(30, 3);
  SessionEditor editor{t};
  editor.setPendingMessage("Save failed: No space");
  editor.redraw();
  EXPECT_EQ(row(t, 2), "Save failed: No space         ");
  editor.pendingMessage.reset();
  editor.redraw();
  EXPECT_EQ(row(t, 2).substr(0, 13), "<Sep 07 1996>");
}

TEST(Render, ResizedConsoleIsRepaintedWhole) {
  TestSession t(20, 5);
  SessionEditor editor{t};
  setDocument(editor, "hello\n");
  editor.redraw();
  t.console.resize(12, 4);
  editor.redraw();
  EXPECT_EQ(row(t, 0), "hello       ");
  EXPECT_EQ(row(t, 3).substr(0, 12), "<Sep 07 1996");
}

// A view scrolled right at a narrow width comes back left once the terminal is wider again,
// as far as keeps the cursor shown.
TEST(Render, WideningBringsAScrolledViewBack) {
  TestSession t(20, 5);
  SessionEditor editor{t};
  setDocument(editor, "0123456789abcdefghij\nshort\n");
  editor.goToPosition(0, 12);
  t.console.resize(4, 5);
  editor.redraw();
  EXPECT_EQ(editor.leftColumn, 9);
  t.console.resize(10, 5);
  editor.redraw();
  EXPECT_EQ(editor.leftColumn, 3);
  EXPECT_EQ(row(t, 1), "rt        ");
  t.console.resize(20, 5);
  editor.redraw();
  EXPECT_EQ(editor.leftColumn, 0);
  EXPECT_EQ(row(t, 1), "short               ");
}

}  // namespace
