#include <gtest/gtest.h>

#include "input/prompt.h"
#include "input/prompt_answer.h"
#include "screen/screen.h"
#include "support/test_session.h"

// In UTF-8 the answer's columns are terminal columns: the caret stands after wide characters
// by two cells each, and a long answer scrolls by whole characters with the caret in view.
TEST(PromptAnswer, Utf8AnswerCountsTerminalColumns) {
  const std::string wide = "\xe6\x97\xa5";  // two columns
  PromptAnswer answer("a" + wide + "\xc3\xa9" + wide, TextUnit::Character);
  EXPECT_EQ(answer.columns(0, answer.cursor()), 6u);
  answer.left();
  EXPECT_EQ(answer.cursor(), 6u);
  EXPECT_EQ(answer.columns(0, answer.cursor()), 4u);

  EXPECT_EQ(answer.firstShown(10), 0u);  // fits whole
  answer.end();
  const size_t first = answer.firstShown(4);  // the caret's cell included
  EXPECT_EQ(first, 4u);                       // "é日" and the caret
  EXPECT_LT(answer.columns(first, answer.cursor()), 4u);
  answer.home();
  EXPECT_EQ(answer.firstShown(4), 0u);
}

// A character typed before a combining mark takes it: the caret goes after both, and the
// scrolled view starts on a character, never past the caret.
TEST(PromptAnswer, TypingBeforeAMarkLeavesTheCaretAfterIt) {
  PromptAnswer answer("\xcc\x81", TextUnit::Character);
  answer.home();
  for (char c : std::string("\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd")) {
    answer.type(c);
    answer.firstShown(3);  // as the prompt shows the answer after every byte
  }
  EXPECT_EQ(answer.text(), "\xf0\x9f\x91\x8d\xcc\x81\xf0\x9f\x8f\xbd");
  EXPECT_EQ(answer.cursor(), answer.text().size());
  // One character now (the skin tone extends it too), wider than the room: the view starts
  // after it, not on the last bytes of the tone as they arrived.
  EXPECT_EQ(answer.firstShown(3), answer.cursor());
}

// Erasing a byte can join the stray bytes on either side of the caret into one character:
// the caret goes after it, never inside, and the view never starts past the caret.
TEST(PromptAnswer, AnEraseThatJoinsBytesLeavesTheCaretAfterTheCharacter) {
  for (const bool del : {false, true}) {
    PromptAnswer answer("\xe6X\xa5\x81", TextUnit::Character);  // a pasted answer
    answer.home();
    answer.right();
    if (del) {
      answer.deleteAtCursor();
    } else {
      answer.right();
      answer.backspace();
    }
    EXPECT_EQ(answer.text(), "\xe6\xa5\x81");
    EXPECT_EQ(answer.cursor(), 3u);
    EXPECT_LE(answer.firstShown(1), answer.cursor());
  }
}

TEST(PromptAnswer, ByteAnswerStaysByByte) {
  PromptAnswer answer("\xc3\xa9", TextUnit::Byte);
  answer.backspace();
  EXPECT_EQ(answer.text(), "\xc3");
  EXPECT_EQ(answer.columns(0, 1), 1u);
}

// On the status line the answer is laid out apart from the prompt: a mark at its start does
// not join the blank before it but shows as the glyphs of its bytes, and the caret stands
// after the answer's last cell.
TEST(PromptAnswer, AMarkAtTheStartShowsApartFromThePrompt) {
  TestSession t(30, 5);
  t.console.hasModes = true;
  t.console.shownAs = console::DisplayMode::Utf8;
  for (char c : std::string("\xcc\x81"
                            "abc\r"))
    t.console.pushKey(0, static_cast<uint8_t>(c), 0);
  const auto answer =
      promptString(t.session.screen, t.session.keyboard, {"find: ", "", PromptKind::Search});
  EXPECT_STREQ(answer.get(),
               "\xcc\x81"
               "abc");
  EXPECT_EQ(t.console.rowText(4).substr(0, 12),
            "find: \xcc\x81"
            "abc ");
  EXPECT_EQ(t.console.charAt(4, 7), 0x81);  // the mark's second byte in a cell of its own
  EXPECT_EQ(t.console.cursor.x, 11);
}
