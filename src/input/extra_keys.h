#pragma once

#include "input/help_group.h"
#include "input/key_map.h"

// Commands beyond the key table, on keys that carry no character and have no binding there.
// Consulted only after the key table and character insertion have both passed a key over, so
// every key of the table keeps its meaning. Ended by a row whose key is 0.
struct ExtraKey {
  KeyCode key;
  Command command;
  const char* description;  // for the help page, e.g. "undo"
  HelpGroup group;          // where the help page lists it
  // Run as with Shift held: the selection stays as it was (a command that only shows
  // something). Otherwise the selection collapses onto the cursor after the command.
  bool keepsSelection = false;
};
extern const ExtraKey ExtraKeys[];

// The row for exactly this code, else the row for the code without Shift; null when none.
const ExtraKey* findExtraKey(KeyCode code);
