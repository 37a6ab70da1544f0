#pragma once

struct CommandLine;
struct Session;

// Runs the editor on a session: attach the file the command line names (at the line it asks
// for), then redraw and handle events until quit, then the end steps. Returns the exit
// status.
int runEditor(Session& session, const CommandLine& commandLine);
