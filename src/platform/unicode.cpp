#include "platform/unicode.h"

namespace unicode {

bool isVariationSelector(char32_t cp) {
  return (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0x180B && cp <= 0x180D) || cp == 0x180F ||
         (cp >= 0xE0100 && cp <= 0xE01EF);
}

}  // namespace unicode
