// The undo history against a saved file, and its limit on memory.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "core/editor.h"
#include "files/file_support_posix.h"
#include "input/key_map.h"
#include "platform/key_codes.h"
#include "support/document.h"
#include "support/test_session.h"

namespace {

struct UndoFile : ::testing::Test {
  TestSession session;
  filetest::TempDir dir;
  SessionEditor editor{session};

  void press(KeyCode code, uint8_t ch = 0) { dispatchKey(editor, code, ch, false); }
  // F9 until nothing is left; how many steps there were.
  int undoAll() {
    int undos = 0;
    for (; editor.undoHistory.canUndo(); ++undos) press(vk::F9);
    return undos;
  }
  void type(const std::string& text) {
    for (char c : text) press(static_cast<KeyCode>(std::toupper(c)), static_cast<uint8_t>(c));
  }
};

// F2 makes the state after a save the one without the star, whichever way it is reached.
TEST_F(UndoFile, TheStateLastSavedIsTheUnmodifiedOne) {
  filetest::writeFile(dir.path("doc"), "one\r\ntwo\n");
  setFileName(editor, dir.path("doc").c_str());
  ASSERT_EQ(editor.loadDocument(), 1);
  type("ab");
  press(vk::F2);
  EXPECT_EQ(filetest::readFile(dir.path("doc")), "abone\r\ntwo\n");
  EXPECT_EQ(editor.modified, 0);
  type("c");  // the save ended the run: this is a step of its own
  EXPECT_EQ(editor.modified, 1);
  press(vk::F9);
  EXPECT_EQ(documentBytes(editor), "abone\r\ntwo\n");
  EXPECT_EQ(editor.modified, 0);
  press(vk::F9);
  EXPECT_EQ(documentBytes(editor), "one\r\ntwo\n");
  EXPECT_EQ(editor.modified, 1);  // as loaded, but not as saved
  EXPECT_EQ(editor.autosavePending, 1);
  press(KeyShift | vk::F9);
  EXPECT_EQ(editor.modified, 0);

  // A new change after an undo loses the way back to the saved state.
  press(vk::F9);
  type("x");
  press(vk::F9);
  EXPECT_EQ(documentBytes(editor), "one\r\ntwo\n");
  EXPECT_EQ(editor.modified, 1);
}

// Past the limit the oldest steps go, with one message; a step larger than the limit by
// itself empties the history.
TEST_F(UndoFile, TheOldestStepsGoFirstAndAStepTooLargeCannotBeUndone) {
  const size_t floor = undoHistoryFloor;
  undoHistoryFloor = 4096;
  int told = 0;
  for (int i = 0; i < 40; ++i) {
    for (KeyCode key : {KeyCode{'W'}, KeyCode{'O'}, KeyCode{vk::Return}}) {
      press(key, key == vk::Return ? '\r' : static_cast<uint8_t>(key + 32));
      if (editor.pendingMessage) {
        EXPECT_STREQ(editor.pendingMessage.get(), "Oldest undo steps dropped");
        ++told;
      }
    }
  }
  EXPECT_EQ(told, 1);
  EXPECT_LE(editor.undoHistory.memory(), size_t{4096});
  EXPECT_LT(undoAll(), 80);  // of 80 steps
  EXPECT_GT(editor.lineCount, 1);
  EXPECT_EQ(editor.modified, 1);  // the loaded state is out of reach

  press(KeyCtrl | vk::Next);
  std::string lines;
  for (int i = 0; i < 5000; ++i) lines += "q\n";
  pasteText(editor, lines.data(), lines.size());
  EXPECT_STREQ(editor.pendingMessage.get(), "This change cannot be undone");
  EXPECT_FALSE(editor.undoHistory.canUndo());
  EXPECT_FALSE(editor.undoHistory.canRedo());
  EXPECT_EQ(editor.undoHistory.memory(), 0u);
  undoHistoryFloor = floor;
}

// However large the document, the history stays under its ceiling (a quarter of the
// machine's memory, here made small).
TEST_F(UndoFile, TheCeilingHoldsWhateverTheFloorAndTheDocumentAllow) {
  const size_t ceiling = undoHistoryCeiling;
  undoHistoryCeiling = 4096;
  for (int i = 0; i < 40; ++i) {
    press('W', 'w');
    press(vk::Return, '\r');
  }
  EXPECT_LE(editor.undoHistory.memory(), size_t{4096});
  EXPECT_GT(undoAll(), 1);
  EXPECT_EQ(editor.modified, 1);  // the oldest steps went
  undoHistoryCeiling = ceiling;
}

// Replacements back and forth keep the text of every step alive, apart from the file's own
// bytes: the oldest steps go, so memory stays bounded however often it is done.
TEST_F(UndoFile, ReplacementsBackAndForthStayWithinTheLimit) {
  const size_t floor = undoHistoryFloor;
  undoHistoryFloor = 128 << 10;
  std::string text;
  for (int i = 0; i < 100; ++i) text += std::string(400, 'a') + "\n";
  filetest::writeFile(dir.path("doc"), text);
  setFileName(editor, dir.path("doc").c_str());
  ASSERT_EQ(editor.loadDocument(), 1);
  for (int i = 0; i < 10; ++i) {
    press(KeyCtrl | vk::Prior);
    session.session.searchState.setSearchStrings(copyOf(i % 2 ? "b" : "a"),
                                                 copyOf(i % 2 ? "a" : "b"));
    press(KeyCtrl | vk::F5);
    EXPECT_LE(editor.undoHistory.memory(), undoHistoryFloor) << i;
  }
  const int undos = undoAll();
  EXPECT_GE(undos, 1);
  EXPECT_LT(undos, 10);
  undoHistoryFloor = floor;
}

}  // namespace
