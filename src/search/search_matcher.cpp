#include <string>

#include "screen/screen.h"
#include "search/search_scan.h"
#include "search/search_state.h"

std::unique_ptr<Matcher> searchMatcher(Editor& e) {
  const SearchState& state = *e.searchState;
  MatchOptions options;
  options.ignoreCase = state.options.ignoreCase;
  options.regex = state.options.regex;
  options.utf8 = e.screen->outputHandle.displayMode() == console::DisplayMode::Utf8;
  std::string error;
  std::unique_ptr<Matcher> matcher = Matcher::make(state.searchText, options, error);
  if (!matcher) {
    e.setPendingMessage(("Invalid regular expression: " + error).c_str());
    return matcher;
  }
  // A pattern slow on every line makes even a document held whole long to search: a key
  // stops it, as it stops a search through a large file's unread text.
  matcher->stopWhen([&e] {
    if (!e.waitProgress || e.waitProgress("Searching", 0, 0)) return true;
    e.setPendingMessage("Search stopped");
    return false;
  });
  return matcher;
}
