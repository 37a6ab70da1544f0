#pragma once

#include "input/keyboard.h"
#include "platform/clipboard_store.h"
#include "platform/console.h"
#include "screen/screen.h"
#include "search/search_state.h"

class Editor;

// The objects the editor talks through, built in this order (the Screen clears the console,
// the Keyboard sets the input mode) and torn down in reverse, which gives the console back
// as it was found.
struct Session {
  Session(console::Console& console, ClipboardStore& store);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Gives the editor the screen, keyboard, search texts and clipboard of this session.
  void attach(Editor& editor);

  Screen screen;
  Keyboard keyboard;
  SearchState searchState;
  ClipboardStore& clipboard;
};
