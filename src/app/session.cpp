#include "app/session.h"

#include "core/editor.h"

Session::Session(console::Console& console, ClipboardStore& store)
    : screen(console), keyboard(console), clipboard(store) {}

void Session::attach(Editor& editor) {
  editor.screen = &screen;
  editor.keyboard = &keyboard;
  editor.searchState = &searchState;
  editor.clipboard = &clipboard;
}
