#pragma once

#include <memory>

class Screen;

// One character typed on the console; -1 when the input has gone.
int readChar();

enum class Answer { No, Yes, Gone };

// Waits for y or n in either case; every other key is ignored. Gone when the input ends.
Answer askYesNo();

// Shows the prompt and an editable answer on the status line; returns the answer when Enter
// is pressed (the empty string when the input ends).
std::unique_ptr<char[]> promptString(Screen& screen, const char* prompt, const char* initial);
