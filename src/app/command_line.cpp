#include "app/command_line.h"

#include <cstring>

#include "core/version.h"
#include "input/help_text.h"
#include "motion/line_position.h"

namespace {

// `+N` or `+N:C` (both at least 1, as F4 takes them) into the result; false when the argument
// is not of that form.
bool startPosition(const char* arg, CommandLine& result) {
  int32_t line = 0;
  int32_t column = 1;
  if (!parseLinePosition(arg + 1, line, column) || line < 1) return false;
  result.startLine = line;
  result.startColumn = column;
  return true;
}

CommandLine failed(std::string error) {
  CommandLine result;
  result.action = CommandLine::Action::Error;
  result.error = std::move(error);
  return result;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine result;
  bool options = true;
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (options) {
      if (std::strcmp(arg, "--") == 0) {
        options = false;
        continue;
      }
      if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        result.action = CommandLine::Action::Help;
        return result;
      }
      if (std::strcmp(arg, "--version") == 0) {
        result.action = CommandLine::Action::Version;
        return result;
      }
      if (arg[0] == '+') {
        if (!startPosition(arg, result)) return failed(std::string("not a line number: ") + arg);
        continue;
      }
      if (arg[0] == '-')
        return failed(std::string("unknown option ") + arg +
                      " (use -- before a file name that starts with -)");
    }
    // An empty name names no file: the autosave copy and its lock would be hidden files
    // named only by their suffix, in the working folder.
    if (arg[0] == '\0') return failed("empty file name");
    if (++files == 1) result.fileName = arg;
  }
  if (files > 1) {
    result.fileName = nullptr;
    result.tooManyFiles = true;
  }
  return result;
}

std::string usageText() {
  std::string text =
      "Usage: slate [+LINE[:COLUMN]] [--] [FILE]\n"
      "       slate --help | -h\n"
      "       slate --version\n"
      "\n"
      "Edits FILE (or an empty, unnamed document) in the terminal, byte for byte.\n"
      "  +LINE[:COLUMN]  start on line LINE (at COLUMN), both counted from 1\n"
      "  --              end of options: what follows is the file name\n"
      "  -h, --help      print this text and exit\n"
      "  --version       print the version and exit\n"
      "\n"
      "Main keys (F1 in the editor lists them all):\n";
  text += mainKeysText();
  return text;
}

std::string versionText() {
  return std::string("slate ") + slateVersion + "\n";
}
