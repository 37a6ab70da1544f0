#include <gtest/gtest.h>

#include <string>

#include "core/editor.h"
#include "input/key_map.h"
#include "support/document.h"
#include "support/test_session.h"

namespace {

class ClipboardCommands : public ::testing::Test {
 protected:
  // The mark at one end, the cursor at the other, as Shift and the arrows leave them.
  void select(int32_t markLine, int32_t markColumn, int32_t line, int32_t column) {
    ASSERT_EQ(editor.goToPosition(line, column), 1);
    ASSERT_EQ(editor.cursorColumn, column) << "not a byte boundary";
    editor.markLine = markLine;
    editor.markColumn = markColumn;
  }
  std::string clip() const { return ts.clipboard.text.value_or("<none>"); }
  void expectCursor(int32_t line, int32_t column) {
    EXPECT_EQ(editor.cursorLine, line);
    EXPECT_EQ(editor.cursorColumn, column);
  }

  TestSession ts;
  SessionEditor editor{ts};
};

TEST_F(ClipboardCommands, CopyWithNothingSelectedLeavesTheStoreAlone) {
  setDocument(editor, "abc\n");
  ts.clipboard.text = "old";
  select(0, 2, 0, 2);
  EXPECT_EQ(editor.copy(), 0);
  EXPECT_EQ(clip(), "old");

  // A mark past the end of the cursor's own line resolves to the cursor: still nothing.
  select(0, 40, 0, 3);
  EXPECT_EQ(editor.copy(), 0);
  EXPECT_EQ(clip(), "old");
  expectCursor(0, 3);

  // A mark below the last line (left behind by an edit made with Shift held).
  select(9, 0, 0, 1);
  EXPECT_EQ(editor.copy(), 0);
  EXPECT_EQ(clip(), "old");
  expectCursor(0, 1);
  EXPECT_EQ(editor.markLine, 0);
  EXPECT_EQ(editor.markColumn, 1);
}

TEST_F(ClipboardCommands, CopyAcrossLinesLeavesTheDocumentAndStacksAsTheyWere) {
  setDocument(editor, "line0\nline1\nabcdefg\nmiddle\nlast\nafter\n");
  const std::string before = documentBytes(editor);

  select(2, 3, 4, 0);
  const TextLine* aboveData = editor.linesAbove.data();
  const TextLine nearest = editor.linesAbove.top();
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "defg\r\nmiddle\r\n");
  EXPECT_EQ(documentBytes(editor), before);
  EXPECT_EQ(brokenInvariant(editor), "");
  expectCursor(4, 0);
  EXPECT_EQ(editor.linesAbove.count(), 4u);
  EXPECT_EQ(editor.linesAbove.data(), aboveData);
  EXPECT_EQ(editor.linesAbove.top().text, nearest.text);

  // The same selection made backwards gives the same text and puts the cursor at its end.
  select(4, 0, 2, 3);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "defg\r\nmiddle\r\n");
  expectCursor(4, 0);
  EXPECT_EQ(editor.markLine, 2);
  EXPECT_EQ(editor.markColumn, 3);
  EXPECT_EQ(documentBytes(editor), before);
  EXPECT_EQ(brokenInvariant(editor), "");

  // Whole lines from the start of one to the end of another, and one line break alone.
  select(0, 0, 1, 5);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "line0\r\nline1");
  select(0, 5, 1, 0);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "\r\n");
  EXPECT_EQ(editor.lineCount, 7);
}

TEST_F(ClipboardCommands, CopyInsideOneLine) {
  setDocument(editor, "hello world\n");
  select(0, 2, 0, 7);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "llo w");
  select(0, 11, 0, 6);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "world");
  expectCursor(0, 11);
}

TEST_F(ClipboardCommands, CtrlCAfterABackwardsSelectionLeavesTheCursorAtItsEnd) {
  setDocument(editor, "one\ntwo\nthree\n");
  select(2, 3, 0, 1);
  dispatchKey(editor, KeyCtrl | KeyShift | 'C', 0, true);  // Ctrl+Shift+C keeps the selection
  EXPECT_EQ(clip(), "ne\r\ntwo\r\nthr");
  expectCursor(2, 3);
  EXPECT_EQ(editor.markLine, 0);
  EXPECT_EQ(editor.markColumn, 1);
  EXPECT_EQ(editor.selectionActive, 1);

  select(2, 3, 0, 1);
  dispatchKey(editor, KeyCtrl | 'C', 0, false);
  expectCursor(2, 3);
  EXPECT_EQ(editor.selectionActive, 0);
  EXPECT_EQ(editor.modified, 0);
}

