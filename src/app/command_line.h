#pragma once

#include <cstdint>
#include <string>

// What the command line asks for. Options come before `--`; everything after it, and every
// argument that is not an option, names a file. `+N` (digits only) starts on line N.
struct CommandLine {
  enum class Action { Edit, Help, Version };
  Action action = Action::Edit;
  const char* fileName = nullptr;  // null: the empty, unnamed document
  int32_t startLine = 0;           // counted from 1; 0: the document's start
  bool tooManyFiles = false;       // two or more names: none of them is opened
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// What --help prints: how to start the editor and its main keys.
std::string usageText();

// What --version prints.
std::string versionText();
