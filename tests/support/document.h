#pragma once

#include <string>
#include <vector>

#include "core/editor.h"

// The whole document as bytes, read from the four stacks without changing them.
std::string documentBytes(const Editor& editor);

// The document's lines, each with its terminator bytes.
std::vector<std::string> documentLines(const Editor& editor);

// Replaces the document with these bytes, split as a load splits them (a last line without
// terminator becomes a line ending in LF, followed by an empty last line), cursor at (0, 0).
// Works without the file layer.
void setDocument(Editor& editor, const std::string& bytes);

// Checks the stack invariants; returns the first one broken, or "" when all hold.
std::string brokenInvariant(const Editor& editor);
