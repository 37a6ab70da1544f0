// The keys of the editor as a real terminal (tmux) sends them: typing, moving, selecting,
// deleting, an Alt code in the kitty keyboard protocol, and bracketed paste.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/tmux_session.h"
#include "platform/posix/cp437.h"

using e2e::readFile;
using e2e::statusText;
using e2e::TmuxSession;
using e2e::trimRight;

namespace {

// One character per cell of a text row: '#' selected (dark grey on bright white), '.' plain
// (light grey on black), '?' anything else.
std::string highlight(const std::vector<e2e::StyledCell>& cells) {
  std::string marks;
  for (const auto& cell : cells) {
    if (cell.fg == 90 && cell.bg == 107)
      marks += '#';
    else if (cell.fg == 37 && cell.bg == 40)
      marks += '.';
    else
      marks += '?';
  }
  return marks;
}

// How the pane shows these document bytes: one code page 437 glyph per byte.
std::string glyphs(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) out += terminal::cp437Glyph(b);
  return out;
}

// A row of 80 cells: plain, with the columns from..to-1 selected.
std::string selected(int from, int to) {
  std::string marks(80, '.');
  for (int x = from; x < to; ++x) marks[x] = '#';
  return marks;
}

// The editor at (line, column) on the status line, with the console cursor on its cell.
void expectAt(TmuxSession& tmux, bool modified, int line, int column, const std::string& name,
              int screenRow) {
  ASSERT_TRUE(tmux.waitForStatus(statusText(modified, line, column, name))) << tmux.status();
  EXPECT_TRUE(tmux.waitForCursor(column, screenRow)) << tmux.cursorX() << "," << tmux.cursorY();
}

// Row y shows this highlight (see highlight()).
void expectHighlight(TmuxSession& tmux, int y, const std::string& marks) {
  EXPECT_TRUE(tmux.waitFor([&] { return highlight(tmux.styledRow(y)) == marks; }))
      << "row " << y << ": " << highlight(tmux.styledRow(y));
}

}  // namespace

TEST(KeyboardEndToEnd, TypingAndMovingByCharacterWordAndLine) {
  TmuxSession tmux({{"keys.txt"}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "keys.txt"))) << tmux.status();

  tmux.sendLiteral("one two three");
  expectAt(tmux, true, 0, 13, "keys.txt", 0);
  EXPECT_TRUE(tmux.waitForText(0, "one two three")) << tmux.row(0);

  tmux.sendKeys({"C-Left"});
  expectAt(tmux, true, 0, 8, "keys.txt", 0);
  tmux.sendKeys({"C-Left", "C-Left"});
  expectAt(tmux, true, 0, 0, "keys.txt", 0);
  tmux.sendKeys({"C-Right", "Right", "Right"});
  expectAt(tmux, true, 0, 6, "keys.txt", 0);
  tmux.sendKeys({"End"});
  expectAt(tmux, true, 0, 13, "keys.txt", 0);
  tmux.sendKeys({"Home", "C-Right"});
  expectAt(tmux, true, 0, 4, "keys.txt", 0);
  tmux.sendKeys({"Left"});
  expectAt(tmux, true, 0, 3, "keys.txt", 0);

  tmux.sendKeys({"Right"});
  tmux.sendLiteral("X");
  ASSERT_TRUE(tmux.waitForRow(0, "one Xtwo three ")) << tmux.row(0);
  tmux.sendKeys({"Enter"});
  expectAt(tmux, true, 1, 0, "keys.txt", 1);
  EXPECT_TRUE(tmux.waitForText(0, "one X")) << tmux.row(0);
  EXPECT_TRUE(tmux.waitForText(1, "two three")) << tmux.row(1);

  tmux.sendKeys({"End", "Up"});  // the line above is shorter: its end
  expectAt(tmux, true, 0, 5, "keys.txt", 0);
  tmux.sendKeys({"Down"});
  expectAt(tmux, true, 1, 5, "keys.txt", 1);
  tmux.sendKeys({"C-a", "C-f", "C-e", "C-b"});  // the Emacs-style moves
  expectAt(tmux, true, 1, 8, "keys.txt", 1);
  tmux.sendKeys({"Tab"});  // a tab byte, shown as blanks to the next multiple of 8
  expectAt(tmux, true, 1, 16, "keys.txt", 1);
  EXPECT_TRUE(tmux.waitForText(1, "two thre        e")) << tmux.row(1);
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}

