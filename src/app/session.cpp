#include "app/session.h"

#include "core/editor.h"

Session::Session(console::Console& console, ClipboardStore& store)
    : screen(console), keyboard(console), clipboard(store) {}

void Session::attach(Editor& editor) {
  editor.screen = &screen;
  editor.keyboard = &keyboard;
  keyboard.document = &editor;
  editor.searchState = &searchState;
  editor.clipboard = &clipboard;
  editor.waitProgress = [this](const char* what, uint64_t done, uint64_t total) {
    return keyboard.keepWaiting(screen, what, done, total);
  };
  editor.workProgress = [this](const char* what, uint64_t done, uint64_t total) {
    keyboard.showProgress(screen, what, done, total);
  };
}
