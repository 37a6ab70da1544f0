#pragma once

// Runs the editor on the current session: attach the file named by the one argument, then
// redraw and handle events until quit, then the end steps. Returns the exit status.
int runEditor(int argc, char** argv);
