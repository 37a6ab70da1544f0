// How search texts match within a line: case folding in both display modes, regular
// expressions with groups, invalid patterns, line ends, and empty matches.
#include "search/matcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/prompt.h"

namespace {

std::unique_ptr<Matcher> make(const std::string& pattern, bool ignoreCase, bool regex, bool utf8) {
  std::string error;
  auto m = Matcher::make(pattern, MatchOptions{ignoreCase, regex, utf8}, error);
  EXPECT_TRUE(m) << error;
  return m;
}

// Every match's start and length, left to right, each search resuming behind the one before
// (a character further after an empty one), as a replacement walks a line.
std::vector<std::pair<int, int>> all(Matcher& m, const std::string& line) {
  std::vector<std::pair<int, int>> found;
  const int32_t n = static_cast<int32_t>(line.size());
  for (Match at = m.find(line.data(), n, 0); at.start >= 0;) {
    found.emplace_back(at.start, at.length);
    const int32_t end = at.start + at.length;
    if (at.length == 0 && end >= n) break;
    at = m.find(line.data(), n, at.length > 0 ? end : m.stepPast(line.data(), n, end));
  }
  return found;
}

using Found = std::vector<std::pair<int, int>>;

// Regular expressions and Unicode folding need the engine, which not every build has.
#define NEEDS_ENGINE() \
  if (!regexAvailable()) GTEST_SKIP() << "this build has no regular expression engine"

TEST(Matcher, FoldsAsciiLettersOnlyInCodePage437Mode) {
  auto m = make("straSSe", true, false, false);
  const std::string line =
      "Strasse STRASSE stra\xC3\x9F"
      "e straSSe_";
  EXPECT_EQ(all(*m, line), (Found{{0, 7}, {8, 7}, {24, 7}}));
  // Long lines take the 16-at-a-time path: a match at every distance from the start.
  for (int pad = 0; pad < 40; ++pad) {
    const std::string padded = std::string(pad, '@') + "xSTRASSE" + std::string(pad, '`');
    EXPECT_EQ(m->find(padded.data(), static_cast<int32_t>(padded.size()), 0).start, pad + 1);
  }
  auto punctuation = make("a@[", true, false, false);  // '@' and '[' are no letters
  EXPECT_EQ(all(*punctuation, "A`{ a@[ A@["), (Found{{4, 3}, {8, 3}}));
  auto high = make("\xC9t\xC9", true, false, false);  // bytes from 0x80 match only themselves
  EXPECT_EQ(all(*high, "\xE9T\xE9 \xC9T\xC9"), (Found{{4, 3}}));
}

TEST(Matcher, FoldsUnicodeInUtf8Mode) {
  NEEDS_ENGINE();
  auto m = make("\xC3\xA9t\xC3\xA9", true, false, true);  // été
  EXPECT_EQ(all(*m, "\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9"), (Found{{0, 5}, {6, 5}}));
  auto kelvin = make("k", true, false, true);  // U+212A KELVIN SIGN folds to k
  EXPECT_EQ(all(*kelvin, "\xE2\x84\xAA K"), (Found{{0, 3}, {4, 1}}));
  // Invalid UTF-8 in the line never fails the search: it only never matches.
  auto x = make("x", true, false, true);
  EXPECT_EQ(all(*x, "\xFF\xC3 X\x80x"), (Found{{3, 1}, {5, 1}}));
  auto dot = make("a.b", false, true, true);
  EXPECT_EQ(all(*dot,
                "a\xFF"
                "b a\xC3\xA9"
                "b"),
            (Found{{4, 4}}));
  // A text with a stray byte in it is still found, its ASCII letters folded.
  auto stray = make("C\xFF", true, false, true);
  ASSERT_NE(stray, nullptr);
  EXPECT_EQ(all(*stray, "abc\xFF ABC\xFF"), (Found{{2, 2}, {7, 2}}));
}

TEST(Matcher, LiteralTextsKeepRegexCharactersAsTheyAre) {
  NEEDS_ENGINE();
  auto m = make("a.b(", true, false, true);
  EXPECT_EQ(all(*m, "axb( A.B("), (Found{{5, 4}}));
}

TEST(Matcher, RegexGroupsFillTheReplacement) {
  NEEDS_ENGINE();
  auto m = make("(\\w+)=([0-9]*)", false, true, false);
  const std::string line = "x=1 yy= z";
  Match at = m->find(line.data(), static_cast<int32_t>(line.size()), 0);
  EXPECT_EQ(at.start, 0);
  EXPECT_EQ(m->replacementFor(line.data(), "$2:$1 $$1 ${1}0 $9 $x ${z}"), "1:x $1 x0  $x ${z}");
  at = m->find(line.data(), static_cast<int32_t>(line.size()), 1);
  EXPECT_EQ(at.start, 4);
  EXPECT_EQ(m->replacementFor(line.data(), "[$2]"), "[]");
  auto literal = make("x", true, false, false);  // literal texts replace by the text as is
  EXPECT_EQ(literal->replacementFor(line.data(), "$1"), "$1");
}

TEST(Matcher, CaseOptionsInThePatternApply) {
  NEEDS_ENGINE();
  for (const bool utf8 : {false, true}) {  // a line without the first letter as written
    auto m = make("(?i)abc", false, true, utf8);
    EXPECT_EQ(all(*m, "xABC"), (Found{{1, 3}}));
  }
}

TEST(Matcher, InvalidPatternsSayWhy) {
  NEEDS_ENGINE();
  std::string error;
  EXPECT_FALSE(Matcher::make("a(b", MatchOptions{false, true, false}, error));
  EXPECT_NE(error.find("missing closing parenthesis"), std::string::npos) << error;
  EXPECT_FALSE(Matcher::make("[z-a]", MatchOptions{true, true, true}, error));
  EXPECT_FALSE(error.empty());
}

TEST(Matcher, AnchorsSeeTheWholeLineOnly) {
  NEEDS_ENGINE();
  auto end = make("b$", false, true, false);
  EXPECT_EQ(all(*end, "ab ab"), (Found{{4, 1}}));
  auto start = make("^a", false, true, false);
  const std::string line = "aaa";
  EXPECT_EQ(start->find(line.data(), 3, 1).start, -1);  // not at the start of the search
  EXPECT_EQ(start->findBefore(line.data(), 3, 3).start, 0);
  auto word = make("\\bx", false, true, false);
  EXPECT_EQ(word->find("ax x", 4, 1).start, 3);  // look-behind sees bytes before `from`
  EXPECT_EQ(word->find("ab", 2, 3).start, -1);   // from past the end: nothing
}

// A group repeated once per character takes memory per character: a long line is matched
// all the same, in both modes.
TEST(Matcher, RepeatedGroupsMatchOnLongLines) {
  NEEDS_ENGINE();
  std::string line;
  for (int i = 0; i < 50000; ++i) line += "ab";
  line += "c";
  for (const bool utf8 : {false, true}) {
    for (const char* pattern : {"(a|b)*c", "^(.)*$"}) {
      auto m = make(pattern, false, true, utf8);
      const Match at = m->find(line.data(), static_cast<int32_t>(line.size()), 0);
      EXPECT_EQ(at.start, 0) << pattern;
      EXPECT_EQ(at.length, static_cast<int32_t>(line.size())) << pattern;
    }
  }
}

TEST(Matcher, EmptyMatchesAdvance) {
  NEEDS_ENGINE();
  auto star = make("x*", false, true, false);
  EXPECT_EQ(all(*star, "axxb"), (Found{{0, 0}, {1, 2}, {3, 0}, {4, 0}}));
  auto utf8 = make("", false, true, true);  // a step is a character in UTF-8 mode
  EXPECT_EQ(all(*utf8, "\xC3\xA9z"), (Found{{0, 0}, {2, 0}, {3, 0}}));
  auto endOnly = make("$", false, true, false);
  EXPECT_EQ(all(*endOnly, ""), (Found{{0, 0}}));
}

}  // namespace
