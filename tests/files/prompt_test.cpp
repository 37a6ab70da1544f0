// The status-line questions the file commands and the end steps rely on.
#include "input/prompt.h"

#include <gtest/gtest.h>

#include "platform/key_codes.h"
#include "support/test_session.h"

namespace {

void typeBytes(console::MemoryConsole& console, const std::string& bytes) {
  for (char c : bytes) console.pushKey(0, static_cast<uint8_t>(c), 0);
}

TEST(Prompt, YesNoWaitsForAnAnswerAndEndsWhenTheInputDoes) {
  TestSession t;
  typeBytes(t.console, "\r x\x1bY");
  EXPECT_EQ(askYesNo(t.session.keyboard), Answer::Yes);
  typeBytes(t.console, "yn");
  EXPECT_EQ(askYesNo(t.session.keyboard), Answer::Yes);
  EXPECT_EQ(askYesNo(t.session.keyboard), Answer::No);
  t.console.pushKey(vk::F1, 0, 0);  // keys without a character are passed over
  typeBytes(t.console, "N");
  EXPECT_EQ(askYesNo(t.session.keyboard), Answer::No);
  typeBytes(t.console, "q");
  EXPECT_EQ(askYesNo(t.session.keyboard), Answer::Gone);  // never taken as y or n, and no spinning
  EXPECT_EQ(askYesNo(t.session.keyboard), Answer::Gone);
}

TEST(Prompt, InitialAnswerThatDoesNotFitIsCut) {
  TestSession t(20, 5);
  typeBytes(t.console, "XY\r");  // no room left: both dropped
  auto answer = promptString(t.session.screen, t.session.keyboard, "replace with: ", "0123456789");
  EXPECT_STREQ(answer.get(), "012345");
  EXPECT_EQ(t.console.rowText(4), "replace with: 012345");

  typeBytes(t.console, "\b\b\t\r");
  answer = promptString(t.session.screen, t.session.keyboard, "replace with: ", "0123456789");
  EXPECT_STREQ(answer.get(), "0123\t");

  typeBytes(t.console, "abc");  // the input ends before Enter: an empty answer
  answer = promptString(t.session.screen, t.session.keyboard, "file name: ", "");
  EXPECT_STREQ(answer.get(), "");
}

}  // namespace