TEST(KeyboardEndToEnd, PagingAndDocumentStartAndEnd) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\n";
  TmuxSession editor({.args = {"long.txt"}, .files = {{"long.txt", text}}});
  ASSERT_TRUE(editor.waitForStatus(statusText(false, 0, 0, "long.txt"))) << editor.status();
  ASSERT_TRUE(editor.waitForText(0, "line 0")) << editor.row(0);

  // 23 text rows: a page is 22 lines, and the view moves with the cursor.
  editor.sendKeys({"PageDown"});
  expectAt(editor, false, 22, 0, "long.txt", 0);
  EXPECT_TRUE(editor.waitForText(0, "line 22")) << editor.row(0);
  EXPECT_TRUE(editor.waitForText(22, "line 44")) << editor.row(22);
  editor.sendKeys({"PageDown", "Down", "Down", "Down"});
  expectAt(editor, false, 47, 0, "long.txt", 3);
  EXPECT_TRUE(editor.waitForText(0, "line 44")) << editor.row(0);
  editor.sendKeys({"PageUp"});
  expectAt(editor, false, 25, 0, "long.txt", 3);
  EXPECT_TRUE(editor.waitForText(0, "line 22")) << editor.row(0);

  // The document's end is the empty line after the last terminator, on the last text row.
  editor.sendKeys({"C-PageDown"});
  expectAt(editor, false, 100, 0, "long.txt", 22);
  EXPECT_TRUE(editor.waitForText(21, "line 99")) << editor.row(21);
  EXPECT_TRUE(editor.waitForText(0, "line 78")) << editor.row(0);
  editor.sendKeys({"Up", "End"});
  expectAt(editor, false, 99, 7, "long.txt", 21);
  editor.sendKeys({"C-PageUp"});
  expectAt(editor, false, 0, 0, "long.txt", 0);
  EXPECT_TRUE(editor.waitForText(0, "line 0")) << editor.row(0);
  EXPECT_TRUE(editor.waitForText(22, "line 22")) << editor.row(22);
  EXPECT_EQ(editor.quitDiscarding(), "slate exited 0, tty same");
}

TEST(KeyboardEndToEnd, ShiftSelectsAndTheSelectionIsHighlighted) {
  TmuxSession editor(
      {.args = {"sel.txt"}, .files = {{"sel.txt", "alpha beta\ngamma delta\nepsilon\n"}}});
  ASSERT_TRUE(editor.waitForStatus(statusText(false, 0, 0, "sel.txt"))) << editor.status();
  const std::string plain = selected(0, 0);

  editor.sendKeys({"Right", "Right", "S-Down", "S-Right", "S-Right"});
  expectAt(editor, false, 1, 4, "sel.txt", 1);
  // A selection that runs past a line's end covers the rest of that row.
  expectHighlight(editor, 0, selected(2, 80));
  expectHighlight(editor, 1, selected(0, 4));
  expectHighlight(editor, 2, plain);

  editor.sendKeys({"C-S-Left"});  // Ctrl+Shift+Left: back to the start of the word
  expectAt(editor, false, 1, 0, "sel.txt", 1);
  expectHighlight(editor, 0, selected(2, 80));
  expectHighlight(editor, 1, plain);

  editor.sendKeys({"S-End"});
  expectAt(editor, false, 1, 11, "sel.txt", 1);
  expectHighlight(editor, 1, selected(0, 11));

  editor.sendKeys({"S-Up", "S-Home"});  // the cursor before the mark: a backwards selection
  expectAt(editor, false, 0, 0, "sel.txt", 0);
  expectHighlight(editor, 0, selected(0, 2));
  expectHighlight(editor, 1, plain);

  editor.sendKeys({"C-S-PageDown"});  // to the document's end, still selecting
  expectAt(editor, false, 3, 0, "sel.txt", 3);
  expectHighlight(editor, 0, selected(2, 80));
  expectHighlight(editor, 2, selected(0, 80));
  expectHighlight(editor, 3, plain);

  editor.sendKeys({"Left"});  // a move without Shift drops the selection
  ASSERT_TRUE(editor.waitFor([&] { return highlight(editor.styledRow(0)) == plain; }));
  expectHighlight(editor, 1, plain);
  expectHighlight(editor, 2, plain);
  EXPECT_TRUE(editor.waitForStatus(statusText(false, 3, 0, "sel.txt"))) << editor.status();
  EXPECT_EQ(editor.quitDiscarding(), "slate exited 0, tty same");
}

