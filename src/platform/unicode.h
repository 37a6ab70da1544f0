#pragma once

#include <cstddef>
#include <cstdint>

// What the editor needs to know of Unicode: decoding UTF-8, how a terminal shows a code
// point, where user-perceived characters begin and end, and which code points belong to
// words. On POSIX the data come from libutf8proc; the Windows build, which shows bytes only,
// answers as if every code point were a narrow character of its own.
namespace unicode {

// The code point of the well-formed UTF-8 sequence that the bytes start with, and its length
// in bytes (1 to 4). Well-formed: the shortest encoding of a code point up to U+10FFFF that
// is not a surrogate, complete within the given bytes. 0 when the bytes start no such
// sequence (a stray continuation byte, a truncated or overlong sequence, ...).
int decodeUtf8(const uint8_t* bytes, size_t available, char32_t& codePoint);

// How a terminal in a UTF-8 locale would show a code point.
enum class CharKind : uint8_t {
  Hidden,     // never sent on its own: controls, format characters (bidirectional controls,
              // zero-width characters, U+FEFF), line and paragraph separators, other
              // default-ignorable code points, surrogates, private use, unassigned code
              // points and noncharacters
  Combining,  // takes no column of its own: joins the character before it
  Narrow,     // one column
  Wide,       // two columns
};

struct CharInfo {
  CharKind kind;
  // Terminals are known to disagree on this character's width (emoji, regional indicators,
  // emoji modifiers) or on the width of the character it joins (variation selectors).
  bool widthUnsure;
  // Default-ignorable: shows nothing of its own.
  bool ignorable;
};

CharInfo classifyChar(char32_t codePoint);

// Variation selectors choose the form of the character before them (text or emoji, a
// Mongolian or CJK variant).
bool isVariationSelector(char32_t codePoint);

// Whether a character boundary lies between two code points, by the extended grapheme
// cluster rules; state carries what the rules remember along a run (start it at 0).
bool characterBreak(char32_t before, char32_t after, int32_t& state);

// Whether a character boundary lies between the two code points whatever precedes them:
// the place to start reading when looking for boundaries backwards.
bool certainBreak(char32_t before, char32_t after);

// Letters, marks and decimal digits of any script.
bool isWordCodePoint(char32_t codePoint);

}  // namespace unicode
