#pragma once

#include <cstdint>
#include <string>

#include "support/test_session.h"

// What a user does to a test session, and what the editor then shows.

// Queues each byte as the key that types it: a letter names its key, any other byte arrives
// with no key the table knows, so every byte is typed as it is.
void type(console::MemoryConsole& console, const std::string& text);
// Queues a key; Enter and Backspace carry their control character, other keys none.
void press(console::MemoryConsole& console, uint16_t key, uint32_t controlKeyState = 0);
// The status line without its trailing blanks.
std::string statusRow(TestSession& t);
// The message waiting for the status line, "" for none.
std::string message(const Editor& editor);
// Runs the editor as the program runs it, with name as its one argument ("" for none);
// returns the exit status, and what it prints at the end in note (may be null).
int runProgram(TestSession& t, const std::string& name, std::string* note = nullptr);
