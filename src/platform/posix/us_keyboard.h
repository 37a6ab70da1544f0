#pragma once

#include <cstdint>

// The US keyboard layout as the Windows console reports it: which key types an ASCII
// character, and which character a key gives with Shift or Ctrl.
namespace console {

// Windows virtual-key codes the terminal decoder produces.
namespace vkey {
constexpr uint16_t Back = 0x08;
constexpr uint16_t Tab = 0x09;
constexpr uint16_t Clear = 0x0C;  // keypad 5 without NumLock
constexpr uint16_t Return = 0x0D;
constexpr uint16_t Shift = 0x10;
constexpr uint16_t Control = 0x11;
constexpr uint16_t Menu = 0x12;  // Alt
constexpr uint16_t Pause = 0x13;
constexpr uint16_t Capital = 0x14;  // Caps Lock
constexpr uint16_t Escape = 0x1B;
constexpr uint16_t Space = 0x20;
constexpr uint16_t Prior = 0x21;
constexpr uint16_t Next = 0x22;
constexpr uint16_t End = 0x23;
constexpr uint16_t Home = 0x24;
constexpr uint16_t Left = 0x25;
constexpr uint16_t Up = 0x26;
constexpr uint16_t Right = 0x27;
constexpr uint16_t Down = 0x28;
constexpr uint16_t Snapshot = 0x2C;  // Print Screen
constexpr uint16_t Insert = 0x2D;
constexpr uint16_t Delete = 0x2E;
constexpr uint16_t LWin = 0x5B;
constexpr uint16_t RWin = 0x5C;
constexpr uint16_t Apps = 0x5D;
constexpr uint16_t Numpad0 = 0x60;
constexpr uint16_t Multiply = 0x6A;
constexpr uint16_t Add = 0x6B;
constexpr uint16_t Separator = 0x6C;
constexpr uint16_t Subtract = 0x6D;
constexpr uint16_t Decimal = 0x6E;
constexpr uint16_t Divide = 0x6F;
constexpr uint16_t F1 = 0x70;
constexpr uint16_t F13 = 0x7C;
constexpr uint16_t NumLock = 0x90;
constexpr uint16_t Scroll = 0x91;
constexpr uint16_t OemSemicolon = 0xBA;  // ;:
constexpr uint16_t OemPlus = 0xBB;       // =+
constexpr uint16_t OemComma = 0xBC;      // ,<
constexpr uint16_t OemMinus = 0xBD;      // -_
constexpr uint16_t OemPeriod = 0xBE;     // .>
constexpr uint16_t OemSlash = 0xBF;      // /?
constexpr uint16_t OemTilde = 0xC0;      // `~
constexpr uint16_t OemOpen = 0xDB;       // [{
constexpr uint16_t OemBackslash = 0xDC;  // \|
constexpr uint16_t OemClose = 0xDD;      // ]}
constexpr uint16_t OemQuote = 0xDE;      // '"
}  // namespace vkey

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
