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
