#pragma once

#include <cstdint>

#include "core/char_rule.h"

// Finding a text's bytes within one line's bytes, and where a byte of a line is shown.
struct Needle {
  const char* bytes;
  int64_t length;  // at least 1
  // Character: a needle of well-formed UTF-8 is found only where it starts and ends on
  // character boundaries (byte by byte it would match, say, the e of an e with an accent).
  TextUnit unit = TextUnit::Byte;
};

// The needle as searched for in this unit of text.
Needle needleFor(TextUnit unit, const char* bytes, int64_t length);

// The lowest offset q >= from at which the needle lies wholly inside text[0, length) (on
// character boundaries where the needle asks for them), or -1.
int32_t findFrom(const char* text, int32_t length, int32_t from, const Needle& needle);

// The highest offset q < before at which the needle lies wholly inside text[0, length), or -1.
int32_t findBefore(const char* text, int32_t length, int32_t before, const Needle& needle);

// The display column at which byte q of a line starts.
int32_t columnOfByte(TextUnit unit, const char* text, int32_t q, int32_t tabWidth);
