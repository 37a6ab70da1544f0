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
// sequence (a stray continuation byte, a truncated or overlong sequence, ...). Bytes: any
// view with operator[] (the bytes may lie apart, as in the editor's cells).
template <typename Bytes>
inline int decodeUtf8(const Bytes& bytes, size_t available, char32_t& codePoint) {
  if (available == 0) return 0;
  const uint8_t lead = bytes[0];
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  // Lead bytes that only overlong or too large forms have start nothing.
  if (lead < 0xC2 || lead > 0xF4 || available < 2) return 0;
  const uint8_t second = bytes[1];
  if ((second & 0xC0) != 0x80) return 0;
  if (lead < 0xE0) {
    codePoint = static_cast<char32_t>((lead & 0x1F) << 6 | (second & 0x3F));
    return 2;
  }
  if (available < 3) return 0;
  const uint8_t third = bytes[2];
  if ((third & 0xC0) != 0x80) return 0;
  if (lead < 0xF0) {
    const char32_t cp =
        static_cast<char32_t>((lead & 0x0F) << 12 | (second & 0x3F) << 6 | (third & 0x3F));
    if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    codePoint = cp;
    return 3;
  }
  if (available < 4) return 0;
  const uint8_t fourth = bytes[3];
  if ((fourth & 0xC0) != 0x80) return 0;
  const char32_t cp = static_cast<char32_t>((lead & 0x07) << 18 | (second & 0x3F) << 12 |
                                            (third & 0x3F) << 6 | (fourth & 0x3F));
  if (cp < 0x10000 || cp > 0x10FFFF) return 0;
  codePoint = cp;
  return 4;
}

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

// How a code point takes part in character boundaries, as far as they are certain whatever
// surrounds it (the rules that need more context are characterBreak's).
enum class BreakRole : uint8_t {
  Plain,      // only a prepended mark or a carriage return joins it to what precedes
  Control,    // a boundary on both sides (controls, line feeds)
  Return,     // a carriage return: joins a line feed that follows
  Prepend,    // joins what follows
  Extending,  // joins whatever precedes but a control (marks, joiners, spacing marks)
  Pairing,    // may join only its own kind or a sequence before it (Hangul jamo, emoji),
              // never a plain code point
  Regional,   // a regional indicator: joins one other after a character's start (a flag)
  Joining,    // may join what precedes, by rules that need more context
};

struct CharInfo {
  CharKind kind;
  // Terminals are known to disagree on this character's width (emoji, regional indicators,
  // emoji modifiers) or on the width of the character it joins (variation selectors).
  bool widthUnsure;
  // Default-ignorable: shows nothing of its own.
  bool ignorable;
  BreakRole role;
};

// The class of one code point as the platform's data give it, each time asked.
CharInfo lookUpChar(char32_t codePoint);

namespace detail {
constexpr char32_t kClassBlock = 256;
// The classes of the code points by blocks of 256, each block filled when first asked.
extern const CharInfo* classBlocks[0x110000 / kClassBlock];
const CharInfo* fillClassBlock(char32_t index);
}  // namespace detail

// Asked for every character a key steps over or a row shows: an inline look-up in the table
// of blocks.
inline CharInfo classifyChar(char32_t codePoint) {
  if (codePoint > 0x10FFFF) return lookUpChar(codePoint);
  const CharInfo* block = detail::classBlocks[codePoint / detail::kClassBlock];
  if (!block) block = detail::fillClassBlock(codePoint / detail::kClassBlock);
  return block[codePoint % detail::kClassBlock];
}

// Variation selectors choose the form of the character before them (text or emoji, a
// Mongolian or CJK variant).
bool isVariationSelector(char32_t codePoint);

// Whether a character boundary lies between two code points, by the extended grapheme
// cluster rules; state carries what the rules remember along a run (start it at 0).
bool characterBreak(char32_t before, char32_t after, int32_t& state);

// Whether a character boundary lies between two code points whatever precedes them: the
// place to start reading when looking for boundaries backwards, and the answer that saves
// asking characterBreak.
inline bool certainBreak(const CharInfo& before, const CharInfo& after) {
  switch (before.role) {
    case BreakRole::Control:
      return true;
    case BreakRole::Return:
      return after.role != BreakRole::Control;  // a line feed would join it
    case BreakRole::Prepend:  // joins what follows, a control or a byte of no sequence excepted
      return after.role == BreakRole::Control || after.role == BreakRole::Return;
    case BreakRole::Plain:
      return after.role != BreakRole::Extending && after.role != BreakRole::Joining;
    default:
      return after.role == BreakRole::Plain || after.role == BreakRole::Control ||
             after.role == BreakRole::Return;
  }
}

// Whether two code points belong to one character whatever precedes them.
inline bool certainJoin(const CharInfo& before, const CharInfo& after) {
  return after.role == BreakRole::Extending && before.role != BreakRole::Control &&
         before.role != BreakRole::Return;
}

// The same for the first two code points of a character, where two regional indicators
// also join.
inline bool certainJoinAtStart(const CharInfo& first, const CharInfo& second) {
  return certainJoin(first, second) ||
         (first.role == BreakRole::Regional && second.role == BreakRole::Regional);
}

// Letters, marks and decimal digits of any script.
bool isWordCodePoint(char32_t codePoint);

}  // namespace unicode
