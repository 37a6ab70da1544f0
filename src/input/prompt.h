#pragma once

#include <memory>

class Keyboard;
class Screen;

enum class Answer { No, Yes, Gone };

// Waits for y or n in either case; every other key is ignored. Gone when the input ends.
Answer askYesNo(Keyboard& keyboard);

// Shows a question on the status line and waits for its y or n.
Answer askQuestion(Screen& screen, Keyboard& keyboard, const char* question);

// Shows the prompt and an editable answer on the status line; returns the answer when Enter
// is pressed (the empty string when the input ends).
std::unique_ptr<char[]> promptString(Screen& screen, Keyboard& keyboard, const char* prompt,
                                     const char* initial);
