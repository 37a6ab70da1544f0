// The status-line questions the file commands and the end steps rely on.
#include "input/prompt.h"

#include <gtest/gtest.h>

#include "input/prompt_answer.h"
#include "platform/key_codes.h"
#include "screen/screen.h"
#include "support/test_session.h"

namespace {

void typeBytes(console::MemoryConsole& console, const std::string& bytes) {
  for (char c : bytes) console.pushKey(0, static_cast<uint8_t>(c), 0);
}

TEST(Prompt, YesNoWaitsForAnAnswerAndEndsWhenTheInputDoes) {
  TestSession t;
  Screen& screen = t.session.screen;
  Keyboard& keyboard = t.session.keyboard;
  typeBytes(t.console, "\r xr\x1bY");
  EXPECT_EQ(askQuestion(screen, keyboard, "Save? (y/n)"), Answer::Yes);
  typeBytes(t.console, "ynr");
  EXPECT_EQ(askQuestion(screen, keyboard, "Save? (y/n)"), Answer::Yes);
  EXPECT_EQ(askQuestion(screen, keyboard, "Save? (y/n)"), Answer::No);
  EXPECT_EQ(askQuestion(screen, keyboard, "Save? (y/n/r)", true), Answer::Open);
  t.console.pushKey(vk::F1, 0, 0);  // keys without a character are passed over
  t.console.resize(30, 6);          // the question moves to the new last row at once
  typeBytes(t.console, "N");
  EXPECT_EQ(askQuestion(screen, keyboard, "Save? (y/n)"), Answer::No);
  EXPECT_EQ(t.console.rowText(5).substr(0, 11), "Save? (y/n)");
  typeBytes(t.console, "q");
  EXPECT_EQ(askQuestion(screen, keyboard, "Save? (y/n)"), Answer::Gone);  // no spinning
  EXPECT_EQ(askQuestion(screen, keyboard, "Save? (y/n)"), Answer::Gone);
}

// Bytes past the longest answer are not taken, and the prompt is not drawn again for them:
// a paste of megabytes is passed over at once.
TEST(Prompt, BytesPastTheLongestAnswerAreNotDrawnAgain) {
  TestSession t(40, 5);
  typeBytes(t.console, std::string(PromptAnswer::Longest + 5000, 'x') + "\r");
  const int writesBefore = t.console.textWrites;
  const auto answer =
      promptString(t.session.screen, t.session.keyboard, {"search for: ", "", PromptKind::Search});
  EXPECT_EQ(std::string(answer.get()), std::string(PromptAnswer::Longest, 'x'));
  EXPECT_LT(t.console.textWrites - writesBefore, 2 * static_cast<int>(PromptAnswer::Longest + 100));
}

// An answer longer than the status line keeps every byte and scrolls, the cursor always in
// view and the prompt text never scrolled away; the keys of the prompt stand above it.
TEST(Prompt, LongAnswerScrollsBehindThePrompt) {
  TestSession t(20, 5);
  typeBytes(t.console, "XY\r");
  auto answer = promptString(t.session.screen, t.session.keyboard,
                             {"replace with: ", "0123456789", PromptKind::Replacement});
  EXPECT_STREQ(answer.get(), "0123456789XY");
  EXPECT_EQ(t.console.rowText(4), "replace with: 789XY ");
  EXPECT_EQ(t.console.cursor.x, 19);
  EXPECT_EQ(t.console.rowText(3), "Shift+Del clear     ");
  EXPECT_EQ(t.console.attributeAt(3, 0), StatusAttribute);

  t.console.pushKey(vk::Home, 0, 0);
  typeBytes(t.console, "\t\r");
  answer = promptString(t.session.screen, t.session.keyboard,
                        {"replace with: ", "0123456789", PromptKind::Replacement});
  EXPECT_STREQ(answer.get(), "\t0123456789");
  EXPECT_EQ(t.console.rowText(4), "replace with: \t01234");
  EXPECT_EQ(t.console.cursor.x, 15);

  typeBytes(t.console, "abc");  // the input ends before Enter: an empty answer
  answer =
      promptString(t.session.screen, t.session.keyboard, {"file name: ", "", PromptKind::FileName});
  EXPECT_STREQ(answer.get(), "");
}

// The options a search prompt names, and the keys row shortened by whole entries.
TEST(Prompt, SearchPromptNamesItsOptionsAndKeys) {
  SearchOptions options;
  EXPECT_EQ(promptText("search for: ", &options), "search for: ");
  options.ignoreCase = true;
  EXPECT_EQ(promptText("search for: ", &options), "search for [ignore case]: ");
  options.regex = true;
  EXPECT_EQ(promptText("replace with: ", &options), "replace with [ignore case, regex]: ");
  EXPECT_EQ(promptText("go to line: ", nullptr), "go to line: ");

  const PromptRequest search{"search for: ", "", PromptKind::Search, &options};
  EXPECT_EQ(promptKeysText(search, 40), "Shift+Del clear  Up/Down earlier");
  EXPECT_EQ(promptKeysText(search, 80).substr(0, 48),
            "Shift+Del clear  Up/Down earlier  F6 ignore case");
}

// F7 in a search prompt toggles regular expressions where the build has them, and says
// plainly that it has none where it has not; either way the answer is untouched.
TEST(Prompt, F7InASearchPromptTogglesRegexOrSaysItIsMissing) {
  TestSession t(80, 5);
  SearchOptions options;
  t.console.pushKey(vk::F7, 0, 0);
  t.console.pushKey(vk::F6, 0, 0);
  typeBytes(t.console, "a");  // the input then ends with the prompt open, as it was shown
  auto answer = promptString(t.session.screen, t.session.keyboard,
                             {"search for: ", "x", PromptKind::Search, &options});
  EXPECT_TRUE(options.ignoreCase);
  if (regexAvailable()) {
    EXPECT_TRUE(options.regex);
    EXPECT_EQ(t.console.rowText(4).substr(0, 38), "search for [ignore case, regex]: xa   ");
  } else {
    EXPECT_FALSE(options.regex);
    EXPECT_EQ(t.console.rowText(4).substr(0, 30), "search for [ignore case]: xa  ");
  }
  const PromptRequest plain{"go to line: ", "", PromptKind::LineNumber};
  EXPECT_EQ(promptKeysText(plain, 80).find("F6"), std::string::npos);  // only search prompts
}

// Without the engine, F7 puts the reason on the keys row until the next key.
TEST(Prompt, F7WithoutTheEngineSaysSoOnTheKeysRow) {
  if (regexAvailable()) GTEST_SKIP() << "this build has regular expressions";
  TestSession t(80, 5);
  SearchOptions options;
  t.console.pushKey(vk::F7, 0, 0);
  promptString(t.session.screen, t.session.keyboard,
               {"search for: ", "", PromptKind::Search, &options});
  EXPECT_EQ(t.console.rowText(3).substr(0, 51),
            "Regular expressions are not available in this build");
}

}  // namespace
