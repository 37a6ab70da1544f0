#pragma once

#include <cstring>
#include <string>

#include "app/session.h"
#include "core/editor.h"
#include "platform/clipboard_store.h"
#include "platform/memory_console.h"

// A whole session on an in-memory console and clipboard.
struct TestSession {
  explicit TestSession(int width = 80, int height = 25) : console(width, height) {}
  console::MemoryConsole console;
  MemoryClipboard clipboard;
  Session session{console, clipboard};
};

// An editor that works through a test session, as the program's editor works through its own.
struct SessionEditor : Editor {
  explicit SessionEditor(TestSession& test) { test.session.attach(*this); }
};

// A copy of text on the heap, for what takes ownership of a C string (the search texts).
inline char* copyOf(const std::string& text) {
  char* copy = new char[text.size() + 1];
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}
