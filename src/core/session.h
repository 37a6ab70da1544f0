#pragma once

#include "input/keyboard.h"
#include "input/prompt_history.h"
#include "platform/clipboard_store.h"
#include "platform/console.h"
#include "screen/screen.h"
#include "search/search_state.h"

// The objects the whole editor talks through, built in this order (the Screen clears the
// console, the Keyboard sets the input mode) and torn down in reverse, which gives the
// console back as it was found.
struct Session {
  Session(console::Console& console, ClipboardStore& store);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Screen screen;
  Keyboard keyboard;
  SearchState searchState;
  PromptHistory promptHistory;
  ClipboardStore& clipboard;
};

// The current session; there is exactly one while the editor runs.
Session& session();
