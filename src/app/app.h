#pragma once

#include <string>

struct CommandLine;
struct Session;

// The exit status when the terminal went away and the unsaved work could be written nowhere.
constexpr int kWorkLost = 3;

// Runs the editor on a session: attach the file the command line names (at the line it asks
// for), then redraw and handle events until quit, then the end steps. Returns the exit
// status. endNote (may be null) receives what to print on standard error once the terminal
// is restored: where the unsaved work went when that is not beside the file, or why it went
// nowhere; "" for nothing.
int runEditor(Session& session, const CommandLine& commandLine, std::string* endNote = nullptr);
