#pragma once

#include <string>
#include <vector>

#include "input/help_group.h"
#include "input/key_map.h"

// What a command of the key table does, for the help page.
struct CommandHelp {
  Command command;
  HelpGroup group;
  const char* description;
};

// The entry for a command, or null when it has none.
const CommandHelp* describeCommand(Command command);

// The help page, one string per row, read from the tables themselves: the keys a newcomer
// needs first, then every key by group (the extra keys in theirs), then how prompts work and
// what the status line, typing and autosave do.
std::vector<std::string> helpPageLines();

// For --help: the keys a newcomer needs first, then every extra key, one "  KEYS  what" line
// each, read from the same tables.
std::string mainKeysText();
