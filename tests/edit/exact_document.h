#pragma once

#include <string>
#include <vector>

#include "core/editor.h"

// A document split into lines at its terminators (LF, CR LF, CR, LF CR, the pairs taken
// whole): each line's text and terminator. The last line is whatever follows the last
// terminator and has none, so "a\n" is two lines, "a" one.
struct SplitLine {
  std::string text;
  std::string ending;
};
std::vector<SplitLine> splitDocument(const std::string& bytes);

// Replaces the editor's document with exactly these bytes (unlike a load, a last line with
// text stays unterminated), cursor and mark at (0, 0), nothing changed. New line breaks get
// the first terminator of the document, or LF when it has none.
void loadExactDocument(Editor& editor, const std::string& bytes);
