#include "input/key_names.h"

#include <cstdio>

namespace {

const char* namedKey(uint16_t key) {
  switch (key) {
    case vk::Back:
      return "Backspace";
    case vk::Tab:
      return "Tab";
    case vk::Return:
      return "Enter";
    case vk::Escape:
      return "Escape";
    case vk::Space:
      return "Space";
    case vk::Prior:
      return "PgUp";
    case vk::Next:
      return "PgDn";
    case vk::End:
      return "End";
    case vk::Home:
      return "Home";
    case vk::Left:
      return "Left";
    case vk::Up:
      return "Up";
    case vk::Right:
      return "Right";
    case vk::Down:
      return "Down";
    case vk::Insert:
      return "Ins";
    case vk::Delete:
      return "Del";
    default:
      return nullptr;
  }
}

std::string baseKeyName(uint16_t key) {
  if (const char* name = namedKey(key)) return name;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, char(key));
  if (key >= vk::F1 && key <= vk::F12) return "F" + std::to_string(key - vk::F1 + 1);
  char hex[16];
  std::snprintf(hex, sizeof hex, "key 0x%02X", key);
  return hex;
}

}  // namespace

std::string keyName(KeyCode code) {
  std::string name;
  if (code & KeyWin) name += "Win+";
  if (code & KeyApps) name += "Apps+";
  if (code & KeyCtrl) name += "Ctrl+";
  if (code & KeyAlt) name += "Alt+";
  if (code & KeyShift) name += "Shift+";
  return name + baseKeyName(static_cast<uint16_t>(code & 0xFF));
}
