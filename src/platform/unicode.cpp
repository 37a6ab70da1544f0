#include "platform/unicode.h"

namespace unicode {

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

bool isVariationSelector(char32_t cp) {
  return (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0x180B && cp <= 0x180D) || cp == 0x180F ||
         (cp >= 0xE0100 && cp <= 0xE01EF);
}

}  // namespace unicode
