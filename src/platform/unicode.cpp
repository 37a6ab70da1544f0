#include "platform/unicode.h"

namespace unicode {

namespace detail {

const CharInfo* classBlocks[0x110000 / kClassBlock] = {};

// A block, once filled, stays for the program's life.
const CharInfo* fillClassBlock(char32_t index) {
  CharInfo* block = new CharInfo[kClassBlock];
  for (char32_t i = 0; i < kClassBlock; ++i) block[i] = lookUpChar(index * kClassBlock + i);
  classBlocks[index] = block;
  return block;
}

}  // namespace detail

bool isVariationSelector(char32_t cp) {
  return (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0x180B && cp <= 0x180D) || cp == 0x180F ||
         (cp >= 0xE0100 && cp <= 0xE01EF);
}

}  // namespace unicode
