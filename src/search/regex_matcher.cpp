// Regular expressions, and literal texts with Unicode case folding, through PCRE2 with its
// JIT: on bytes, or in UTF mode where invalid UTF-8 in a line never fails a match (it only
// never matches). In UTF mode the engine works by code point, the editor by character: a
// match that would begin or end inside a character (an accent without its letter) does not
// count, and the search goes on after that character.
#ifdef SLATE_HAVE_PCRE2

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstring>

#include "core/char_rule.h"
#include "search/matcher.h"

namespace {

// The JIT's stack grows to this: a group repeated once per character of a line of a
// million characters or so. A longer line is matched by the interpreter, with its memory on
// the heap, up to kHeapLimitKiB.
constexpr PCRE2_SIZE kJitStackStart = 32 << 10;
constexpr PCRE2_SIZE kJitStackMax = 64 << 20;
constexpr uint32_t kHeapLimitKiB = 256 << 10;

class EngineMatcher : public Matcher {
 public:
  EngineMatcher(pcre2_code* code, bool utf8, bool ignoreCase) : Matcher(utf8), code_(code) {
    jit_ = pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE) == 0;
    data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    // The JIT's default stack (32 KiB) is spent by a group repeated per character on a line
    // of a thousand characters: the match failed there as if there were none.
    context_ = pcre2_match_context_create(nullptr);
    if (context_ != nullptr) {
      pcre2_set_heap_limit(context_, kHeapLimitKiB);
      if (jit_) stack_ = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
      if (stack_ != nullptr) pcre2_jit_stack_assign(context_, nullptr, stack_);
    }
    uint32_t type = 0;
    // A line without the pattern's fixed first byte cannot match: one memchr tells. A
    // letter there may stand for both its cases, as after (?i) in the pattern: two then.
    if (!ignoreCase && pcre2_pattern_info(code_, PCRE2_INFO_FIRSTCODETYPE, &type) == 0 &&
        type == 1) {
      uint32_t unit = 0;
      pcre2_pattern_info(code_, PCRE2_INFO_FIRSTCODEUNIT, &unit);
      first_ = static_cast<int>(unit);
      if ((unit | 0x20) >= 'a' && (unit | 0x20) <= 'z') firstOther_ = static_cast<int>(unit ^ 0x20);
    }
    uint32_t behind = 1;
    lookBehind_ = pcre2_pattern_info(code_, PCRE2_INFO_MAXLOOKBEHIND, &behind) != 0 || behind > 0;
  }
  ~EngineMatcher() override {
    pcre2_jit_stack_free(stack_);
    pcre2_match_context_free(context_);
    pcre2_match_data_free(data_);
    pcre2_code_free(code_);
  }

  Match find(const char* text, int32_t length, int32_t from) override {
    Match match = findFrom(text, length, from);
    if (!utf8_) return match;
    const ByteView line = ByteView::of(text, static_cast<size_t>(length));
    while (match.start >= 0 && !onBoundaries(line, match)) {
      const size_t start =
          characterStart(TextUnit::Character, line, static_cast<size_t>(match.start));
      match = findFrom(text, length,
                       static_cast<int32_t>(nextCharBoundary(TextUnit::Character, line, start)));
    }
    return match;
  }

  std::string replacementFor(const char* text, const std::string& replacement) override {
    if (!literal_) return expand(text, replacement);
    return replacement;
  }

  // Past a line's start, ^ matches only after a line break, which a line never holds.
  bool looksOnlyAhead() const override { return !lookBehind_; }

  bool literal_ = false;

 private:
  static bool onBoundaries(const ByteView& line, const Match& match) {
    const size_t start = static_cast<size_t>(match.start);
    const size_t end = start + static_cast<size_t>(match.length);
    return characterStart(TextUnit::Character, line, start) == start &&
           characterStart(TextUnit::Character, line, end) == end;
  }