TEST_F(ClipboardCommands, TabsAndMarkColumnsThatAreNotByteBoundaries) {
  // a at 0, a tab over 1-7, b at 8, c at 9, a tab over 10-15, d at 16.
  setDocument(editor, "a\tbc\td\nx\ty\nab\n");
  select(0, 1, 0, 16);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "\tbc\t");

  // A mark inside a tab stands for the byte after the tab.
  select(0, 4, 0, 17);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "bc\td");
  select(0, 3, 1, 9);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "bc\td\r\nx\ty");

  // Backwards with the mark inside a tab: the cursor lands after the tab, which is copied.
  select(0, 12, 0, 0);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "a\tbc\t");
  expectCursor(0, 16);

  // A mark beyond its line's text reads as the end of that text, in either direction.
  select(1, 30, 2, 1);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "\r\na");
  select(2, 30, 2, 1);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "b");
  expectCursor(2, 2);
  EXPECT_EQ(brokenInvariant(editor), "");
}

TEST_F(ClipboardCommands, EveryTerminatorBecomesCrLf) {
  setDocument(editor, "a\nb\r\nc\rd\n\re\n");
  select(0, 0, 4, 1);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "a\r\nb\r\nc\r\nd\r\ne");
}

TEST_F(ClipboardCommands, ANulByteEndsTheText) {
  setDocument(editor, std::string("ab\0cd\nef\n", 9));
  select(0, 0, 1, 2);
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "ab");

  // cut removes only what reached the clipboard, so a selection cut short stays whole.
  const std::string before = documentBytes(editor);
  select(0, 1, 1, 1);
  EXPECT_EQ(editor.cut(), 0);
  EXPECT_EQ(clip(), "b");
  EXPECT_EQ(documentBytes(editor), before);
}

TEST_F(ClipboardCommands, PasteMakesEachKindOfBreakOneDocumentTerminator) {
  struct Case {
    std::string clip;
    std::string lf;    // the document in a LF document
    std::string crlf;  // and in a CR LF one
  };
  const Case cases[] = {
      {"a\r\nb", "a\nb", "a\r\nb"},
      {"a\n\rb", "a\nb", "a\r\nb"},
      {"a\rb", "a\nb", "a\r\nb"},
      {"a\nb", "a\nb", "a\r\nb"},
      {"a\n\nb", "a\n\nb", "a\r\n\r\nb"},
      {"a\r\rb", "a\n\nb", "a\r\n\r\nb"},
      {"a\n\r\nb", "a\n\nb", "a\r\n\r\nb"},
      {"a\r\n\rb", "a\n\nb", "a\r\n\r\nb"},
      {"\t\x01\x7f\xff", "\t\x01\x7f\xff", "\t\x01\x7f\xff"},
  };
  for (const Case& c : cases) {
    for (int ending : {0, 1}) {
      SessionEditor fresh{ts};
      fresh.lineEnding = ending;
      ts.clipboard.text = c.clip;
      EXPECT_EQ(fresh.paste(), 1);
      EXPECT_EQ(documentBytes(fresh), ending == 0 ? c.lf : c.crlf)
          << testing::PrintToString(c.clip);
      EXPECT_EQ(brokenInvariant(fresh), "");
      EXPECT_TRUE(fresh.charsAfter.empty() && fresh.linesBelow.empty())
          << "the cursor stands after the text";
    }
  }
}

TEST_F(ClipboardCommands, PasteGoesInAtTheCursorWithoutIndentation) {
  setDocument(editor, "    xy\nnext\n");
  ASSERT_EQ(editor.autoIndent, 1);
  select(0, 5, 0, 5);
  ts.clipboard.text = "1\n  2\n";
  dispatchKey(editor, KeyCtrl | 'V', 0, false);
  EXPECT_EQ(documentBytes(editor), "    x1\n  2\ny\nnext\n");
  // A text ending in a break leaves the cursor at the start of a new line.
  expectCursor(2, 0);
  EXPECT_EQ(editor.lineCount, 5);
  EXPECT_EQ(editor.modified, 1);
  EXPECT_EQ(editor.selectionActive, 0);
  EXPECT_EQ(brokenInvariant(editor), "");
}

