#include <locale.h>
#include <utf8proc.h>
#include <wchar.h>

#include "platform/unicode.h"

namespace unicode {

namespace {

const utf8proc_property_t* propertyOf(char32_t codePoint) {
  return utf8proc_get_property(static_cast<utf8proc_int32_t>(codePoint));
}

BreakRole breakRole(int boundclass) {
  switch (boundclass) {
    case UTF8PROC_BOUNDCLASS_OTHER:
      return BreakRole::Plain;
    case UTF8PROC_BOUNDCLASS_CONTROL:
    case UTF8PROC_BOUNDCLASS_LF:
      return BreakRole::Control;
    case UTF8PROC_BOUNDCLASS_CR:
      return BreakRole::Return;
    case UTF8PROC_BOUNDCLASS_PREPEND:
      return BreakRole::Prepend;
    case UTF8PROC_BOUNDCLASS_EXTEND:
    case UTF8PROC_BOUNDCLASS_ZWJ:
    case UTF8PROC_BOUNDCLASS_SPACINGMARK:
      return BreakRole::Extending;
    case UTF8PROC_BOUNDCLASS_L:
    case UTF8PROC_BOUNDCLASS_V:
    case UTF8PROC_BOUNDCLASS_T:
    case UTF8PROC_BOUNDCLASS_LV:
    case UTF8PROC_BOUNDCLASS_LVT:
    case UTF8PROC_BOUNDCLASS_E_BASE:
    case UTF8PROC_BOUNDCLASS_E_MODIFIER:
    case UTF8PROC_BOUNDCLASS_GLUE_AFTER_ZWJ:
    case UTF8PROC_BOUNDCLASS_E_BASE_GAZ:
    case UTF8PROC_BOUNDCLASS_EXTENDED_PICTOGRAPHIC:
      return BreakRole::Pairing;
    case UTF8PROC_BOUNDCLASS_REGIONAL_INDICATOR:
      return BreakRole::Regional;
    default:
      return BreakRole::Joining;
  }
}

// Terminals are known to disagree on the width of these (or of the character they join).
bool widthUnsure(int boundclass) {
  switch (boundclass) {
    case UTF8PROC_BOUNDCLASS_REGIONAL_INDICATOR:
    case UTF8PROC_BOUNDCLASS_E_BASE:
    case UTF8PROC_BOUNDCLASS_E_MODIFIER:
    case UTF8PROC_BOUNDCLASS_E_BASE_GAZ:
    case UTF8PROC_BOUNDCLASS_GLUE_AFTER_ZWJ:
    case UTF8PROC_BOUNDCLASS_EXTENDED_PICTOGRAPHIC:
    case UTF8PROC_BOUNDCLASS_E_ZWG:
    case UTF8PROC_BOUNDCLASS_EXTEND:  // a character of its own that may join the one before
      return true;
    default:
      return false;
  }
}

// Whether the C library's tables, in a UTF-8 locale, give the code point no width: a code point
// newer than them. Terminals that use those tables draw it one column wide or not at all (tmux
// drops it), whatever width libutf8proc gives it.
bool unknownToCLibrary(char32_t codePoint) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (utf8 == static_cast<locale_t>(0)) return false;
  const locale_t previous = uselocale(utf8);
  const int width = wcwidth(static_cast<wchar_t>(codePoint));
  uselocale(previous);
  return width < 0;
}

}  // namespace

CharInfo lookUpChar(char32_t codePoint) {
  const utf8proc_property_t* property = propertyOf(codePoint);
  const bool ignorable = property->ignorable;
  const BreakRole role = breakRole(property->boundclass);
  switch (property->category) {
    case UTF8PROC_CATEGORY_CN:  // unassigned, noncharacters included
    case UTF8PROC_CATEGORY_CC:
    case UTF8PROC_CATEGORY_CF:
    case UTF8PROC_CATEGORY_CS:
    case UTF8PROC_CATEGORY_CO:
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
      return {CharKind::Hidden, false, ignorable, role};
    default:
      break;
  }
  // Default-ignorable code points show nothing (Hangul fillers, ...); the nonspacing marks
  // among them (variation selectors, the grapheme joiner) only modify the character before.
  if (ignorable && property->category != UTF8PROC_CATEGORY_MN)
    return {CharKind::Hidden, false, true, role};
  // The vowels and final consonants of conjoining Hangul join the syllable's first consonant
  // in its two columns: terminals give them none, though libutf8proc gives them one.
  const bool conjoinedJamo = property->boundclass == UTF8PROC_BOUNDCLASS_V ||
                             property->boundclass == UTF8PROC_BOUNDCLASS_T;
  const int width = conjoinedJamo ? 0 : property->charwidth;
  // Spacing marks (the vowel signs of most Indic scripts) take a column of their own in
  // terminals, though libutf8proc gives them none; a terminal that draws one in the column
  // of the letter before it is not unheard of, so the width counts as unsure.
  if (width == 0 && property->category == UTF8PROC_CATEGORY_MC)
    return {CharKind::Narrow, true, ignorable, role};
  if (width == 0) return {CharKind::Combining, ignorable, ignorable, role};
  return {width >= 2 ? CharKind::Wide : CharKind::Narrow,
          widthUnsure(property->boundclass) || unknownToCLibrary(codePoint), ignorable, role};
}

bool characterBreak(char32_t before, char32_t after, int32_t& state) {
  return utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(before),
                                          static_cast<utf8proc_int32_t>(after), &state);
}

bool isWordCodePoint(char32_t codePoint) {
  switch (propertyOf(codePoint)->category) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO:
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_MC:
    case UTF8PROC_CATEGORY_ME:
    case UTF8PROC_CATEGORY_ND:
      return true;
    default:
      return false;
  }
}

}  // namespace unicode
