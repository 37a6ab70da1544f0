// The fast column count (layOutColumns) against the plain one of columnOfByte, which reads
// every character with a CharacterReader: random lines of valid and invalid UTF-8 with tabs,
// marks, joiner sequences, flags and wide characters, from a random character start to a
// random end, in the bytes as a string holds them and as the cursor line's cells do.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/char_rule.h"
#include "support/test_seed.h"

namespace {

const char* const kPieces[] = {
    // ASCII, a run of it, controls and characters of one code point, narrow and wide
    "a",
    "b",
    "plain words, ",
    "\x7f",
    " ",
    ".",
    "\t",
    "\r",
    "\n",
    "\x01",
    "\xc3\xa9",
    "\xd0\xbc",
    "\xe6\x97\xa5",
    // marks after a letter, alone and too many for one cell; a spacing mark
    "e\xcc\x81",
    "\xcc\x81",
    "a\xcc\x81\xcc\x81\xcc\x81\xcc\x81\xcc\x81\xcc\x81\xcc\x81\xcc\x81",
    "\xe0\xa4\x83",
    // regional indicators, an emoji with a modifier, joiner sequences (the second too long for
    // one cell), a joiner, a selector
    "\xf0\x9f\x87\xab",
    "\xf0\x9f\x87\xb7",
    "\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbb",
    "\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x92\xbb",
    "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7\xe2\x80\x8d\xf0\x9f"
    "\x91\xa6",
    "\xe2\x80\x8d",
    "\xef\xb8\x8f",
    // hidden, prepended, private use, Hangul jamo and syllables
    "\xe2\x80\x8b",
    "\xc2\xad",
    "\xd8\x80",
    "\xee\x80\x80",
    "\xe1\x84\x80",
    "\xe1\x85\xa1",
    "\xea\xb0\x80",
    // bytes of no well-formed sequence
    "\xff",
    "\xe2\x82",
    "\xc3",
    "\xa9",
    "\xed\xa0\x80",
    "\xc0\xaf",
    // overlong forms of "A" and of a CJK ideograph, a code point past U+10FFFF, a lead byte
    // that starts nothing, each followed by continuation bytes
    "\xc1\x81",
    "\xe0\x81\x81",
    "\xf0\x80\x81\x81",
    "\xf0\x86\x97\xa5",
    "\xf4\x90\x80\x80",
    "\xf5\x80\x80\x80",
};

}  // namespace

TEST(ColumnCount, FastCountEqualsTheCountByCharacter) {
  const unsigned seed = testSeed();
  std::mt19937 random(seed);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int pieces = static_cast<int>(random() % 40);
    for (int i = 0; i < pieces; ++i) text += kPieces[random() % std::size(kPieces)];
    const TextUnit unit = random() % 4 == 0 ? TextUnit::Byte : TextUnit::Character;
    const int32_t tabWidth = static_cast<int32_t>(random() % 3) * 4;
    const size_t end = random() % (text.size() + 1);
    std::vector<uint8_t> cells(2 * end + 1);  // every other byte, as in a line's cells
    for (size_t i = 0; i < end; ++i) {
      cells[2 * i] = static_cast<uint8_t>(text[i]);
      cells[2 * i + 1] = static_cast<uint8_t>(random());  // a span, which is no byte of the text
    }
    const ByteView bytes =
        random() % 2 ? ByteView::of(text.data(), end) : ByteView{cells.data(), 2, end};
    std::vector<size_t> starts{0};
    for (CharacterReader reader(unit, bytes, 0); !reader.atEnd();)
      starts.push_back(reader.position() + reader.next().size);
    const size_t start = starts[random() % starts.size()];
    const int64_t fast =
        layOutColumns(unit, tabWidth, bytes, start, columnOfByte(unit, tabWidth, bytes, start),
                      [](size_t, int32_t) {});
    ASSERT_EQ(fast, columnOfByte(unit, tabWidth, bytes, end))
        << "SLATE_SEED=" << seed << " round " << round << " start " << start;
  }
}

