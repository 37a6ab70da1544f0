#pragma once

#include "input/prompt.h"

// The texts asked for last. A plain search when replaceText is the very string searchText,
// a replacement when it is a string of its own (even one with the same bytes).
struct SearchState {
  SearchState();
  ~SearchState();
  SearchState(const SearchState&) = delete;
  SearchState& operator=(const SearchState&) = delete;

  // Takes ownership of both strings, which may be one and the same.
  void setSearchStrings(char* search, char* replacement);
  bool isPlainSearch() const { return replaceText == searchText; }

  char* searchText;
  char* replaceText;
  SearchOptions options;  // how every search matches, set in the search prompts
};