// Ctrl+Backspace has no legacy encoding: tmux sends it (as CSI 127;5u) only because the
// editor asks for modifyOtherKeys. Alt+Backspace comes as ESC DEL.
TEST(KeyboardEndToEnd, DeletingWordsLinesAndToTheLineStart) {
  TmuxSession editor({.args = {"del.txt"},
                      .files = {{"del.txt", "alpha beta gamma delta\nsecond line\nthird\n"}}});
  ASSERT_TRUE(editor.waitForStatus(statusText(false, 0, 0, "del.txt"))) << editor.status();

  editor.sendKeys({"End", "M-BSpace"});
  expectAt(editor, true, 0, 17, "del.txt", 0);
  EXPECT_TRUE(editor.waitForText(0, "alpha beta gamma")) << editor.row(0);
  editor.sendKeys({"M-BSpace"});
  expectAt(editor, true, 0, 11, "del.txt", 0);
  editor.sendKeys({"Left", "Left", "C-BSpace"});
  expectAt(editor, true, 0, 0, "del.txt", 0);
  EXPECT_TRUE(editor.waitForText(0, "a")) << editor.row(0);

  // The same key as the CSI u form itself, as other terminals send it.
  editor.sendKeys({"Down", "End"});
  editor.sendBytes("\x1b[127;5u");
  expectAt(editor, true, 1, 0, "del.txt", 1);
  EXPECT_TRUE(editor.waitForText(1, "")) << editor.row(1);

  editor.sendKeys({"C-k"});
  ASSERT_TRUE(editor.waitForRow(1, "third ")) << editor.row(1);
  editor.sendKeys({"End", "BSpace", "BSpace", "DC"});  // DC: Delete at the end joins lines
  expectAt(editor, true, 1, 3, "del.txt", 1);
  editor.sendKeys({"F2"});
  ASSERT_TRUE(editor.waitForStatus(statusText(false, 1, 3, "del.txt"))) << editor.status();
  EXPECT_EQ(readFile(editor.directory() + "/del.txt"), "a \nthi");
  EXPECT_EQ(editor.quitDiscarding(), "slate exited 0, tty same");
}

