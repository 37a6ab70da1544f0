#pragma once

#include <cstdint>
#include <string>

// What the command line asks for. Options come before `--`; everything after it, and every
// argument before it that starts with neither `-` nor `+`, names a file. `+N` or `+N:C`
// starts on line N (at column C, as F4 takes it). Any other argument that starts with `-` or
// `+` before `--` is an error: nothing is edited.
struct CommandLine {
  enum class Action { Edit, Help, Version, Error };
  Action action = Action::Edit;
  const char* fileName = nullptr;  // null: the empty, unnamed document
  int32_t startLine = 0;           // counted from 1; 0: the document's start
  int32_t startColumn = 1;         // counted from 1
  std::string error;               // Action::Error: what is wrong, for "slate: ERROR"
  bool tooManyFiles = false;       // two or more names: none of them is opened
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// What --help prints: how to start the editor and its main keys.
std::string usageText();

// What --version prints.
std::string versionText();
