#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/key_codes.h"

class Editor;

// A command: an Editor operation without arguments, 1 when it did something, else 0. One
// exception: toggleAutoIndent returns the new state, so 0 when it has just turned it off.
using Command = int (Editor::*)();

struct KeyBinding {
  KeyCode key;
  Command command;
};

// The bindings in first-match order, ended by a row whose key is 0.
extern const KeyBinding KeyMap[];

// The first row whose key is the code, or the code without Shift; null when none.
const KeyBinding* findBinding(KeyCode code);

// Runs the bound command, or inserts the key's character when it has no binding, then the
// after-command step. Keys with neither change nothing.
void dispatchKey(Editor& editor, KeyCode code, uint8_t ch, bool shiftHeld);

// Text pasted into the terminal in one piece goes in as the paste command puts it.
void pasteText(Editor& editor, const char* text, size_t length);
