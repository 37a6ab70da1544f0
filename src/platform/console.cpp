#include "platform/console.h"

#include <vector>

#include "platform/key_codes.h"

namespace console {

void Console::writeOutputText(const TextCell* cells, uint32_t count, Coord start) {
  std::vector<uint8_t> bytes(count);
  for (uint32_t i = 0; i < count; ++i)
    bytes[i] = cells[i].length > 0 ? static_cast<uint8_t>(cells[i].bytes[0]) : ' ';
  writeOutputCharacter(bytes.data(), count, start);
}

bool AltCodeRead::take(const KeyEventRecord& key, int& made) {
  made = -1;
  const bool alt = (key.controlKeyState & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0;
  if (key.keyDown && alt && key.virtualKeyCode >= vk::Numpad0 &&
      key.virtualKeyCode <= vk::Numpad9) {
    for (uint16_t i = 0; i < key.repeatCount; ++i)
      code_ = static_cast<uint8_t>(code_ * 10 + (key.virtualKeyCode - vk::Numpad0));
    return true;
  }
  if (!key.keyDown && key.virtualKeyCode == vk::Menu && code_ != 0) {
    made = code_;
    code_ = 0;
    return true;
  }
  if (key.keyDown) code_ = 0;
  return false;
}

}  // namespace console