// The kitty keyboard protocol reports the Alt key and the keypad digits themselves: Alt
// held, keypad 6 and 5, Alt let go inserts byte 65. A character typed in UTF-8 goes in as
// its bytes.
TEST(KeyboardEndToEnd, AltKeypadCodesInTheKittyProtocolAndUtf8InsertTheirBytes) {
  TmuxSession tmux({{"bytes.txt"}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "bytes.txt"))) << tmux.status();
  tmux.sendLiteral("x");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 1, "bytes.txt"))) << tmux.status();
  tmux.sendBytes(
      "\x1b[57443;3u"      // Alt down
      "\x1b[57405;3u"      // keypad 6 down, Alt held
      "\x1b[57405;3:3u"    // keypad 6 up
      "\x1b[57404;3u"      // keypad 5 down
      "\x1b[57404;3:3u"    // keypad 5 up
      "\x1b[57443;3:3u");  // Alt up
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 2, "bytes.txt"))) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(0, "xA")) << tmux.row(0);

  tmux.sendBytes("\x1b[57443;3u\x1b[57401;3u\x1b[57402;3u\x1b[57402;3u\x1b[57443;3:3u");  // 233
  tmux.sendLiteral("\u00e9");
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 0, 4, "bytes.txt"))) << tmux.status();
  // In a UTF-8 terminal the lone 0xE9 shows as its glyph, the two bytes after it as the
  // e-acute they encode.
  EXPECT_TRUE(tmux.waitForText(0, "xA" + glyphs("\xe9") + "\xc3\xa9")) << tmux.row(0);
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 4, "bytes.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/bytes.txt"), "xA\xe9\xc3\xa9");
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}

// Auto-indentation is on. Pasted lines go in as they were copied: typed as keys they would
// each get the indentation of the line before (a staircase).
TEST(KeyboardEndToEnd, BracketedPasteOfIndentedLinesGoesInAsPasted) {
  TmuxSession tmux({{"paste.txt"}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "paste.txt"))) << tmux.status();
  tmux.sendLiteral("    first");
  tmux.sendKeys({"Enter"});
  expectAt(tmux, true, 1, 4, "paste.txt", 1);  // indented like the line above
  tmux.sendKeys({"C-BSpace"});
  expectAt(tmux, true, 1, 0, "paste.txt", 1);

  // tmux's paste key: the text bracketed, each LF sent as CR.
  tmux.setBuffer("if (a) {\n    b();\n        c();\n    d();\n}\n");
  tmux.pasteBuffer(true);
  expectAt(tmux, true, 6, 0, "paste.txt", 6);
  const std::vector<std::string> pasted = {"    first",    "if (a) {", "    b();",
                                           "        c();", "    d();", "}"};
  for (int y = 0; y < static_cast<int>(pasted.size()); ++y)
    EXPECT_TRUE(tmux.waitForText(y, pasted[y])) << tmux.row(y);

  // A terminal's own bracketed paste, with CR LF breaks.
  tmux.sendBytes("\x1b[200~  x\r\n    y\r\n\x1b[201~");
  expectAt(tmux, true, 8, 0, "paste.txt", 8);
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 8, 0, "paste.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/paste.txt"),
            "    first\nif (a) {\n    b();\n        c();\n    d();\n}\n  x\n    y\n");

  tmux.sendKeys({"Up", "End", "M-i", "Enter"});  // Alt+I turns auto-indentation off
  expectAt(tmux, true, 8, 0, "paste.txt", 8);
  tmux.sendKeys({"M-i", "Up", "End", "Enter"});  // and on again
  expectAt(tmux, true, 8, 4, "paste.txt", 8);
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}

// A paste far larger than one read of the terminal arrives whole, in one step.
TEST(KeyboardEndToEnd, ALargeBracketedPasteArrivesWhole) {
  TmuxSession tmux({{"large.txt"}});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 0, 0, "large.txt"))) << tmux.status();
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "    line " + std::to_string(i) + " of the paste\n";
  tmux.setBuffer(text);
  tmux.pasteBuffer(true);
  ASSERT_TRUE(tmux.waitForStatus(statusText(true, 5000, 0, "large.txt"), 15000)) << tmux.status();
  EXPECT_TRUE(tmux.waitForText(21, "    line 4999 of the paste")) << tmux.row(21);
  tmux.sendKeys({"F2"});
  ASSERT_TRUE(tmux.waitForStatus(statusText(false, 5000, 0, "large.txt"))) << tmux.status();
  EXPECT_EQ(readFile(tmux.directory() + "/large.txt"), text);
  EXPECT_EQ(tmux.quitDiscarding(), "slate exited 0, tty same");
}
