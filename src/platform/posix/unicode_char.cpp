#include "platform/posix/unicode_char.h"

#include <utf8proc.h>

namespace terminal {

int decodeUtf8(const uint8_t* bytes, size_t available, char32_t& codePoint) {
  if (available == 0) return 0;
  const uint8_t lead = bytes[0];
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  int length;
  char32_t cp;
  char32_t smallest;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
    smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
    smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
    smallest = 0x10000;
  } else {
    return 0;  // a continuation byte, or a lead byte only overlong or too large forms have
  }
  if (available < static_cast<size_t>(length)) return 0;
  for (int i = 1; i < length; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (bytes[i] & 0x3F);
  }
  if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  codePoint = cp;
  return length;
}

CharInfo classifyChar(char32_t codePoint) {
  const auto cp = static_cast<utf8proc_int32_t>(codePoint);
  const utf8proc_property_t* property = utf8proc_get_property(cp);
  switch (property->category) {
    case UTF8PROC_CATEGORY_CN:  // unassigned, noncharacters included
    case UTF8PROC_CATEGORY_CC:
    case UTF8PROC_CATEGORY_CF:
    case UTF8PROC_CATEGORY_CS:
    case UTF8PROC_CATEGORY_CO:
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
      return {CharKind::Hidden, false};
    default:
      break;
  }
  // Default-ignorable code points show nothing (Hangul fillers, ...); the nonspacing marks
  // among them (variation selectors, the grapheme joiner) only modify the character before.
  const bool ignorable = property->ignorable;
  if (ignorable && property->category != UTF8PROC_CATEGORY_MN) return {CharKind::Hidden, false};

  const int width = utf8proc_charwidth(cp);
  if (width == 0) return {CharKind::Combining, ignorable != 0};
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
  return {width >= 2 ? CharKind::Wide : CharKind::Narrow, unsure};
}

}  // namespace terminal
