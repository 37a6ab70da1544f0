#pragma once

#include <cstdint>

// Word bytes: ASCII letters and digits and every byte from 0x80 up. Everything else,
// the underscore included, separates words.
inline bool isWordChar(uint8_t b) {
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b >= 0x80;
}