TEST_F(ClipboardCommands, EmptyOrMissingTextChangesNothing) {
  setDocument(editor, "abc\n");
  select(0, 1, 0, 1);
  ts.clipboard.text.reset();
  dispatchKey(editor, KeyCtrl | 'V', 0, false);
  ts.clipboard.text = "";
  dispatchKey(editor, KeyShift | vk::Insert, 0, true);
  ts.clipboard.text = "x";
  ts.clipboard.refuse = true;  // busy
  dispatchKey(editor, KeyCtrl | 'V', 0, false);
  EXPECT_EQ(documentBytes(editor), "abc\n");
  EXPECT_EQ(editor.modified, 0);
  expectCursor(0, 1);
}

TEST_F(ClipboardCommands, ShiftInsertLeavesThePastedTextSelected) {
  setDocument(editor, "xy\n");
  select(0, 1, 0, 1);
  ts.clipboard.text = "a\r\nbc";
  dispatchKey(editor, KeyShift | vk::Insert, 0, true);
  EXPECT_EQ(documentBytes(editor), "xa\nbcy\n");
  expectCursor(1, 2);
  EXPECT_EQ(editor.markLine, 0);
  EXPECT_EQ(editor.markColumn, 1);
  EXPECT_EQ(editor.selectionActive, 1);
  // The selection is exactly the pasted text.
  ts.clipboard.text.reset();
  EXPECT_EQ(editor.copy(), 1);
  EXPECT_EQ(clip(), "a\r\nbc");
}

TEST_F(ClipboardCommands, ARefusingClipboardMakesCutDeleteNothing) {
  setDocument(editor, "one\ntwo\nthree\n");
  const std::string before = documentBytes(editor);
  ts.clipboard.text = "old";
  ts.clipboard.refuse = true;
  select(2, 2, 0, 1);
  dispatchKey(editor, KeyShift | vk::Delete, 0, true);
  EXPECT_EQ(documentBytes(editor), before);
  EXPECT_EQ(editor.modified, 0);
  // The selection was still turned round: the cursor at its end, kept with Shift held.
  expectCursor(2, 2);
  EXPECT_EQ(editor.selectionActive, 1);
  dispatchKey(editor, KeyCtrl | 'X', 0, false);
  EXPECT_EQ(documentBytes(editor), before);
  EXPECT_EQ(editor.selectionActive, 0);
  EXPECT_EQ(*ts.clipboard.text, "old");
}

TEST_F(ClipboardCommands, CutRemovesExactlyWhatItCopied) {
  setDocument(editor, "one\ntwo\nthree\n");
  select(2, 2, 0, 1);
  dispatchKey(editor, KeyCtrl | 'X', 0, false);
  EXPECT_EQ(clip(), "ne\r\ntwo\r\nth");
  EXPECT_EQ(documentBytes(editor), "oree\n");
  expectCursor(0, 1);
  EXPECT_EQ(editor.lineCount, 2);
  EXPECT_EQ(editor.selectionActive, 0);
  EXPECT_EQ(editor.modified, 1);

  // A mark inside a tab: the tab is neither copied nor deleted.
  setDocument(editor, "a\tbc\n");
  select(0, 4, 0, 10);
  EXPECT_EQ(editor.cut(), 1);
  EXPECT_EQ(clip(), "bc");
  EXPECT_EQ(documentBytes(editor), "a\t\n");
  expectCursor(0, 8);

  // A mark past its line's text: the line break and what follows.
  setDocument(editor, "ab\ncd\n");
  select(0, 20, 1, 1);
  EXPECT_EQ(editor.cut(), 1);
  EXPECT_EQ(clip(), "\r\nc");
  EXPECT_EQ(documentBytes(editor), "abd\n");
  expectCursor(0, 2);
  EXPECT_EQ(brokenInvariant(editor), "");
}

}  // namespace
