#include "app/command_line.h"

#include <climits>
#include <cstring>

#include "core/version.h"
#include "input/help_text.h"

namespace {

// `+N` with N all digits: the line, saturated at INT32_MAX (a line past the end goes to the
// last line anyway). -1 when the argument is not of that form.
int32_t startLineOption(const char* arg) {
  if (arg[0] != '+' || arg[1] == '\0') return -1;
  int64_t value = 0;
  for (const char* p = arg + 1; *p; ++p) {
    if (*p < '0' || *p > '9') return -1;
    value = value * 10 + (*p - '0');
    if (value > INT32_MAX) value = INT32_MAX;
  }
  return static_cast<int32_t>(value);
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
      if (int32_t line = startLineOption(arg); line >= 0) {
        result.startLine = line;
        continue;
      }
    }
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
      "Usage: slate [+LINE] [--] [FILE]\n"
      "       slate --help | -h\n"
      "       slate --version\n"
      "\n"
      "Edits FILE (or an empty, unnamed document) in the terminal, byte for byte.\n"
      "  +LINE       start on line LINE, counted from 1\n"
      "  --          end of options: what follows is the file name\n"
      "  -h, --help  print this text and exit\n"
      "  --version   print the version and exit\n"
      "\n"
      "Main keys (F1 in the editor lists them all):\n";
  text += mainKeysText();
  return text;
}

std::string versionText() {
  return std::string("slate ") + slateVersion + "\n";
}
