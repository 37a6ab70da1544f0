// The help page: every key, over the whole screen, until a key that does not scroll it.
#include <algorithm>
#include <string>
#include <vector>

#include "core/editor.h"
#include "input/help_text.h"
#include "input/keyboard.h"
#include "screen/screen.h"

namespace {

// Keys that only modify others (or toggle a lock) never close the page on their own.
bool isModifierOnly(uint16_t key) {
  return key == vk::Shift || key == vk::Control || key == vk::Menu || key == vk::LWin ||
         key == vk::RWin || key == vk::Apps || key == vk::Capital || key == vk::NumLock ||
         key == vk::Scroll;
}

// Alt held with a digit of the numeric keypad: part of a character typed by its code, which
// arrives when Alt is released.
bool isAltCodeDigit(const console::KeyEventRecord& key) {
  return (key.controlKeyState & (console::LEFT_ALT_PRESSED | console::RIGHT_ALT_PRESSED)) &&
         key.virtualKeyCode >= vk::Numpad0 && key.virtualKeyCode <= vk::Numpad9;
}

std::string pageStatus(size_t first, size_t shown, size_t total) {
  return "Help, lines " + std::to_string(first + 1) + "-" +
         std::to_string(std::min(first + shown, total)) + " of " + std::to_string(total) +
         ": PgUp PgDn Up Down scroll, any other key closes";
}

}  // namespace

int Editor::help() {
  const std::vector<std::string> lines = helpPageLines();
  size_t first = 0;
  bool altCode = false;  // keypad digits typed with Alt held: their character closes the page
  for (bool open = true; open;) {
    screen->adoptNewSize();
    const size_t rows = static_cast<size_t>(screen->rows);
    const size_t lastFirst = lines.size() > rows ? lines.size() - rows : 0;
    first = std::min(first, lastFirst);
    screen->drawLines(lines, first);
    screen->showMessage(pageStatus(first, rows, lines.size()).c_str());

    if (keyboard->autosaveBeforeInput()) continue;
    console::InputRecord record;
    if (!keyboard->inputHandle.readInput(record)) break;  // the input has gone
    if (record.eventType == console::PASTE_EVENT) {       // closes the page and goes in
      keyboard->holdPaste();
      break;
    }
    const console::KeyEventRecord& key = record.key;
    if (record.eventType == console::KEY_EVENT && isAltCodeDigit(key)) {
      altCode = true;
      continue;
    }
    if (record.eventType == console::KEY_EVENT && !key.keyDown && key.virtualKeyCode == vk::Menu &&
        altCode)
      break;
    if (record.eventType != console::KEY_EVENT || !key.keyDown || key.repeatCount == 0 ||
        isModifierOnly(key.virtualKeyCode))
      continue;
    const size_t page = rows > 1 ? rows - 1 : 1;
    const size_t steps = key.repeatCount;
    switch (keyboard->composeKeyCode(key.virtualKeyCode, key.controlKeyState)) {
      case vk::Prior:
        first -= std::min(first, page * steps);
        break;
      case vk::Next:
        first = std::min(lastFirst, first + page * steps);
        break;
      case vk::Up:
        first -= std::min(first, steps);
        break;
      case vk::Down:
        first = std::min(lastFirst, first + steps);
        break;
      default:
        open = false;
        break;
    }
  }
  textDirty = 1;  // the document comes back at the next redraw
  selectionDirty = 1;
  return 1;
}
