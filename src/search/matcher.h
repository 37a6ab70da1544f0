#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

// How a search text is matched against a line's bytes.
struct MatchOptions {
  bool ignoreCase = false;  // ASCII letters, or Unicode simple case folding with utf8
  bool regex = false;
  bool utf8 = false;  // the text is UTF-8 (the display shows it so); otherwise bytes
};

struct Match {
  int32_t start = -1;  // -1: none
  int32_t length = 0;
};

// Finds a search text within single lines (never in a terminator, never across lines) and
// says what replaces what it found.
class Matcher {
 public:
  // A matcher for the pattern, or null with the reason in error when it is not valid.
  static std::unique_ptr<Matcher> make(const std::string& pattern, const MatchOptions& options,
                                       std::string& error);
  virtual ~Matcher() = default;

  // The leftmost match that starts at or after `from` in text[0, length); none when from is
  // past the end. The whole line is the subject, so anchors and look-behind see it all.
  virtual Match find(const char* text, int32_t length, int32_t from) = 0;
  // The text that replaces the match last found: the replacement as it is, or for a
  // regular expression with $1 ... $9 (or ${N}) the groups' text and $$ a dollar.
  virtual std::string replacementFor(const char* text, const std::string& replacement);
  // Whether a match starting at or after `from` depends only on the bytes from there on and,
  // in UTF-8, on where characters begin: true for a text as it is, and for a pattern that
  // never looks behind where it stands (no look-behind, \b, \B or \A) when the text before
  // `from` holds no line break.
  virtual bool looksOnlyAhead() const { return false; }
  // Where a search resumes after an empty match at `at`: one character further.
  int32_t stepPast(const char* text, int32_t length, int32_t at) const;

  // The rightmost match starting before `before`.
  Match findBefore(const char* text, int32_t length, int32_t before);

  // Whether the engine gave up on some line (a pattern that backtracks without end, or a
  // line too long for its limits): that line counted as holding no match.
  bool gaveUp() const { return gaveUp_; }

  // Asked now and then once the search has spent a quarter of a second (a pattern that
  // backtracks long on every line): false stops it, and every later find then finds nothing.
  void stopWhen(std::function<bool()> keepGoing);
  bool stopped() const { return stopped_; }
  // The time from here to the next find is not the search's (a question was answered).
  void restartClock() { since_ = std::chrono::steady_clock::now(); }

 protected:
  explicit Matcher(bool utf8) : utf8_(utf8) {}
  // Called after each run of the engine (slow: it gave up); false when the search is to stop.
  // The clock is read only now and then, and at once after a run that gave up, the slow kind.
  bool goOn(bool slow);
  bool utf8_;
  bool gaveUp_ = false;
  bool stopped_ = false;

 private:
  std::function<bool()> keepGoing_;
  std::chrono::steady_clock::time_point since_;  // where busy_ was last brought up to date
  double busy_ = 0;                              // seconds spent searching
  double nextAsk_ = 0.25;                        // busy_ at which keepGoing_ is asked next
  uint32_t runs_ = 0;                            // of the engine
};

// What the status line says when a matcher gave up on some lines: they were passed over.
extern const char* const kLinesPassedOver;

// The first occurrence at or after `from` of a text in ASCII letters folded: needle holds
// lower-case bytes. -1 when there is none.
int32_t findFolded(const char* text, int32_t length, int32_t from, const char* needle,
                   int32_t needleLength);

#ifdef SLATE_HAVE_PCRE2
// A matcher built on the regular expression engine: a pattern, or a literal text matched
// with Unicode case folding.
std::unique_ptr<Matcher> makeEngineMatcher(const std::string& pattern, const MatchOptions& options,
                                           bool literal, std::string& error);
#endif
