#pragma once

#include <cstdint>

#include "platform/key_codes.h"

// The US keyboard layout as the Windows console reports it: which key types an ASCII
// character, and which character a key gives with Shift or Ctrl.
namespace console {

struct UsKey {
  uint16_t virtualKeyCode;  // 0: no key types this character
  bool shift;               // the character needs Shift
};

// The key that types a printable ASCII character (0x20-0x7E).
UsKey usKeyForChar(uint8_t ch);

// The character Shift gives on the key whose plain character is ch; a character that already
// needs Shift is returned as it is.
uint8_t usShiftedChar(uint8_t ch);

// The character a key gives with Ctrl held, as the Windows console reports it: the control
// character for letters and for [ \ ] ^ _, 0 for keys that have none.
uint8_t usControlChar(uint16_t virtualKeyCode, bool shift);

}  // namespace console
