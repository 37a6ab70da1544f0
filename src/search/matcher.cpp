#include "search/matcher.h"

#include <cstring>

#include "search/byte_search.h"

namespace {

// The text byte for byte, or with ASCII letters folded.
class LiteralMatcher : public Matcher {
 public:
  LiteralMatcher(const std::string& text, bool fold, bool utf8)
      : Matcher(utf8), text_(text), fold_(fold) {
    if (fold_)
      for (char& c : text_)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }

  Match find(const char* text, int32_t length, int32_t from) override {
    if (from > length) return {};
    const int32_t n = static_cast<int32_t>(text_.size());
    if (n == 0) return {from, 0};
    // In UTF-8, well-formed text is found only where it is whole characters.
    const Needle needle = needleFor(utf8_ ? TextUnit::Character : TextUnit::Byte, text_.data(), n);
    const int32_t q = fold_ ? findFolded(text, length, from, text_.data(), n)
                            : findFrom(text, length, from, needle);
    return q < 0 ? Match{} : Match{q, n};
  }
  bool looksOnlyAhead() const override { return true; }

 private:
  std::string text_;
  bool fold_;
};

}  // namespace

std::unique_ptr<Matcher> Matcher::make(const std::string& pattern, const MatchOptions& options,
                                       std::string& error) {
  error.clear();
#ifdef SLATE_HAVE_PCRE2
  // In UTF mode the engine takes no text with a byte outside every character (and would
  // never match one in a line): such a text is found with ASCII letters folded.
  const bool wellFormed =
      needleFor(TextUnit::Character, pattern.data(), static_cast<int64_t>(pattern.size())).unit ==
      TextUnit::Character;
  if (options.regex || (options.ignoreCase && options.utf8 && wellFormed))
    return makeEngineMatcher(pattern, options, !options.regex, error);
#endif
  if (options.regex) {
    error = "Regular expressions are not available in this build";
    return nullptr;
  }
  return std::make_unique<LiteralMatcher>(pattern, options.ignoreCase, options.utf8);
}

const char* const kLinesPassedOver =
    "Some lines were too long or complex for the pattern and were passed over";

std::string Matcher::replacementFor(const char*, const std::string& replacement) {
  return replacement;
}

int32_t Matcher::stepPast(const char* text, int32_t length, int32_t at) const {
  ++at;
  if (utf8_)
    while (at < length && (static_cast<uint8_t>(text[at]) & 0xC0) == 0x80) ++at;
  return at;
}

void Matcher::stopWhen(std::function<bool()> keepGoing) {
  keepGoing_ = std::move(keepGoing);
  restartClock();
}

bool Matcher::goOn(bool slow) {
  if (stopped_ || !keepGoing_) return !stopped_;
  if (++runs_ % 16 != 0 && !slow) return true;  // a run is some ten nanoseconds: few reads
  const auto now = std::chrono::steady_clock::now();
  busy_ += std::chrono::duration<double>(now - since_).count();
  since_ = now;
  if (busy_ < nextAsk_) return true;
  nextAsk_ = busy_ + 0.1;
  stopped_ = !keepGoing_();
  return !stopped_;
}

Match Matcher::findBefore(const char* text, int32_t length, int32_t before) {
  Match last;
  for (Match m = find(text, length, 0); m.start >= 0 && m.start < before;) {
    last = m;
    m = find(text, length, stepPast(text, length, m.start));
  }
  return stopped_ ? Match{} : last;  // stopped half-way, the last one found may not be the last
}
