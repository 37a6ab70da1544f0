#pragma once

#include <cstdint>
#include <string_view>

namespace terminal {

// The Unicode code point of a byte as code page 437 draws it. Byte 0 is a blank; every
// control byte has its picture (0x01 is U+263A, 0x1B is U+2190, 0x7F is U+2302), so no byte
// ever reaches a terminal as a control character.
char32_t cp437CodePoint(uint8_t byte);

// The same glyph as UTF-8 (one to three bytes).
std::string_view cp437Glyph(uint8_t byte);

}  // namespace terminal
