#pragma once

#include "core/session.h"
#include "platform/clipboard_store.h"
#include "platform/memory_console.h"

// A whole session on an in-memory console and clipboard.
struct TestSession {
  explicit TestSession(int width = 80, int height = 25) : console(width, height) {}
  console::MemoryConsole console;
  MemoryClipboard clipboard;
  Session session{console, clipboard};
};
