// The Windows console shows bytes in its own code page and the editor never divides text
// into UTF-8 characters there; these answers keep every code point a narrow character of
// its own.
#include "platform/unicode.h"

namespace unicode {

CharInfo lookUpChar(char32_t codePoint) {
  (void)codePoint;
  return {CharKind::Narrow, false, false, BreakRole::Plain};
}

bool characterBreak(char32_t before, char32_t after, int32_t& state) {
  (void)before;
  (void)after;
  (void)state;
  return true;
}

bool isWordCodePoint(char32_t codePoint) {
  return codePoint >= 0x80;
}

}  // namespace unicode