// Going back over a line one character at a time with CharactersBefore against
// characterBefore asked afresh at every step: lines with long runs that hold no certain
// boundary (joiner sequences, flags, marks, Hangul jamo) among other characters, the bytes
// moved and read by either stride, sometimes asked twice at one place or moved back by a
// byte instead of a character.
TEST(ColumnCount, CharactersBeforeEqualCharacterBefore) {
  const unsigned seed = testSeed();
  std::mt19937 random(seed);
  const char* const runs[] = {
      "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7",
      "\xf0\x9f\x87\xab", "\xcc\x81", "\xe1\x84\x80", "\xe2\x80\x8d\xf0\x9f\x91\xa9"};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int pieces = static_cast<int>(random() % 12);
    for (int i = 0; i < pieces; ++i) {
      if (random() % 3 == 0) {
        const char* run = runs[random() % std::size(runs)];
        for (int n = static_cast<int>(random() % 400); n > 0; --n) text += run;
      } else {
        text += kPieces[random() % std::size(kPieces)];
      }
    }
    const TextUnit unit = random() % 8 == 0 ? TextUnit::Byte : TextUnit::Character;
    const bool cells = random() % 2;
    std::vector<uint8_t> bytes;
    auto view = [&](size_t end) {
      bytes.assign(cells ? 2 * end + 1 : end + 1, 0);  // new memory, as the cells' may move
      for (size_t i = 0; i < end; ++i) bytes[cells ? 2 * i : i] = static_cast<uint8_t>(text[i]);
      return ByteView{bytes.data(), cells ? 2 : 1, end};
    };
    CharactersBefore characters(unit);
    for (size_t end = random() % (text.size() + 1); end > 0;) {
      const ByteView now = view(end);
      const CharStep expected = characterBefore(unit, now, end);
      const CharStep step = characters.before(now);
      ASSERT_TRUE(step.size == expected.size && step.width == expected.width)
          << "SLATE_SEED=" << seed << " round " << round << " end " << end;
      if (random() % 16 == 0) continue;
      end -= random() % 64 == 0 ? 1 : step.size;
    }
  }
}

// Where a move to a goal column lands (bytesBeforeColumn, boundaryColumnFrom) against reading
// every character from the line's start: random lines, goals and starting columns.
TEST(ColumnCount, LandingOnAColumnEqualsReadingByCharacter) {
  const unsigned seed = testSeed();
  std::mt19937 random(seed);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int pieces = static_cast<int>(random() % 400);
    for (int i = 0; i < pieces; ++i) text += kPieces[random() % std::size(kPieces)];
    const TextUnit unit = random() % 4 == 0 ? TextUnit::Byte : TextUnit::Character;
    const int32_t tabWidth = static_cast<int32_t>(random() % 3) * 4;
    const ByteView bytes = ByteView::of(text.data(), text.size());
    const int32_t from = random() % 2 ? 0 : static_cast<int32_t>(random() % 10);
    const int32_t goal = static_cast<int32_t>(random() % (text.size() + 12));
    size_t expected = 0;
    int64_t column = from;
    for (CharacterReader reader(unit, bytes, 0); !reader.atEnd() && column < goal;) {
      const bool tab = text[reader.position()] == '\t' && tabWidth != 0;
      const int32_t width = reader.next().width;
      column = tab ? nextTabStop(column, tabWidth) : column + width;
      expected = reader.position();
    }
    const std::string context = "SLATE_SEED=" + std::to_string(seed) + " round " +
                                std::to_string(round) + " goal " + std::to_string(goal);
    ASSERT_EQ(boundaryColumnFrom(unit, tabWidth, bytes, from, goal), column) << context;
    if (from != 0) continue;
    int32_t reached = -1;
    ASSERT_EQ(bytesBeforeColumn(unit, tabWidth, bytes, goal, reached), expected) << context;
    ASSERT_EQ(reached, column) << context;
  }
}