  // The engine's leftmost match at or after `from`.
  Match findFrom(const char* text, int32_t length, int32_t from) {
    if (from > length || stopped_) return {};
    if (first_ >= 0) {
      const size_t rest = static_cast<size_t>(length - from);
      if (!std::memchr(text + from, first_, rest) &&
          (firstOther_ < 0 || !std::memchr(text + from, firstOther_, rest)))
        return {};
    }
    const auto subject = reinterpret_cast<PCRE2_SPTR>(text != nullptr ? text : "");
    const auto size = static_cast<PCRE2_SIZE>(length);
    const auto offset = static_cast<PCRE2_SIZE>(from);
    int rc = jit_ ? pcre2_jit_match(code_, subject, size, offset, 0, data_, context_)
                  : PCRE2_ERROR_JIT_STACKLIMIT;
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT)  // a line too long for the JIT's stack
      rc = pcre2_match(code_, subject, size, offset, PCRE2_NO_JIT, data_, context_);
    if (!goOn(rc < 0 && rc != PCRE2_ERROR_NOMATCH)) return {};
    if (rc < 0) {
      if (rc != PCRE2_ERROR_NOMATCH) gaveUp_ = true;
      return {};
    }
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data_);
    groups_ = rc;
    // \K can put the start after the end; such a match counts as empty at its end.
    const PCRE2_SIZE start = ovector[0] <= ovector[1] ? ovector[0] : ovector[1];
    return Match{static_cast<int32_t>(start), static_cast<int32_t>(ovector[1] - start)};
  }

  // The group's text in the line the last match was found in; empty when it took no part.
  std::string group(const char* text, uint32_t n) const {
    if (n >= static_cast<uint32_t>(groups_)) return "";
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data_);
    if (ovector[2 * n] == PCRE2_UNSET || ovector[2 * n + 1] < ovector[2 * n]) return "";
    return std::string(text + ovector[2 * n], ovector[2 * n + 1] - ovector[2 * n]);
  }

  std::string expand(const char* text, const std::string& replacement) const {
    std::string out;
    for (size_t i = 0; i < replacement.size(); ++i) {
      const char c = replacement[i];
      const char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
      if (c != '$') {
        out += c;
      } else if (next == '$') {
        out += '$';
        ++i;
      } else if (next >= '0' && next <= '9') {
        out += group(text, static_cast<uint32_t>(next - '0'));
        ++i;
      } else if (next == '{') {
        const size_t close = replacement.find('}', i + 2);
        uint32_t n = 0;
        bool digits = close != std::string::npos && close > i + 2;
        for (size_t j = i + 2; digits && j < close; ++j) {
          digits = replacement[j] >= '0' && replacement[j] <= '9';
          if (digits && n < 1000000) n = n * 10 + static_cast<uint32_t>(replacement[j] - '0');
        }
        if (!digits) {
          out += c;
          continue;
        }
        out += group(text, n);
        i = close;
      } else {
        out += c;
      }
    }
    return out;
  }

  pcre2_code* code_;
  pcre2_match_data* data_ = nullptr;
  pcre2_match_context* context_ = nullptr;
  pcre2_jit_stack* stack_ = nullptr;
  bool jit_ = false;
  int first_ = -1;
  int firstOther_ = -1;  // the first byte's other case, for a letter
  int groups_ = 0;
  bool lookBehind_ = true;
};

}  // namespace

std::unique_ptr<Matcher> makeEngineMatcher(const std::string& pattern, const MatchOptions& options,
                                           bool literal, std::string& error) {
  uint32_t flags = 0;
  if (literal) flags |= PCRE2_LITERAL;
  if (options.ignoreCase) flags |= PCRE2_CASELESS;
  if (options.utf8) flags |= PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
  int code = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* compiled = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                       flags, &code, &offset, nullptr);
  if (compiled == nullptr) {
    PCRE2_UCHAR message[256];
    pcre2_get_error_message(code, message, sizeof message);
    error = std::string(reinterpret_cast<const char*>(message)) + " (at " + std::to_string(offset) +
            ")";
    return nullptr;
  }
  auto matcher = std::make_unique<EngineMatcher>(compiled, options.utf8, options.ignoreCase);
  matcher->literal_ = literal;
  return matcher;
}

#endif
