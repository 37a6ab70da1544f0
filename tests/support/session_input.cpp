#include "support/session_input.h"

#include <cctype>
#include <vector>

#include "app/app.h"
#include "app/command_line.h"
#include "platform/key_codes.h"

void type(console::MemoryConsole& console, const std::string& text) {
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    console.pushKey(std::isalpha(u) ? static_cast<uint16_t>(std::toupper(u)) : 0, u, 0);
  }
}

void press(console::MemoryConsole& console, uint16_t key, uint32_t controlKeyState) {
  const uint8_t ch = key == vk::Return ? 13 : key == vk::Back ? 8 : 0;
  console.pushKey(key, ch, controlKeyState);
}

std::string statusRow(TestSession& t) {
  std::string row = t.console.rowText(t.console.height - 1);
  return row.substr(0, row.find_last_not_of(' ') + 1);
}

std::string message(const Editor& editor) {
  return editor.pendingMessage ? editor.pendingMessage.get() : "";
}

int runProgram(TestSession& t, const std::string& name, std::string* note) {
  std::string program = "slate";
  std::string copy = name;
  std::vector<char*> argv = {program.data()};
  if (!name.empty()) argv.push_back(copy.data());
  return runEditor(t.session, parseCommandLine(static_cast<int>(argv.size()), argv.data()), note);
}
