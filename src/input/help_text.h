#pragma once

#include <string>
#include <vector>

#include "input/key_map.h"

// The groups the help page sorts the key table's commands into, in page order.
enum class HelpGroup { Moving, Selecting, Editing, Deleting, Clipboard, Files, Search, Other };

// What a command of the key table does, for the help page.
struct CommandHelp {
  Command command;
  HelpGroup group;
  const char* description;
};

// The entry for a command, or null when it has none.
const CommandHelp* describeCommand(Command command);

// The help page, one string per row: the key table by group and the extra keys, both read
// from the tables themselves, then what the status line, typing and autosave do.
std::vector<std::string> helpPageLines();

// The keys of the main commands, one "  KEYS  what" line each, read from the same tables.
std::string mainKeysText();
