#include "search/byte_search.h"

#include <bit>
#include <climits>
#include <cstring>

#include "core/tab_stop.h"
#include "platform/unicode.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define SLATE_SEARCH_SSE2 1
#endif

namespace {

// Checks the candidates of one 16-byte block, given as a bit mask of the offsets from
// `block` whose first and last needle bytes match; returns the first full match or -1.
[[maybe_unused]] int32_t firstFullMatch(const char* text, const char* block, uint32_t mask,
                                        const Needle& needle) {
  const size_t middle = static_cast<size_t>(needle.length - 2);
  while (mask != 0) {
    const char* candidate = block + std::countr_zero(mask);
    if (std::memcmp(candidate + 1, needle.bytes + 1, middle) == 0)
      return static_cast<int32_t>(candidate - text);
    mask &= mask - 1;
  }
  return -1;
}

// Whether every byte of the text belongs to a well-formed UTF-8 sequence.
bool wellFormed(const char* bytes, int64_t length) {
  const ByteView view = ByteView::of(bytes, static_cast<size_t>(length));
  for (int64_t p = 0; p < length;) {
    uint8_t unit[4];
    const int64_t available = length - p < 4 ? length - p : 4;
    for (int64_t i = 0; i < available; ++i) unit[i] = view[static_cast<size_t>(p + i)];
    char32_t codePoint;
    const int n = unicode::decodeUtf8(unit, static_cast<size_t>(available), codePoint);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

int32_t findBytesFrom(const char* text, int32_t length, int32_t from, const Needle& needle);

}  // namespace

Needle needleFor(TextUnit unit, const char* bytes, int64_t length) {
  const bool characters = unit == TextUnit::Character && wellFormed(bytes, length);
  return {bytes, length, characters ? TextUnit::Character : TextUnit::Byte};
}

int32_t findFrom(const char* text, int32_t length, int32_t from, const Needle& needle) {
  int32_t q = findBytesFrom(text, length, from, needle);
  if (needle.unit == TextUnit::Byte) return q;
  const ByteView line = ByteView::of(text, static_cast<size_t>(length));
  for (; q >= 0; q = findBytesFrom(text, length, q + 1, needle)) {
    const size_t end = static_cast<size_t>(q + needle.length);
    if (characterStart(needle.unit, line, static_cast<size_t>(q)) == static_cast<size_t>(q) &&
        characterStart(needle.unit, line, end) == end)
      return q;
  }
  return -1;
}

namespace {

// A one-byte needle is a memchr. A longer one is looked for 16 candidates at a time by
// comparing its first and last bytes at once, so a common first byte costs nothing extra;
// only candidates that match both are compared in full.
int32_t findBytesFrom(const char* text, int32_t length, int32_t from, const Needle& needle) {
  const int64_t lastStart = length - needle.length;  // the last possible start
  if (lastStart < from) return -1;
  const char first = needle.bytes[0];
  if (needle.length == 1) {
    const void* hit = std::memchr(text + from, first, static_cast<size_t>(length - from));
    return hit ? static_cast<int32_t>(static_cast<const char*>(hit) - text) : -1;
  }
#ifdef SLATE_SEARCH_SSE2
  if (lastStart - from + 1 >= 16) {
    const __m128i firsts = _mm_set1_epi8(first);
    const __m128i lasts = _mm_set1_epi8(needle.bytes[needle.length - 1]);
    const char* end = text + (needle.length - 1);  // where the last byte of a start at 0 is
    auto candidates = [&](int64_t at) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end + at));
      return static_cast<uint32_t>(
          _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, firsts), _mm_cmpeq_epi8(b, lasts))));
    };
    int64_t at = from;
    for (; at + 15 <= lastStart; at += 16) {
      if (const uint32_t mask = candidates(at)) {
        const int32_t q = firstFullMatch(text, text + at, mask, needle);
        if (q >= 0) return q;
      }
    }
    if (at <= lastStart) {  // the rest, as a block that overlaps the one before
      const int64_t back = lastStart - 15;
      const uint32_t mask = candidates(back) & ~((1u << (at - back)) - 1);
      return mask ? firstFullMatch(text, text + back, mask, needle) : -1;
    }
    return -1;
  }
#endif
  const size_t rest = static_cast<size_t>(needle.length - 1);
  const char* p = text + from;
  const char* last = text + lastStart;
  while (p <= last) {
    p = static_cast<const char*>(std::memchr(p, first, static_cast<size_t>(last - p) + 1));
    if (p == nullptr) return -1;
    if (std::memcmp(p + 1, needle.bytes + 1, rest) == 0) return static_cast<int32_t>(p - text);
    ++p;
  }
  return -1;
}

}  // namespace

// The display column at which byte q of a line starts: in the Character unit, where the
// characters of the text before q end, counted as End counts them.
int32_t columnOfByte(TextUnit unit, const char* text, int32_t q, int32_t tabWidth) {
  if (unit == TextUnit::Character) {
    const int64_t column = layOutColumns(unit, tabWidth, ByteView::of(text, static_cast<size_t>(q)),
                                         0, 0, [](size_t, int32_t) {});
    return column > INT32_MAX ? INT32_MAX : static_cast<int32_t>(column);
  }
  if (tabWidth == 0) return q;
  int64_t column = 0;
  const char* p = text;
  const char* end = text + q;
  while (p < end) {
    const char* tab = static_cast<const char*>(std::memchr(p, '\t', static_cast<size_t>(end - p)));
    if (tab == nullptr) {
      column += end - p;
      break;
    }
    column += tab - p;
    column = nextTabStop(column, tabWidth);
    p = tab + 1;
  }
  return column > INT32_MAX ? INT32_MAX : static_cast<int32_t>(column);
}

int32_t findBefore(const char* text, int32_t length, int32_t before, const Needle& needle) {
  int32_t last = -1;
  for (int32_t q = findFrom(text, length, 0, needle); q >= 0 && q < before;
       q = findFrom(text, length, q + 1, needle))
    last = q;
  return last;
}
