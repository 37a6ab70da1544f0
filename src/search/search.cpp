#include "core/editor.h"
#include "search/search_state.h"

namespace {
char* emptyString() {
  return new char[1]{'\0'};
}
}  // namespace

SearchState::SearchState() : searchText(emptyString()), replaceText(emptyString()) {}

SearchState::~SearchState() {
  if (replaceText != searchText) delete[] replaceText;
  delete[] searchText;
}

void SearchState::setSearchStrings(char* search, char* replacement) {
  if (replaceText != searchText) delete[] replaceText;
  delete[] searchText;
  searchText = search;
  replaceText = replacement;
}

int Editor::search() {
  return 0;
}  // TODO(search)
int Editor::replace() {
  return 0;
}
int Editor::searchAgain() {
  return 0;
}
