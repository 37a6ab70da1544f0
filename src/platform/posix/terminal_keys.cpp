// Which console key each terminal key sequence stands for.
#include "platform/posix/terminal_keys.h"

#include "platform/console.h"
#include "platform/posix/us_keyboard.h"

namespace console {

namespace {

Key byteKey(uint8_t b) {
  switch (b) {
    case 0x00:
      return {vk::Space, 0, LEFT_CTRL_PRESSED};
    case 0x08:
      return {vk::Back, 0x7F, LEFT_CTRL_PRESSED};  // Ctrl+Backspace (also Ctrl+H)
    case 0x09:
      return {vk::Tab, 0x09, 0};
    case 0x0A:  // keypad Enter in tmux, Ctrl+J
    case 0x0D:
      return {vk::Return, 0x0D, 0};
    case 0x1B:
      return {vk::Escape, 0x1B, 0};
    case 0x1C:
      return {vk::OemBackslash, 0x1C, LEFT_CTRL_PRESSED};
    case 0x1D:
      return {vk::OemClose, 0x1D, LEFT_CTRL_PRESSED};
    case 0x1E:
      return {'6', 0x1E, LEFT_CTRL_PRESSED | SHIFT_PRESSED};
    case 0x1F:
      return {vk::OemMinus, 0x1F, LEFT_CTRL_PRESSED | SHIFT_PRESSED};
    case 0x7F:
      return {vk::Back, 0x08, 0};
    default:
      break;
  }
  if (b < 0x20) return {static_cast<uint16_t>(b + 0x40), b, LEFT_CTRL_PRESSED};
  if (b >= 0x80) return {0, b, 0};  // a byte of a UTF-8 character: inserted as it is
  UsKey key = usKeyForChar(b);
  return {key.virtualKeyCode, b, key.shift ? SHIFT_PRESSED : 0u};
}

struct ByteKeyTable {
  Key keys[256];
  ByteKeyTable() {
    for (int b = 0; b < 256; ++b) keys[b] = byteKey(static_cast<uint8_t>(b));
  }
};

const ByteKeyTable kByteKeys;

}  // namespace

const Key& keyForByte(uint8_t b) {
  return kByteKeys.keys[b];
}

// Keys of the CSI number ~ form.
uint16_t tildeKey(uint32_t n) {
  switch (n) {
    case 1:
    case 7:
      return vk::Home;
    case 2:
      return vk::Insert;
    case 3:
      return vk::Delete;
    case 4:
    case 8:
      return vk::End;
    case 5:
      return vk::Prior;
    case 6:
      return vk::Next;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return static_cast<uint16_t>(vk::F1 + n - 11);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return static_cast<uint16_t>(vk::F1 + n - 12);
    case 23:
    case 24:
      return static_cast<uint16_t>(vk::F1 + n - 13);
    case 25:
    case 26:
      return static_cast<uint16_t>(vk::F13 + n - 25);
    case 28:
    case 29:
      return static_cast<uint16_t>(vk::F13 + n - 26);
    case 31:
    case 32:
    case 33:
    case 34:
      return static_cast<uint16_t>(vk::F13 + n - 27);
    default:
      return 0;
  }
}

// Keys of the CSI letter forms (CSI A, CSI 1;5D, ...).
uint16_t letterKey(uint8_t f) {
  switch (f) {
    case 'A':
      return vk::Up;
    case 'B':
      return vk::Down;
    case 'C':
      return vk::Right;
    case 'D':
      return vk::Left;
    case 'E':
      return vk::Clear;
    case 'F':
      return vk::End;
    case 'H':
      return vk::Home;
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
      return static_cast<uint16_t>(vk::F1 + f - 'P');
    default:
      return 0;
  }
}

// rxvt's cursor keys with a modifier: a b c d for Up Down Right Left.
uint16_t rxvtArrowKey(uint8_t f) {
  static const uint16_t arrows[] = {vk::Up, vk::Down, vk::Right, vk::Left};
  return f >= 'a' && f <= 'd' ? arrows[f - 'a'] : 0;
}

// Keys of the SS3 form: cursor and function keys, and the keypad in application mode.
Key ss3Key(uint8_t f) {
  if (uint16_t code = letterKey(f)) return {code, 0, 0};
  if (f >= 'p' && f <= 'y')
    return {static_cast<uint16_t>(vk::Numpad0 + f - 'p'), static_cast<uint8_t>('0' + f - 'p'), 0};
  if (uint16_t code = rxvtArrowKey(f)) return {code, 0, LEFT_CTRL_PRESSED};  // rxvt: Ctrl
  switch (f) {
    case 'M':
      return {vk::Return, 0x0D, 0};
    case 'I':
      return {vk::Tab, 0x09, 0};
    case ' ':
      return {vk::Space, ' ', 0};
    case 'X':
      return {vk::OemPlus, '=', 0};
    case 'j':
      return {vk::Multiply, '*', 0};
    case 'k':
      return {vk::Add, '+', 0};
    case 'l':
      return {vk::Separator, ',', 0};
    case 'm':
      return {vk::Subtract, '-', 0};
    case 'n':
      return {vk::Decimal, '.', 0};
    case 'o':
      return {vk::Divide, '/', 0};
    default:
      return {0, 0, 0};
  }
}

// Keys given by the code of their control character (CSI code u, CSI 27 ; mods ; code ~).
Key controlCodeKey(uint32_t code) {
  switch (code) {
    case 8:
    case 127:
      return {vk::Back, 0x08, 0};
    case 9:
      return {vk::Tab, 0x09, 0};
    case 13:
      return {vk::Return, 0x0D, 0};
    case 27:
      return {vk::Escape, 0x1B, 0};
    default:
      return {0, 0, 0};
  }
}

namespace {

// The kitty protocol's functional keys (Private Use Area codes) that are neither keypad
// digits nor F13 to F24; any other code (media keys, Hyper, ISO level shifts) is no key.
struct FunctionalKey {
  uint32_t code;
  Key key;
};
constexpr FunctionalKey kFunctionalKeys[] = {
    {57358, {vk::Capital, 0, 0}},    {57359, {vk::Scroll, 0, 0}},
    {57360, {vk::NumLock, 0, 0}},    {57361, {vk::Snapshot, 0, 0}},
    {57362, {vk::Pause, 0, 0}},      {57363, {vk::Apps, 0, 0}},
    {57409, {vk::Decimal, '.', 0}},  {57410, {vk::Divide, '/', 0}},
    {57411, {vk::Multiply, '*', 0}}, {57412, {vk::Subtract, '-', 0}},
    {57413, {vk::Add, '+', 0}},      {57414, {vk::Return, 0x0D, 0}},
    {57415, {vk::OemPlus, '=', 0}},  {57416, {vk::Separator, ',', 0}},
    {57417, {vk::Left, 0, 0}},       {57418, {vk::Right, 0, 0}},
    {57419, {vk::Up, 0, 0}},         {57420, {vk::Down, 0, 0}},
    {57421, {vk::Prior, 0, 0}},      {57422, {vk::Next, 0, 0}},
    {57423, {vk::Home, 0, 0}},       {57424, {vk::End, 0, 0}},
    {57425, {vk::Insert, 0, 0}},     {57426, {vk::Delete, 0, 0}},
    {57427, {vk::Clear, 0, 0}},      {57441, {vk::Shift, 0, 0}},
    {57442, {vk::Control, 0, 0}},    {57443, {vk::Menu, 0, 0}},  // Alt
    {57444, {vk::LWin, 0, 0}},                                   // Super
    {57446, {vk::Menu, 0, 0}},                                   // Meta counts as Alt
    {57447, {vk::Shift, 0, 0}},      {57448, {vk::Control, 0, 0}},
    {57449, {vk::Menu, 0, 0}},                                   // the right Alt
    {57450, {vk::RWin, 0, 0}},       {57452, {vk::Menu, 0, 0}},  // the right Meta
};

}  // namespace

// Virtual-key code 0: no console key.
Key functionalKey(uint32_t code) {
  if (code >= 57399 && code <= 57408) {  // keypad digits
    uint32_t digit = code - 57399;
    return {static_cast<uint16_t>(vk::Numpad0 + digit), static_cast<uint8_t>('0' + digit), 0};
  }
  if (code >= 57376 && code <= 57387)  // F13 to F24
    return {static_cast<uint16_t>(vk::F13 + code - 57376), 0, 0};
  for (const FunctionalKey& entry : kFunctionalKeys)
    if (entry.code == code) return entry.key;
  return {0, 0, 0};
}

bool isModifierKey(uint16_t virtualKeyCode) {
  switch (virtualKeyCode) {
    case vk::Shift:
    case vk::Control:
    case vk::Menu:
    case vk::LWin:
    case vk::RWin:
      return true;
    default:
      return false;
  }
}

// The character a non-printing key gives, with Ctrl taken into account.
uint8_t keyChar(const Key& key, uint32_t state) {
  if (!(state & LEFT_CTRL_PRESSED) || key.ch == 0) return key.ch;
  if (key.virtualKeyCode == vk::Return || key.virtualKeyCode == vk::Back ||
      key.virtualKeyCode == vk::Escape)
    return usControlChar(key.virtualKeyCode, false);
  return 0;
}

}  // namespace console
