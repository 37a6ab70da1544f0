#pragma once

#include <cstddef>
#include <cstdint>

namespace terminal {

// The code point of the well-formed UTF-8 sequence that the bytes start with, and its length
// in bytes (1 to 4). Well-formed: the shortest encoding of a code point up to U+10FFFF that
// is not a surrogate, complete within the given bytes. 0 when the bytes start no such
// sequence (a stray continuation byte, a truncated or overlong sequence, ...).
int decodeUtf8(const uint8_t* bytes, size_t available, char32_t& codePoint);

// How a terminal in a UTF-8 locale would show a code point, from the Unicode data of
// libutf8proc.
enum class CharKind : uint8_t {
  Hidden,     // never sent: controls, format characters (bidirectional controls, zero-width
              // characters, U+FEFF), line and paragraph separators, other default-ignorable
              // code points, surrogates, private use, unassigned code points and noncharacters
  Combining,  // takes no column of its own: joins the character before it
  Narrow,     // one column
  Wide,       // two columns
};

struct CharInfo {
  CharKind kind;
  // Terminals are known to disagree on this character's width (emoji, regional indicators,
  // emoji modifiers) or on the width of the character it joins (variation selectors).
  bool widthUnsure;
};

CharInfo classifyChar(char32_t codePoint);

}  // namespace terminal
