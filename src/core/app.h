#pragma once

// Runs the editor on the current session: attach the file the command line names (at the
// line it asks for), then redraw and handle events until quit, then the end steps. Returns
// the exit status.
int runEditor(int argc, char** argv);
