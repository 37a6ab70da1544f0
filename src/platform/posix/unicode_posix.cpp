#include <utf8proc.h>

#include "platform/unicode.h"

namespace unicode {

namespace {

const utf8proc_property_t* propertyOf(char32_t codePoint) {
  return utf8proc_get_property(static_cast<utf8proc_int32_t>(codePoint));
}

}  // namespace

CharInfo classifyChar(char32_t codePoint) {
  const auto cp = static_cast<utf8proc_int32_t>(codePoint);
  const utf8proc_property_t* property = utf8proc_get_property(cp);
  const bool ignorable = property->ignorable;
  switch (property->category) {
    case UTF8PROC_CATEGORY_CN:  // unassigned, noncharacters included
    case UTF8PROC_CATEGORY_CC:
    case UTF8PROC_CATEGORY_CF:
    case UTF8PROC_CATEGORY_CS:
    case UTF8PROC_CATEGORY_CO:
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
      return {CharKind::Hidden, false, ignorable};
    default:
      break;
  }
  // Default-ignorable code points show nothing (Hangul fillers, ...); the nonspacing marks
  // among them (variation selectors, the grapheme joiner) only modify the character before.
  if (ignorable && property->category != UTF8PROC_CATEGORY_MN)
    return {CharKind::Hidden, false, true};

  const int width = utf8proc_charwidth(cp);
  if (width == 0) return {CharKind::Combining, ignorable, ignorable};
  bool unsure = false;
  switch (property->boundclass) {
    case UTF8PROC_BOUNDCLASS_REGIONAL_INDICATOR:
    case UTF8PROC_BOUNDCLASS_E_BASE:
    case UTF8PROC_BOUNDCLASS_E_MODIFIER:
    case UTF8PROC_BOUNDCLASS_E_BASE_GAZ:
    case UTF8PROC_BOUNDCLASS_GLUE_AFTER_ZWJ:
    case UTF8PROC_BOUNDCLASS_EXTENDED_PICTOGRAPHIC:
    case UTF8PROC_BOUNDCLASS_E_ZWG:
    case UTF8PROC_BOUNDCLASS_EXTEND:  // a character of its own that may join the one before
      unsure = true;
      break;
    default:
      break;
  }
  return {width >= 2 ? CharKind::Wide : CharKind::Narrow, unsure, ignorable};
}

bool characterBreak(char32_t before, char32_t after, int32_t& state) {
  return utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(before),
                                          static_cast<utf8proc_int32_t>(after), &state);
}

bool certainBreak(char32_t before, char32_t after) {
  const int previous = propertyOf(before)->boundclass;
  const int next = propertyOf(after)->boundclass;
  switch (previous) {
    case UTF8PROC_BOUNDCLASS_CONTROL:
    case UTF8PROC_BOUNDCLASS_LF:
      return true;
    case UTF8PROC_BOUNDCLASS_CR:
      return next != UTF8PROC_BOUNDCLASS_LF;
    case UTF8PROC_BOUNDCLASS_PREPEND:
      return false;
    default:
      break;
  }
  // Nothing but a prepended mark joins a plain character or a control to what comes before.
  return next == UTF8PROC_BOUNDCLASS_OTHER || next == UTF8PROC_BOUNDCLASS_CONTROL ||
         next == UTF8PROC_BOUNDCLASS_CR;
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
