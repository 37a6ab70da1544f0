#pragma once

#include <cstdint>

// Which console key each terminal key sequence stands for: a key event's virtual-key code,
// character and control-key state, as the Windows console reports them for a US keyboard.
namespace console {

struct Key {
  uint16_t virtualKeyCode;  // 0: no console key
  uint8_t ch;
  uint32_t state;
};

// The key a single byte stands for when it arrives on its own.
const Key& keyForByte(uint8_t b);

// The key of CSI n ~ (editing and function keys); 0 when none.
uint16_t tildeKey(uint32_t n);

// The key of CSI letter (CSI A, CSI 1;5D, ...); 0 when none.
uint16_t letterKey(uint8_t final);

// The key of rxvt's CSI a-d and SS3 a-d (cursor keys with Shift or Ctrl); 0 when none.
uint16_t rxvtArrowKey(uint8_t final);

// The key of ESC O final: cursor and function keys, the keypad in application mode.
Key ss3Key(uint8_t final);

// Backspace, Tab, Enter and Escape, given by their control character's code; virtual-key
// code 0 for any other code.
Key controlCodeKey(uint32_t code);

// The kitty keyboard protocol's codes of functional keys: the Private Use Area.
inline bool isFunctionalCode(uint32_t code) {
  return code >= 57344 && code <= 63743;
}

// A functional key of the kitty keyboard protocol; virtual-key code 0 when it has no console
// key.
Key functionalKey(uint32_t code);

// Shift, Ctrl, Alt and the Windows keys.
bool isModifierKey(uint16_t virtualKeyCode);

// The character a non-printing key gives, with Ctrl taken into account.
uint8_t keyChar(const Key& key, uint32_t state);

}  // namespace console
