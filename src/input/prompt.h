#pragma once

#include <memory>
#include <string>

#include "input/prompt_history.h"

class Keyboard;
class Screen;

enum class Answer { No, Yes, Gone, Open };

// Shows a question on the status line and waits for y or n in either case, and r (Open)
// when orOpen is set; every other key is ignored. Gone when the input ends. A resized
// terminal shows the question again at once on its new last row.
Answer askQuestion(Screen& screen, Keyboard& keyboard, const char* question, bool orOpen = false);

// How searches match; set from the search prompts (F6, F7) and kept for the run.
struct SearchOptions {
  bool ignoreCase = false;
  bool regex = false;
};

// Whether this build has a regular expression engine.
bool regexAvailable();

struct PromptRequest {
  const char* prompt;  // e.g. "search for: "
  const char* initial;
  PromptKind kind;
  // Search prompts: F6 and F7 toggle these, and the prompt names those that are on.
  SearchOptions* options = nullptr;
};

// The keys without a character that work in prompts: for the keys row (hint, in this order,
// when set) and the help page (keys and description).
struct PromptKeyHelp {
  const char* keys;
  const char* hint;
  const char* description;
  bool searchOnly;          // only in the search and replace prompts
  bool needsRegex = false;  // only where the build has regular expressions
};
inline constexpr PromptKeyHelp PromptKeys[] = {
    {"Shift+Del", "Shift+Del clear", "clear the whole answer", false},
    {"Up, Down", "Up/Down earlier", "earlier answers to this kind of prompt, newest first", false},
    {"F6 (in a search prompt)", "F6 ignore case", "ignore case: on / off", true},
    {"F7 (in a search prompt)", "F7 regex", "regular expressions ($1 in the replacement)", true,
     true},
    {"Ctrl+Del", "Ctrl+Del delete to end", "delete from the cursor to the end", false},
    {"Left, Right, Home, End", "Left/Right/Home/End move", "move within the answer", false},
    {"Del", nullptr, "delete the character at the cursor", false},
};

// The prompt as shown: "search for: " becomes "search for [ignore case, regex]: " while
// options are on.
std::string promptText(const char* prompt, const SearchOptions* options);

// The keys that work in a prompt, as shown on the row above the status line, shortened to
// fit `columns` by leaving out whole entries from the end.
std::string promptKeysText(const PromptRequest& request, size_t columns);

// Shows the prompt and an editable answer on the status line and the prompt's keys on the row
// above it; returns the answer when Enter is pressed (the empty string when the input ends).
// Every key with a character goes into the answer at the cursor (Backspace deletes before
// it); keys without one move, delete, clear, bring back earlier answers or toggle options.
std::unique_ptr<char[]> promptString(Screen& screen, Keyboard& keyboard,
                                     const PromptRequest& request);
