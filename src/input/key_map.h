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

// A typed character inserted as one key of a typing run, then the after-command step (the
// way of an unbound key with a character, and of a byte typed with Alt and the keypad).
void typeChar(Editor& editor, uint8_t ch);

// Text pasted into the terminal in one piece goes in as the paste command puts it.
void pasteText(Editor& editor, const char* text, size_t length);
