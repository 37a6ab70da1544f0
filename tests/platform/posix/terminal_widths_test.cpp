// Widths the terminal may not know: a code point that libutf8proc gives columns and the C
// library's tables (which tmux and many terminals draw by) give none is written as text whose
// width terminals disagree on, so that the rest of its row is placed absolutely.
#include <gtest/gtest.h>
#include <locale.h>
#include <wchar.h>

#include "platform/unicode.h"

TEST(TerminalWidths, CodePointsUnknownToTheCLibraryCountAsUnsure) {
  const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (utf8 == static_cast<locale_t>(0)) GTEST_SKIP() << "no C.UTF-8 locale";
  const locale_t previous = uselocale(utf8);
  for (char32_t c = 0xA0; c < 0x110000; ++c) {
    const unicode::CharInfo info = unicode::classifyChar(c);
    const bool takesColumns =
        info.kind == unicode::CharKind::Narrow || info.kind == unicode::CharKind::Wide;
    if (takesColumns && wcwidth(static_cast<wchar_t>(c)) < 0) {
      ASSERT_TRUE(info.widthUnsure) << "U+" << std::hex << static_cast<uint32_t>(c);
    }
  }
  uselocale(previous);
  freelocale(utf8);
}
