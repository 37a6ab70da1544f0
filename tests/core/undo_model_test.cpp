// Random commands on random documents with mixed terminators, then F9 back to the start and
// Shift+F9 forward to the end: every state passed on the way back must be one the commands
// went through, in order, byte for byte, and the way forward must pass the same states again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/editor.h"
#include "edit/exact_document.h"
#include "input/key_map.h"
#include "platform/key_codes.h"
#include "scenarios/scenario.h"
#include "support/document.h"
#include "support/test_seed.h"
#include "support/test_session.h"

namespace {

// Every key that changes text, the moves that end runs, and typed bytes (CR and LF among
// them, which go into a line's text).
const char* const kKeys[] = {
    "Enter", "Tab", "BS",   "BS",   "BS",    "Del",    "Del",   "C-BS",    "C-Del",  "M-BS",
    "M-Del", "C-k", "C-y",  "C-t",  "C-x",   "S-Del",  "C-v",   "S-Ins",   "M-i",    "Left",
    "Right", "Up",  "Down", "Home", "End",   "S-Left", "S-Up",  "S-Right", "S-Down", "C-PgDn",
    "a",     "b",   "a",    "b",    "Space", "\\x09",  "\\x0a", "\\x0d",   "\\xe9",  "C-S-Right",
};

std::string randomText(std::mt19937& random, int lines, int length) {
  static const char kBytes[] = "ab ab\t.\x80";
  static const char* const kEndings[] = {"\n", "\r\n", "\r", "\n\r"};
  std::string text;
  for (int i = 0; i < lines; ++i) {
    for (int j = static_cast<int>(random() % length); j > 0; --j)
      text.push_back(kBytes[random() % (sizeof kBytes - 1)]);
    if (i + 1 < lines) text += kEndings[random() % 4];
  }
  return text;
}

char* copyOf(const std::string& text) {
  char* copy = new char[text.size() + 1];
  text.copy(copy, text.size());
  copy[text.size()] = '\0';
  return copy;
}

TEST(UndoModel, UndoToTheStartAndRedoToTheEndPassTheSameStates) {
  const unsigned seed = testSeed();
  std::mt19937 random(seed);
  std::vector<scenario::Key> keys;
  for (const char* name : kKeys) {
    scenario::Key key{};
    std::string error;
    ASSERT_TRUE(scenario::parseKey(name, key, error)) << name << ": " << error;
    keys.push_back(key);
  }
  scenario::Key undoKey{vk::F9, 0, 0}, redoKey{vk::F9, 0, console::SHIFT_PRESSED};

  for (int round = 0; round < 200; ++round) {
    TestSession session(40, 6);
    Keyboard& keyboard = session.session.keyboard;
    SessionEditor editor{session};
    loadExactDocument(editor, randomText(random, 1 + static_cast<int>(random() % 12), 12));
    std::string script;
    const std::string context =
        "SLATE_SEED=" + std::to_string(seed) + " round " + std::to_string(round);
    auto press = [&](const scenario::Key& key) {
      keyboard.keyDown(editor, key.virtualKeyCode, key.ch, key.controlKeyState);
    };

    std::vector<std::string> states{documentBytes(editor)};
    const int commands = 1 + static_cast<int>(random() % 120);
    for (int i = 0; i < commands; ++i) {
      const unsigned what = random() % 40;
      if (what == 0) {  // a bracketed paste
        const std::string text = randomText(random, 1 + static_cast<int>(random() % 3), 5);
        script += " paste " + scenario::quote(text);
        pasteText(editor, text.data(), text.size());
      } else if (what == 1) {  // the clipboard changes behind the editor's back
        const std::string text = randomText(random, 1 + static_cast<int>(random() % 3), 5);
        script += " clipboard=" + scenario::quote(text);
        session.clipboard.text = text;
      } else if (what == 2) {  // replace-all from the cursor on
        static const char* const kTexts[] = {"a", "ab", "b a", "", "xyz", "\t"};
        const std::string from = kTexts[random() % 5], to = kTexts[random() % 6];
        script += " replace(" + scenario::quote(from) + "," + scenario::quote(to) + ")";
        session.session.searchState.setSearchStrings(copyOf(from), copyOf(to));
        press(scenario::Key{vk::F5, 0, console::LEFT_CTRL_PRESSED});
      } else {
        const size_t k = random() % keys.size();
        script += std::string(" ") + kKeys[k];
        press(keys[k]);
      }
      const std::string now = documentBytes(editor);
      if (now != states.back()) states.push_back(now);
      ASSERT_EQ(brokenInvariant(editor), "") << context << script;
    }

    // Back: each undo lands on an earlier state than the one before it.
    std::vector<std::string> passed{documentBytes(editor)};
    size_t at = states.size() - 1;
    for (int undos = 0; editor.undoHistory.canUndo(); ++undos) {
      ASSERT_LT(undos, commands) << context << script;
      press(undoKey);
      const std::string now = documentBytes(editor);
      ASSERT_EQ(brokenInvariant(editor), "") << context << script << " after undo " << undos;
      while (at > 0 && states[at] != now) --at;
      ASSERT_EQ(states[at], now) << context << script << " after undo " << undos;
      ASSERT_EQ(editor.selectionActive, 0);
      passed.push_back(now);
    }
    ASSERT_EQ(documentBytes(editor), states.front()) << context << script;
    ASSERT_EQ(editor.modified, 0) << context << script;
    press(undoKey);
    ASSERT_STREQ(editor.pendingMessage.get(), "Nothing to undo");

    // Forward again through the same states.
    for (size_t i = passed.size() - 1; i-- > 0;) {
      press(redoKey);
      ASSERT_EQ(documentBytes(editor), passed[i]) << context << script << " redo " << i;
      ASSERT_EQ(brokenInvariant(editor), "") << context << script << " redo " << i;
      ASSERT_EQ(editor.modified, 1);
    }
    press(redoKey);
    ASSERT_STREQ(editor.pendingMessage.get(), "Nothing to redo");
    ASSERT_EQ(documentBytes(editor), states.back()) << context << script;
  }
}

}  // namespace
